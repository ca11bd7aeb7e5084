// E_Particles: rebuilds every sprite on the processor each draw and draws
// them as one indexed triangle list, added onto the frame.
#include "E_Particles.h"

#include "EffectHelpers.h"
#include "MathHelpers.h"
#include "Mesh.h"
#include "Quads.h"
#include "SharedDevice.h"

#include <cmath>

namespace {

struct ParticleVertex {
    float x, y, z;
    DWORD diffuse;
    float u, v;
};
static_assert(sizeof(ParticleVertex) == 24, "the 0x142 vertex format is 24 bytes");

const DWORD kFvf = D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1;
const UINT kVertexBytes = E_Particles::kMaxParticles * 4 * sizeof(ParticleVertex);  // 768000
const UINT kIndexBytes = E_Particles::kMaxParticles * 6 * sizeof(WORD);              // 96000
const float kSpriteSize = 0.2f;

// The particles' camera: a square frustum of 45 degrees from near 1 to far
// 1000. The projection and the visibility test below are both made from
// these numbers, so that the test keeps every sprite the projection shows.
const float kFieldOfView = 0.7853982f;
const float kAspect = 1.0f;
const float kNear = 1.0f;
const float kFar = 1000.0f;

// Whether any part of the sprite at p (a view-space corner) can reach the
// screen through the particles' camera. A sprite wholly outside the frustum
// gives no pixel, so it is not sent to the device at all; the margins keep
// every sprite that touches an edge.
bool SpriteVisible(D3DXVECTOR3 p)
{
    // The frustum's half height at depth 1, and its half width.
    static const float kSlopeY = static_cast<float>(std::tan(kFieldOfView / 2.0));
    static const float kSlopeX = kSlopeY * kAspect;
    if (!(p.z >= kNear * 0.9999f && p.z <= kFar * 1.0001f)) return false;
    const float halfWidth = p.z * kSlopeX * 1.001f + 0.001f;
    const float halfHeight = p.z * kSlopeY * 1.001f + 0.001f;
    return p.x <= halfWidth && p.x + kSpriteSize >= -halfWidth && p.y <= halfHeight && p.y + kSpriteSize >= -halfHeight;
}

// The terms of the formulas that depend on time alone, worked out once per
// draw instead of once per vertex; the values are the same either way.
struct TimeTerms {
    float t;
    float sin13423;   // sin(0.00013423 t)
    float sin53423;   // sin(0.0053423 t)
    float sin0003;    // sin(0.0003 t)
    float sin33x;     // sin(0.00033 t) * 7.5 * sin(0.00033423 t), in that order
    float sin00023;   // sin(0.00023 t)
    float twistK;     // |sin(0.00023 t)| + 2
};

TimeTerms MakeTimeTerms(float t)
{
    TimeTerms k;
    k.t = t;
    k.sin13423 = SinF(0.00013423f * t);
    k.sin53423 = SinF(0.0053423f * t);
    k.sin0003 = SinF(0.0003f * t);
    k.sin33x = 7.5f * SinF(0.00033f * t) * SinF(0.00033423f * t);
    k.sin00023 = SinF(0.00023f * t);
    k.twistK = AbsF(k.sin00023) + 2.0f;
    return k;
}

float Scale(int mode, float x, float y, float z, const TimeTerms& k)
{
    const float t = k.t;
    switch (mode) {
    case 1:
        return SinF(SinF(10.854087f * y) + x * k.sin13423) *
               (SinF(0.29890898f * SinF(x) + 0.6972363f * y + 0.00060240965f * t + 0.3125f * z) + 5.0f);
    case 2:
        return CosF(SinF(10.854087f * y) + x * k.sin53423) *
               (SinF(0.29895365f * SinF(x) + 0.00046296295f * t + 0.69764197f * y + 0.4761905f * z) + 2.2f);
    case 3: {
        const float a = AbsF(SinF(0.0012f * t + 0.9f * z + 0.65f * y + 0.8f * x));
        const float b = AbsF(CosF(2.75f * SinF(z * y) + 1.5f * CosF(2.0f * x * k.sin0003) + 0.0007936508f * t +
                                  0.4351f * z + y));
        const float c = AbsF(SinF(SinF(1.7082131f * z) + k.sin33x * y * x));
        const float d = AbsF(CosF(SqrtF(CosF(x * k.sin00023) * (z * z) + z * z + x * x)));
        return a * b + c + d;
    }
    default:
        return 1.0f;
    }
}

D3DXVECTOR3 Twist(D3DXVECTOR3 p, const TimeTerms& k)
{
    // The angle's factor is a double constant, as the motion was tuned with it.
    const float a = k.twistK * SinF(static_cast<float>(0.4342557699873152 * p.y));
    const float s = SinF(a), c = CosF(a);
    return D3DXVECTOR3(p.x * s - p.z * c, p.y, p.x * c + p.z * s);
}

}  // namespace

float ParticleScale(int mode, float x, float y, float z, float t)
{
    return Scale(mode, x, y, z, MakeTimeTerms(t));
}

D3DXVECTOR3 ParticleTwist(D3DXVECTOR3 p, float t)
{
    return Twist(p, MakeTimeTerms(t));
}

void DeformParticles(const Mesh& mesh, int deformMode, int timeMs, D3DXVECTOR3* out)
{
    const TimeTerms terms = MakeTimeTerms(static_cast<float>(timeMs));
    for (int k = 0; k < mesh.vertexCount; ++k) {
        const float* v = mesh.vertices + 3 * k;
        const float s = Scale(deformMode, v[0], v[1], v[2], terms);
        const D3DXVECTOR3 p(v[0] * s, v[1] * s, v[2] * s);
        out[k] = deformMode == 3 ? Twist(p, terms) : p;
    }
}

int BuildParticleQuads(const D3DXVECTOR3* points, int count, const D3DXMATRIX& rotation, D3DXVECTOR3 placement,
                       DWORD diffuse, void* out)
{
    ParticleVertex* quads = static_cast<ParticleVertex*>(out);
    int written = 0;
    for (int k = 0; k < count; ++k) {
        D3DXVECTOR3 p;
        D3DXVec3TransformCoord(&p, &points[k], &rotation);
        p.z = (p.z + 2.0f) * placement.z;
        p.y = p.y - placement.y;
        p.x = p.x - placement.x;
        if (!SpriteVisible(p)) continue;

        ParticleVertex* quad = quads + 4 * written++;
        quad[0] = {p.x, p.y, p.z, diffuse, 0.0f, 0.0f};
        quad[1] = {p.x, p.y + kSpriteSize, p.z, diffuse, 0.0f, 1.0f};
        quad[2] = {p.x + kSpriteSize, p.y, p.z, diffuse, 1.0f, 0.0f};
        quad[3] = {p.x + kSpriteSize, p.y + kSpriteSize, p.z, diffuse, 1.0f, 1.0f};
    }
    return written;
}

E_Particles::E_Particles()
    : initialized(false), vertexBuffer(nullptr), indexBuffer(nullptr), mesh(nullptr), deformMode(0),
      rotationX(0.0f), rotationY(0.0f), rotationZ(0.0f), deformed(kMaxParticles), deformedValid(false),
      deformedTimeMs(0)
{
}

E_Particles::~E_Particles()
{
    Release();
}

void E_Particles::Release()
{
    ReleaseBuffers(vertexBuffer, indexBuffer);
    initialized = false;
    deformedValid = false;
    rotationX = rotationY = rotationZ = 0.0f;
}

const char* E_Particles::Init()
{
    Release();
    if (FAILED(g_device->CreateVertexBuffer(kVertexBytes, 0, kFvf, D3DPOOL_DEFAULT, &vertexBuffer))) {
        vertexBuffer = nullptr;
        Release();
        return "E_Particles: Couldn't create a Direct3D vertex buffer.";
    }
    if (FAILED(g_device->CreateIndexBuffer(kIndexBytes, D3DUSAGE_WRITEONLY, D3DFMT_INDEX16, D3DPOOL_DEFAULT,
                                           &indexBuffer))) {
        indexBuffer = nullptr;
        Release();
        return "E_Particles: Couldn't create a Direct3D index buffer.";
    }
    BYTE* data = nullptr;
    if (FAILED(indexBuffer->Lock(0, 0, &data, 0))) {
        Release();
        return "E_Particles: Couldn't lock Direct3D index buffer.";
    }
    WORD* indices = reinterpret_cast<WORD*>(data);
    for (int k = 0; k < kMaxParticles; ++k) {
        const WORD base = static_cast<WORD>(4 * k);
        WORD* quad = indices + 6 * k;
        quad[0] = base;
        quad[1] = base + 1;
        quad[2] = base + 2;
        quad[3] = base + 2;
        quad[4] = base + 1;
        quad[5] = base + 3;
    }
    indexBuffer->Unlock();
    initialized = true;
    return nullptr;
}

const char* E_Particles::Render(IDirect3DTexture8* texture, int timeMs, D3DXVECTOR3 placement, D3DXCOLOR colour)
{
    if (!initialized) return "E_Particles: Not initialized.";
    if (!mesh) return "E_Particles: No source mesh provided.";
    if (mesh->vertexCount > kMaxParticles) return "E_Particles: Number of vertices in the source mesh exceeds 8000.";

    g_device->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
    const int count = mesh->vertexCount;
    // An empty mesh has nothing to draw; the device is not asked to draw zero triangles.
    if (count <= 0 || !mesh->vertices) return nullptr;

    BYTE* data = nullptr;
    if (FAILED(vertexBuffer->Lock(0, 0, &data, 0))) {
        Release();
        return "E_Particles: Couldn't lock Direct3D vertex buffer.";
    }

    const D3DXMATRIX rotation = RotationXYZ(rotationX, rotationY, rotationZ);

    // The deformation depends on the mesh, the mode and the time alone, so
    // the clouds drawn from one mesh in a frame share it.
    if (!deformedValid || deformedTimeMs != timeMs) {
        DeformParticles(*mesh, deformMode, timeMs, deformed.data());
        deformedValid = true;
        deformedTimeMs = timeMs;
    }
    const int visible =
        BuildParticleQuads(deformed.data(), count, rotation, placement, PackColour(colour), data);
    vertexBuffer->Unlock();

    D3DXMATRIX view, world, projection;
    const D3DXVECTOR3 eye(0.0f, 0.0f, -1.0f), at(0.0f, 0.0f, 0.0f), up(0.0f, 1.0f, 0.0f);
    D3DXMatrixLookAtLH(&view, &eye, &at, &up);
    D3DXMatrixInverse(&world, nullptr, &view);
    D3DXMatrixPerspectiveFovLH(&projection, kFieldOfView, kAspect, kNear, kFar);
    g_device->SetTransform(D3DTS_WORLD, &world);
    g_device->SetTransform(D3DTS_VIEW, &view);
    g_device->SetTransform(D3DTS_PROJECTION, &projection);

    g_device->SetTexture(0, texture);
    g_device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    g_device->SetRenderState(D3DRS_LIGHTING, FALSE);
    g_device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    g_device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    g_device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
    g_device->SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
    g_device->SetStreamSource(0, vertexBuffer, sizeof(ParticleVertex));
    g_device->SetVertexShader(kFvf);
    g_device->SetIndices(indexBuffer, 0);
    // Only the sprites that can be seen, in their order: the picture is that
    // of all of them, for less of the device's work per triangle.
    if (visible > 0) g_device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 4 * visible, 0, 2 * visible);

    g_device->SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
    g_device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ZERO);
    g_device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    g_device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
    g_device->SetRenderState(D3DRS_LIGHTING, TRUE);
    g_device->SetTexture(0, nullptr);
    g_device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_CURRENT);
    return nullptr;
}
