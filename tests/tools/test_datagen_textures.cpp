// Tests of the generated textures and the picture codecs: every texture of
// the catalogue is a valid 24-bit BMP of the size its scene loads, the
// tiling ones are seamless, sprites and cards have black borders, space is
// black where it is empty, and the same bytes come out every time.
#include <gtest/gtest.h>

#include <cmath>
#include <map>

#include "Catalog.h"
#include "Font.h"
#include "Image.h"

using namespace datagen;

namespace {
// Each texture is drawn on first use and kept for the rest of the program
// (ctest runs every case in its own process, so cases draw only what they
// look at).
const Image& Texture(const std::string& name)
{
    static std::map<std::string, Image> cache;
    auto it = cache.find(name);
    if (it != cache.end()) return it->second;
    Image img;
    std::string error;
    const AssetInfo* info = FindAsset(name);
    EXPECT_NE(info, nullptr) << name;
    if (info) {
        EXPECT_TRUE(MakeTexture(*info, img, error)) << name << ": " << error;
    }
    return cache[name] = img;
}

uint32_t U32(const std::vector<uint8_t>& b, size_t at)
{
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<uint32_t>(b[at + 3]) << 24);
}

double Diff(const Image& img, int x0, int y0, int x1, int y1)
{
    const float* a = img.At(x0, y0);
    const float* b = img.At(x1, y1);
    return (std::fabs(a[0] - b[0]) + std::fabs(a[1] - b[1]) + std::fabs(a[2] - b[2])) / 3.0;
}
}  // namespace

TEST(Bmp, HeaderAndRowsFollowTheFormat)
{
    Image img(3, 2);
    img.Set(0, 0, {1.0, 0.0, 0.0});    // top-left red
    img.Set(2, 1, {0.0, 0.0, 1.0});    // bottom-right blue
    const std::vector<uint8_t> b = EncodeBmp(img);
    const uint32_t stride = 12;  // 9 bytes padded to 4
    ASSERT_EQ(b.size(), 54u + stride * 2);
    EXPECT_EQ(b[0], 'B');
    EXPECT_EQ(b[1], 'M');
    EXPECT_EQ(U32(b, 2), b.size());
    EXPECT_EQ(U32(b, 10), 54u);
    EXPECT_EQ(U32(b, 18), 3u);
    EXPECT_EQ(U32(b, 22), 2u);
    EXPECT_EQ(b[28], 24);
    // Bottom-up rows, BGR: the first stored row is the bottom one.
    EXPECT_EQ(b[54 + 6], 255);  // blue of bottom-right
    EXPECT_EQ(b[54 + stride + 2], 255);  // red of top-left
    EXPECT_EQ(b[54 + 9], 0);  // padding
}

TEST(Bmp, DecodeRefusesDamagedFiles)
{
    Image img(4, 4);
    std::vector<uint8_t> b = EncodeBmp(img);
    Image out;
    EXPECT_TRUE(DecodeBmp(b, out));
    std::vector<uint8_t> shortFile(b.begin(), b.end() - 10);
    EXPECT_FALSE(DecodeBmp(shortFile, out));
    std::vector<uint8_t> wrongTag = b;
    wrongTag[0] = 'X';
    EXPECT_FALSE(DecodeBmp(wrongTag, out));
    std::vector<uint8_t> hugeWidth = b;
    hugeWidth[21] = 0x7f;
    EXPECT_FALSE(DecodeBmp(hugeWidth, out));
    EXPECT_FALSE(DecodeBmp({}, out));
}

TEST(Textures, EveryTextureIsA24BitBmpOfItsSize)
{
    for (const AssetInfo& a : Catalog()) {
        if (a.kind != AssetKind::Texture) continue;
        SCOPED_TRACE(a.name);
        const Image& img = Texture(a.name);
        const std::vector<uint8_t> bytes = EncodeBmp(img);
        Image back;
        ASSERT_TRUE(DecodeBmp(bytes, back));
        EXPECT_EQ(back.width, a.width);
        EXPECT_EQ(back.height, a.height);
        EXPECT_EQ(bytes.size(), 54u + static_cast<size_t>(a.height) * ((a.width * 3 + 3) & ~3));
        // Not blank: something is drawn.
        double sum = 0.0;
        for (float v : back.rgb) sum += v;
        EXPECT_GT(sum / back.rgb.size(), 0.005);
    }
}

TEST(Textures, TilingTexturesAreSeamless)
{
    for (const AssetInfo& a : Catalog()) {
        if (!a.tiles) continue;
        SCOPED_TRACE(a.name);
        const Image& img = Texture(a.name);
        // The step from the last column to the first (as the neighbouring
        // tile continues) is no bigger than steps inside the picture.
        double inside = 0.0, seamX = 0.0, seamY = 0.0;
        const int w = img.width, h = img.height;
        for (int y = 0; y < h; ++y) {
            seamX += Diff(img, w - 1, y, 0, y);
            for (int x = 0; x + 1 < w; ++x) inside += Diff(img, x, y, x + 1, y) / (w - 1);
        }
        for (int x = 0; x < w; ++x) seamY += Diff(img, x, h - 1, x, 0);
        EXPECT_LT(seamX, 1.6 * inside + 0.5);
        EXPECT_LT(seamY, 1.6 * inside + 0.5);
    }
}

TEST(Textures, SeamCheckCatchesAPictureThatDoesNotTile)
{
    // A horizontal ramp does not tile: the check above would fail for it.
    Image ramp(64, 64);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) ramp.Set(x, y, Rgb{x / 63.0, x / 63.0, x / 63.0});
    double inside = 0.0, seam = 0.0;
    for (int y = 0; y < 64; ++y) {
        seam += Diff(ramp, 63, y, 0, y);
        for (int x = 0; x + 1 < 64; ++x) inside += Diff(ramp, x, y, x + 1, y) / 63.0;
    }
    EXPECT_GT(seam, 1.6 * inside + 0.5);
}

TEST(Textures, SpritesAndCardsHaveBlackBorders)
{
    for (const char* name : {"Partikel1.bmp", "Partikel2.bmp", "Cred1.bmp", "Cred2.bmp", "Title.bmp"}) {
        SCOPED_TRACE(name);
        const Image& img = Texture(name);
        const std::vector<uint8_t> bytes = EncodeBmp(img);
        Image q;
        ASSERT_TRUE(DecodeBmp(bytes, q));
        for (int x = 0; x < q.width; ++x)
            for (int y : {0, q.height - 1}) ASSERT_EQ(q.Get(x, y).r + q.Get(x, y).g + q.Get(x, y).b, 0.0) << x << "," << y;
        for (int y = 0; y < q.height; ++y)
            for (int x : {0, q.width - 1}) ASSERT_EQ(q.Get(x, y).r + q.Get(x, y).g + q.Get(x, y).b, 0.0) << x << "," << y;
        // The middle is bright.
        const Rgb c = q.Get(q.width / 2, q.height / 2);
        if (std::string(name).rfind("Partikel", 0) == 0) {
            EXPECT_GT(c.r + c.g + c.b, 2.0);
        }
    }
}

TEST(Textures, CardInkIsCentred)
{
    for (const char* name : {"Cred1.bmp", "Cred2.bmp", "Title.bmp"}) {
        SCOPED_TRACE(name);
        const Image& img = Texture(name);
        double sx = 0.0, s = 0.0;
        for (int y = 0; y < img.height; ++y)
            for (int x = 0; x < img.width; ++x) {
                const float* p = img.At(x, y);
                const double v = p[0] + p[1] + p[2];
                sx += v * x;
                s += v;
            }
        EXPECT_NEAR(sx / s, img.width / 2.0, 3.0);
    }
}

TEST(Textures, EmptySpaceIsExactlyBlack)
{
    // Added pictures must not grey the screen: most of Space2 and of the dark
    // pictures is exactly zero after quantisation.
    for (const char* name : {"Space2.bmp", "Cyber.bmp", "Gangbang.bmp"}) {
        SCOPED_TRACE(name);
        Image q;
        ASSERT_TRUE(DecodeBmp(EncodeBmp(Texture(name)), q));
        size_t black = 0;
        for (int y = 0; y < q.height; ++y)
            for (int x = 0; x < q.width; ++x) {
                const Rgb c = q.Get(x, y);
                if (c.r + c.g + c.b == 0.0) ++black;
            }
        EXPECT_GT(static_cast<double>(black) / (q.width * q.height), 0.2);
    }
}

TEST(Textures, PlaneIsMidDarkForDoubling)
{
    // Drawn with MODULATE2X: a mean well under half keeps it from burning out.
    const Image& img = Texture("Plane.bmp");
    double sum = 0.0;
    for (float v : img.rgb) sum += v;
    const double mean = sum / img.rgb.size() * 255.0;
    EXPECT_GT(mean, 55.0);
    EXPECT_LT(mean, 110.0);
}

TEST(Textures, SameBytesEveryTime)
{
    for (const char* name : {"Space1.bmp", "Title.bmp", "Paddo.bmp", "Hedra.bmp"}) {
        SCOPED_TRACE(name);
        Image again;
        std::string error;
        ASSERT_TRUE(MakeTexture(*FindAsset(name), again, error));
        EXPECT_EQ(EncodeBmp(again), EncodeBmp(Texture(name)));
    }
}

TEST(Font, MissingOrAlteredFontIsRefusedWithAMessage)
{
    Font font;
    std::string error;
    EXPECT_FALSE(font.Load("/nonexistent/DejaVuSans-Bold.ttf", error));
    EXPECT_NE(error.find("/nonexistent/DejaVuSans-Bold.ttf"), std::string::npos);
    // Any other file fails the digest check.
    Font other;
    error.clear();
    EXPECT_FALSE(other.Load("/proc/self/exe", error));
    EXPECT_NE(error.find("SHA-256"), std::string::npos);
}

TEST(Font, RendersInkWithinItsMask)
{
    std::string error;
    const Font* font = SharedFont(error);
    ASSERT_NE(font, nullptr) << error;
    const Mask wide = font->Render("WWW", 40);
    const Mask narrow = font->Render("iii", 40);
    EXPECT_GT(wide.width, narrow.width);
    double ink = 0.0;
    for (float a : wide.a) ink += a;
    EXPECT_GT(ink, 100.0);
    EXPECT_EQ(font->Render("", 40).width, 3);
}
