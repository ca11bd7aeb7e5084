// P_Part5: loads its three pictures, two meshes (the polyhedron is loaded but
// not drawn), the particle system and the object, and draws each frame from
// the demo clock (the spins) and its own clock (the windows and fades in
// seconds, both ends included; the picture's growth in milliseconds). The
// particle and object draws report nothing: every frame completes.
#include "P_Part5.h"

#include "E_Object.h"
#include "E_Particles.h"
#include "MathHelpers.h"
#include "Mesh.h"
#include "Quads.h"
#include "SceneHelpers.h"
#include "SharedDevice.h"
#include "Texture.h"
#include "Timer.h"

P_Part5::P_Part5()
    : initialized(false), timer(nullptr), particleTexture(nullptr), hoofdpijnTexture(nullptr), space2Texture(nullptr),
      bolMesh(nullptr), hedraMesh(nullptr), particles(nullptr), object(nullptr)
{
}

P_Part5::~P_Part5()
{
    P_Part5::Release();
}

const char* P_Part5::Init()
{
    Release();
    const char* message = nullptr;
    if (!LoadTexture("Data\\Partikel2.bmp", 64, 64, &particleTexture)) {
        particleTexture = nullptr;
        message = "P_Part5: Could not create texture from file: Data\\Partikel2.bmp";
    } else if (!LoadTexture("Data\\Hoofdpijn.bmp", 256, 256, &hoofdpijnTexture)) {
        hoofdpijnTexture = nullptr;
        message = "P_Part5: Could not create texture from file: Data\\Hoofdpijn.bmp";
    } else if (!LoadTexture("Data\\Space2.bmp", 800, 600, &space2Texture)) {
        space2Texture = nullptr;
        message = "P_Part5: Could not create texture from file: Data\\Space2.bmp";
    } else if (!(bolMesh = new Mesh())->Load("Data\\Bol.msh", 0.0045f)) {
        message = "P_Part5: Could not load mesh from file: Data\\Bol.msh";
    } else if (!(hedraMesh = new Mesh())->Load("Data\\Hedra.msh", 0.0075f)) {
        message = "P_Part5: Could not load mesh from file: Data\\Hedra.msh";
    } else if (!(message = (particles = new E_Particles())->Init())) {
        message = (object = new E_Object())->Init();
    }
    if (message) {
        Release();
        return message;
    }
    initialized = true;
    return nullptr;
}

void P_Part5::Release()
{
    initialized = false;
    DeleteObject(timer);
    ReleaseTexture(particleTexture);
    ReleaseTexture(hoofdpijnTexture);
    ReleaseTexture(space2Texture);
    DeleteObject(bolMesh);
    DeleteObject(hedraMesh);
    DeleteObject(particles);
    DeleteObject(object);
}

const char* P_Part5::Render(int elapsedMs, float)
{
    if (!initialized) return "P_Part5: Not initialized.";
    if (!timer) timer = new Timer();

    g_device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
    g_device->BeginScene();

    const float m = static_cast<float>(elapsedMs);
    DrawSpace();
    if (timer->ElapsedSeconds() <= 19.5f) DrawClouds(elapsedMs, m, D3DXCOLOR(0.8f, 0.8f, 0.8f, 0.8f));
    if (timer->ElapsedSeconds() <= 4.0f) {
        const float c = 1.0f - timer->ElapsedSeconds() * 0.25f;
        DrawOverlayQuad(nullptr, 5.0f, 5.0f, 0.0f, 0.0f, 5.0f, 5.0f, D3DXCOLOR(c, c, c, c), true, false);
    }
    float t = timer->ElapsedSeconds();
    if (t >= 19.5f && t <= 22.5f) {
        const float c = 0.75f - (timer->ElapsedSeconds() - 19.5f) * 0.25f;
        DrawClouds(elapsedMs, m, D3DXCOLOR(c, c, c, c));
    }
    t = timer->ElapsedSeconds();
    if (t >= 19.5f && t <= 23.0f) {
        DrawBlob(elapsedMs, m, CosineBlend(D3DXVECTOR3(-5.0f, 0.0f, 0.0f), D3DXVECTOR3(0.0f, 0.0f, 1.0f),
                                           (timer->ElapsedSeconds() - 19.5f) * 0.2857143f));
    }
    if (timer->ElapsedSeconds() >= 23.0f) DrawBlob(elapsedMs, m, D3DXVECTOR3(0.0f, 0.0f, 1.0f));
    t = timer->ElapsedSeconds();
    if (t >= 29.0f && t <= 35.0f) {
        const float a = (timer->ElapsedSeconds() - 29.0f) * 0.16666667f;
        DrawOverlayQuad(nullptr, 5.0f, 5.0f, 0.0f, 0.0f, 5.0f, 5.0f, D3DXCOLOR(0.0f, 0.0f, 0.0f, a), true, true);
    }

    g_device->EndScene();
    return nullptr;
}

// The space picture keeps its lower-left corner and grows 16.3 screen units a
// second both ways, without bound; the clock is read for the height first.
void P_Part5::DrawSpace()
{
    const float height = 600.0f + static_cast<float>(timer->ElapsedMs()) * 0.0163f;
    const float width = 800.0f + static_cast<float>(timer->ElapsedMs()) * 0.0163f;
    DrawOverlayQuad(space2Texture, 800.0f, 600.0f, 0.0f, 0.0f, width, height, ExpandColour(0xFFFFFFFF), false, false);
}

// Four clouds of the same mesh in one colour: the first turning about X and
// Y, the next two about Y only, the last about Y and Z. A failed draw ends
// nothing (the frame goes on without it); it is told once.
void P_Part5::DrawClouds(int elapsedMs, float m, D3DXCOLOR colour)
{
    const auto cloud = [&](D3DXVECTOR3 placement) {
        WarnOfALayerLeftOut("P_Part5", particles->Render(particleTexture, elapsedMs, placement, colour));
    };
    particles->SetMesh(bolMesh);
    particles->SetDeformMode(1);
    particles->SetRotationX(m * 0.000776563f);
    particles->SetRotationY(m * 0.00093f);
    cloud(D3DXVECTOR3(-1.1f, -1.2f, 8.0f));
    particles->SetRotationX(0.0f);
    cloud(D3DXVECTOR3(-1.23f, 1.8f, 8.0f));
    cloud(D3DXVECTOR3(1.4f, -1.3f, 8.0f));
    particles->SetRotationZ(m * 0.00063f);
    cloud(D3DXVECTOR3(0.84543f, 0.6323f, 8.0f));
    particles->SetRotationZ(0.0f);
}

void P_Part5::DrawBlob(int elapsedMs, float m, D3DXVECTOR3 target)
{
    object->SetMesh(bolMesh);
    object->SetRotationX(m * 0.00055f);
    object->SetRotationY(m * 0.00035f);
    object->SetRotationZ(m * 0.00075f);
    object->EnableEnvironmentMap();
    object->EnableLighting();
    object->SetDeformMode(2);
    WarnOfALayerLeftOut("P_Part5",
                        object->Render(hoofdpijnTexture, elapsedMs, target, D3DXVECTOR3(0.0f, 0.0f, -3.0f), false));
}
