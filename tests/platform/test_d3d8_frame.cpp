// Steady-state frames through the Direct3D stand-in: after the first frames
// a frame compiles no program and allocates no memory in our code, and
// Present hands each frame to the host.
#include "TestDevice.h"

#include "d3d8_host.h"
#include "d3d8_testing.h"
#include "ShellTesting.h"
#include "host.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {
std::atomic<bool> counting{false};
std::atomic<size_t> allocations{0};
}  // namespace

// Counts the C++ allocations of this test program while `counting` is set.
void* operator new(size_t size)
{
    if (counting) ++allocations;
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
// The replaced operator new above is malloc, so free matches it.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }
#pragma GCC diagnostic pop

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

class FrameTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        d3d8_testing::Reset();
        ResetHost();
        device = CreateTestDevice();
        ASSERT_NE(device, nullptr);
        ASSERT_EQ(device->CreateTexture(64, 64, 0, 0, D3DFMT_X8R8G8B8, D3DPOOL_DEFAULT, &texture), D3D_OK);
        ASSERT_EQ(device->CreateVertexBuffer(3 * sizeof(MeshVertex), 0, 0x152, D3DPOOL_DEFAULT, &vb), D3D_OK);
        ASSERT_EQ(device->CreateIndexBuffer(6, D3DUSAGE_WRITEONLY, D3DFMT_INDEX16, D3DPOOL_DEFAULT, &ib), D3D_OK);
        BYTE* data = nullptr;
        ASSERT_EQ(ib->Lock(0, 0, &data, 0), D3D_OK);
        const uint16_t indices[3] = {0, 1, 2};
        std::memcpy(data, indices, sizeof(indices));
        ASSERT_EQ(ib->Unlock(), D3D_OK);
    }
    void TearDown() override
    {
        counting = false;
        ReleaseAll();
        ResetHost();
    }

    // The resources, then the device.
    void ReleaseAll()
    {
        if (texture) texture->Release();
        if (vb) vb->Release();
        if (ib) ib->Release();
        if (device) device->Release();
        texture = nullptr;
        vb = nullptr;
        ib = nullptr;
        device = nullptr;
    }

    // One frame in the manner of the effects: overlay quads, a lit and
    // environment-mapped mesh rewritten through a lock, additive sprites.
    void Frame(float t)
    {
        const D3DMATRIX identity = IdentityMatrix(), projection = PixelProjection();
        device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xff000000, 1.0f, 0);
        device->BeginScene();
        device->SetTransform(D3DTS_WORLD, &identity);
        device->SetTransform(D3DTS_VIEW, &identity);
        device->SetTransform(D3DTS_PROJECTION, &projection);
        const Vertex quad[6] = {{0, 0, 0.5f, 0xffffffff, 0, 0},     {800, 0, 0.5f, 0xffffffff, 1, 0},
                                {0, 600, 0.5f, 0xffffffff, 0, 1},   {0, 600, 0.5f, 0xffffffff, 0, 1},
                                {800, 0, 0.5f, 0xffffffff, 1, 0},   {800, 600, 0.5f, 0xffffffff, 1, 1}};
        device->SetTexture(0, texture);
        device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
        device->SetRenderState(D3DRS_LIGHTING, FALSE);
        device->SetVertexShader(0x142);
        device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, quad, sizeof(Vertex));
        device->SetRenderState(D3DRS_LIGHTING, TRUE);

        BYTE* data = nullptr;
        if (vb->Lock(0, 0, &data, 0) == D3D_OK) {
            const MeshVertex mesh[3] = {{100 + t, 100, 0.5f, 0, 0, -1, 0xffffffff, 0, 0},
                                        {300, 100, 0.5f, 0, 0, -1, 0xffffffff, 1, 0},
                                        {100, 300, 0.5f, 0, 0, -1, 0xffffffff, 0, 1}};
            std::memcpy(data, mesh, sizeof(mesh));
            vb->Unlock();
        }
        D3DMATERIAL8 material{};
        material.Diffuse = material.Ambient = {1, 1, 1, 1};
        device->SetMaterial(&material);
        D3DLIGHT8 light{};
        light.Type = D3DLIGHT_POINT;
        light.Diffuse = {0.7f, 0.7f, 0.7f, 1.0f};
        light.Position = {t, 10, -6};
        light.Range = 1000;
        light.Attenuation0 = 1;
        device->SetLight(0, &light);
        device->LightEnable(0, TRUE);
        device->SetTransform(D3DTS_TEXTURE0, &identity);
        device->SetTextureStageState(0, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_COUNT2);
        device->SetTextureStageState(0, D3DTSS_TEXCOORDINDEX, D3DTSS_TCI_CAMERASPACENORMAL);
        device->SetStreamSource(0, vb, sizeof(MeshVertex));
        device->SetVertexShader(0x152);
        device->SetIndices(ib, 0);
        device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 3, 0, 1);
        device->SetTextureStageState(0, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_DISABLE);
        device->SetTextureStageState(0, D3DTSS_TEXCOORDINDEX, 0);
        device->LightEnable(0, FALSE);

        device->SetRenderState(D3DRS_LIGHTING, FALSE);
        device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
        device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
        device->SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
        device->SetVertexShader(0x142);
        device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, quad, sizeof(Vertex));
        device->SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
        device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ZERO);
        device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
        device->SetRenderState(D3DRS_LIGHTING, TRUE);
        device->SetTexture(0, nullptr);
        device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_CURRENT);
        device->EndScene();
    }

    IDirect3DDevice8* device = nullptr;
    IDirect3DTexture8* texture = nullptr;
    IDirect3DVertexBuffer8* vb = nullptr;
    IDirect3DIndexBuffer8* ib = nullptr;
};

TEST_F(FrameTest, LaterFramesCompileNothing)
{
    Frame(0);
    Frame(1);
    const size_t programs = d3d8_testing::CompiledPrograms();
    for (int i = 2; i < 20; ++i) Frame(static_cast<float>(i));
    EXPECT_EQ(d3d8_testing::CompiledPrograms(), programs);
}

TEST_F(FrameTest, LaterFramesAllocateNothing)
{
    // The counter itself works.
    allocations = 0;
    counting = true;
    int* volatile probe = new int(1);
    delete probe;
    counting = false;
    ASSERT_EQ(allocations.load(), 1u);

    // The first frames warm up the driver too (llvmpipe compiles its own
    // variants in C++ a frame or two late).
    for (int i = 0; i < 4; ++i) Frame(static_cast<float>(i));
    allocations = 0;
    counting = true;
    for (int i = 4; i < 22; ++i) Frame(static_cast<float>(i));
    counting = false;
    // Only the call log's vector may grow (it doubles: at most three times
    // for the 54 entries these frames add); the device itself allocates nothing.
    EXPECT_LE(allocations.load(), 3u) << allocations.load() << " allocations in 18 frames";
}

TEST_F(FrameTest, AtMostTwoFramesAreInFlightAndNoneOnceTheDeviceIsGone)
{
    // Without the bound, a headless run queues frame after frame and its
    // memory grows with every one; at exit the queued frames would be lost.
    for (int i = 0; i < 12; ++i) {
        Frame(static_cast<float>(i));
        ASSERT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
        EXPECT_LE(d3d8_testing::FramesInFlight(), 2u) << i;
    }
    EXPECT_GE(d3d8_testing::FramesInFlight(), 1u) << "the fences are kept";
    ReleaseAll();
    EXPECT_EQ(d3d8_testing::FramesInFlight(), 0u) << "every presented frame was finished";
}

// Captures read each presented picture back a few frames later, while the
// next frames are drawn: into another colour buffer, which starts from the
// last picture as a back buffer kept across Present does.
TEST_F(FrameTest, ReadBacksGiveEachPresentedPictureWhileLaterFramesDraw)
{
    const auto present = [&] {
        ASSERT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
        ASSERT_TRUE(d3d8_host::QueueReadBack(device));
    };
    const auto take = [](int x, int y) {
        std::vector<uint8_t> rgb;
        int w = 0, h = 0;
        if (!d3d8_host::TakeReadBack(rgb, w, h, true)) return 0xFF000000u;
        return PixelAt(rgb, w, h, x, h - 1 - y);  // rows come bottom row first
    };
    ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xffff0000, 1.0f, 0), D3D_OK);
    present();
    const D3DRECT corner{0, 0, 100, 100};
    ASSERT_EQ(device->Clear(1, &corner, D3DCLEAR_TARGET, 0xff00ff00, 1.0f, 0), D3D_OK);
    present();
    ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xff0000ff, 1.0f, 0), D3D_OK);
    present();
    ASSERT_EQ(device->Clear(1, &corner, D3DCLEAR_TARGET, 0xffffffff, 1.0f, 0), D3D_OK);
    EXPECT_EQ(PixelAt(device, 50, 50), 0xffffffu);
    EXPECT_EQ(PixelAt(device, 400, 300), 0x0000ffu) << "the frame drawn on the last picture";

    EXPECT_EQ(d3d8_host::QueuedReadBacks(), 3u);
    EXPECT_EQ(take(400, 300), 0xff0000u);
    std::vector<uint8_t> rgb;
    int w = 0, h = 0;
    ASSERT_TRUE(d3d8_host::TakeReadBack(rgb, w, h, true));
    EXPECT_EQ(PixelAt(rgb, w, h, 50, h - 1 - 50), 0x00ff00u);
    EXPECT_EQ(PixelAt(rgb, w, h, 400, h - 1 - 300), 0xff0000u) << "the rest of the picture before it";
    EXPECT_EQ(take(50, 50), 0x0000ffu);

    // A picture queued when the device goes is still given.
    present();
    ReleaseAll();
    EXPECT_EQ(take(50, 50), 0xffffffu);
    EXPECT_EQ(d3d8_host::QueuedReadBacks(), 0u);
}

TEST_F(FrameTest, PresentHandsEachFrameToTheHost)
{
    const uint64_t before = runtime::PresentedFrames();
    EXPECT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    EXPECT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    EXPECT_EQ(runtime::PresentedFrames(), before + 2);
    // A lost device shows nothing, but the host's clock goes on, so that a
    // headless run does not stall while the device stays lost.
    d3d8_testing::SetDeviceLost(D3DERR_DEVICELOST);
    ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xff00ff00, 1.0f, 0), D3D_OK);
    EXPECT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3DERR_DEVICELOST);
    EXPECT_EQ(runtime::PresentedFrames(), before + 3);
    d3d8_testing::Reset();
}

}  // namespace
