// Rendering through the Direct3D stand-in, read back from the headless
// target: coverage at Direct3D pixel centres, culling, blending, texture
// stages, depth, lighting against the lighting equation, camera-space-normal
// texture generation, flat shading, lines, and a larger output size.
#include "TestDevice.h"

#include "d3d8_testing.h"
#include "host.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

namespace {

struct ColourVertex {  // D3DFVF_XYZ | D3DFVF_DIFFUSE
    float x, y, z;
    D3DCOLOR diffuse;
};
constexpr DWORD kColourFvf = D3DFVF_XYZ | D3DFVF_DIFFUSE;

struct ScreenVertex {  // D3DFVF_XYZRHW | D3DFVF_DIFFUSE
    float x, y, z, rhw;
    D3DCOLOR diffuse;
};

struct TexturedVertex {  // 0x142
    float x, y, z;
    D3DCOLOR diffuse;
    float u, v;
};

struct LitVertex {  // 0x152
    float x, y, z;
    float nx, ny, nz;
    D3DCOLOR diffuse;
    float u, v;
};

struct NormalVertex {  // 0x112
    float x, y, z;
    float nx, ny, nz;
    float u, v;
};

int Channel(uint32_t rgb, int shift)
{
    return static_cast<int>((rgb >> shift) & 0xff);
}

// Whether two 0xRRGGBB colours differ by at most `tolerance` per channel.
::testing::AssertionResult Near(uint32_t actual, uint32_t expected, int tolerance)
{
    for (int shift : {16, 8, 0}) {
        if (std::abs(Channel(actual, shift) - Channel(expected, shift)) > tolerance)
            return ::testing::AssertionFailure() << std::hex << "colour 0x" << actual << " is not within " << std::dec
                                                 << tolerance << " of 0x" << std::hex << expected;
    }
    return ::testing::AssertionSuccess();
}

class PipelineTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        d3d8_testing::Reset();
        device = CreateTestDevice();
        ASSERT_NE(device, nullptr);
        const D3DMATRIX identity = IdentityMatrix();
        const D3DMATRIX projection = PixelProjection();
        device->SetTransform(D3DTS_WORLD, &identity);
        device->SetTransform(D3DTS_VIEW, &identity);
        device->SetTransform(D3DTS_PROJECTION, &projection);
        device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xff000000, 1.0f, 0);
        device->BeginScene();
    }

    void TearDown() override
    {
        if (device) {
            device->EndScene();
            EXPECT_EQ(device->Release(), 0u);
        }
        runtime::CurrentOptions() = runtime::Options{};
    }

    // An unlit rectangle from (x0, y0) to (x1, y1) in pixels at depth z,
    // two clockwise triangles.
    HRESULT DrawRect(float x0, float y0, float x1, float y1, float z, D3DCOLOR colour)
    {
        const ColourVertex v[6] = {{x0, y0, z, colour}, {x1, y0, z, colour}, {x0, y1, z, colour},
                                   {x0, y1, z, colour}, {x1, y0, z, colour}, {x1, y1, z, colour}};
        device->SetRenderState(D3DRS_LIGHTING, FALSE);
        device->SetVertexShader(kColourFvf);
        return device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, v, sizeof(ColourVertex));
    }

    IDirect3DTexture8* MakeTexture(UINT width, UINT height, const std::vector<D3DCOLOR>& texels)
    {
        IDirect3DTexture8* texture = nullptr;
        EXPECT_EQ(device->CreateTexture(width, height, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &texture), D3D_OK);
        if (!texture) return nullptr;
        D3DLOCKED_RECT locked{};
        EXPECT_EQ(texture->LockRect(0, &locked, nullptr, 0), D3D_OK);
        for (UINT y = 0; y < height; ++y)
            for (UINT x = 0; x < width; ++x)
                reinterpret_cast<D3DCOLOR*>(static_cast<uint8_t*>(locked.pBits) + y * locked.Pitch)[x] =
                    texels[y * width + x];
        EXPECT_EQ(texture->UnlockRect(0), D3D_OK);
        return texture;
    }

    // The set of lit pixels (not black) in a window of the picture.
    std::vector<std::pair<int, int>> LitPixels(int x0, int y0, int x1, int y1)
    {
        int w = 0, h = 0;
        const std::vector<uint8_t> rgb = ReadPixels(device, &w, &h);
        std::vector<std::pair<int, int>> lit;
        for (int y = y0; y <= y1; ++y)
            for (int x = x0; x <= x1; ++x)
                if (PixelAt(rgb, w, h, x, y) != 0) lit.emplace_back(x, y);
        return lit;
    }

    IDirect3DDevice8* device = nullptr;
};

// --- Coverage at Direct3D pixel centres --------------------------------------

TEST_F(PipelineTest, QuadCoversThePixelsWhoseCentresItContains)
{
    // Direct3D puts pixel centres on integer coordinates: a rectangle from
    // 100.25 to 110.25 covers the pixels 101 to 110 (OpenGL's own centres
    // would give 100 to 109).
    ASSERT_EQ(DrawRect(100.25f, 50.25f, 110.25f, 55.25f, 0.5f, 0xffffffff), D3D_OK);
    const auto lit = LitPixels(95, 45, 115, 60);
    ASSERT_EQ(lit.size(), 50u);
    EXPECT_EQ(lit.front(), std::make_pair(101, 51));
    EXPECT_EQ(lit.back(), std::make_pair(110, 55));
}

TEST_F(PipelineTest, IntegerEdgesFollowTheTopLeftRule)
{
    ASSERT_EQ(DrawRect(10.0f, 20.0f, 30.0f, 25.0f, 0.5f, 0xff00ff00), D3D_OK);
    const auto lit = LitPixels(0, 10, 40, 35);
    ASSERT_EQ(lit.size(), 100u);
    EXPECT_EQ(lit.front(), std::make_pair(10, 20));
    EXPECT_EQ(lit.back(), std::make_pair(29, 24));
    EXPECT_EQ(PixelAt(device, 15, 22), 0x00ff00u);
}

TEST_F(PipelineTest, PretransformedVerticesUseTheSamePixelCentres)
{
    const D3DCOLOR c = 0xffff0000;
    const ScreenVertex v[6] = {{100.25f, 50.25f, 0.5f, 1.0f, c}, {110.25f, 50.25f, 0.5f, 1.0f, c},
                               {100.25f, 55.25f, 0.5f, 1.0f, c}, {100.25f, 55.25f, 0.5f, 1.0f, c},
                               {110.25f, 50.25f, 0.5f, 1.0f, c}, {110.25f, 55.25f, 0.5f, 1.0f, c}};
    device->SetVertexShader(D3DFVF_XYZRHW | D3DFVF_DIFFUSE);
    // Lighting stays on: screen-space vertices are never lit.
    ASSERT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, v, sizeof(ScreenVertex)), D3D_OK);
    const auto lit = LitPixels(95, 45, 115, 60);
    ASSERT_EQ(lit.size(), 50u);
    EXPECT_EQ(lit.front(), std::make_pair(101, 51));
    EXPECT_EQ(PixelAt(device, 105, 53), 0xff0000u);
}

TEST_F(PipelineTest, ViewportMapsClipSpaceIntoItsRectangle)
{
    D3DVIEWPORT8 viewport{400, 300, 200, 100, 0.0f, 1.0f};
    ASSERT_EQ(device->SetViewport(&viewport), D3D_OK);
    // The pixel projection is for 800 by 600: a full-screen rectangle now
    // fills the viewport alone.
    ASSERT_EQ(DrawRect(0.0f, 0.0f, 800.0f, 600.0f, 0.5f, 0xffffffff), D3D_OK);
    const auto lit = LitPixels(390, 290, 610, 410);
    ASSERT_EQ(lit.size(), 200u * 100u);
    EXPECT_EQ(lit.front(), std::make_pair(400, 300));
    EXPECT_EQ(lit.back(), std::make_pair(599, 399));
}

TEST_F(PipelineTest, ClearWithoutRectanglesClearsTheViewportOnly)
{
    D3DVIEWPORT8 viewport{100, 100, 50, 50, 0.0f, 1.0f};
    ASSERT_EQ(device->SetViewport(&viewport), D3D_OK);
    ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xff123456, 1.0f, 0), D3D_OK);
    EXPECT_EQ(PixelAt(device, 100, 100), 0x123456u);
    EXPECT_EQ(PixelAt(device, 149, 149), 0x123456u);
    EXPECT_EQ(PixelAt(device, 99, 120), 0u);
    EXPECT_EQ(PixelAt(device, 150, 120), 0u);
}

TEST_F(PipelineTest, ClearWithRectanglesClearsTheirPartInsideTheViewport)
{
    const D3DRECT rects[2] = {{10, 10, 20, 20}, {790, 590, 900, 700}};
    ASSERT_EQ(device->Clear(2, rects, D3DCLEAR_TARGET, 0xff00ff00, 1.0f, 0), D3D_OK);
    EXPECT_EQ(PixelAt(device, 10, 10), 0x00ff00u);
    EXPECT_EQ(PixelAt(device, 19, 19), 0x00ff00u);
    EXPECT_EQ(PixelAt(device, 20, 20), 0u);
    EXPECT_EQ(PixelAt(device, 799, 599), 0x00ff00u);
    EXPECT_EQ(device->Clear(1, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0), D3DERR_INVALIDCALL);
}

// --- Culling ----------------------------------------------------------------

class CullingTest : public PipelineTest {
protected:
    // One triangle clockwise on screen at the left, one counter-clockwise at the right.
    void DrawBothWindings()
    {
        const D3DCOLOR c = 0xffffffff;
        const ColourVertex v[6] = {{100, 100, 0.5f, c}, {200, 100, 0.5f, c}, {100, 200, 0.5f, c},
                                   {400, 100, 0.5f, c}, {400, 200, 0.5f, c}, {500, 100, 0.5f, c}};
        device->SetRenderState(D3DRS_LIGHTING, FALSE);
        device->SetVertexShader(kColourFvf);
        ASSERT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, v, sizeof(ColourVertex)), D3D_OK);
    }
    bool ClockwiseShown() { return PixelAt(device, 120, 120) != 0; }
    bool CounterClockwiseShown() { return PixelAt(device, 420, 120) != 0; }
};

TEST_F(CullingTest, DefaultKeepsClockwiseAndDropsCounterClockwise)
{
    DrawBothWindings();
    EXPECT_TRUE(ClockwiseShown());
    EXPECT_FALSE(CounterClockwiseShown());
}

TEST_F(CullingTest, CullNoneKeepsBoth)
{
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    DrawBothWindings();
    EXPECT_TRUE(ClockwiseShown());
    EXPECT_TRUE(CounterClockwiseShown());
}

TEST_F(CullingTest, CullClockwiseDropsClockwise)
{
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CW);
    DrawBothWindings();
    EXPECT_FALSE(ClockwiseShown());
    EXPECT_TRUE(CounterClockwiseShown());
}

TEST_F(CullingTest, WindingIsJudgedOnScreenAfterTheTransforms)
{
    // A projection that mirrors x turns clockwise triangles counter-clockwise.
    D3DMATRIX mirrored = PixelProjection();
    mirrored._11 = -mirrored._11;
    mirrored._41 = -mirrored._41;
    device->SetTransform(D3DTS_PROJECTION, &mirrored);
    DrawBothWindings();
    // The left triangle now lands at the right edge mirrored, and is culled.
    EXPECT_EQ(PixelAt(device, 800 - 121, 120), 0u);
    EXPECT_NE(PixelAt(device, 800 - 421, 120), 0u);
}

// --- Blending ---------------------------------------------------------------

TEST_F(PipelineTest, AdditiveBlendingAddsOntoTheFrame)
{
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xff643219, 1.0f, 0);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
    ASSERT_EQ(DrawRect(0, 0, 100, 100, 0.5f, 0x00323232), D3D_OK);
    EXPECT_TRUE(Near(PixelAt(device, 50, 50), 0x96644b, 1));
    // Adding saturates.
    ASSERT_EQ(DrawRect(0, 0, 100, 100, 0.5f, 0x00c8c8c8), D3D_OK);
    EXPECT_EQ(PixelAt(device, 50, 50), 0xffffffu);
    // Outside the rectangle the frame is untouched.
    EXPECT_EQ(PixelAt(device, 150, 50), 0x643219u);
}

TEST_F(PipelineTest, AlphaBlendingMixesBySourceAlpha)
{
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xff0000ff, 1.0f, 0);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    ASSERT_EQ(DrawRect(0, 0, 100, 100, 0.5f, 0x40ff0000), D3D_OK);  // alpha 64/255
    EXPECT_TRUE(Near(PixelAt(device, 50, 50), 0x4000bf, 1));
}

TEST_F(PipelineTest, BlendFactorsCoverDestinationColourAndZero)
{
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xff808080, 1.0f, 0);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_DESTCOLOR);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ZERO);
    ASSERT_EQ(DrawRect(0, 0, 100, 100, 0.5f, 0xffff8000), D3D_OK);
    // source * destination: (255, 128, 0) * 128/255.
    EXPECT_TRUE(Near(PixelAt(device, 50, 50), 0x804000, 1));
}

TEST_F(PipelineTest, OpaqueDrawIgnoresAlpha)
{
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xff0000ff, 1.0f, 0);
    ASSERT_EQ(DrawRect(0, 0, 100, 100, 0.5f, 0x00ff0000), D3D_OK);
    EXPECT_EQ(PixelAt(device, 50, 50), 0xff0000u);
}

// --- Texture stages ---------------------------------------------------------

TEST_F(PipelineTest, ModulateMultipliesTextureByDiffuse)
{
    IDirect3DTexture8* texture = MakeTexture(1, 1, {0xff6464c8});  // (100, 100, 200)
    ASSERT_NE(texture, nullptr);
    const D3DCOLOR c = 0xff608040;  // (96, 128, 64)
    const TexturedVertex v[3] = {{0, 0, 0.5f, c, 0, 0}, {200, 0, 0.5f, c, 1, 0}, {0, 200, 0.5f, c, 0, 1}};
    device->SetRenderState(D3DRS_LIGHTING, FALSE);
    device->SetTexture(0, texture);
    device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    device->SetVertexShader(0x142);
    ASSERT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, v, sizeof(TexturedVertex)), D3D_OK);
    // 100*96/255, 100*128/255, 200*64/255
    EXPECT_TRUE(Near(PixelAt(device, 20, 20), 0x253232, 1));

    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE2X);
    ASSERT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, v, sizeof(TexturedVertex)), D3D_OK);
    EXPECT_TRUE(Near(PixelAt(device, 20, 20), 0x4b6464, 1));
    device->SetTexture(0, nullptr);
    texture->Release();
}

TEST_F(PipelineTest, Modulate2xSaturatesAtWhite)
{
    IDirect3DTexture8* texture = MakeTexture(1, 1, {0xffc0c0c0});
    ASSERT_NE(texture, nullptr);
    const D3DCOLOR c = 0xffc0c0c0;
    const TexturedVertex v[3] = {{0, 0, 0.5f, c, 0, 0}, {200, 0, 0.5f, c, 1, 0}, {0, 200, 0.5f, c, 0, 1}};
    device->SetRenderState(D3DRS_LIGHTING, FALSE);
    device->SetTexture(0, texture);
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE2X);
    device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    device->SetVertexShader(0x142);
    ASSERT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, v, sizeof(TexturedVertex)), D3D_OK);
    EXPECT_EQ(PixelAt(device, 20, 20), 0xffffffu);
    device->SetTexture(0, nullptr);
    texture->Release();
}

TEST_F(PipelineTest, NullTextureDrawsTheDiffuseColourAlone)
{
    const D3DCOLOR c = 0xff336699;
    const TexturedVertex v[3] = {{0, 0, 0.5f, c, 0, 0}, {200, 0, 0.5f, c, 1, 0}, {0, 200, 0.5f, c, 0, 1}};
    device->SetRenderState(D3DRS_LIGHTING, FALSE);
    device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    device->SetVertexShader(0x142);
    ASSERT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, v, sizeof(TexturedVertex)), D3D_OK);
    EXPECT_EQ(PixelAt(device, 20, 20), 0x336699u);

    // SELECTARG1 of the missing texture skips the stage as well: still the
    // diffuse, not white.
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    ASSERT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, v, sizeof(TexturedVertex)), D3D_OK);
    EXPECT_EQ(PixelAt(device, 20, 20), 0x336699u);
}

TEST_F(PipelineTest, NullTextureKeepsTheDiffuseAlphaForBlending)
{
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xff0000ff, 1.0f, 0);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    const D3DCOLOR c = 0x80ff0000;
    const TexturedVertex v[3] = {{0, 0, 0.5f, c, 0, 0}, {200, 0, 0.5f, c, 1, 0}, {0, 200, 0.5f, c, 0, 1}};
    device->SetRenderState(D3DRS_LIGHTING, FALSE);
    device->SetVertexShader(0x142);
    ASSERT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, v, sizeof(TexturedVertex)), D3D_OK);
    EXPECT_TRUE(Near(PixelAt(device, 20, 20), 0x80007f, 1));
}

TEST_F(PipelineTest, PointSamplingAndWrappingPickWholeTexels)
{
    // 2x2: red, green / blue, white. Coordinates run to 2, so the texture
    // repeats twice across the quad, with hard texel edges.
    IDirect3DTexture8* texture = MakeTexture(2, 2, {0xffff0000, 0xff00ff00, 0xff0000ff, 0xffffffff});
    ASSERT_NE(texture, nullptr);
    const D3DCOLOR w = 0xffffffff;
    const TexturedVertex v[6] = {{0, 0, 0.5f, w, 0, 0},     {400, 0, 0.5f, w, 2, 0}, {0, 400, 0.5f, w, 0, 2},
                                 {0, 400, 0.5f, w, 0, 2},   {400, 0, 0.5f, w, 2, 0}, {400, 400, 0.5f, w, 2, 2}};
    device->SetRenderState(D3DRS_LIGHTING, FALSE);
    device->SetTexture(0, texture);
    device->SetVertexShader(0x142);
    ASSERT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, v, sizeof(TexturedVertex)), D3D_OK);
    EXPECT_EQ(PixelAt(device, 50, 50), 0xff0000u);
    EXPECT_EQ(PixelAt(device, 150, 50), 0x00ff00u);
    EXPECT_EQ(PixelAt(device, 50, 150), 0x0000ffu);
    EXPECT_EQ(PixelAt(device, 150, 150), 0xffffffu);
    EXPECT_EQ(PixelAt(device, 250, 50), 0xff0000u);  // wrapped
    EXPECT_EQ(PixelAt(device, 350, 350), 0xffffffu);
    // Point sampling: the texel boundary at 100 is sharp.
    EXPECT_EQ(PixelAt(device, 98, 50), 0xff0000u);
    EXPECT_EQ(PixelAt(device, 102, 50), 0x00ff00u);
    device->SetTexture(0, nullptr);
    texture->Release();
}

TEST_F(PipelineTest, TextureFormatsAreReadAsDirect3DLaysThemOut)
{
    IDirect3DTexture8* texture = nullptr;
    ASSERT_EQ(device->CreateTexture(1, 1, 1, 0, D3DFMT_R5G6B5, D3DPOOL_DEFAULT, &texture), D3D_OK);
    D3DLOCKED_RECT locked{};
    ASSERT_EQ(texture->LockRect(0, &locked, nullptr, 0), D3D_OK);
    *static_cast<uint16_t*>(locked.pBits) = 0xf800;  // pure red in 5:6:5
    ASSERT_EQ(texture->UnlockRect(0), D3D_OK);
    const D3DCOLOR w = 0xffffffff;
    const TexturedVertex v[3] = {{0, 0, 0.5f, w, 0, 0}, {200, 0, 0.5f, w, 1, 0}, {0, 200, 0.5f, w, 0, 1}};
    device->SetRenderState(D3DRS_LIGHTING, FALSE);
    device->SetTexture(0, texture);
    device->SetVertexShader(0x142);
    ASSERT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, v, sizeof(TexturedVertex)), D3D_OK);
    EXPECT_EQ(PixelAt(device, 20, 20), 0xff0000u);
    device->SetTexture(0, nullptr);
    texture->Release();
}

// --- Depth ------------------------------------------------------------------

TEST_F(PipelineTest, DepthBufferHidesWhatLiesBehind)
{
    ASSERT_EQ(DrawRect(0, 0, 100, 100, 0.2f, 0xffff0000), D3D_OK);
    ASSERT_EQ(DrawRect(50, 0, 150, 100, 0.8f, 0xff00ff00), D3D_OK);
    EXPECT_EQ(PixelAt(device, 75, 50), 0xff0000u);
    EXPECT_EQ(PixelAt(device, 125, 50), 0x00ff00u);
    // Nearer geometry drawn later wins.
    ASSERT_EQ(DrawRect(0, 0, 100, 100, 0.1f, 0xff0000ff), D3D_OK);
    EXPECT_EQ(PixelAt(device, 75, 50), 0x0000ffu);
}

TEST_F(PipelineTest, DepthRangeIsZeroToOne)
{
    // z = 0 is drawn (not clipped as OpenGL's -1..1 would place it);
    // z slightly above 1 is clipped.
    ASSERT_EQ(DrawRect(0, 0, 100, 100, 0.0f, 0xffff0000), D3D_OK);
    ASSERT_EQ(DrawRect(200, 0, 300, 100, 1.01f, 0xffff0000), D3D_OK);
    EXPECT_EQ(PixelAt(device, 50, 50), 0xff0000u);
    EXPECT_EQ(PixelAt(device, 250, 50), 0u);
}

TEST_F(PipelineTest, ZWriteDisabledWritesNoDepth)
{
    device->SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
    ASSERT_EQ(DrawRect(0, 0, 100, 100, 0.2f, 0xffff0000), D3D_OK);
    device->SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
    ASSERT_EQ(DrawRect(0, 0, 100, 100, 0.5f, 0xff00ff00), D3D_OK);
    EXPECT_EQ(PixelAt(device, 50, 50), 0x00ff00u);
}

TEST_F(PipelineTest, ClearingDepthIgnoresZWriteEnable)
{
    ASSERT_EQ(DrawRect(0, 0, 100, 100, 0.2f, 0xffff0000), D3D_OK);
    device->SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
    ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 1.0f, 0), D3D_OK);
    device->SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
    ASSERT_EQ(DrawRect(0, 0, 100, 100, 0.5f, 0xff00ff00), D3D_OK);
    EXPECT_EQ(PixelAt(device, 50, 50), 0x00ff00u);
}

TEST_F(PipelineTest, DrawsThatWriteNoDepthStillMeetWhatTheDepthBufferHolds)
{
    // The device skips the depth test only while the buffer is all 1.0:
    // after another clear value, after a depth write and after a partial clear
    // the test must still hide what lies behind.
    device->SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
    ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 0.5f, 0), D3D_OK);
    ASSERT_EQ(DrawRect(0, 0, 100, 100, 0.7f, 0xffff0000), D3D_OK);
    ASSERT_EQ(DrawRect(100, 0, 200, 100, 0.3f, 0xff00ff00), D3D_OK);
    EXPECT_EQ(PixelAt(device, 50, 50), 0u);
    EXPECT_EQ(PixelAt(device, 150, 50), 0x00ff00u);

    ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 1.0f, 0), D3D_OK);
    ASSERT_EQ(DrawRect(200, 0, 300, 100, 0.8f, 0xff0000ff), D3D_OK);  // all 1.0: drawn
    device->SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
    ASSERT_EQ(DrawRect(300, 0, 400, 100, 0.2f, 0xffff0000), D3D_OK);
    device->SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
    ASSERT_EQ(DrawRect(300, 0, 400, 100, 0.8f, 0xff00ff00), D3D_OK);
    EXPECT_EQ(PixelAt(device, 250, 50), 0x0000ffu);
    EXPECT_EQ(PixelAt(device, 350, 50), 0xff0000u) << "behind what was written";

    device->SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
    ASSERT_EQ(DrawRect(400, 0, 500, 100, 0.2f, 0xffff0000), D3D_OK);
    const D3DRECT left{0, 0, 420, 600};
    ASSERT_EQ(device->Clear(1, &left, D3DCLEAR_ZBUFFER, 0, 1.0f, 0), D3D_OK);
    device->SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
    ASSERT_EQ(DrawRect(400, 0, 500, 100, 0.8f, 0xff00ff00), D3D_OK);
    EXPECT_EQ(PixelAt(device, 410, 50), 0x00ff00u) << "cleared part";
    EXPECT_EQ(PixelAt(device, 450, 50), 0xff0000u) << "part the clear left";
}

TEST_F(PipelineTest, ZEnableFalseDrawsRegardlessOfDepth)
{
    ASSERT_EQ(DrawRect(0, 0, 100, 100, 0.2f, 0xffff0000), D3D_OK);
    device->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
    ASSERT_EQ(DrawRect(0, 0, 100, 100, 0.9f, 0xff00ff00), D3D_OK);
    EXPECT_EQ(PixelAt(device, 50, 50), 0x00ff00u);
}

// --- Shading ----------------------------------------------------------------

TEST_F(PipelineTest, FlatShadingTakesTheFirstVertexColour)
{
    const ColourVertex v[3] = {{0, 0, 0.5f, 0xffff0000}, {300, 0, 0.5f, 0xff00ff00}, {0, 300, 0.5f, 0xff0000ff}};
    device->SetRenderState(D3DRS_LIGHTING, FALSE);
    device->SetRenderState(D3DRS_SHADEMODE, D3DSHADE_FLAT);
    device->SetVertexShader(kColourFvf);
    ASSERT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, v, sizeof(ColourVertex)), D3D_OK);
    EXPECT_EQ(PixelAt(device, 100, 100), 0xff0000u);
    EXPECT_EQ(PixelAt(device, 250, 20), 0xff0000u);

    device->SetRenderState(D3DRS_SHADEMODE, D3DSHADE_GOURAUD);
    ASSERT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, v, sizeof(ColourVertex)), D3D_OK);
    EXPECT_TRUE(Near(PixelAt(device, 100, 100), 0x555555, 2));
}

TEST_F(PipelineTest, FlatShadedStripUsesEachTrianglesFirstVertex)
{
    // Strip triangle i starts at vertex i.
    const ColourVertex v[4] = {
        {0, 0, 0.5f, 0xffff0000}, {200, 0, 0.5f, 0xff00ff00}, {0, 200, 0.5f, 0xff0000ff}, {200, 200, 0.5f, 0xffffffff}};
    device->SetRenderState(D3DRS_LIGHTING, FALSE);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    device->SetRenderState(D3DRS_SHADEMODE, D3DSHADE_FLAT);
    device->SetVertexShader(kColourFvf);
    ASSERT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof(ColourVertex)), D3D_OK);
    EXPECT_EQ(PixelAt(device, 40, 40), 0xff0000u);
    EXPECT_EQ(PixelAt(device, 160, 160), 0x00ff00u);
}

// --- Lines ------------------------------------------------------------------

TEST_F(PipelineTest, LineListDrawsLines)
{
    const ColourVertex v[4] = {
        {100, 200, 0.5f, 0xffffff00}, {300, 200, 0.5f, 0xffffff00}, {500, 100, 0.5f, 0xff00ffff}, {500, 300, 0.5f, 0xff00ffff}};
    device->SetRenderState(D3DRS_LIGHTING, FALSE);
    device->SetVertexShader(kColourFvf);
    ASSERT_EQ(device->DrawPrimitiveUP(D3DPT_LINELIST, 2, v, sizeof(ColourVertex)), D3D_OK);
    int w = 0, h = 0;
    const std::vector<uint8_t> rgb = ReadPixels(device, &w, &h);
    int horizontal = 0, vertical = 0;
    for (int x = 0; x < 800; ++x) horizontal += PixelAt(rgb, w, h, x, 200) == 0xffff00u;
    for (int y = 0; y < 600; ++y) vertical += PixelAt(rgb, w, h, 500, y) == 0x00ffffu;
    EXPECT_NEAR(horizontal, 200, 1);
    EXPECT_NEAR(vertical, 200, 1);
    // One pixel thin.
    EXPECT_EQ(PixelAt(rgb, w, h, 200, 198), 0u);
    EXPECT_EQ(PixelAt(rgb, w, h, 200, 202), 0u);
}

// --- Buffers and indexed drawing -----------------------------------------------

TEST_F(PipelineTest, IndexedDrawReadsVerticesThroughTheIndices)
{
    IDirect3DVertexBuffer8* vb = nullptr;
    IDirect3DIndexBuffer8* ib = nullptr;
    ASSERT_EQ(device->CreateVertexBuffer(8 * sizeof(ColourVertex), 0, kColourFvf, D3DPOOL_DEFAULT, &vb), D3D_OK);
    ASSERT_EQ(device->CreateIndexBuffer(12 * sizeof(uint16_t), D3DUSAGE_WRITEONLY, D3DFMT_INDEX16, D3DPOOL_DEFAULT, &ib),
              D3D_OK);
    BYTE* data = nullptr;
    ASSERT_EQ(vb->Lock(0, 0, &data, 0), D3D_OK);
    auto* vertices = reinterpret_cast<ColourVertex*>(data);
    // Vertices 0..3 unused; 4..7 a square at (200..300, 200..300).
    for (int i = 0; i < 4; ++i) vertices[i] = {0, 0, 0.5f, 0xffff0000};
    vertices[4] = {200, 200, 0.5f, 0xff00ff00};
    vertices[5] = {300, 200, 0.5f, 0xff00ff00};
    vertices[6] = {200, 300, 0.5f, 0xff00ff00};
    vertices[7] = {300, 300, 0.5f, 0xff00ff00};
    ASSERT_EQ(vb->Unlock(), D3D_OK);
    ASSERT_EQ(ib->Lock(0, 0, &data, 0), D3D_OK);
    const uint16_t indices[12] = {9, 9, 9, 0, 1, 2, 2, 1, 3, 9, 9, 9};
    std::copy(indices, indices + 12, reinterpret_cast<uint16_t*>(data));
    ASSERT_EQ(ib->Unlock(), D3D_OK);

    device->SetRenderState(D3DRS_LIGHTING, FALSE);
    device->SetStreamSource(0, vb, sizeof(ColourVertex));
    device->SetVertexShader(kColourFvf);
    // Base vertex 4, indices 3..8.
    device->SetIndices(ib, 4);
    ASSERT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 4, 3, 2), D3D_OK);
    EXPECT_EQ(PixelAt(device, 250, 250), 0x00ff00u);
    EXPECT_EQ(PixelAt(device, 199, 250), 0u);
    // Indices that point past the vertex buffer are refused, not drawn.
    EXPECT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 4, 0, 1), D3DERR_INVALIDCALL);
    // So is a range past the index buffer's end.
    EXPECT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 4, 6, 3), D3DERR_INVALIDCALL);
    device->SetStreamSource(0, nullptr, 0);
    device->SetIndices(nullptr, 0);
    vb->Release();
    ib->Release();
}

TEST_F(PipelineTest, DrawPrimitiveFromAVertexBufferStartsAtTheGivenVertex)
{
    IDirect3DVertexBuffer8* vb = nullptr;
    ASSERT_EQ(device->CreateVertexBuffer(6 * sizeof(ColourVertex), 0, kColourFvf, D3DPOOL_DEFAULT, &vb), D3D_OK);
    BYTE* data = nullptr;
    ASSERT_EQ(vb->Lock(0, 0, &data, 0), D3D_OK);
    const ColourVertex v[6] = {{0, 0, 0.5f, 0xffff0000},   {100, 0, 0.5f, 0xffff0000},   {0, 100, 0.5f, 0xffff0000},
                               {400, 0, 0.5f, 0xff0000ff}, {500, 0, 0.5f, 0xff0000ff}, {400, 100, 0.5f, 0xff0000ff}};
    std::copy(v, v + 6, reinterpret_cast<ColourVertex*>(data));
    ASSERT_EQ(vb->Unlock(), D3D_OK);
    device->SetRenderState(D3DRS_LIGHTING, FALSE);
    device->SetStreamSource(0, vb, sizeof(ColourVertex));
    device->SetVertexShader(kColourFvf);
    ASSERT_EQ(device->DrawPrimitive(D3DPT_TRIANGLELIST, 3, 1), D3D_OK);
    EXPECT_EQ(PixelAt(device, 20, 20), 0u);
    EXPECT_EQ(PixelAt(device, 420, 20), 0x0000ffu);
    EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLELIST, 4, 1), D3DERR_INVALIDCALL);
    device->SetStreamSource(0, nullptr, 0);
    vb->Release();
}

TEST_F(PipelineTest, RewrittenVertexBufferDrawsItsNewContents)
{
    IDirect3DVertexBuffer8* vb = nullptr;
    ASSERT_EQ(device->CreateVertexBuffer(3 * sizeof(ColourVertex), 0, kColourFvf, D3DPOOL_DEFAULT, &vb), D3D_OK);
    device->SetRenderState(D3DRS_LIGHTING, FALSE);
    device->SetVertexShader(kColourFvf);
    for (D3DCOLOR colour : {0xffff0000u, 0xff00ff00u}) {
        BYTE* data = nullptr;
        ASSERT_EQ(vb->Lock(0, 0, &data, 0), D3D_OK);
        const ColourVertex v[3] = {{0, 0, 0.5f, colour}, {100, 0, 0.5f, colour}, {0, 100, 0.5f, colour}};
        std::copy(v, v + 3, reinterpret_cast<ColourVertex*>(data));
        ASSERT_EQ(vb->Unlock(), D3D_OK);
        device->SetStreamSource(0, vb, sizeof(ColourVertex));
        ASSERT_EQ(device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 1), D3D_OK);
        EXPECT_EQ(PixelAt(device, 20, 20), colour & 0xffffff);
    }
    device->SetStreamSource(0, nullptr, 0);
    vb->Release();
}

TEST_F(PipelineTest, DrawWithoutAStreamOrWithTooSmallAStrideFails)
{
    device->SetVertexShader(kColourFvf);
    EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 1), D3DERR_INVALIDCALL);
    const ColourVertex v[3] = {};
    EXPECT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, v, 8), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, nullptr, sizeof(ColourVertex)), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->DrawPrimitiveUP(static_cast<D3DPRIMITIVETYPE>(9), 1, v, sizeof(ColourVertex)),
              D3DERR_INVALIDCALL);
    // More primitives than the caps allow.
    EXPECT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 0x100000, v, sizeof(ColourVertex)), D3DERR_INVALIDCALL);
}

TEST_F(PipelineTest, DrawPrimitiveUpLeavesStreamZeroUnset)
{
    IDirect3DVertexBuffer8* vb = nullptr;
    ASSERT_EQ(device->CreateVertexBuffer(3 * sizeof(ColourVertex), 0, kColourFvf, D3DPOOL_DEFAULT, &vb), D3D_OK);
    device->SetStreamSource(0, vb, sizeof(ColourVertex));
    ASSERT_EQ(DrawRect(0, 0, 10, 10, 0.5f, 0xffffffff), D3D_OK);
    // The stream's reference went with it: ours is the last.
    EXPECT_EQ(vb->Release(), 0u);
    EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 1), D3DERR_INVALIDCALL);
}

// --- Lighting ---------------------------------------------------------------

struct Rgb {
    float r, g, b;
};

// Direct3D's vertex lighting for one point light, computed here on its own:
// diffuse = Ce + Ca (Ga + La A) + Cd Ld max(N.L, 0) A, clamped, with
// A = 1 / (a0 + a1 d + a2 d^2) and nothing at all beyond the range.
uint32_t LitColour(const float p[3], const float n[3], const D3DLIGHT8& light, const D3DMATERIAL8& material,
                   Rgb diffuseColour, Rgb globalAmbient)
{
    const float lx = light.Position.x - p[0], ly = light.Position.y - p[1], lz = light.Position.z - p[2];
    const float d = std::sqrt(lx * lx + ly * ly + lz * lz);
    Rgb sum{material.Emissive.r + material.Ambient.r * globalAmbient.r,
            material.Emissive.g + material.Ambient.g * globalAmbient.g,
            material.Emissive.b + material.Ambient.b * globalAmbient.b};
    if (d <= light.Range) {
        const float a = 1.0f / (light.Attenuation0 + light.Attenuation1 * d + light.Attenuation2 * d * d);
        const float nDotL = std::max(0.0f, (n[0] * lx + n[1] * ly + n[2] * lz) / d);
        sum.r += material.Ambient.r * light.Ambient.r * a + diffuseColour.r * light.Diffuse.r * nDotL * a;
        sum.g += material.Ambient.g * light.Ambient.g * a + diffuseColour.g * light.Diffuse.g * nDotL * a;
        sum.b += material.Ambient.b * light.Ambient.b * a + diffuseColour.b * light.Diffuse.b * nDotL * a;
    }
    const auto byte = [](float c) { return static_cast<uint32_t>(std::lround(std::clamp(c, 0.0f, 1.0f) * 255.0f)); };
    return (byte(sum.r) << 16) | (byte(sum.g) << 8) | byte(sum.b);
}

class LightingTest : public PipelineTest {
protected:
    void SetUp() override
    {
        PipelineTest::SetUp();
        light.Type = D3DLIGHT_POINT;
        light.Diffuse = {1.0f, 0.9f, 0.8f, 1.0f};
        light.Ambient = {0.1f, 0.2f, 0.05f, 0.0f};
        light.Position = {400.0f, 300.0f, -150.0f};
        light.Range = 600.0f;
        light.Attenuation0 = 0.4f;
        light.Attenuation1 = 0.002f;
        light.Attenuation2 = 0.000004f;
        material.Diffuse = {0.8f, 0.6f, 0.4f, 1.0f};
        material.Ambient = {0.5f, 0.5f, 0.5f, 1.0f};
        material.Emissive = {0.05f, 0.0f, 0.1f, 0.0f};
        ASSERT_EQ(device->SetLight(0, &light), D3D_OK);
        ASSERT_EQ(device->LightEnable(0, TRUE), D3D_OK);
        ASSERT_EQ(device->SetMaterial(&material), D3D_OK);
        ASSERT_EQ(device->SetRenderState(D3DRS_AMBIENT, 0xff204060), D3D_OK);
        device->SetRenderState(D3DRS_SHADEMODE, D3DSHADE_FLAT);
        device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
        // Depth 0..1000 in camera space maps to 0..1.
        D3DMATRIX projection = PixelProjection();
        projection._33 = 0.001f;
        device->SetTransform(D3DTS_PROJECTION, &projection);
    }

    const Rgb ambient{0x20 / 255.0f, 0x40 / 255.0f, 0x60 / 255.0f};
    D3DLIGHT8 light{};
    D3DMATERIAL8 material{};
};

TEST_F(LightingTest, PointLitVerticesMatchTheLightingEquation)
{
    // Small flat-shaded triangles: each shows its first vertex's lit colour.
    struct Case {
        float p[3];
        float n[3];
    };
    const float s = 0.6f, c = 0.8f;
    const Case cases[] = {
        {{400, 300, 0}, {0, 0, -1}},  {{100, 100, 50}, {0, 0, -1}}, {{650, 450, 0}, {-s, -c, 0}},
        {{200, 500, 100}, {s, 0, -c}}, {{700, 100, 0}, {0, 0, 1}},  // facing away: ambient only
        {{40, 40, 400}, {0, 0, -1}},                               // beyond the range: no light at all
    };
    device->SetVertexShader(D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1);
    for (const Case& k : cases) {
        const NormalVertex v[3] = {{k.p[0], k.p[1], k.p[2], k.n[0], k.n[1], k.n[2], 0, 0},
                                   {k.p[0] + 30, k.p[1], k.p[2], 0, 0, 1, 0, 0},
                                   {k.p[0], k.p[1] + 30, k.p[2], 0, 0, 1, 0, 0}};
        ASSERT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, v, sizeof(NormalVertex)), D3D_OK);
        const uint32_t expected = LitColour(k.p, k.n, light, material, {0.8f, 0.6f, 0.4f}, ambient);
        EXPECT_TRUE(Near(PixelAt(device, static_cast<int>(k.p[0]) + 5, static_cast<int>(k.p[1]) + 5), expected, 2))
            << "vertex at " << k.p[0] << ", " << k.p[1] << ", " << k.p[2];
    }
}

TEST_F(LightingTest, VertexDiffuseReplacesTheMaterialDiffuseWithColorVertex)
{
    const float p[3] = {300, 250, 0}, n[3] = {0, 0, -1};
    const LitVertex v[3] = {{p[0], p[1], p[2], n[0], n[1], n[2], 0xff40ff80, 0, 0},
                            {p[0] + 30, p[1], 0, 0, 0, -1, 0xff40ff80, 0, 0},
                            {p[0], p[1] + 30, 0, 0, 0, -1, 0xff40ff80, 0, 0}};
    device->SetVertexShader(0x152);
    ASSERT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, v, sizeof(LitVertex)), D3D_OK);
    const Rgb vertexDiffuse{0x40 / 255.0f, 1.0f, 0x80 / 255.0f};
    EXPECT_TRUE(Near(PixelAt(device, 305, 255), LitColour(p, n, light, material, vertexDiffuse, ambient), 2));

    // With D3DRS_COLORVERTEX off the material's diffuse is used again.
    device->SetRenderState(D3DRS_COLORVERTEX, FALSE);
    ASSERT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, v, sizeof(LitVertex)), D3D_OK);
    EXPECT_TRUE(Near(PixelAt(device, 305, 255), LitColour(p, n, light, material, {0.8f, 0.6f, 0.4f}, ambient), 2));
}

TEST_F(LightingTest, LitVertexWithoutNormalGetsNoDiffuseLight)
{
    const float p[3] = {400, 300, 0}, zero[3] = {0, 0, 0};
    const ColourVertex v[3] = {{p[0], p[1], 0, 0xffffffff}, {p[0] + 30, p[1], 0, 0xffffffff}, {p[0], p[1] + 30, 0, 0xffffffff}};
    device->SetVertexShader(kColourFvf);
    ASSERT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, v, sizeof(ColourVertex)), D3D_OK);
    EXPECT_TRUE(Near(PixelAt(device, 405, 305), LitColour(p, zero, light, material, {1, 1, 1}, ambient), 2));
}

TEST_F(LightingTest, LightsFollowTheViewIntoCameraSpace)
{
    // A view that moves the world 100 pixels right moves the light with it:
    // the lit colour of a vertex is that of the unmoved scene.
    D3DMATRIX view = IdentityMatrix();
    view._41 = 100.0f;
    device->SetTransform(D3DTS_VIEW, &view);
    const float p[3] = {300, 200, 0}, n[3] = {0, 0, -1};
    const NormalVertex v[3] = {{p[0], p[1], p[2], n[0], n[1], n[2], 0, 0},
                               {p[0] + 30, p[1], 0, 0, 0, -1, 0, 0},
                               {p[0], p[1] + 30, 0, 0, 0, -1, 0, 0}};
    device->SetVertexShader(D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1);
    ASSERT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, v, sizeof(NormalVertex)), D3D_OK);
    EXPECT_TRUE(Near(PixelAt(device, 405, 205), LitColour(p, n, light, material, {0.8f, 0.6f, 0.4f}, ambient), 2));
}

TEST_F(LightingTest, DisabledLightAddsNothing)
{
    device->LightEnable(0, FALSE);
    const float p[3] = {400, 300, 0};
    const NormalVertex v[3] = {{p[0], p[1], 0, 0, 0, -1, 0, 0}, {p[0] + 30, p[1], 0, 0, 0, -1, 0, 0},
                               {p[0], p[1] + 30, 0, 0, 0, -1, 0, 0}};
    device->SetVertexShader(D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1);
    ASSERT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, v, sizeof(NormalVertex)), D3D_OK);
    // Emissive plus material ambient times global ambient.
    const uint32_t expected = (static_cast<uint32_t>(std::lround((0.05f + 0.5f * ambient.r) * 255)) << 16) |
                              (static_cast<uint32_t>(std::lround((0.5f * ambient.g) * 255)) << 8) |
                              static_cast<uint32_t>(std::lround((0.1f + 0.5f * ambient.b) * 255));
    EXPECT_TRUE(Near(PixelAt(device, 405, 305), expected, 2));
}

// --- Texture coordinate generation ----------------------------------------------

class EnvironmentMapTest : public PipelineTest {
protected:
    void SetUp() override
    {
        PipelineTest::SetUp();
        // red, green / blue, white
        texture = MakeTexture(2, 2, {0xffff0000, 0xff00ff00, 0xff0000ff, 0xffffffff});
        ASSERT_NE(texture, nullptr);
        D3DMATRIX m{};
        m._11 = 0.5f;
        m._22 = -0.5f;
        m._33 = 1.0f;
        m._41 = 0.5f;
        m._42 = 0.5f;
        m._44 = 1.0f;
        device->SetTransform(D3DTS_TEXTURE0, &m);
        device->SetTexture(0, texture);
        device->SetTextureStageState(0, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_COUNT2);
        device->SetTextureStageState(0, D3DTSS_TEXCOORDINDEX, D3DTSS_TCI_CAMERASPACENORMAL);
        device->SetRenderState(D3DRS_LIGHTING, FALSE);
        device->SetVertexShader(D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1);
    }

    void TearDown() override
    {
        if (device) device->SetTexture(0, nullptr);
        if (texture) texture->Release();
        PipelineTest::TearDown();
    }

    uint32_t DrawWithNormal(float nx, float ny, float nz)
    {
        // The vertex coordinates are (0, 0), so only the generated ones count.
        const NormalVertex v[3] = {{100, 100, 0.5f, nx, ny, nz, 0, 0},
                                   {200, 100, 0.5f, nx, ny, nz, 0, 0},
                                   {100, 200, 0.5f, nx, ny, nz, 0, 0}};
        EXPECT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, v, sizeof(NormalVertex)), D3D_OK);
        return PixelAt(device, 120, 120);
    }

    IDirect3DTexture8* texture = nullptr;
};

TEST_F(EnvironmentMapTest, CameraSpaceNormalPicksTheTexel)
{
    // u = 0.5 + 0.5 nx, v = 0.5 - 0.5 ny.
    EXPECT_EQ(DrawWithNormal(-0.6f, 0.6f, -0.5f), 0xff0000u);  // (0.2, 0.2): top left
    EXPECT_EQ(DrawWithNormal(0.6f, 0.6f, -0.5f), 0x00ff00u);   // (0.8, 0.2): top right
    EXPECT_EQ(DrawWithNormal(-0.6f, -0.6f, -0.5f), 0x0000ffu); // (0.2, 0.8): bottom left
    EXPECT_EQ(DrawWithNormal(0.6f, -0.6f, -0.5f), 0xffffffu);  // (0.8, 0.8): bottom right
}

TEST_F(EnvironmentMapTest, NormalsAreTakenInCameraSpace)
{
    // A view turned half a turn about z (undone by the projection, so the
    // triangle stays in place) turns the normals too.
    D3DMATRIX view = IdentityMatrix();
    view._11 = -1.0f;
    view._22 = -1.0f;
    D3DMATRIX projection = PixelProjection();
    projection._11 = -projection._11;
    projection._22 = -projection._22;
    device->SetTransform(D3DTS_VIEW, &view);
    device->SetTransform(D3DTS_PROJECTION, &projection);
    EXPECT_EQ(DrawWithNormal(0.6f, 0.6f, -0.5f), 0x0000ffu);
}

TEST_F(EnvironmentMapTest, TranslationComesFromTheFourthRow)
{
    // The generated input is (nx, ny, nz, 1): a zero normal lands on the
    // fourth row's translation alone, whatever the third row holds.
    D3DMATRIX m{};
    m._31 = 0.5f;
    m._32 = 0.5f;
    m._41 = 0.75f;
    m._42 = 0.25f;
    device->SetTransform(D3DTS_TEXTURE0, &m);
    EXPECT_EQ(DrawWithNormal(0.0f, 0.0f, 0.0f), 0x00ff00u);
}

TEST_F(EnvironmentMapTest, PassThroughCoordinatesAreTranslatedByTheThirdRow)
{
    // A two-component set enters as (u, v, 1, 0).
    D3DMATRIX m = IdentityMatrix();
    m._31 = 0.5f;
    m._32 = 0.5f;
    device->SetTransform(D3DTS_TEXTURE0, &m);
    device->SetTextureStageState(0, D3DTSS_TEXCOORDINDEX, 0);
    const NormalVertex v[3] = {{100, 100, 0.5f, 0, 0, -1, 0.1f, 0.1f},
                               {200, 100, 0.5f, 0, 0, -1, 0.1f, 0.1f},
                               {100, 200, 0.5f, 0, 0, -1, 0.1f, 0.1f}};
    ASSERT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, v, sizeof(NormalVertex)), D3D_OK);
    EXPECT_EQ(PixelAt(device, 120, 120), 0xffffffu);  // (0.6, 0.6)
}

// --- Every program variant builds ------------------------------------------------

TEST_F(PipelineTest, EveryFixedFunctionVariantCompilesAndDraws)
{
    // Vertices big enough for any of the formats below (at most 48 bytes).
    float vertices[3][12] = {};
    for (int i = 0; i < 3; ++i) {
        vertices[i][0] = i == 1 ? 100.0f : 10.0f;
        vertices[i][1] = i == 2 ? 100.0f : 10.0f;
        vertices[i][2] = 0.5f;
        vertices[i][3] = 1.0f;
    }
    IDirect3DTexture8* texture = MakeTexture(1, 1, {0xff808080});
    ASSERT_NE(texture, nullptr);
    device->SetTexture(0, texture);
    device->SetTexture(1, texture);
    D3DLIGHT8 light{};
    light.Type = D3DLIGHT_SPOT;
    light.Diffuse = light.Specular = {1, 1, 1, 1};
    light.Range = 1000;
    light.Attenuation0 = 1;
    light.Theta = 0.5f;
    light.Phi = 1.0f;
    light.Falloff = 1.0f;
    light.Direction = {0, 0, 1};
    device->SetLight(0, &light);
    device->LightEnable(0, TRUE);
    light.Type = D3DLIGHT_DIRECTIONAL;
    device->SetLight(1, &light);
    device->LightEnable(1, TRUE);

    const DWORD formats[] = {0x142, 0x152, 0x112, D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE | D3DFVF_SPECULAR | D3DFVF_TEX2,
                             D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_SPECULAR | D3DFVF_TEX1, D3DFVF_XYZ};
    const DWORD ops[] = {D3DTOP_MODULATE, D3DTOP_MODULATE4X, D3DTOP_ADDSIGNED2X, D3DTOP_SUBTRACT,
                         D3DTOP_ADDSMOOTH, D3DTOP_BLENDDIFFUSEALPHA, D3DTOP_BLENDTEXTUREALPHA};
    const DWORD texCoords[] = {0, 1, D3DTSS_TCI_CAMERASPACENORMAL, D3DTSS_TCI_CAMERASPACEPOSITION,
                               D3DTSS_TCI_CAMERASPACEREFLECTIONVECTOR};
    int variant = 0;
    for (DWORD fvf : formats)
        for (int flags = 0; flags < 8; ++flags) {
            const DWORD op = ops[variant % 7];
            const DWORD texCoord = texCoords[variant % 5];
            ++variant;
            device->SetVertexShader(fvf);
            device->SetRenderState(D3DRS_LIGHTING, (flags & 1) ? TRUE : FALSE);
            device->SetRenderState(D3DRS_SPECULARENABLE, (flags & 2) ? TRUE : FALSE);
            device->SetRenderState(D3DRS_SHADEMODE, (flags & 4) ? D3DSHADE_FLAT : D3DSHADE_GOURAUD);
            device->SetRenderState(D3DRS_ALPHATESTENABLE, (flags & 2) ? TRUE : FALSE);
            device->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATEREQUAL);
            device->SetRenderState(D3DRS_LOCALVIEWER, (flags & 4) ? TRUE : FALSE);
            device->SetRenderState(D3DRS_NORMALIZENORMALS, (flags & 1) ? TRUE : FALSE);
            device->SetRenderState(D3DRS_DIFFUSEMATERIALSOURCE, (flags & 2) ? D3DMCS_COLOR2 : D3DMCS_COLOR1);
            device->SetRenderState(D3DRS_EMISSIVEMATERIALSOURCE, (flags & 4) ? D3DMCS_COLOR1 : D3DMCS_MATERIAL);
            device->SetTextureStageState(0, D3DTSS_COLOROP, op);
            device->SetTextureStageState(0, D3DTSS_COLORARG1, (flags & 1) ? (D3DTA_TEXTURE | D3DTA_COMPLEMENT)
                                                                           : (D3DTA_TFACTOR | D3DTA_ALPHAREPLICATE));
            device->SetTextureStageState(0, D3DTSS_ALPHAOP, (flags & 2) ? D3DTOP_MODULATE : D3DTOP_DISABLE);
            device->SetTextureStageState(0, D3DTSS_TEXCOORDINDEX, texCoord);
            device->SetTextureStageState(0, D3DTSS_TEXTURETRANSFORMFLAGS,
                                         (flags & 1) ? (D3DTTFF_COUNT3 | D3DTTFF_PROJECTED) : D3DTTFF_COUNT2);
            device->SetTextureStageState(1, D3DTSS_COLOROP, (flags & 4) ? D3DTOP_ADD : D3DTOP_DISABLE);
            device->SetTextureStageState(1, D3DTSS_COLORARG2, D3DTA_SPECULAR);
            EXPECT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, vertices, sizeof(vertices[0])), D3D_OK)
                << "format 0x" << std::hex << fvf << ", flags " << flags;
        }
    device->SetTexture(0, nullptr);
    device->SetTexture(1, nullptr);
    texture->Release();
}

// --- Output size ------------------------------------------------------------

TEST(OutputSizeTest, LargerOutputScalesTheBackBufferPicture)
{
    d3d8_testing::Reset();
    runtime::CurrentOptions().outputWidth = 1600;
    runtime::CurrentOptions().outputHeight = 1200;
    IDirect3DDevice8* device = CreateTestDevice();
    runtime::CurrentOptions() = runtime::Options{};
    ASSERT_NE(device, nullptr);
    int w = 0, h = 0;
    ReadPixels(device, &w, &h);
    EXPECT_EQ(w, 1600);
    EXPECT_EQ(h, 1200);
    // The system still sees an 800 by 600 back buffer.
    D3DVIEWPORT8 viewport{};
    device->GetViewport(&viewport);
    EXPECT_EQ(viewport.Width, 800u);
    EXPECT_EQ(viewport.Height, 600u);

    const D3DMATRIX identity = IdentityMatrix(), projection = PixelProjection();
    device->SetTransform(D3DTS_WORLD, &identity);
    device->SetTransform(D3DTS_VIEW, &identity);
    device->SetTransform(D3DTS_PROJECTION, &projection);
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xff000000, 1.0f, 0);
    const D3DCOLOR c = 0xffffffff;
    const ColourVertex v[6] = {{350, 250, 0.5f, c}, {450, 250, 0.5f, c}, {350, 350, 0.5f, c},
                               {350, 350, 0.5f, c}, {450, 250, 0.5f, c}, {450, 350, 0.5f, c}};
    device->SetRenderState(D3DRS_LIGHTING, FALSE);
    device->SetVertexShader(kColourFvf);
    ASSERT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, v, sizeof(ColourVertex)), D3D_OK);
    const std::vector<uint8_t> rgb = ReadPixels(device, &w, &h);
    EXPECT_EQ(PixelAt(rgb, w, h, 700, 500), 0xffffffu);
    EXPECT_EQ(PixelAt(rgb, w, h, 899, 699), 0xffffffu);
    EXPECT_EQ(PixelAt(rgb, w, h, 699, 600), 0u);
    EXPECT_EQ(PixelAt(rgb, w, h, 900, 600), 0u);
    EXPECT_EQ(PixelAt(rgb, w, h, 800, 499), 0u);
    EXPECT_EQ(PixelAt(rgb, w, h, 800, 700), 0u);
    EXPECT_EQ(device->Release(), 0u);
}

TEST(OutputSizeTest, WideOutputKeepsTheAspectWithBlackBars)
{
    d3d8_testing::Reset();
    runtime::CurrentOptions().outputWidth = 1280;
    runtime::CurrentOptions().outputHeight = 720;
    IDirect3DDevice8* device = CreateTestDevice();
    runtime::CurrentOptions() = runtime::Options{};
    ASSERT_NE(device, nullptr);
    ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xffffffff, 1.0f, 0), D3D_OK);
    int w = 0, h = 0;
    const std::vector<uint8_t> rgb = ReadPixels(device, &w, &h);
    ASSERT_EQ(w, 1280);
    ASSERT_EQ(h, 720);
    // 4:3 at 720 high is 960 wide: bars of 160 on each side.
    EXPECT_EQ(PixelAt(rgb, w, h, 159, 360), 0u);
    EXPECT_EQ(PixelAt(rgb, w, h, 160, 360), 0xffffffu);
    EXPECT_EQ(PixelAt(rgb, w, h, 1119, 0), 0xffffffu);
    EXPECT_EQ(PixelAt(rgb, w, h, 1120, 719), 0u);
    EXPECT_EQ(device->Release(), 0u);
}

}  // namespace
