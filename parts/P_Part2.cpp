// P_Part2: loads its pictures, two meshes and four effects, and draws each
// frame from the demo clock (the spins) and its own clock (the windows and
// keyframes, in seconds; the terrain's turn, in milliseconds). Every window
// includes both its ends, so a frame on a shared boundary draws both.
#include "P_Part2.h"

#include "E_Object.h"
#include "E_Particles.h"
#include "E_Planes.h"
#include "E_Scape.h"
#include "MathHelpers.h"
#include "Mesh.h"
#include "Quads.h"
#include "SceneHelpers.h"
#include "SharedDevice.h"
#include "Texture.h"
#include "Timer.h"

namespace {

// The polyhedron's look-at point travels through five keyframes, three
// seconds a leg, each leg starting where the last one ended.
struct PolyhedronLeg {
    float start;
    D3DXVECTOR3 from, to;
};
const PolyhedronLeg kPolyhedronLegs[] = {
    {0.0f, D3DXVECTOR3(2.0f, 1.5f, 4.0f), D3DXVECTOR3(2.0f, -9.5f, 16.0f)},
    {3.0f, D3DXVECTOR3(2.0f, -9.5f, 16.0f), D3DXVECTOR3(-2.0f, 5.5f, 10.0f)},
    {6.0f, D3DXVECTOR3(-2.0f, 5.5f, 10.0f), D3DXVECTOR3(-0.5f, -2.5f, 5.0f)},
    {9.0f, D3DXVECTOR3(-0.5f, -2.5f, 5.0f), D3DXVECTOR3(-1.2f, 0.0f, 5.0f)},
    {12.0f, D3DXVECTOR3(-1.2f, 0.0f, 5.0f), D3DXVECTOR3(-14.2f, -16.0f, 10.0f)},
};

// The first four legs of the flight over the terrain, five seconds each.
struct FlightLeg {
    float start;
    D3DXVECTOR3 targetFrom, targetTo, eyeFrom, eyeTo;
};
const FlightLeg kFlightLegs[] = {
    {15.0f, D3DXVECTOR3(12.0f, 4.0f, 63.0f), D3DXVECTOR3(-12.0f, -10.0f, 0.0f), D3DXVECTOR3(11.0f, 4.0f, 60.0f),
     D3DXVECTOR3(6.0f, 4.0f, 9.0f)},
    {20.0f, D3DXVECTOR3(-12.0f, -10.0f, 0.0f), D3DXVECTOR3(12.0f, -12.0f, 0.0f), D3DXVECTOR3(6.0f, 4.0f, 9.0f),
     D3DXVECTOR3(6.0f, 0.0f, 13.0f)},
    {25.0f, D3DXVECTOR3(12.0f, -12.0f, 0.0f), D3DXVECTOR3(12.0f, -12.0f, 0.0f), D3DXVECTOR3(6.0f, 0.0f, 13.0f),
     D3DXVECTOR3(0.0f, 16.0f, -15.0f)},
    {30.0f, D3DXVECTOR3(12.0f, -12.0f, 0.0f), D3DXVECTOR3(2.0f, 4.0f, 10.0f), D3DXVECTOR3(0.0f, 16.0f, -15.0f),
     D3DXVECTOR3(3.0f, 2.0f, -32.0f)},
};

// Where the flight ends and the camera rests from 43 s on.
const D3DXVECTOR3 kRestTarget(0.0f, 0.0f, 0.0f);
const D3DXVECTOR3 kRestEye(0.0f, 2.0f, -36.0f);

}  // namespace

P_Part2::P_Part2()
    : initialized(false), timer(nullptr), particleTexture(nullptr), planeTexture(nullptr), hedraTexture(nullptr),
      blobbyTexture(nullptr), cyberTexture(nullptr), bolMesh(nullptr), hedraMesh(nullptr), object(nullptr),
      particles(nullptr), planes(nullptr), scape(nullptr)
{
}

P_Part2::~P_Part2()
{
    P_Part2::Release();
}

const char* P_Part2::Init()
{
    Release();
    const char* message = nullptr;
    if (!LoadTexture("Data\\Partikel2.bmp", 64, 64, &particleTexture)) {
        particleTexture = nullptr;
        message = "P_Part2: Could not create texture from file: Data\\Partikel2.bmp";
    } else if (!LoadTexture("Data\\Plane.bmp", 256, 256, &planeTexture)) {
        planeTexture = nullptr;
        message = "P_Part2: Could not create texture from file: Data\\Plane.bmp";
    } else if (!LoadTexture("Data\\Hedra.bmp", 256, 256, &hedraTexture)) {
        hedraTexture = nullptr;
        message = "P_Part2: Could not create texture from file: Data\\Hedra.bmp";
    } else if (!LoadTexture("Data\\Blobby.bmp", 256, 256, &blobbyTexture)) {
        blobbyTexture = nullptr;
        message = "P_Part2: Could not create texture from file: Data\\Blobby.bmp";
    } else if (!LoadTexture("Data\\Cyber.bmp", 800, 600, &cyberTexture)) {
        cyberTexture = nullptr;
        message = "P_Part2: Could not create texture from file: Data\\Cyber.bmp";
    } else if (!(bolMesh = new Mesh())->Load("Data\\Bol.msh", 0.0045f)) {
        message = "P_Part2: Could not load mesh from file: Data\\Bol.msh";
    } else if (!(hedraMesh = new Mesh())->Load("Data\\Hedra.msh", 0.0075f)) {
        message = "P_Part2: Could not load mesh from file: Data\\Hedra.msh";
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

// The four effects in order; the first message is returned unchanged, except
// the terrain's unreadable-map marker, which is told by its identity and
// replaced by a message naming the file.
const char* P_Part2::InitEffects()
{
    object = new E_Object();
    if (const char* message = object->Init()) return message;
    particles = new E_Particles();
    if (const char* message = particles->Init()) return message;
    planes = new E_Planes();
    if (const char* message = planes->Init()) return message;
    scape = new E_Scape();
    const char* message = scape->Init("Data\\Scape1.map", 4);
    if (message == E_Scape::terrFile) return "P_Part2: Could not load terrain map: Data\\Scape1.map";
    return message;
}

void P_Part2::Release()
{
    initialized = false;
    DeleteObject(timer);
    ReleaseTexture(particleTexture);
    ReleaseTexture(planeTexture);
    ReleaseTexture(hedraTexture);
    ReleaseTexture(blobbyTexture);
    DeleteObject(bolMesh);
    DeleteObject(hedraMesh);
    DeleteObject(object);
    DeleteObject(particles);
    DeleteObject(planes);
    DeleteObject(scape);
    ReleaseTexture(cyberTexture);
}

// The scene clock in seconds, read anew by every test and every formula.
float P_Part2::Seconds()
{
    return timer->ElapsedSeconds();
}

bool P_Part2::Within(float start, float end)
{
    const float t = Seconds();
    return t >= start && t <= end;
}

const char* P_Part2::Render(int elapsedMs, float)
{
    if (!initialized) return "P_Part2: Not initialized.";
    if (!timer) timer = new Timer();

    g_device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
    g_device->BeginScene();

    const float m = static_cast<float>(elapsedMs);
    planes->SetRotationY(m * 0.0001234f);
    const D3DXVECTOR3 planesEye(0.0f, -4000.0f, 0.0f);
    if (const char* message = planes->Render(planeTexture, elapsedMs, true, true, false, planesEye)) return message;
    DrawPolyhedron(elapsedMs, m);
    if (const char* message = DrawTerrainWindows(elapsedMs, m)) return message;
    if (Seconds() <= 6.0f) {
        const float c = 1.0f - Seconds() * 0.16666667f;
        DrawOverlayQuad(nullptr, 5.0f, 5.0f, 0.0f, 0.0f, 5.0f, 5.0f, D3DXCOLOR(c, c, c, c), true, false);
    }

    g_device->EndScene();
    return nullptr;
}

void P_Part2::DrawPolyhedron(int elapsedMs, float m)
{
    for (const PolyhedronLeg& leg : kPolyhedronLegs) {
        if (!Within(leg.start, leg.start + 3.0f)) continue;
        object->SetMesh(hedraMesh);
        object->SetDeformMode(1);
        object->EnableEnvironmentMap();
        object->SetRotationX(m * 0.000234243f);
        object->SetRotationY(m * 0.000434243f);
        object->SetRotationZ(m * 0.000634243f);
        const D3DXVECTOR3 target = CosineBlend(leg.from, leg.to, (Seconds() - leg.start) * 0.33333334f);
        // A failed polyhedron draw ends nothing: the frame goes on without it.
        WarnOfALayerLeftOut("P_Part2",
                            object->Render(hedraTexture, elapsedMs, target, D3DXVECTOR3(0.0f, 0.0f, -8.0f), false));
    }
}

// The terrain windows in order, each drawing the terrain and then its own
// further layers; the first message ends the frame.
const char* P_Part2::DrawTerrainWindows(int elapsedMs, float m)
{
    for (const FlightLeg& leg : kFlightLegs) {
        if (!Within(leg.start, leg.start + 5.0f)) continue;
        const D3DXVECTOR3 target = CosineBlend(leg.targetFrom, leg.targetTo, (Seconds() - leg.start) * 0.2f);
        const D3DXVECTOR3 eye = CosineBlend(leg.eyeFrom, leg.eyeTo, (Seconds() - leg.start) * 0.2f);
        if (const char* message = DrawTerrain(target, eye)) return message;
    }
    if (Within(35.0f, 43.0f)) {
        const D3DXVECTOR3 target =
            CosineBlend(D3DXVECTOR3(2.0f, 4.0f, 10.0f), kRestTarget, (Seconds() - 35.0f) * 0.125f);
        const D3DXVECTOR3 eye = CosineBlend(D3DXVECTOR3(3.0f, 2.0f, -32.0f), kRestEye, (Seconds() - 35.0f) * 0.125f);
        if (const char* message = DrawTerrain(target, eye)) return message;
        DrawImage(0.85f * (Seconds() - 35.0f) * 0.125f);
    }
    if (Within(43.0f, 45.5f)) {
        if (const char* message = DrawTerrain(kRestTarget, kRestEye)) return message;
        DrawImage(0.85f);
    }
    if (Within(45.5f, 49.75f)) {
        if (const char* message = DrawTerrain(kRestTarget, kRestEye)) return message;
        DrawImage(0.85f - 0.85f * (Seconds() - 45.5f) * 0.23529412f);
        SetUpParticles(m);
    }
    if (Within(49.75f, 51.0f)) {
        if (const char* message = DrawTerrain(kRestTarget, kRestEye)) return message;
        const D3DXVECTOR3 target =
            CosineBlend(D3DXVECTOR3(8.0f, 0.0f, 0.0f), D3DXVECTOR3(0.0f, 0.0f, 0.0f), (Seconds() - 49.75f) * 0.8f);
        if (const char* message = DrawBlob(elapsedMs, m, target, D3DXVECTOR3(0.0f, 0.0f, -4.0f))) return message;
    }
    if (Within(51.0f, 71.0f)) {
        if (const char* message = DrawTerrain(kRestTarget, kRestEye)) return message;
        const D3DXVECTOR3 eye =
            CosineBlend(D3DXVECTOR3(0.0f, 0.0f, -4.0f), D3DXVECTOR3(0.0f, 0.0f, -2.25f), (Seconds() - 51.0f) * 0.05f);
        if (const char* message = DrawBlob(elapsedMs, m, D3DXVECTOR3(0.0f, 0.0f, 0.0f), eye)) return message;
    }
    return nullptr;
}

const char* P_Part2::DrawTerrain(D3DXVECTOR3 target, D3DXVECTOR3 eye)
{
    scape->SetRotationY(static_cast<float>(timer->ElapsedMs()) * 0.00013f);
    scape->EnableFlatShading();
    scape->SetFieldOfView(0.8377581f);  // 48 degrees
    return scape->Render(nullptr, target, eye);
}

const char* P_Part2::DrawBlob(int elapsedMs, float m, D3DXVECTOR3 target, D3DXVECTOR3 eye)
{
    object->SetMesh(bolMesh);
    object->SetDeformMode(2);
    object->EnableLighting();
    object->EnableEnvironmentMap();
    object->SetRotationX(m * 0.00071f);
    object->SetRotationY(m * 0.00065f);
    object->SetRotationZ(m * 0.00078f);
    return object->Render(blobbyTexture, elapsedMs, target, eye, false);
}

// The image added over the terrain with all four channels at level.
void P_Part2::DrawImage(float level)
{
    DrawOverlayQuad(cyberTexture, 800.0f, 600.0f, 0.0f, 0.0f, 800.0f, 600.0f, D3DXCOLOR(level, level, level, level),
                    true, false);
}

// While the image fades out, the particle system is set up and the point of
// its path worked out, but no cloud is drawn: the show leaves that layer
// out, so the particles and their texture are loaded and never shown.
void P_Part2::SetUpParticles(float m)
{
    particles->SetMesh(bolMesh);
    particles->SetDeformMode(2);
    particles->SetRotationX(m * 0.000023f);
    particles->SetRotationY(m * 0.000013f);
    particles->SetRotationZ(m * 0.000023f);
    [[maybe_unused]] const D3DXVECTOR3 cloudPoint = CosineBlend(D3DXVECTOR3(-8.0f, -8.0f, 17.0f),
                                                                D3DXVECTOR3(25.0f, 21.0f, 10.5f),
                                                                (Seconds() - 45.5f) * 0.23529412f);
}
