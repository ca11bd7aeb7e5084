// P_Part4: loads its three pictures, the ball mesh, the landscape and the
// object, and draws each frame from the demo clock (the spins) and its own
// clock (the windows, in seconds, both ends included).
#include "P_Part4.h"

#include "E_Object.h"
#include "E_Scape.h"
#include "MathHelpers.h"
#include "Mesh.h"
#include "Quads.h"
#include "SceneHelpers.h"
#include "SharedDevice.h"
#include "Texture.h"
#include "Timer.h"

namespace {

const D3DXVECTOR3 kLowEye(0.0f, 12.0f, -14.0f);
const D3DXVECTOR3 kHighEye(0.0f, 18.0f, -17.0f);

}  // namespace

P_Part4::P_Part4()
    : initialized(false), timer(nullptr), hitekTexture(nullptr), kotsTexture(nullptr), pictureTexture(nullptr),
      bolMesh(nullptr), scape(nullptr), object(nullptr)
{
}

P_Part4::~P_Part4()
{
    P_Part4::Release();
}

const char* P_Part4::Init()
{
    Release();
    const char* message = nullptr;
    if (!LoadTexture("Data\\Hitek.bmp", 256, 256, &hitekTexture)) {
        hitekTexture = nullptr;
        message = "P_Part4: Could not create texture from file: Data\\Hitek.bmp";
    } else if (!LoadTexture("Data\\Kots.bmp", 256, 256, &kotsTexture)) {
        kotsTexture = nullptr;
        message = "P_Part4: Could not create texture from file: Data\\Kots.bmp";
    } else if (!LoadTexture("Data\\Gangbang.bmp", 800, 600, &pictureTexture)) {
        pictureTexture = nullptr;
        message = "P_Part4: Could not create texture from file: Data\\Gangbang.bmp";
    } else if (!(bolMesh = new Mesh())->Load("Data\\Bol.msh", 0.008f)) {
        message = "P_Part4: Could not load mesh from file: Data\\Bol.msh";
    } else {
        message = InitEffects();
    }
    if (message) {
        Release();
        return message;
    }
    initialized = true;
    return nullptr;
}

// The landscape's unreadable-map marker is told by its identity and replaced
// by a message naming the file; other messages are returned unchanged.
const char* P_Part4::InitEffects()
{
    scape = new E_Scape();
    const char* message = scape->Init("Data\\Scape2.map", 4);
    if (message == E_Scape::terrFile) return "P_Part4: Could not load terrain map: Data\\Scape2.map";
    if (message) return message;
    object = new E_Object();
    return object->Init();
}

void P_Part4::Release()
{
    initialized = false;
    DeleteObject(timer);
    ReleaseTexture(hitekTexture);
    ReleaseTexture(kotsTexture);
    ReleaseTexture(pictureTexture);
    DeleteObject(bolMesh);
    DeleteObject(scape);
    DeleteObject(object);
}

const char* P_Part4::Render(int elapsedMs, float)
{
    if (!initialized) return "P_Part4: Not initialized.";
    if (!timer) timer = new Timer();

    g_device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
    g_device->BeginScene();

    const float m = static_cast<float>(elapsedMs);
    if (timer->ElapsedSeconds() <= 33.0f) {
        if (const char* message = DrawLandscape(m, kLowEye)) return message;
    }
    float s = timer->ElapsedSeconds();
    if (s >= 33.0f && s <= 36.0f) {
        const D3DXVECTOR3 eye = CosineBlend(kLowEye, kHighEye, 0.33333334f * (timer->ElapsedSeconds() - 33.0f));
        if (const char* message = DrawLandscape(m, eye)) return message;
    }
    if (timer->ElapsedSeconds() >= 36.0f) {
        if (const char* message = DrawLandscape(m, kHighEye)) return message;
    }

    s = timer->ElapsedSeconds();
    if (s >= 8.0f && s <= 11.0f) {
        const D3DXVECTOR3 target = CosineBlend(D3DXVECTOR3(0.0f, -10.0f, 0.0f), D3DXVECTOR3(0.0f, 0.0f, 0.0f),
                                               0.33333334f * (timer->ElapsedSeconds() - 8.0f));
        if (const char* message = DrawObject(elapsedMs, m, target)) return message;
    }
    if (timer->ElapsedSeconds() >= 11.0f) {
        if (const char* message = DrawObject(elapsedMs, m, D3DXVECTOR3(0.0f, 0.0f, 0.0f))) return message;
    }
    DrawOverlays();

    g_device->EndScene();
    return nullptr;
}

// The landscape upside down (turned half a turn about X), seen at 80 degrees.
const char* P_Part4::DrawLandscape(float m, D3DXVECTOR3 eye)
{
    scape->SetFieldOfView(1.3962635f);
    scape->SetRotationX(3.1415927f);
    scape->SetRotationY(0.0006f * m);
    return scape->Render(hitekTexture, D3DXVECTOR3(0.0f, 4.0f, 0.0f), eye);
}

const char* P_Part4::DrawObject(int elapsedMs, float m, D3DXVECTOR3 target)
{
    object->SetMesh(bolMesh);
    object->SetDeformMode(3);
    object->EnableLighting();
    object->SetRotationX(0.00051f * m);
    object->SetRotationY(0.00035f * m);
    object->SetRotationZ(0.00048f * m);
    return object->Render(kotsTexture, elapsedMs, target, D3DXVECTOR3(0.0f, 0.0f, -8.0f), false);
}

// The fade-in from black, then the picture added over landscape and object.
void P_Part4::DrawOverlays()
{
    if (timer->ElapsedSeconds() <= 8.0f) {
        const float a = 1.0f - 0.125f * timer->ElapsedSeconds();
        DrawOverlayQuad(nullptr, 5.0f, 5.0f, 0.0f, 0.0f, 5.0f, 5.0f, D3DXCOLOR(0.0f, 0.0f, 0.0f, a), true, true);
    }
    const float s = timer->ElapsedSeconds();
    if (s >= 16.0f && s <= 18.0f) {
        const float v = 0.4f * (timer->ElapsedSeconds() - 16.0f);
        DrawOverlayQuad(pictureTexture, 800.0f, 600.0f, 0.0f, 0.0f, 800.0f, 600.0f, D3DXCOLOR(v, v, v, v), true,
                        false);
    }
    if (timer->ElapsedSeconds() >= 18.0f)
        DrawOverlayQuad(pictureTexture, 800.0f, 600.0f, 0.0f, 0.0f, 800.0f, 600.0f, D3DXCOLOR(0.8f, 0.8f, 0.8f, 0.8f),
                        true, false);
}
