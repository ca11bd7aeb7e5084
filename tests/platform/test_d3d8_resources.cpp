// Textures, vertex buffers and index buffers of the Direct3D stand-in:
// creation and its failure hooks, Lock/Unlock round trips and their limits,
// mip levels and level descriptions.
#include "TestDevice.h"

#include "d3d8_testing.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

class ResourceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        d3d8_testing::Reset();
        device = CreateTestDevice();
        ASSERT_NE(device, nullptr);
    }
    void TearDown() override
    {
        d3d8_testing::Reset();
        if (device) {
            EXPECT_EQ(device->Release(), 0u);
        }
        EXPECT_EQ(d3d8_testing::LiveResources(), 0u);
    }
    IDirect3DDevice8* device = nullptr;
};

// --- Buffers ----------------------------------------------------------------

TEST_F(ResourceTest, WholeBufferLockRoundTrips)
{
    IDirect3DVertexBuffer8* vb = nullptr;
    ASSERT_EQ(device->CreateVertexBuffer(2160000, 0, 0x152, D3DPOOL_DEFAULT, &vb), D3D_OK);
    EXPECT_EQ(vb->GetType(), D3DRTYPE_VERTEXBUFFER);
    BYTE* data = nullptr;
    ASSERT_EQ(vb->Lock(0, 0, &data, 0), D3D_OK);
    ASSERT_NE(data, nullptr);
    for (int i = 0; i < 2160000; ++i) data[i] = static_cast<BYTE>(i * 7);
    ASSERT_EQ(vb->Unlock(), D3D_OK);
    ASSERT_EQ(vb->Lock(0, 0, &data, D3DLOCK_READONLY), D3D_OK);
    bool same = true;
    for (int i = 0; i < 2160000; ++i) same = same && data[i] == static_cast<BYTE>(i * 7);
    EXPECT_TRUE(same);
    ASSERT_EQ(vb->Unlock(), D3D_OK);
    EXPECT_EQ(vb->Release(), 0u);
}

TEST_F(ResourceTest, PartialLocksPointIntoTheBuffer)
{
    IDirect3DIndexBuffer8* ib = nullptr;
    ASSERT_EQ(device->CreateIndexBuffer(100, D3DUSAGE_WRITEONLY, D3DFMT_INDEX16, D3DPOOL_DEFAULT, &ib), D3D_OK);
    EXPECT_EQ(ib->GetType(), D3DRTYPE_INDEXBUFFER);
    BYTE* whole = nullptr;
    BYTE* part = nullptr;
    ASSERT_EQ(ib->Lock(0, 0, &whole, 0), D3D_OK);
    ASSERT_EQ(ib->Unlock(), D3D_OK);
    ASSERT_EQ(ib->Lock(40, 20, &part, 0), D3D_OK);
    EXPECT_EQ(part, whole + 40);
    std::memset(part, 0xab, 20);
    ASSERT_EQ(ib->Unlock(), D3D_OK);
    ASSERT_EQ(ib->Lock(0, 0, &whole, 0), D3D_OK);
    EXPECT_EQ(whole[39], 0);
    EXPECT_EQ(whole[40], 0xab);
    EXPECT_EQ(whole[59], 0xab);
    EXPECT_EQ(whole[60], 0);
    ASSERT_EQ(ib->Unlock(), D3D_OK);
    ib->Release();
}

TEST_F(ResourceTest, LocksOutsideTheBufferAndUnbalancedUnlocksFail)
{
    IDirect3DVertexBuffer8* vb = nullptr;
    ASSERT_EQ(device->CreateVertexBuffer(64, 0, 0, D3DPOOL_DEFAULT, &vb), D3D_OK);
    BYTE* data = reinterpret_cast<BYTE*>(1);
    EXPECT_EQ(vb->Lock(60, 8, &data, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(data, nullptr);
    EXPECT_EQ(vb->Lock(65, 0, &data, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(vb->Lock(0, 0, nullptr, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(vb->Unlock(), D3DERR_INVALIDCALL);
    ASSERT_EQ(vb->Lock(64, 0, &data, 0), D3D_OK);  // an empty lock at the end
    EXPECT_EQ(vb->Unlock(), D3D_OK);
    vb->Release();
}

TEST_F(ResourceTest, CreationRefusesEmptyAndUnknownBuffers)
{
    IDirect3DVertexBuffer8* vb = reinterpret_cast<IDirect3DVertexBuffer8*>(1);
    EXPECT_EQ(device->CreateVertexBuffer(0, 0, 0, D3DPOOL_DEFAULT, &vb), D3DERR_INVALIDCALL);
    EXPECT_EQ(vb, nullptr);
    IDirect3DIndexBuffer8* ib = nullptr;
    EXPECT_EQ(device->CreateIndexBuffer(64, 0, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &ib), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->CreateIndexBuffer(0, 0, D3DFMT_INDEX16, D3DPOOL_DEFAULT, &ib), D3DERR_INVALIDCALL);
    EXPECT_EQ(ib, nullptr);
}

TEST_F(ResourceTest, CreationFailureHooks)
{
    IDirect3DVertexBuffer8* vb = nullptr;
    IDirect3DIndexBuffer8* ib = nullptr;
    IDirect3DTexture8* texture = nullptr;
    d3d8_testing::FailCreateVertexBuffer(true);
    EXPECT_NE(device->CreateVertexBuffer(64, 0, 0, D3DPOOL_DEFAULT, &vb), D3D_OK);
    EXPECT_EQ(vb, nullptr);
    EXPECT_EQ(device->CreateIndexBuffer(64, 0, D3DFMT_INDEX16, D3DPOOL_DEFAULT, &ib), D3D_OK);
    ASSERT_NE(ib, nullptr);
    ib->Release();
    d3d8_testing::FailCreateIndexBuffer(true);
    ib = nullptr;
    EXPECT_NE(device->CreateIndexBuffer(64, 0, D3DFMT_INDEX16, D3DPOOL_DEFAULT, &ib), D3D_OK);
    EXPECT_EQ(ib, nullptr);
    d3d8_testing::FailCreateTexture(true);
    EXPECT_NE(device->CreateTexture(8, 8, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &texture), D3D_OK);
    EXPECT_EQ(texture, nullptr);
    EXPECT_EQ(d3d8_testing::LiveResources(), 0u);
}

TEST_F(ResourceTest, LockFailureHooksAreSeparateForVertexAndIndexBuffers)
{
    IDirect3DVertexBuffer8* vb = nullptr;
    IDirect3DIndexBuffer8* ib = nullptr;
    ASSERT_EQ(device->CreateVertexBuffer(64, 0, 0, D3DPOOL_DEFAULT, &vb), D3D_OK);
    ASSERT_EQ(device->CreateIndexBuffer(64, 0, D3DFMT_INDEX16, D3DPOOL_DEFAULT, &ib), D3D_OK);
    BYTE* data = nullptr;
    d3d8_testing::FailIndexBufferLock(true);
    EXPECT_EQ(vb->Lock(0, 0, &data, 0), D3D_OK);
    EXPECT_EQ(vb->Unlock(), D3D_OK);
    EXPECT_NE(ib->Lock(0, 0, &data, 0), D3D_OK);
    EXPECT_EQ(data, nullptr);
    d3d8_testing::FailIndexBufferLock(false);
    d3d8_testing::FailVertexBufferLock(true);
    EXPECT_NE(vb->Lock(0, 0, &data, 0), D3D_OK);
    EXPECT_EQ(ib->Lock(0, 0, &data, 0), D3D_OK);
    EXPECT_EQ(ib->Unlock(), D3D_OK);
    d3d8_testing::FailBufferLock(true);
    EXPECT_NE(ib->Lock(0, 0, &data, 0), D3D_OK);
    d3d8_testing::FailBufferLock(false);
    EXPECT_EQ(vb->Lock(0, 0, &data, 0), D3D_OK);
    EXPECT_EQ(vb->Unlock(), D3D_OK);
    vb->Release();
    ib->Release();
}

TEST_F(ResourceTest, ResourcesNameTheirDevice)
{
    IDirect3DVertexBuffer8* vb = nullptr;
    ASSERT_EQ(device->CreateVertexBuffer(64, 0, 0, D3DPOOL_DEFAULT, &vb), D3D_OK);
    IDirect3DDevice8* owner = nullptr;
    ASSERT_EQ(vb->GetDevice(&owner), D3D_OK);
    EXPECT_EQ(owner, device);
    EXPECT_EQ(owner->Release(), 1u);  // GetDevice added a reference
    vb->Release();
}

// --- Textures ---------------------------------------------------------------

TEST_F(ResourceTest, TextureWithZeroLevelsGetsTheFullChain)
{
    IDirect3DTexture8* texture = nullptr;
    ASSERT_EQ(device->CreateTexture(256, 64, 0, 0, D3DFMT_X8R8G8B8, D3DPOOL_DEFAULT, &texture), D3D_OK);
    EXPECT_EQ(texture->GetLevelCount(), 9u);  // 256 down to 1
    D3DSURFACE_DESC desc{};
    ASSERT_EQ(texture->GetLevelDesc(0, &desc), D3D_OK);
    EXPECT_EQ(desc.Width, 256u);
    EXPECT_EQ(desc.Height, 64u);
    EXPECT_EQ(desc.Format, D3DFMT_X8R8G8B8);
    EXPECT_EQ(desc.Pool, D3DPOOL_DEFAULT);
    EXPECT_EQ(desc.Size, 256u * 64u * 4u);
    ASSERT_EQ(texture->GetLevelDesc(7, &desc), D3D_OK);
    EXPECT_EQ(desc.Width, 2u);
    EXPECT_EQ(desc.Height, 1u);
    ASSERT_EQ(texture->GetLevelDesc(8, &desc), D3D_OK);
    EXPECT_EQ(desc.Width, 1u);
    EXPECT_EQ(texture->GetLevelDesc(9, &desc), D3DERR_INVALIDCALL);
    EXPECT_EQ(texture->GetType(), D3DRTYPE_TEXTURE);
    texture->Release();
}

TEST_F(ResourceTest, LockRectKeepsWhatWasWrittenPerLevel)
{
    IDirect3DTexture8* texture = nullptr;
    ASSERT_EQ(device->CreateTexture(8, 4, 2, 0, D3DFMT_R5G6B5, D3DPOOL_DEFAULT, &texture), D3D_OK);
    D3DLOCKED_RECT locked{};
    ASSERT_EQ(texture->LockRect(1, &locked, nullptr, 0), D3D_OK);
    EXPECT_EQ(locked.Pitch, 4 * 2);
    static_cast<uint16_t*>(locked.pBits)[5] = 0x1234;
    ASSERT_EQ(texture->UnlockRect(1), D3D_OK);
    ASSERT_EQ(texture->LockRect(1, &locked, nullptr, D3DLOCK_READONLY), D3D_OK);
    EXPECT_EQ(static_cast<uint16_t*>(locked.pBits)[5], 0x1234);
    ASSERT_EQ(texture->UnlockRect(1), D3D_OK);
    // A rectangle starts at its top-left texel.
    RECT rect{1, 1, 3, 2};
    ASSERT_EQ(texture->LockRect(1, &locked, &rect, D3DLOCK_READONLY), D3D_OK);
    EXPECT_EQ(*static_cast<uint16_t*>(locked.pBits), 0x1234);  // texel (1, 1) is texel 5 of a 4-wide level
    ASSERT_EQ(texture->UnlockRect(1), D3D_OK);
    texture->Release();
}

TEST_F(ResourceTest, TextureLocksAreChecked)
{
    IDirect3DTexture8* texture = nullptr;
    ASSERT_EQ(device->CreateTexture(8, 8, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &texture), D3D_OK);
    D3DLOCKED_RECT locked{};
    EXPECT_EQ(texture->LockRect(1, &locked, nullptr, 0), D3DERR_INVALIDCALL);
    RECT outside{4, 4, 9, 8};
    EXPECT_EQ(texture->LockRect(0, &locked, &outside, 0), D3DERR_INVALIDCALL);
    RECT empty{4, 4, 4, 8};
    EXPECT_EQ(texture->LockRect(0, &locked, &empty, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(texture->UnlockRect(0), D3DERR_INVALIDCALL);
    ASSERT_EQ(texture->LockRect(0, &locked, nullptr, 0), D3D_OK);
    EXPECT_EQ(texture->LockRect(0, &locked, nullptr, 0), D3DERR_INVALIDCALL);  // already locked
    EXPECT_EQ(texture->UnlockRect(0), D3D_OK);
    texture->Release();
}

TEST_F(ResourceTest, UnsupportedTexturesAreRefused)
{
    IDirect3DTexture8* texture = nullptr;
    EXPECT_EQ(device->CreateTexture(8, 8, 1, 0, D3DFMT_P8, D3DPOOL_DEFAULT, &texture), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->CreateTexture(0, 8, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &texture), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->CreateTexture(8, 8, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &texture),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(device->CreateTexture(8, 8, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(texture, nullptr);
}

}  // namespace
