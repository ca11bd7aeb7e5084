// E_Scape: reads the height map, writes the static grid once in Init and
// draws it each frame with the landscape's light and material.
#include "E_Scape.h"

#include "EffectHelpers.h"
#include "Mesh.h"
#include "SharedDevice.h"

namespace {

static_assert(sizeof(ScapeVertex) == 32, "the 0x112 vertex format is 32 bytes");

const DWORD kFvf = D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1;
const int kCellsPerSide = E_Scape::kSide - 1;
const int kTriangles = kCellsPerSide * kCellsPerSide * 2;                     // 7938
const UINT kVertexBytes = E_Scape::kSamples * sizeof(ScapeVertex);            // 131072
const UINT kIndexBytes = 49152;  // room for 24576 indices, of which 23814 are used

void WriteIndices(WORD* indices)
{
    for (int i = 0; i < kCellsPerSide; ++i) {
        for (int j = 0; j < kCellsPerSide; ++j) {
            const WORD a = static_cast<WORD>(E_Scape::kSide * i + j);
            WORD* cell = indices + 6 * (kCellsPerSide * i + j);
            cell[0] = a;
            cell[1] = a + 64;
            cell[2] = a + 1;
            cell[3] = a + 65;
            cell[4] = a + 1;
            cell[5] = a + 64;
        }
    }
}

D3DCOLORVALUE Grey(float level, float alpha)
{
    return D3DCOLORVALUE{level, level, level, alpha};
}

}  // namespace

const char* const E_Scape::terrFile = "terrFile";

void BuildScapeVertices(const int8_t* samples, int heightDivisor, ScapeVertex* out)
{
    for (int i = 0; i < E_Scape::kSide; ++i) {
        for (int j = 0; j < E_Scape::kSide; ++j) {
            const float x = static_cast<float>(j) - 32.0f;
            const float z = static_cast<float>(i) - 32.0f;
            // Integer division, truncating toward zero: with divisor 4 the
            // samples -3 to 3 all lie at height 0.
            const int h = samples[E_Scape::kSide * j + i];
            const float y = static_cast<float>(-(h / heightDivisor));
            // The vertex at the origin has no direction and gets a zero
            // normal (D3DXVec3Normalize's result for a zero vector).
            D3DXVECTOR3 normal(x, y, z);
            D3DXVec3Normalize(&normal, &normal);
            out[E_Scape::kSide * i + j] = {x, y, z, normal.x, normal.y, normal.z, (j % 2 == 0) ? 1.0f : 0.0f,
                                           (i % 2 == 0) ? 1.0f : 0.0f};
        }
    }
}

E_Scape::E_Scape()
    : initialized(false), vertexBuffer(nullptr), indexBuffer(nullptr), rotationX(0.0f), rotationY(0.0f),
      rotationZ(0.0f), fieldOfView(0.7853982f), flatShading(false)
{
}

E_Scape::~E_Scape()
{
    Release();
}

void E_Scape::Release()
{
    ReleaseBuffers(vertexBuffer, indexBuffer);
    initialized = false;
    rotationX = rotationY = rotationZ = 0.0f;
    fieldOfView = 0.7853982f;
    flatShading = false;
}

const char* E_Scape::Init(const char* path, int heightDivisor)
{
    Release();
    // Every sample is divided by it: a divisor of 0 has no landscape to give.
    if (heightDivisor == 0) return "E_Scape: The height divisor must not be 0.";
    FileReader file;
    if (!file.Open(path)) {
        Release();
        return terrFile;
    }
    // The reader fails a short read, so a map of fewer than 4096 bytes is
    // unreadable too, rather than leaving old samples at its end.
    if (!file.Read(heights, kSamples)) {
        file.Close();
        Release();
        return terrFile;
    }
    file.Close();

    if (FAILED(g_device->CreateVertexBuffer(kVertexBytes, 0, kFvf, D3DPOOL_DEFAULT, &vertexBuffer))) {
        vertexBuffer = nullptr;
        Release();
        return "E_Scape: Couldn't create a Direct3D vertex buffer.";
    }
    BYTE* data = nullptr;
    // The buffer stays held until the next Release; the object is not initialised.
    if (FAILED(vertexBuffer->Lock(0, 0, &data, 0))) return "E_Scape: Couldn't lock Direct3D vertex buffer.";
    BuildScapeVertices(heights, heightDivisor, reinterpret_cast<ScapeVertex*>(data));
    vertexBuffer->Unlock();

    if (FAILED(g_device->CreateIndexBuffer(kIndexBytes, D3DUSAGE_WRITEONLY, D3DFMT_INDEX16, D3DPOOL_DEFAULT,
                                           &indexBuffer))) {
        indexBuffer = nullptr;
        Release();
        return "E_Scape: Couldn't create a Direct3D index buffer.";
    }
    if (FAILED(indexBuffer->Lock(0, 0, &data, 0))) {
        Release();
        return "E_Scape: Couldn't lock Direct3D index buffer.";
    }
    WriteIndices(reinterpret_cast<WORD*>(data));
    indexBuffer->Unlock();
    initialized = true;
    return nullptr;
}

const char* E_Scape::Render(IDirect3DTexture8* texture, D3DXVECTOR3 target, D3DXVECTOR3 eye)
{
    if (!initialized) return "E_Scape: Not initialized.";
    g_device->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 1.0f, 0);

    SetPerspectiveTransforms(rotationX, rotationY, rotationZ, target, eye, fieldOfView, 1.33f);

    g_device->SetTexture(0, texture);
    g_device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    D3DMATERIAL8 material{};
    material.Diffuse = Grey(0.3f, 0.3f);
    material.Ambient = Grey(0.3f, 0.3f);
    g_device->SetMaterial(&material);
    // The normals point away from the light at the origin, so only its
    // ambient part lights the land, fading as 1 / (0.0089 distance).
    D3DLIGHT8 light{};
    light.Type = D3DLIGHT_POINT;
    light.Diffuse = Grey(0.5f, 0.5f);
    light.Ambient = Grey(0.1f, 0.0f);
    light.Range = 1000.0f;
    light.Attenuation1 = 0.0089f;
    g_device->SetLight(0, &light);
    g_device->LightEnable(0, TRUE);
    if (flatShading) g_device->SetRenderState(D3DRS_SHADEMODE, D3DSHADE_FLAT);
    g_device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);

    g_device->SetStreamSource(0, vertexBuffer, sizeof(ScapeVertex));
    g_device->SetVertexShader(kFvf);
    g_device->SetIndices(indexBuffer, 0);
    g_device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, kSamples, 0, kTriangles);

    g_device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
    if (flatShading) g_device->SetRenderState(D3DRS_SHADEMODE, D3DSHADE_GOURAUD);
    g_device->LightEnable(0, FALSE);
    const D3DMATERIAL8 none{};
    g_device->SetMaterial(&none);
    g_device->SetTexture(0, nullptr);
    g_device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_CURRENT);
    return nullptr;
}
