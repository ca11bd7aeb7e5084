// Tests of the overlay and perspective quads, read back from the headless
// device: coverage, colour packing, blending, orientation, and the states
// they leave behind.
#include "EffectTesting.h"
#include "Quads.h"
#include "Shell.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

const D3DXCOLOR kWhite(1.0f, 1.0f, 1.0f, 1.0f);

TEST(ColourPacking, ClampsRoundsAndOrdersTheChannels)
{
    EXPECT_EQ(PackColour(D3DXCOLOR(1.5f, -0.2f, 0.5f, 0.2f)), 0x33FF0080u);
    EXPECT_EQ(PackColour(D3DXCOLOR(1.0f, 0.0f, 1.0f / 255.0f, 0.999f)), 0xFFFF0001u);
    EXPECT_EQ(PackColour(D3DXCOLOR(0.001f, 0.0019f, 0.002f, 0.0f)), 0x00000001u) << "0.002 * 255 rounds to 1";
    const float nan = std::numeric_limits<float>::quiet_NaN();
    EXPECT_EQ(PackColour(D3DXCOLOR(nan, nan, nan, nan)), 0u) << "a value that is not a number packs to 0";
}

class OverlayQuad : public ShellDeviceTest {};

TEST_F(OverlayQuad, AFullScreenOpaqueWhiteQuadTurnsEveryPixelWhite)
{
    DrawOverlayQuad(nullptr, 800, 600, 0, 0, 800, 600, kWhite, false, false);
    Capture();
    for (int y = 0; y < 600; y += 7)
        for (int x = 0; x < 800; x += 7) ASSERT_EQ(At(x, y), 0xFFFFFFu) << x << "," << y;
    EXPECT_EQ(At(799, 599), 0xFFFFFFu);
    EXPECT_EQ(At(0, 0), 0xFFFFFFu);
}

TEST_F(OverlayQuad, ARectangleIsPlacedFromTheLowerLeftCornerWithYUp)
{
    // 200 by 200 at (300, 200): the central square, 200 units above the bottom edge.
    DrawOverlayQuad(nullptr, 800, 600, 300, 200, 200, 200, kWhite, false, false);
    Capture();
    EXPECT_EQ(At(300, 200), 0xFFFFFFu);
    EXPECT_EQ(At(499, 399), 0xFFFFFFu);
    EXPECT_EQ(At(400, 300), 0xFFFFFFu);
    EXPECT_EQ(At(299, 300), 0u);
    EXPECT_EQ(At(500, 300), 0u);
    EXPECT_EQ(At(400, 199), 0u);
    EXPECT_EQ(At(400, 400), 0u);
}

TEST_F(OverlayQuad, ScreenUnitsNeedNotBePixels)
{
    // The scenes' colour layers: a 5 by 5 rectangle on a 5 by 5 screen.
    DrawOverlayQuad(nullptr, 5, 5, 0, 0, 5, 5, D3DXCOLOR(0.0f, 0.5f, 0.0f, 1.0f), false, false);
    Capture();
    EXPECT_TRUE(Near(At(0, 0), 0x008000));
    EXPECT_TRUE(Near(At(799, 599), 0x008000));
}

TEST_F(OverlayQuad, AddingBlackLeavesTheFrameUnchangedAndAddingColourSums)
{
    g_device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF336699, 1.0f, 0);
    DrawOverlayQuad(nullptr, 800, 600, 0, 0, 800, 600, D3DXCOLOR(0, 0, 0, 0), true, false);
    Capture();
    EXPECT_EQ(At(400, 300), 0x336699u);
    DrawOverlayQuad(nullptr, 800, 600, 0, 0, 800, 600, D3DXCOLOR(0.2f, 0.2f, 0.2f, 0.0f), true, false);
    Capture();
    EXPECT_TRUE(Near(At(400, 300), 0x6699CC)) << std::hex << At(400, 300);
}

TEST_F(OverlayQuad, AlphaBlendingMixesByTheSourceAlpha)
{
    g_device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF0000FF, 1.0f, 0);
    DrawOverlayQuad(nullptr, 800, 600, 0, 0, 800, 600, D3DXCOLOR(1.0f, 1.0f, 1.0f, 0.25f), true, true);
    Capture();
    // 0.25 * white + 0.75 * blue (alpha packs to 64/255).
    EXPECT_TRUE(Near(At(10, 10), 0x4040FF, 2)) << std::hex << At(10, 10);
}

TEST_F(OverlayQuad, TheTextureIsUprightAndModulatedByTheColour)
{
    IDirect3DTexture8* texture =
        MakeTexture(g_device, 4, 4, [](UINT, UINT y) { return y < 2 ? 0xFFFF0000u : 0xFF0000FFu; });
    ASSERT_NE(texture, nullptr);
    DrawOverlayQuad(texture, 800, 600, 0, 0, 800, 600, D3DXCOLOR(0.5f, 1.0f, 1.0f, 1.0f), false, false);
    Capture();
    EXPECT_TRUE(Near(At(400, 100), 0x800000)) << "the texture's top row is at the top: " << std::hex << At(400, 100);
    EXPECT_TRUE(Near(At(400, 500), 0x0000FF)) << std::hex << At(400, 500);
    texture->Release();
}

TEST_F(OverlayQuad, EveryStateIsBackAtItsDefaultAfterEachKindOfDraw)
{
    IDirect3DTexture8* texture = MakeTexture(g_device, 2, 2, [](UINT, UINT) { return 0xFFFFFFFFu; });
    const DeviceStates defaults = SnapshotStates(g_device);
    for (IDirect3DTexture8* t : {static_cast<IDirect3DTexture8*>(nullptr), texture}) {
        for (int mode = 0; mode < 3; ++mode) {
            DrawOverlayQuad(t, 800, 600, 10, 10, 100, 100, kWhite, mode > 0, mode == 2);
            const DeviceStates after = SnapshotStates(g_device);
            EXPECT_EQ(after, defaults) << "mode " << mode << ": " << DescribeDifferences(defaults, after);
        }
    }
    texture->Release();
}

class PerspectiveQuad : public ShellDeviceTest {
protected:
    void DrawCard(float eyeZ, D3DXCOLOR colour, bool additive)
    {
        DrawPerspectiveQuad(card, 0, 0, 0, D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(0, 0, eyeZ), colour, additive);
    }
    void SetUp() override
    {
        ShellDeviceTest::SetUp();
        // Left half red, right half green, with a blue top row to tell up from down.
        card = MakeTexture(g_device, 8, 8, [](UINT x, UINT y) {
            if (y == 0) return 0xFF0000FFu;
            return x < 4 ? 0xFFFF0000u : 0xFF00FF00u;
        });
        ASSERT_NE(card, nullptr);
    }
    void TearDown() override
    {
        if (card) card->Release();
        ShellDeviceTest::TearDown();
    }
    IDirect3DTexture8* card = nullptr;
};

TEST_F(PerspectiveQuad, AFarCardIsSmallCentredAndWiderThanHigh)
{
    DrawCard(-25.0f, kWhite, false);
    Capture();
    // 26 units away with a 45-degree view on a square viewport stretched to 4:3:
    // the card spans about 56 pixels either side and 42 above and below.
    EXPECT_EQ(At(370, 300), 0xFF0000u);
    EXPECT_EQ(At(430, 300), 0x00FF00u);
    EXPECT_EQ(At(400 - 62, 300), 0u);
    EXPECT_EQ(At(400 + 62, 300), 0u);
    EXPECT_NE(At(400 - 50, 300), 0u);
    EXPECT_NE(At(400, 300 + 38), 0u);
    EXPECT_EQ(At(400, 300 + 47), 0u);
    EXPECT_EQ(At(400, 300 - 47), 0u);
}

TEST_F(PerspectiveQuad, ANearCardOverfillsTheView)
{
    DrawCard(-0.25f, kWhite, false);
    Capture();
    EXPECT_EQ(At(0, 300), 0xFF0000u);
    EXPECT_EQ(At(799, 300), 0x00FF00u);
    EXPECT_NE(At(0, 0), 0u);
    EXPECT_NE(At(799, 599), 0u);
}

TEST_F(PerspectiveQuad, SeenFromBehindTheCardIsMirroredAndStillDrawn)
{
    DrawCard(25.0f, kWhite, false);
    Capture();
    EXPECT_EQ(At(370, 300), 0x00FF00u);
    EXPECT_EQ(At(430, 300), 0xFF0000u);
}

TEST_F(PerspectiveQuad, AddingWithAZeroTintAddsNothingAndFullTintAddsThePicture)
{
    g_device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF202020, 1.0f, 0);
    DrawCard(-0.25f, D3DXCOLOR(0, 0, 0, 0), true);
    Capture();
    EXPECT_EQ(At(200, 300), 0x202020u);
    DrawCard(-0.25f, D3DXCOLOR(0.5f, 0.5f, 0.5f, 0.5f), true);
    Capture();
    EXPECT_TRUE(Near(At(200, 300), 0xA02020)) << std::hex << At(200, 300);
    DrawCard(-0.25f, D3DXCOLOR(2.0f, -1.0f, 0.0f, 1.0f), true);
    Capture();
    EXPECT_EQ(At(200, 300), 0xFF2020u) << "tints clamp instead of wrapping";
}

TEST_F(PerspectiveQuad, EveryStateIsBackAtItsDefaultWhateverTheMode)
{
    const DeviceStates defaults = SnapshotStates(g_device);
    for (bool additive : {false, true}) {
        DrawPerspectiveQuad(card, 0.3f, 0.2f, 0.1f, D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(0, 0, -5), kWhite, additive);
        const DeviceStates after = SnapshotStates(g_device);
        EXPECT_EQ(after, defaults) << DescribeDifferences(defaults, after);
    }
}

}  // namespace
