// P_Part3: loads its three pictures, the spiky mesh, the object and the
// tunnel, and draws each frame from the demo clock (the spins) and its own
// clock (the windows, in seconds, both ends included).
#include "P_Part3.h"

#include "E_Object.h"
#include "E_Tunnel.h"
#include "Mesh.h"
#include "Quads.h"
#include "SceneHelpers.h"
#include "SharedDevice.h"
#include "Texture.h"
#include "Timer.h"

P_Part3::P_Part3()
    : initialized(false), timer(nullptr), paddoTexture(nullptr), grainfieldTexture(nullptr), blaatTexture(nullptr),
      stekelsMesh(nullptr), object(nullptr), tunnel(nullptr)
{
}

P_Part3::~P_Part3()
{
    P_Part3::Release();
}

const char* P_Part3::Init()
{
    Release();
    const char* message = nullptr;
    if (!LoadTexture("Data\\Paddo.bmp", 256, 256, &paddoTexture)) {
        paddoTexture = nullptr;
        message = "P_Part3: Could not create texture from file: Data\\Paddo.bmp";
    } else if (!LoadTexture("Data\\Grainfield.bmp", 256, 256, &grainfieldTexture)) {
        grainfieldTexture = nullptr;
        message = "P_Part3: Could not create texture from file: Data\\Grainfield.bmp";
    } else if (!LoadTexture("Data\\Blaat.bmp", 256, 256, &blaatTexture)) {
        blaatTexture = nullptr;
        message = "P_Part3: Could not create texture from file: Data\\Blaat.bmp";
    } else if (!(stekelsMesh = new Mesh())->Load("Data\\Stekels.msh", 0.022f)) {
        message = "P_Part3: Could not load mesh from file: Data\\Stekels.msh";
    } else if (!(message = (object = new E_Object())->Init())) {
        message = (tunnel = new E_Tunnel())->Init();
    }
    if (message) {
        Release();
        return message;
    }
    initialized = true;
    return nullptr;
}

void P_Part3::Release()
{
    initialized = false;
    DeleteObject(timer);
    ReleaseTexture(paddoTexture);
    ReleaseTexture(grainfieldTexture);
    ReleaseTexture(blaatTexture);
    DeleteObject(stekelsMesh);
    DeleteObject(object);
    DeleteObject(tunnel);
}

const char* P_Part3::Render(int elapsedMs, float)
{
    if (!initialized) return "P_Part3: Not initialized.";
    if (!timer) timer = new Timer();

    g_device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
    g_device->BeginScene();

    const float m = static_cast<float>(elapsedMs);
    if (timer->ElapsedSeconds() >= 9.5f) {
        if (const char* message = DrawTunnels(elapsedMs, m)) return message;
    }
    if (timer->ElapsedSeconds() <= 9.5f) {
        if (const char* message = DrawEcho(elapsedMs, m)) return message;
    }
    DrawOverlays();

    g_device->EndScene();
    return nullptr;
}

// Two tunnels added over each other, turning at slightly different rates.
const char* P_Part3::DrawTunnels(int elapsedMs, float m)
{
    tunnel->SetRotationX(0.0003f * m);
    tunnel->SetRotationY(0.0003f * m);
    tunnel->SetRotationZ(0.0003f * m);
    if (const char* message =
            tunnel->Render(grainfieldTexture, elapsedMs, false, true, true, D3DXVECTOR3(0.0f, 0.0f, 1.0f)))
        return message;
    tunnel->SetRotationX(0.0004435f * m);
    tunnel->SetRotationY(0.0004456f * m);
    tunnel->SetRotationZ(0.0004456456f * m);
    return tunnel->Render(blaatTexture, elapsedMs, false, true, true, D3DXVECTOR3(0.0f, 1.5f, 1.0f));
}

// Eight copies of the object added over each other, each turned a little
// further; the eye and all the targets lie on the z axis, so the growing
// target depth leaves the view as it is.
const char* P_Part3::DrawEcho(int elapsedMs, float m)
{
    object->EnableLighting();
    object->DisableCulling();
    object->SetMesh(stekelsMesh);
    object->SetDeformMode(0);
    float offset = 0.0f;
    float depth = 1.0f;
    for (int i = 0; i < 8; ++i) {
        depth += 0.2f;
        object->SetRotationX(0.00115653f * m + offset);
        object->SetRotationY(0.0004345343f * m + offset);
        object->SetRotationZ(0.00093345f * m + offset);
        if (const char* message = object->Render(paddoTexture, elapsedMs, D3DXVECTOR3(0.0f, 0.0f, depth),
                                                 D3DXVECTOR3(0.0f, 0.0f, -4.0f), true))
            return message;
        offset += 0.025f;
    }
    return nullptr;
}

// Two white flashes added over the picture, then the fade to black.
void P_Part3::DrawOverlays()
{
    const auto fullScreen = [](D3DXCOLOR colour, bool alphaBlend) {
        DrawOverlayQuad(nullptr, 5.0f, 5.0f, 0.0f, 0.0f, 5.0f, 5.0f, colour, true, alphaBlend);
    };
    if (timer->ElapsedSeconds() <= 4.0f) {
        const float v = 1.0f - 0.25f * timer->ElapsedSeconds();
        fullScreen(D3DXCOLOR(v, v, v, v), false);
    }
    float s = timer->ElapsedSeconds();
    if (s >= 9.5f && s <= 12.5f) {
        const float v = 1.0f - 0.33333334f * (timer->ElapsedSeconds() - 9.5f);
        fullScreen(D3DXCOLOR(v, v, v, v), false);
    }
    s = timer->ElapsedSeconds();
    if (s >= 16.0f && s <= 19.0f) {
        const float a = 0.33333334f * (timer->ElapsedSeconds() - 16.0f);
        fullScreen(D3DXCOLOR(0.0f, 0.0f, 0.0f, a), true);
    }
    if (timer->ElapsedSeconds() >= 19.0f) fullScreen(D3DXCOLOR(0.0f, 0.0f, 0.0f, 1.0f), true);
}
