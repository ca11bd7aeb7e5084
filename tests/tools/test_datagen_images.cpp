// Tests of the picture helpers: shading with supersampling, blur and splats
// that wrap for tiling textures, tone mapping, resizing for previews, the
// PNG writer's failure path, and glowing strokes drawn from distance fields.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <filesystem>

#include "GlowLines.h"
#include "Generator.h"
#include "Image.h"

using namespace datagen;

namespace {
double Mean(const Image& img)
{
    double s = 0.0;
    for (float v : img.rgb) s += v;
    return s / img.rgb.size();
}
}  // namespace

TEST(Image, ShadeAveragesSamplesInsideEachPixel)
{
    Image img(4, 2);
    // Left half of the picture white: pixel 1 is fully inside, pixel 2 out.
    Shade(img, 4, [](double u, double) { return u < 0.5 ? Rgb{1, 1, 1} : Rgb{}; });
    EXPECT_FLOAT_EQ(img.At(1, 0)[0], 1.0f);
    EXPECT_FLOAT_EQ(img.At(2, 1)[0], 0.0f);
    // An edge through the middle of a pixel gives half.
    Image edge(2, 1);
    Shade(edge, 4, [](double u, double) { return u < 0.25 ? Rgb{1, 0, 0} : Rgb{}; });
    EXPECT_FLOAT_EQ(edge.At(0, 0)[0], 0.5f);
}

TEST(Image, WrappedBlurKeepsTheMeanAndCrossesTheEdge)
{
    Image img(32, 32);
    img.Set(0, 0, {1, 1, 1});
    const Image soft = Blur(img, 2.0, true);
    EXPECT_NEAR(Mean(soft), Mean(img), 1e-6);
    // Light spreads to the far side of the torus as much as to the near side.
    EXPECT_NEAR(soft.At(31, 0)[0], soft.At(1, 0)[0], 1e-6);
    EXPECT_GT(soft.At(31, 0)[0], 0.01f);
    // Without wrapping nothing reaches the far side.
    const Image clamped = Blur(img, 2.0, false);
    EXPECT_LT(clamped.At(31, 0)[0], 1e-6f);
}

TEST(Image, WrappedSplatContinuesAcrossTheEdge)
{
    Image img(16, 16);
    Splat(img, 0.5, 8.5, 1.5, {1, 0, 0}, true);
    EXPECT_NEAR(img.At(15, 8)[0], img.At(1, 8)[0], 1e-6);
    EXPECT_GT(img.At(15, 8)[0], 0.1f);
    Image cut(16, 16);
    Splat(cut, 0.5, 8.5, 1.5, {1, 0, 0}, false);
    EXPECT_EQ(cut.At(15, 8)[0], 0.0f);
}

TEST(Image, ToneMapSaturatesSmoothly)
{
    Image img(3, 1);
    img.Set(0, 0, {0, 0, 0});
    img.Set(1, 0, {0.5, 1, 4});
    img.Set(2, 0, {-1, 100, 0});
    ToneMap(img, 1.0);
    EXPECT_EQ(img.At(0, 0)[0], 0.0f);
    EXPECT_LT(img.At(1, 0)[0], img.At(1, 0)[1]);
    EXPECT_LT(img.At(1, 0)[2], 1.0f);
    EXPECT_EQ(img.At(2, 0)[0], 0.0f);  // negative light adds nothing
    EXPECT_NEAR(img.At(2, 0)[1], 1.0f, 1e-6);
}

TEST(Image, ResizeAveragesWhenShrinking)
{
    Image img(4, 4);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) img.Set(x, y, Rgb{(x + y) % 2 ? 1.0 : 0.0, 0, 0});
    const Image half = Resize(img, 2, 2);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 2; ++x) EXPECT_FLOAT_EQ(half.At(x, y)[0], 0.5f);
    const Image twice = Resize(img, 8, 8);
    EXPECT_EQ(twice.width, 8);
    EXPECT_FLOAT_EQ(twice.At(1, 0)[0], img.At(0, 0)[0]);
}

TEST(Image, PngWriterReportsWhereItCannotWrite)
{
    std::string error;
    EXPECT_FALSE(WritePng("/proc/datagen.png", Image(2, 2), error));
    EXPECT_NE(error.find("/proc/datagen.png"), std::string::npos);
    const std::string path = (std::filesystem::temp_directory_path() / ("datagen_" + std::to_string(getpid()) + ".png")).string();
    ASSERT_TRUE(WritePng(path, Image(5, 3), error)) << error;
    EXPECT_GT(std::filesystem::file_size(path), 30u);
    std::filesystem::remove(path);
}

TEST(Icon, TheTitleCardFitsASquareOnBlack)
{
    Image icon;
    std::string error;
    ASSERT_TRUE(MakeIcon(256, icon, error)) << error;
    ASSERT_EQ(icon.width, 256);
    ASSERT_EQ(icon.height, 256);
    // The 4:3 card is 192 rows high, centred: 32 black rows above and below.
    const auto rowSum = [&](int y) {
        double sum = 0.0;
        for (int x = 0; x < icon.width; ++x) sum += icon.At(x, y)[0] + icon.At(x, y)[1] + icon.At(x, y)[2];
        return sum;
    };
    EXPECT_EQ(rowSum(0), 0.0);
    EXPECT_EQ(rowSum(31), 0.0);
    EXPECT_EQ(rowSum(255), 0.0);
    double lit = 0.0;
    for (int y = 32; y < 224; ++y) lit += rowSum(y);
    EXPECT_GT(lit, 256.0 * 192 * 0.02) << "the title's letters and glow";
}

TEST(GlowLines, DistanceFieldFollowsTheStroke)
{
    GlowLayer g(64, 64, 10.0);
    g.Segment(10, 32, 50, 32);
    EXPECT_NEAR(g.DistanceAt(30, 32), 0.5, 1e-6);  // pixel centre 0.5 below the line
    EXPECT_NEAR(g.DistanceAt(30, 36), 4.5, 1e-6);
    EXPECT_NEAR(g.DistanceAt(55, 32), std::sqrt(5.5 * 5.5 + 0.5 * 0.5), 1e-6);  // beyond the end: to the end point
    EXPECT_GT(g.DistanceAt(30, 5), 10.0);          // out of reach: untouched
    GlowLayer c(64, 64, 8.0);
    c.Circle(32, 32, 20);
    EXPECT_LT(c.DistanceAt(52, 32), 1.0);
    EXPECT_GT(c.DistanceAt(32, 32), 8.0);  // the middle is out of the ring's reach
    c.Disc(32, 32, 3);
    EXPECT_EQ(c.DistanceAt(32, 32), 0.0);
}

TEST(GlowLines, PaintAddsABrightCoreAndAFadingGlow)
{
    GlowLayer g(64, 64, 20.0);
    g.Segment(0, 32, 64, 32);
    Image img(64, 64);
    g.Paint(img, {1, 0.5, 0}, 0.8, 0.3, 4.0);
    const float core = img.At(20, 32)[0], near = img.At(20, 36)[0], far = img.At(20, 50)[0];
    EXPECT_GT(core, 0.9f);
    EXPECT_GT(near, far);
    EXPECT_GT(near, 0.0f);
    EXPECT_EQ(img.At(20, 5)[0], 0.0f);  // beyond the reach nothing is added
    EXPECT_NEAR(img.At(20, 32)[1], core * 0.5f, 1e-6);
}
