// Cost of the Direct3D stand-in's frames on the headless device (llvmpipe
// here): a full-screen textured overlay, 8000 additive sprites rewritten
// through a vertex buffer lock every frame, and a lit, environment-mapped
// mesh of about 20000 triangles, each as the effects draw them. The frame is
// read back, so the time includes the GL finishing it; the CPU column is the
// calling thread's share (state tracking, uploads, driver front end).
#include "TestDevice.h"

#include "d3d8_host.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <vector>

namespace {

struct Vertex {  // 0x142
    float x, y, z;
    D3DCOLOR diffuse;
    float u, v;
};

struct MeshVertex {  // 0x152
    float x, y, z, nx, ny, nz;
    D3DCOLOR diffuse;
    float u, v;
};

constexpr int kSprites = 8000;
constexpr int kGrid = 100;  // 100 x 100 vertices, 2 * 99 * 99 = 19602 triangles

struct Scene {
    IDirect3DDevice8* device = nullptr;
    IDirect3DTexture8* texture = nullptr;
    IDirect3DVertexBuffer8* sprites = nullptr;
    IDirect3DIndexBuffer8* spriteIndices = nullptr;
    IDirect3DVertexBuffer8* mesh = nullptr;
    IDirect3DIndexBuffer8* meshIndices = nullptr;

    Scene()
    {
        device = CreateTestDevice();
        device->CreateTexture(256, 256, 0, 0, D3DFMT_X8R8G8B8, D3DPOOL_DEFAULT, &texture);
        D3DLOCKED_RECT locked{};
        texture->LockRect(0, &locked, nullptr, 0);
        for (int y = 0; y < 256; ++y)
            for (int x = 0; x < 256; ++x)
                static_cast<D3DCOLOR*>(locked.pBits)[y * 256 + x] = 0xff000000u | static_cast<D3DCOLOR>(x * 0x10101 ^ y);
        texture->UnlockRect(0);
        device->CreateVertexBuffer(kSprites * 4 * sizeof(Vertex), 0, 0x142, D3DPOOL_DEFAULT, &sprites);
        device->CreateIndexBuffer(kSprites * 6 * 2, D3DUSAGE_WRITEONLY, D3DFMT_INDEX16, D3DPOOL_DEFAULT, &spriteIndices);
        BYTE* data = nullptr;
        spriteIndices->Lock(0, 0, &data, 0);
        auto* indices = reinterpret_cast<uint16_t*>(data);
        for (int k = 0; k < kSprites; ++k) {
            const uint16_t b = static_cast<uint16_t>(4 * k);
            const uint16_t quad[6] = {b, uint16_t(b + 1), uint16_t(b + 2), uint16_t(b + 2), uint16_t(b + 1),
                                      uint16_t(b + 3)};
            std::memcpy(indices + 6 * k, quad, sizeof(quad));
        }
        spriteIndices->Unlock();
        device->CreateVertexBuffer(kGrid * kGrid * sizeof(MeshVertex), 0, 0x152, D3DPOOL_DEFAULT, &mesh);
        device->CreateIndexBuffer((kGrid - 1) * (kGrid - 1) * 6 * 2, D3DUSAGE_WRITEONLY, D3DFMT_INDEX16,
                                  D3DPOOL_DEFAULT, &meshIndices);
        meshIndices->Lock(0, 0, &data, 0);
        indices = reinterpret_cast<uint16_t*>(data);
        for (int i = 0; i < kGrid - 1; ++i)
            for (int j = 0; j < kGrid - 1; ++j) {
                const uint16_t a = static_cast<uint16_t>(i * kGrid + j);
                const uint16_t cell[6] = {a, uint16_t(a + 1), uint16_t(a + kGrid), uint16_t(a + kGrid),
                                          uint16_t(a + 1), uint16_t(a + kGrid + 1)};
                std::memcpy(indices, cell, sizeof(cell));
                indices += 6;
            }
        meshIndices->Unlock();
    }

    ~Scene()
    {
        texture->Release();
        sprites->Release();
        spriteIndices->Release();
        mesh->Release();
        meshIndices->Release();
        device->Release();
    }

    void Frame(int frame)
    {
        const float t = static_cast<float>(frame);
        const D3DMATRIX identity = IdentityMatrix(), pixels = PixelProjection();
        device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xff000000, 1.0f, 0);
        device->BeginScene();
        device->SetTransform(D3DTS_WORLD, &identity);
        device->SetTransform(D3DTS_VIEW, &identity);
        device->SetTransform(D3DTS_PROJECTION, &pixels);
        // Overlay picture.
        const Vertex quad[6] = {{0, 600, 1, 0xffffffff, 0, 1}, {0, 0, 1, 0xffffffff, 0, 0},
                                {800, 600, 1, 0xffffffff, 1, 1}, {800, 600, 1, 0xffffffff, 1, 1},
                                {0, 0, 1, 0xffffffff, 0, 0}, {800, 0, 1, 0xffffffff, 1, 0}};
        device->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
        device->SetTexture(0, texture);
        device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
        device->SetRenderState(D3DRS_LIGHTING, FALSE);
        device->SetVertexShader(0x142);
        device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, quad, sizeof(Vertex));

        // Lit, environment-mapped mesh rewritten every frame.
        BYTE* data = nullptr;
        device->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
        if (mesh->Lock(0, 0, &data, 0) == D3D_OK) {
            auto* v = reinterpret_cast<MeshVertex*>(data);
            for (int i = 0; i < kGrid; ++i)
                for (int j = 0; j < kGrid; ++j) {
                    const float s = std::sin(0.1f * static_cast<float>(i + j) + 0.05f * t);
                    *v++ = {100 + 6.0f * j, 20 + 5.6f * i, 0.5f, s, 0.3f, -0.9f, 0xffffffff, 0, 0};
                }
            mesh->Unlock();
        }
        D3DMATERIAL8 material{};
        material.Diffuse = material.Ambient = {1, 1, 1, 1};
        device->SetMaterial(&material);
        D3DLIGHT8 light{};
        light.Type = D3DLIGHT_POINT;
        light.Diffuse = {0.7f, 0.7f, 0.7f, 1};
        light.Ambient = {0.2f, 0.2f, 0.2f, 0};
        light.Position = {400, 300, -200};
        light.Range = 1000;
        light.Attenuation0 = 1;
        device->SetLight(0, &light);
        device->LightEnable(0, TRUE);
        device->SetRenderState(D3DRS_LIGHTING, TRUE);
        device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
        device->SetTransform(D3DTS_TEXTURE0, &identity);
        device->SetTextureStageState(0, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_COUNT2);
        device->SetTextureStageState(0, D3DTSS_TEXCOORDINDEX, D3DTSS_TCI_CAMERASPACENORMAL);
        device->SetStreamSource(0, mesh, sizeof(MeshVertex));
        device->SetVertexShader(0x152);
        device->SetIndices(meshIndices, 0);
        device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, kGrid * kGrid, 0, 2 * (kGrid - 1) * (kGrid - 1));
        device->SetTextureStageState(0, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_DISABLE);
        device->SetTextureStageState(0, D3DTSS_TEXCOORDINDEX, 0);
        device->LightEnable(0, FALSE);
        device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);

        // Additive sprites.
        device->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
        if (sprites->Lock(0, 0, &data, 0) == D3D_OK) {
            auto* v = reinterpret_cast<Vertex*>(data);
            for (int k = 0; k < kSprites; ++k) {
                const float x = 400 + 300 * std::sin(0.001f * k * 7 + 0.01f * t), y = 300 + 250 * std::cos(0.0013f * k * 5);
                v[4 * k + 0] = {x, y, 0.5f, 0x40404040, 0, 0};
                v[4 * k + 1] = {x, y + 6, 0.5f, 0x40404040, 0, 1};
                v[4 * k + 2] = {x + 6, y, 0.5f, 0x40404040, 1, 0};
                v[4 * k + 3] = {x + 6, y + 6, 0.5f, 0x40404040, 1, 1};
            }
            sprites->Unlock();
        }
        device->SetRenderState(D3DRS_LIGHTING, FALSE);
        device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
        device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
        device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
        device->SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
        device->SetStreamSource(0, sprites, sizeof(Vertex));
        device->SetVertexShader(0x142);
        device->SetIndices(spriteIndices, 0);
        device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 4 * kSprites, 0, 2 * kSprites);
        device->SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
        device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ZERO);
        device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
        device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
        device->SetRenderState(D3DRS_LIGHTING, TRUE);
        device->SetTexture(0, nullptr);
        device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_CURRENT);
        device->EndScene();
        device->Present(nullptr, nullptr, nullptr, nullptr);
    }
};

// A whole frame rendered and finished (read back, as a screenshot would).
void BM_FrameRendered(benchmark::State& state)
{
    Scene scene;
    std::vector<uint8_t> rgb;
    int w = 0, h = 0;
    int frame = 0;
    for (int i = 0; i < 3; ++i) scene.Frame(frame++);
    for (auto _ : state) {
        scene.Frame(frame++);
        d3d8_host::ReadBackBuffer(scene.device, rgb, w, h);
    }
}
BENCHMARK(BM_FrameRendered)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
