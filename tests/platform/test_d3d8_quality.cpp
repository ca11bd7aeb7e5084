// Forced picture quality in the Direct3D stand-in: multisampled and
// supersampled pictures reduced before Present (whole-pixel quads, blends and
// fades exact, edges antialiased, the brightness kept), forced texture
// filtering (mip levels used and made where a texture lacks them, the
// system's addressing kept), and the refusal of what the device cannot do.
#include "TestDevice.h"

#include "d3d8_testing.h"
#include "runtime.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <ostream>
#include <set>
#include <string>
#include <vector>

namespace {

struct ColourVertex {  // D3DFVF_XYZ | D3DFVF_DIFFUSE
    float x, y, z;
    D3DCOLOR diffuse;
};
constexpr DWORD kColourFvf = D3DFVF_XYZ | D3DFVF_DIFFUSE;

struct TexturedVertex {  // 0x142
    float x, y, z;
    D3DCOLOR diffuse;
    float u, v;
};

int Channel(uint32_t rgb, int shift)
{
    return static_cast<int>((rgb >> shift) & 0xff);
}

// A device made under the given options, with transforms for drawing in pixels.
class QualityTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        if (device) {
            EXPECT_EQ(device->Release(), 0u);
        }
        runtime::CurrentOptions() = runtime::Options{};
    }

    void Open(const runtime::Options& options)
    {
        if (device) device->Release();
        d3d8_testing::Reset();
        runtime::CurrentOptions() = options;
        runtime::CurrentOptions().headless = true;
        device = CreateTestDevice();
        ASSERT_NE(device, nullptr);
        const D3DMATRIX identity = IdentityMatrix(), projection = PixelProjection();
        device->SetTransform(D3DTS_WORLD, &identity);
        device->SetTransform(D3DTS_VIEW, &identity);
        device->SetTransform(D3DTS_PROJECTION, &projection);
        device->SetRenderState(D3DRS_LIGHTING, FALSE);
        device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xff000000, 1.0f, 0);
        device->BeginScene();
    }

    HRESULT DrawTriangles(const std::vector<ColourVertex>& v)
    {
        device->SetVertexShader(kColourFvf);
        return device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, static_cast<UINT>(v.size() / 3), v.data(),
                                       sizeof(ColourVertex));
    }
    HRESULT DrawRect(float x0, float y0, float x1, float y1, D3DCOLOR c)
    {
        return DrawTriangles({{x0, y0, 0.5f, c}, {x1, y0, 0.5f, c}, {x0, y1, 0.5f, c},
                              {x0, y1, 0.5f, c}, {x1, y0, 0.5f, c}, {x1, y1, 0.5f, c}});
    }

    // Ends the frame and reads what Present showed.
    std::vector<uint8_t> Presented()
    {
        device->EndScene();
        EXPECT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
        device->BeginScene();
        std::vector<uint8_t> rgb = ReadPixels(device, &width, &height);
        EXPECT_EQ(width, 800) << "the picture is reduced to the output's size";
        EXPECT_EQ(height, 600);
        return rgb;
    }
    uint32_t At(const std::vector<uint8_t>& rgb, int x, int y) const { return PixelAt(rgb, width, height, x, y); }

    IDirect3DDevice8* device = nullptr;
    int width = 0, height = 0;
};

struct Surface {
    const char* name;
    int msaa, supersample;
};
void PrintTo(const Surface& surface, std::ostream* os)
{
    *os << surface.name;
}

class ReducedPicture : public QualityTest, public ::testing::WithParamInterface<Surface> {
protected:
    void SetUp() override
    {
        runtime::Options options;
        options.msaa = GetParam().msaa;
        options.supersample = GetParam().supersample;
        Open(options);
    }
};

INSTANTIATE_TEST_SUITE_P(Options, ReducedPicture,
                         ::testing::Values(Surface{"msaa4", 4, 1}, Surface{"supersample2", 0, 2},
                                           Surface{"supersample3", 0, 3}, Surface{"supersample2msaa4", 4, 2}),
                         [](const ::testing::TestParamInfo<Surface>& info) { return std::string(info.param.name); });

TEST_P(ReducedPicture, WholePixelQuadsBlendsAndFadesAreExact)
{
    // A quad over whole pixels covers every sample of them and none beside.
    ASSERT_EQ(DrawRect(10, 20, 30, 25, 0xff00ff00), D3D_OK);
    // Additive layers add exactly, as without the option.
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xff000000, 1.0f, 0);
    ASSERT_EQ(DrawRect(10, 20, 30, 25, 0xff00ff00), D3D_OK);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
    ASSERT_EQ(DrawRect(100, 100, 200, 200, 0xff643219), D3D_OK);
    ASSERT_EQ(DrawRect(100, 100, 200, 200, 0xff323232), D3D_OK);
    // A fade over the whole screen, as the overlays draw it: every pixel,
    // those of the picture's border included, half way to white.
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    ASSERT_EQ(DrawRect(0, 0, 800, 600, 0x80ffffff), D3D_OK);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    const std::vector<uint8_t> rgb = Presented();

    const auto faded = [](int channel) { return (channel * 127 + 255 * 128 + 127) / 255; };
    const auto expect = [&](int x, int y, int r, int g, int b) {
        const uint32_t c = At(rgb, x, y);
        EXPECT_LE(std::abs(Channel(c, 16) - faded(r)), 1) << x << "," << y << std::hex << " 0x" << c;
        EXPECT_LE(std::abs(Channel(c, 8) - faded(g)), 1) << x << "," << y << std::hex << " 0x" << c;
        EXPECT_LE(std::abs(Channel(c, 0) - faded(b)), 1) << x << "," << y << std::hex << " 0x" << c;
    };
    for (int x : {10, 20, 29})
        for (int y : {20, 24}) expect(x, y, 0, 255, 0);
    for (int x : {9, 30}) expect(x, 22, 0, 0, 0);
    for (int y : {19, 25}) expect(15, y, 0, 0, 0);
    for (int x : {100, 150, 199}) expect(x, 150, 0x96, 0x64, 0x4b);
    for (int x : {99, 200}) expect(x, 150, 0, 0, 0);
    for (int x : {0, 400, 799})
        for (int y : {0, 300, 599}) {
            if (x == 400 && y == 300) continue;
            expect(x, y, 0, 0, 0);
        }
}

TEST_P(ReducedPicture, SlantedEdgesAreAntialiasedAndTheBrightnessIsKept)
{
    // A white triangle whose long edge crosses pixels at a slant.
    const D3DCOLOR w = 0xffffffff;
    ASSERT_EQ(DrawTriangles({{100, 100, 0.5f, w}, {500, 130, 0.5f, w}, {100, 400, 0.5f, w}}), D3D_OK);
    const std::vector<uint8_t> rgb = Presented();
    std::set<int> levels;
    double sum = 0.0;
    for (int y = 90; y < 410; ++y)
        for (int x = 90; x < 510; ++x) {
            const int grey = Channel(At(rgb, x, y), 8);
            levels.insert(grey);
            sum += grey / 255.0;
        }
    // Many steps between black and white along the edges, not just the two.
    EXPECT_GE(levels.size(), static_cast<size_t>(GetParam().msaa > 0 ? 4 : GetParam().supersample * GetParam().supersample))
        << levels.size() << " levels";
    // The covered area stays the triangle's: 400 * 300 / 2 pixels.
    EXPECT_NEAR(sum, 60000.0, 60000.0 * 0.005);
}

TEST_F(QualityTest, DeviceWithoutTheOptionsKeepsItsHardEdges)
{
    Open(runtime::Options{});
    const D3DCOLOR w = 0xffffffff;
    ASSERT_EQ(DrawTriangles({{100, 100, 0.5f, w}, {500, 130, 0.5f, w}, {100, 400, 0.5f, w}}), D3D_OK);
    const std::vector<uint8_t> rgb = Presented();
    std::set<int> levels;
    for (int y = 90; y < 410; ++y)
        for (int x = 90; x < 510; ++x) levels.insert(Channel(At(rgb, x, y), 8));
    EXPECT_EQ(levels, (std::set<int>{0, 255}));
}

TEST_F(QualityTest, APictureTheDeviceCannotDrawIsRefusedWithTheReason)
{
    d3d8_testing::Reset();
    runtime::Options options;
    options.headless = true;
    options.msaa = 1024;
    runtime::CurrentOptions() = options;
    runtime::TakeFailureReason();
    IDirect3DDevice8* refused = nullptr;
    EXPECT_NE(TryCreateTestDevice(800, 600, &refused), D3D_OK);
    EXPECT_EQ(refused, nullptr);
    const std::string reason = runtime::TakeFailureReason();
    EXPECT_EQ(reason.rfind("--msaa 1024: this graphics device multisamples at most ", 0), 0u) << reason;
    // A supersampled picture beyond the largest side.
    options.msaa = 0;
    options.supersample = 4;
    options.outputWidth = 16000;
    options.outputHeight = 12000;
    runtime::CurrentOptions() = options;
    EXPECT_NE(TryCreateTestDevice(800, 600, &refused), D3D_OK);
    EXPECT_NE(runtime::TakeFailureReason().find("--supersample 4 at 16000x12000 needs a picture of 64000x48000"),
              std::string::npos);
}

// --- Forced texture filtering -----------------------------------------------

class FilterTest : public QualityTest {
protected:
    // A texture of one level (no mip chain of its own).
    IDirect3DTexture8* MakeTexture(UINT size, UINT levels, D3DCOLOR (*texel)(UINT x, UINT y))
    {
        IDirect3DTexture8* texture = nullptr;
        EXPECT_EQ(device->CreateTexture(size, size, levels, 0, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &texture), D3D_OK);
        if (!texture) return nullptr;
        for (UINT level = 0; level < levels; ++level) {
            D3DLOCKED_RECT locked{};
            EXPECT_EQ(texture->LockRect(level, &locked, nullptr, 0), D3D_OK);
            const UINT side = size >> level;
            for (UINT y = 0; y < side; ++y)
                for (UINT x = 0; x < side; ++x)
                    reinterpret_cast<D3DCOLOR*>(static_cast<uint8_t*>(locked.pBits) + y * locked.Pitch)[x] =
                        texel(x << level, y << level);
            EXPECT_EQ(texture->UnlockRect(0 + level), D3D_OK);
        }
        return texture;
    }
    void DrawTextured(float x0, float y0, float x1, float y1, float u1, float v1)
    {
        const D3DCOLOR w = 0xffffffff;
        const TexturedVertex v[6] = {{x0, y0, 0.5f, w, 0, 0},   {x1, y0, 0.5f, w, u1, 0}, {x0, y1, 0.5f, w, 0, v1},
                                     {x0, y1, 0.5f, w, 0, v1},  {x1, y0, 0.5f, w, u1, 0}, {x1, y1, 0.5f, w, u1, v1}};
        device->SetVertexShader(0x142);
        ASSERT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, v, sizeof(TexturedVertex)), D3D_OK);
    }
    static D3DCOLOR Checker(UINT x, UINT y) { return ((x ^ y) & 1) ? 0xffffffff : 0xff000000; }
    static D3DCOLOR Halves(UINT x, UINT) { return x == 0 ? 0xffff0000 : 0xff00ff00; }
};

TEST_F(FilterTest, AMinifiedCheckerBecomesItsMeanGreyOnlyWhenForced)
{
    for (runtime::TextureFilter filter : {runtime::TextureFilter::AsSet, runtime::TextureFilter::Bilinear,
                                          runtime::TextureFilter::Trilinear, runtime::TextureFilter::Anisotropic}) {
        runtime::Options options;
        options.filter = filter;
        Open(options);
        // 256 texels of a one-texel checker over 32 pixels: eight texels a pixel.
        IDirect3DTexture8* texture = MakeTexture(256, 1, Checker);
        ASSERT_NE(texture, nullptr);
        device->SetTexture(0, texture);
        DrawTextured(100, 100, 132, 132, 1, 1);
        const std::vector<uint8_t> rgb = Presented();
        int extremes = 0, greys = 0;
        for (int y = 102; y < 130; ++y)
            for (int x = 102; x < 130; ++x) {
                const int g = Channel(At(rgb, x, y), 8);
                extremes += g == 0 || g == 255;
                greys += std::abs(g - 128) <= 8;
            }
        if (filter == runtime::TextureFilter::AsSet) {
            EXPECT_EQ(extremes, 28 * 28) << "the system's point sampling of the top level";
        } else {
            // The levels made for the one-level texture average the checker.
            EXPECT_EQ(greys, 28 * 28) << static_cast<int>(filter);
        }
        device->SetTexture(0, nullptr);
        texture->Release();
    }
}

TEST_F(FilterTest, MagnificationBecomesLinearAndTheSystemsAddressingStays)
{
    runtime::Options options;
    options.filter = runtime::TextureFilter::Trilinear;
    Open(options);
    // Red then green, two texels over 200 pixels and clamped beyond u = 1.
    IDirect3DTexture8* texture = MakeTexture(2, 2, Halves);
    ASSERT_NE(texture, nullptr);
    device->SetTexture(0, texture);
    device->SetTextureStageState(0, D3DTSS_ADDRESSU, D3DTADDRESS_CLAMP);
    device->SetTextureStageState(0, D3DTSS_ADDRESSV, D3DTADDRESS_CLAMP);
    DrawTextured(0, 0, 400, 100, 2, 1);
    const std::vector<uint8_t> rgb = Presented();
    // Linear between the texel centres (u 0.25 and 0.75: x 50 and 150).
    const uint32_t middle = At(rgb, 100, 50);
    EXPECT_NEAR(Channel(middle, 16), 128, 8) << std::hex << middle;
    EXPECT_NEAR(Channel(middle, 8), 128, 8) << std::hex << middle;
    EXPECT_EQ(At(rgb, 20, 50), 0xff0000u);
    // Clamped, not wrapped: green from u = 0.75 to the quad's end.
    for (int x : {160, 250, 390}) EXPECT_EQ(At(rgb, x, 50), 0x00ff00u) << x;
    device->SetTexture(0, nullptr);
    texture->Release();
}

}  // namespace
