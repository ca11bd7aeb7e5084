// E_Object: rebuilds every vertex of its mesh on the processor each frame,
// refills the index buffer from the mesh's faces, and draws the object as one
// indexed triangle list seen from the caller's camera.
#include "E_Object.h"

#include "EffectHelpers.h"
#include "MathHelpers.h"
#include "Mesh.h"
#include "SharedDevice.h"

namespace {

static_assert(sizeof(ObjectVertex) == 36, "the 0x152 vertex format is 36 bytes");

const DWORD kFvf = D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE | D3DFVF_TEX1;
const UINT kVertexBytes = E_Object::kMaxVertices * sizeof(ObjectVertex);  // 2160000
const UINT kIndexBytes = E_Object::kMaxFaces * 3 * sizeof(WORD);          // 120000

// The terms of the formulas that depend on time alone, worked out once per
// frame instead of once per vertex. Each is a whole factor or the first or
// last term of its sum, so the results are the same either way.
struct TimeTerms {
    float t;
    float t2739;      // 0.002739726 t
    float t2173;      // 0.002173913 t
    float cos001;     // cos(0.001 t)
    float t1315;      // 0.0013157895 t
    float t0008;      // 0.0008 t
    float t0006;      // 0.0006 t
    float t5102;      // 0.00051020406 t
    float t5376;      // 0.0005376344 t
    float cos33423;   // cos(0.00033423 t)
    float sin0003;    // sin(0.0003 t)
    float sin33x;     // 7.5 * sin(0.00033 t) * sin(0.00033423 t), in that order
    float sin00023;   // sin(0.00023 t)
    float cos00083;   // cos(0.00083 t)
    float twistK;     // |sin(0.00023 t)| + 2
};

TimeTerms MakeTimeTerms(float t)
{
    TimeTerms k;
    k.t = t;
    k.t2739 = 0.002739726f * t;
    k.t2173 = 0.002173913f * t;
    k.cos001 = CosF(0.001f * t);
    k.t1315 = 0.0013157895f * t;
    k.t0008 = 0.0008f * t;
    k.t0006 = 0.0006f * t;
    k.t5102 = 0.00051020406f * t;
    k.t5376 = 0.0005376344f * t;
    k.cos33423 = CosF(0.00033423f * t);
    k.sin0003 = SinF(0.0003f * t);
    k.sin33x = 7.5f * SinF(0.00033f * t) * SinF(0.00033423f * t);
    k.sin00023 = SinF(0.00023f * t);
    k.cos00083 = CosF(0.00083f * t);
    k.twistK = AbsF(k.sin00023) + 2.0f;
    return k;
}

float PulseScale(float x, float y, float z, const TimeTerms& k)
{
    return SinF(k.t2739 + 0.5f * y + z + x) + 3.4f + CosF(0.9090909f * z + 0.4f * y + 0.6666667f * x + k.t2173) +
           k.cos001 * SinF(k.t1315 + 0.18181819f * y + 0.15792799f * x + 0.29213285f * z);
}

float RippleScale(float x, float y, float z, const TimeTerms& k)
{
    const float a = AbsF(SinF(k.t0008 + 1.65f * y + 3.8f * x + z));
    const float b = AbsF(CosF(2.75f * CosF(x) + k.t5102 + 0.4351f * z + 1.5f * y));
    const float c = AbsF(SinF(SinF(4.0821314f * y) + 3.5f * x * k.cos33423));
    return CosF(SqrtF(x * x + y * y + z * z)) * (c + b * a);
}

float TwistScale(float x, float y, float z, const TimeTerms& k)
{
    const float a = AbsF(SinF(k.t0008 + 0.9f * z + 0.65f * y + 0.8f * x));
    const float b = AbsF(CosF(2.75f * SinF(y * z) + 1.5f * CosF(2.0f * x * k.sin0003) + k.t5376 + 0.4351f * z + y));
    const float c = AbsF(SinF(SinF(1.7082131f * z) + k.sin33x * y * x));
    const float d = AbsF(CosF(SqrtF(x * x + z * z + z * z * CosF(x * k.sin00023))));
    return d + c + b * a;
}

float SpikeScale(float x, float y, float z, const TimeTerms& k)
{
    const float a = AbsF(CosF(k.t0006 + 1.9f * z + 2.65f * y + 3.8f * x)) + 1.2332f;
    const float b =
        AbsF(CosF(2.75f * CosF(y * z) + 2.5f * CosF(2.0f * x * k.sin0003) + k.t5102 + 0.2351f * z + y)) + a;
    const float c = AbsF(CosF(SinF(6.7082133f * z) + k.sin33x * x * x)) * b;
    const float d = AbsF(CosF(SqrtF(x * x + z * z + y * y * CosF(x * k.cos00083))));
    return d * c;
}

float Scale(int mode, float x, float y, float z, const TimeTerms& k)
{
    switch (mode) {
    case 1: return PulseScale(x, y, z, k);
    case 2: return RippleScale(x, y, z, k);
    case 3: return TwistScale(x, y, z, k);
    case 4: return SpikeScale(x, y, z, k);
    default: return 1.0f;
    }
}

D3DXVECTOR3 Twist(D3DXVECTOR3 p, const TimeTerms& k)
{
    // The angle's factor is a double constant, as the motion was tuned with it.
    const float w = k.twistK * SinF(static_cast<float>(0.4342557699873152 * p.y));
    const float s = SinF(w), c = CosF(w);
    return D3DXVECTOR3(p.x * s - p.z * c, p.y, p.x * c + p.z * s);
}

D3DCOLORVALUE Grey(float level, float alpha)
{
    return D3DCOLORVALUE{level, level, level, alpha};
}

}  // namespace

float ObjectScale(int mode, float x, float y, float z, float t)
{
    return Scale(mode, x, y, z, MakeTimeTerms(t));
}

D3DXVECTOR3 ObjectTwist(D3DXVECTOR3 p, float t)
{
    return Twist(p, MakeTimeTerms(t));
}

void BuildObjectVertices(const Mesh& mesh, int deformMode, int timeMs, void* out)
{
    const TimeTerms terms = MakeTimeTerms(static_cast<float>(timeMs));
    ObjectVertex* vertices = static_cast<ObjectVertex*>(out);
    for (int k = 0; k < mesh.vertexCount; ++k) {
        const float* v = mesh.vertices + 3 * k;
        float x = v[0], y = v[1], z = v[2];
        if (deformMode == 1) {
            x *= 0.5f;
            y *= 0.5f;
            z *= 0.5f;
        }
        const float s = Scale(deformMode, x, y, z, terms);
        D3DXVECTOR3 p(s * x, s * y, s * z);
        if (deformMode == 3) p = Twist(p, terms);
        // A vertex at the origin has no direction: D3DXVec3Normalize gives it
        // a zero normal rather than NaN, so it is simply unlit by the light's
        // diffuse part.
        D3DXVECTOR3 normal;
        D3DXVec3Normalize(&normal, &p);
        vertices[k] = {p.x, p.y, p.z, normal.x, normal.y, normal.z, 0xFFFFFFFF, p.x * 0.5f, p.y * 0.5f};
    }
}

E_Object::E_Object()
    : initialized(false), vertexBuffer(nullptr), indexBuffer(nullptr), mesh(nullptr), deformMode(0),
      rotationX(0.0f), rotationY(0.0f), rotationZ(0.0f), culling(true), lineMode(false), environmentMap(false),
      flatShading(false), lighting(false)
{
}

E_Object::~E_Object()
{
    Release();
}

void E_Object::Release()
{
    ReleaseBuffers(vertexBuffer, indexBuffer);
    initialized = false;
    mesh = nullptr;
    deformMode = 0;
    rotationX = rotationY = rotationZ = 0.0f;
    culling = true;
    lineMode = false;
    environmentMap = false;
    flatShading = false;
    lighting = false;
}

const char* E_Object::Init()
{
    Release();
    if (FAILED(g_device->CreateVertexBuffer(kVertexBytes, 0, kFvf, D3DPOOL_DEFAULT, &vertexBuffer))) {
        vertexBuffer = nullptr;
        Release();
        return "E_Object: Couldn't create a Direct3D vertex buffer.";
    }
    if (FAILED(g_device->CreateIndexBuffer(kIndexBytes, D3DUSAGE_WRITEONLY, D3DFMT_INDEX16, D3DPOOL_DEFAULT,
                                           &indexBuffer))) {
        indexBuffer = nullptr;
        Release();
        return "E_Object: Couldn't create a Direct3D index buffer.";
    }
    initialized = true;
    return nullptr;
}

const char* E_Object::Render(IDirect3DTexture8* texture, int timeMs, D3DXVECTOR3 target, D3DXVECTOR3 eye,
                             bool additive)
{
    if (!initialized) return "E_Object: Not initialized.";
    if (!mesh) return "E_Object: No source mesh provided.";
    // The test is on the faces, although the message speaks of vertices.
    if (mesh->faceCount > kMaxFaces) return "E_Object: Number of vertices in the source mesh exceeds 20000.";
    // A mesh with few faces may still have more vertices than the buffer
    // holds; writing them would run past its end.
    if (mesh->vertexCount > kMaxVertices) return "E_Object: Number of vertices in the source mesh exceeds 60000.";

    g_device->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
    // An empty mesh has nothing to draw; the device is not asked to draw zero triangles.
    if (mesh->faceCount <= 0 || mesh->vertexCount <= 0) return nullptr;

    BYTE* data = nullptr;
    if (FAILED(vertexBuffer->Lock(0, 0, &data, 0))) return "E_Object: Couldn't lock Direct3D vertex buffer.";
    BuildObjectVertices(*mesh, deformMode, timeMs, data);
    vertexBuffer->Unlock();

    if (!FillIndices()) {
        Release();
        return "E_Object: Couldn't lock Direct3D index buffer.";
    }

    SetTransforms(target, eye);
    SetStates(texture, timeMs, additive);
    g_device->SetStreamSource(0, vertexBuffer, sizeof(ObjectVertex));
    g_device->SetVertexShader(kFvf);
    g_device->SetIndices(indexBuffer, 0);
    g_device->DrawIndexedPrimitive(lineMode ? D3DPT_LINELIST : D3DPT_TRIANGLELIST, 0, mesh->vertexCount, 0,
                                   mesh->faceCount);
    RestoreStates(texture, additive);
    return nullptr;
}

// The faces never change, but the whole index buffer is refilled each frame
// from the mesh, each index cut to its low 16 bits.
bool E_Object::FillIndices()
{
    BYTE* data = nullptr;
    if (FAILED(indexBuffer->Lock(0, 0, &data, 0))) return false;
    WORD* indices = reinterpret_cast<WORD*>(data);
    const int count = 3 * mesh->faceCount;
    for (int i = 0; i < count; ++i) indices[i] = static_cast<WORD>(mesh->faces[i] & 0xFFFF);
    indexBuffer->Unlock();
    return true;
}

void E_Object::SetTransforms(D3DXVECTOR3 target, D3DXVECTOR3 eye)
{
    // A square aspect, not the screen's 4:3: the object is drawn a little wide.
    SetPerspectiveTransforms(rotationX, rotationY, rotationZ, target, eye, 0.7853982f, 1.0f);
}

void E_Object::SetStates(IDirect3DTexture8* texture, int timeMs, bool additive)
{
    if (texture) {
        g_device->SetTexture(0, texture);
        g_device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
        if (environmentMap) {
            // Camera-space normals (nx, ny) become (0.5 + 0.5 nx, 0.5 - 0.5 ny).
            const D3DXMATRIX normalToTexture(0.5f, 0.0f, 0.0f, 0.0f,   //
                                             0.0f, -0.5f, 0.0f, 0.0f,  //
                                             0.0f, 0.0f, 1.0f, 0.0f,   //
                                             0.5f, 0.5f, 0.0f, 1.0f);
            g_device->SetTransform(D3DTS_TEXTURE0, &normalToTexture);
            g_device->SetTextureStageState(0, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_COUNT2);
            g_device->SetTextureStageState(0, D3DTSS_TEXCOORDINDEX, D3DTSS_TCI_CAMERASPACENORMAL);
        }
    }
    if (lighting) {
        D3DMATERIAL8 material{};
        material.Diffuse = Grey(1.0f, 1.0f);
        material.Ambient = Grey(1.0f, 1.0f);
        g_device->SetMaterial(&material);
        const float swing = SinF(static_cast<float>(timeMs) * 0.001f);
        D3DLIGHT8 light{};
        light.Type = D3DLIGHT_POINT;
        light.Diffuse = Grey(0.7f, 1.0f);
        light.Ambient = Grey(0.2f, 0.0f);
        light.Position = D3DVECTOR{0.0f, 10.0f * swing, 2.0f * swing - 6.0f};
        light.Range = 1000.0f;
        light.Attenuation0 = 1.0f;
        g_device->SetLight(0, &light);
        g_device->LightEnable(0, TRUE);
    } else {
        g_device->SetRenderState(D3DRS_LIGHTING, FALSE);
    }
    if (!culling) g_device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    if (flatShading) g_device->SetRenderState(D3DRS_SHADEMODE, D3DSHADE_FLAT);
    if (additive) {
        g_device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
        g_device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
        g_device->SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
    }
}

// Puts back what SetStates changed; the texture matrix itself stays set.
void E_Object::RestoreStates(IDirect3DTexture8* texture, bool additive)
{
    if (additive) {
        g_device->SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
        g_device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ZERO);
        g_device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    }
    if (flatShading) g_device->SetRenderState(D3DRS_SHADEMODE, D3DSHADE_GOURAUD);
    if (!culling) g_device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
    if (!lighting) {
        g_device->SetRenderState(D3DRS_LIGHTING, TRUE);
    } else {
        g_device->LightEnable(0, FALSE);
        const D3DMATERIAL8 none{};
        g_device->SetMaterial(&none);
    }
    if (texture) {
        g_device->SetTexture(0, nullptr);
        g_device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_CURRENT);
        if (environmentMap) {
            g_device->SetTextureStageState(0, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_DISABLE);
            g_device->SetTextureStageState(0, D3DTSS_TEXCOORDINDEX, 0);
        }
    }
}
