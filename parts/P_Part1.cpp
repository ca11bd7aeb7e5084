// P_Part1: loads its pictures, the ball mesh and the particle system, and
// draws each frame from the demo clock (continuous motion) and its own clock
// (the card windows, in seconds).
#include "P_Part1.h"

#include "E_Particles.h"
#include "MathHelpers.h"
#include "Mesh.h"
#include "Quads.h"
#include "SceneHelpers.h"
#include "SharedDevice.h"
#include "Texture.h"
#include "Timer.h"

P_Part1::P_Part1()
    : initialized(false), timer(nullptr), space1Texture(nullptr), space2Texture(nullptr), cred1Texture(nullptr),
      cred2Texture(nullptr), titleTexture(nullptr), particleTexture(nullptr), bolMesh(nullptr), particles(nullptr)
{
}

P_Part1::~P_Part1()
{
    P_Part1::Release();
}

const char* P_Part1::Init()
{
    Release();
    const char* message = nullptr;
    if (!LoadTexture("Data\\Space1.bmp", 800, 600, &space1Texture)) {
        space1Texture = nullptr;
        message = "P_Part1: Could not create texture from file: Data\\Space1.bmp";
    } else if (!LoadTexture("Data\\Space2.bmp", 800, 600, &space2Texture)) {
        space2Texture = nullptr;
        message = "P_Part1: Could not create texture from file: Data\\Space2.bmp";
    } else if (!LoadTexture("Data\\Cred1.bmp", 512, 384, &cred1Texture)) {
        cred1Texture = nullptr;
        message = "P_Part1: Could not create texture from file: Data\\Cred1.bmp";
    } else if (!LoadTexture("Data\\Cred2.bmp", 512, 384, &cred2Texture)) {
        cred2Texture = nullptr;
        message = "P_Part1: Could not create texture from file: Data\\Cred2.bmp";
    } else if (!LoadTexture("Data\\Title.bmp", 512, 384, &titleTexture)) {
        titleTexture = nullptr;
        message = "P_Part1: Could not create texture from file: Data\\Title.bmp";
    } else if (!LoadTexture("Data\\Partikel1.bmp", 64, 64, &particleTexture)) {
        particleTexture = nullptr;
        message = "P_Part1: Could not create texture from file: Data\\Partikel1.bmp";
    } else if (!(bolMesh = new Mesh())->Load("Data\\Bol.msh", 0.0075f)) {
        message = "P_Part1: Could not load mesh from file: Data\\Bol.msh";
    } else {
        particles = new E_Particles();
        message = particles->Init();
    }
    if (message) {
        Release();
        return message;
    }
    initialized = true;
    return nullptr;
}

void P_Part1::Release()
{
    initialized = false;
    DeleteObject(timer);
    ReleaseTexture(space1Texture);
    ReleaseTexture(space2Texture);
    ReleaseTexture(cred1Texture);
    ReleaseTexture(cred2Texture);
    ReleaseTexture(titleTexture);
    ReleaseTexture(particleTexture);
    DeleteObject(bolMesh);
    DeleteObject(particles);
}

const char* P_Part1::Render(int elapsedMs, float)
{
    if (!initialized) return "P_Part1: Not initialized.";
    if (!timer) timer = new Timer();

    g_device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
    g_device->BeginScene();

    const float m = static_cast<float>(elapsedMs);
    const D3DXCOLOR white = ExpandColour(0xFFFFFFFF);
    DrawOverlayQuad(space1Texture, 800.0f, 600.0f, 0.0f, 0.0f, 800.0f + 0.0023f * m, 600.0f + 0.0023f * m, white,
                    false, false);
    DrawOverlayQuad(space2Texture, 800.0f, 600.0f, 0.0f, 0.0f, 800.0f + 0.0063f * m, 600.0f + 0.0063f * m, white,
                    true, false);

    particles->SetMesh(bolMesh);
    particles->SetDeformMode(1);
    D3DXVECTOR3 placementA(2.0f, 2.0f, 13.0f), placementB(-2.0f, -2.0f, 13.0f);
    const float cloudSeconds = timer->ElapsedSeconds();
    if (cloudSeconds >= 28.5f) {
        const float u = (cloudSeconds - 28.5f) * 0.083333336f;
        placementA = CosineBlend(D3DXVECTOR3(2.0f, 2.0f, 13.0f), D3DXVECTOR3(-2.0f, -2.0f, 4.0f), u);
        placementB = CosineBlend(D3DXVECTOR3(-2.0f, -2.0f, 13.0f), D3DXVECTOR3(2.0f, 2.0f, 4.0f), u);
    }
    const D3DXCOLOR cloudColour(0.25f, 0.25f, 0.25f, 0.25f);
    particles->SetRotationX(0.000073f * m);
    particles->SetRotationY(0.000033f * m);
    particles->SetRotationZ(0.000073f * m);
    if (const char* message = particles->Render(particleTexture, elapsedMs, placementA, cloudColour)) return message;
    particles->SetRotationX(0.000043f * m);
    particles->SetRotationY(0.000063f * m);
    particles->SetRotationZ(0.000083f * m);
    if (const char* message = particles->Render(particleTexture, elapsedMs, placementB, cloudColour)) return message;

    // The card windows, tested in order; both ends of each window belong to it.
    const D3DXVECTOR3 origin(0.0f, 0.0f, 0.0f);
    auto card = [&](IDirect3DTexture8* texture, D3DXVECTOR3 from, D3DXVECTOR3 to, float u, float v) {
        DrawPerspectiveQuad(texture, 0.0f, 0.0f, 0.0f, origin, CosineBlend(from, to, u), D3DXCOLOR(v, v, v, v), true);
    };
    auto fade = [](float s, float start, float fadeOutFrom) {
        if (s <= start + 1.0f) return s - start;
        if (s >= fadeOutFrom) return 1.0f - (s - fadeOutFrom);
        return 1.0f;
    };
    float s = timer->ElapsedSeconds();
    if (s >= 7.5f && s <= 11.5f)
        card(cred1Texture, D3DXVECTOR3(0.0f, 0.0f, -25.0f), D3DXVECTOR3(0.0f, 0.0f, -0.25f), (s - 7.5f) * 0.25f,
             fade(s, 7.5f, 10.5f));
    s = timer->ElapsedSeconds();
    if (s >= 15.0f && s <= 19.0f)
        card(cred2Texture, D3DXVECTOR3(0.0f, 0.0f, -25.0f), D3DXVECTOR3(0.0f, 0.0f, -0.25f), (s - 15.0f) * 0.25f,
             fade(s, 15.0f, 18.0f));
    s = timer->ElapsedSeconds();
    if (s >= 22.5f && s <= 28.5f)
        card(titleTexture, D3DXVECTOR3(0.0f, 0.0f, -25.0f), D3DXVECTOR3(0.0f, 0.0f, -2.0f), (s - 22.5f) * 0.16666667f,
             s <= 23.5f ? s - 22.5f : 1.0f);
    s = timer->ElapsedSeconds();
    if (s >= 28.5f && s <= 39.0f)
        card(titleTexture, D3DXVECTOR3(0.0f, 0.0f, -2.0f), D3DXVECTOR3(0.0f, 0.0f, -4.0f), (s - 28.5f) * 0.0952381f,
             1.0f);
    s = timer->ElapsedSeconds();
    if (s >= 39.0f && s <= 40.5f)
        card(titleTexture, D3DXVECTOR3(0.0f, 0.0f, -4.0f), D3DXVECTOR3(0.0f, 0.0f, -0.00125f),
             (s - 39.0f) * 0.6666667f, 1.0f);

    g_device->EndScene();
    return nullptr;
}
