// Tests of the maths helpers: the single-precision wrappers at known values
// and argument order, the cosine blend at its landmarks and beyond t = 1,
// and the expansion of packed colours into float channels.
#include "MathHelpers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>

namespace {
const float kPi = 3.1415927f;
}

TEST(MathWrappers, TrigonometryAtKnownAngles)
{
    EXPECT_FLOAT_EQ(0.5f, SinF(kPi / 6));
    EXPECT_FLOAT_EQ(-1.0f, SinF(-kPi / 2));
    EXPECT_FLOAT_EQ(0.5f, CosF(kPi / 3));
    EXPECT_FLOAT_EQ(-1.0f, CosF(kPi));
    EXPECT_EQ(1.0f, CosF(0.0f));
    EXPECT_EQ(0.0f, SinF(0.0f));
}

TEST(MathWrappers, SineAndCosineRoundLikeTheLibraryOverTheShowsRange)
{
    // Arguments as the formulas make them: small angles, times in
    // milliseconds scaled down, and a few far beyond the show's length.
    uint32_t state = 12345;
    int mismatches = 0;
    for (int i = 0; i < 200000; ++i) {
        state = state * 1664525u + 1013904223u;
        const float x = (static_cast<float>(state >> 8) / 16777216.0f - 0.5f) * (i % 4 == 0 ? 2.0e5f : 600.0f);
        const float expectedSin = static_cast<float>(std::sin(static_cast<double>(x)));
        const float expectedCos = static_cast<float>(std::cos(static_cast<double>(x)));
        mismatches += SinF(x) != expectedSin;
        mismatches += CosF(x) != expectedCos;
        // At most one unit in the last place apart.
        ASSERT_LE(std::fabs(SinF(x) - expectedSin), std::fabs(std::nextafter(expectedSin, 2.0f) - expectedSin)) << x;
        ASSERT_LE(std::fabs(CosF(x) - expectedCos), std::fabs(std::nextafter(expectedCos, 2.0f) - expectedCos)) << x;
    }
    EXPECT_LE(mismatches, 400) << "results differing in the last bit are rare near-ties";
    EXPECT_EQ(SinF(3.0e9f), static_cast<float>(std::sin(3.0e9)));
    EXPECT_TRUE(std::isnan(SinF(std::numeric_limits<float>::infinity())));
}

TEST(MathWrappers, Atan2TakesYFirst)
{
    EXPECT_FLOAT_EQ(kPi / 2, Atan2F(1.0f, 0.0f));
    EXPECT_FLOAT_EQ(0.0f, Atan2F(0.0f, 1.0f));
    EXPECT_FLOAT_EQ(kPi, Atan2F(0.0f, -1.0f));
    EXPECT_FLOAT_EQ(-kPi / 4, Atan2F(-2.0f, 2.0f));
    EXPECT_FLOAT_EQ(3 * kPi / 4, Atan2F(1.0f, -1.0f));
}

TEST(MathWrappers, SquareRootAndAbsoluteValue)
{
    EXPECT_EQ(3.0f, SqrtF(9.0f));
    EXPECT_EQ(0.0f, SqrtF(0.0f));
    EXPECT_FLOAT_EQ(1.4142135f, SqrtF(2.0f));
    EXPECT_EQ(3.5f, AbsF(-3.5f));
    EXPECT_EQ(3.5f, AbsF(3.5f));
    EXPECT_FALSE(std::signbit(AbsF(-0.0f)));
}

TEST(CosineBlend, PassesThroughBothEndsAndTheMidpoint)
{
    const D3DXVECTOR3 a(0, 0, 0), b(10, 20, -4);
    const D3DXVECTOR3 start = CosineBlend(a, b, 0.0f);
    EXPECT_EQ(0.0f, start.x);
    EXPECT_EQ(0.0f, start.y);
    EXPECT_EQ(0.0f, start.z);
    const D3DXVECTOR3 middle = CosineBlend(a, b, 0.5f);
    EXPECT_NEAR(5.0f, middle.x, 1e-5f);
    EXPECT_NEAR(10.0f, middle.y, 1e-5f);
    EXPECT_NEAR(-2.0f, middle.z, 1e-5f);
    const D3DXVECTOR3 end = CosineBlend(a, b, 1.0f);
    EXPECT_FLOAT_EQ(10.0f, end.x);
    EXPECT_FLOAT_EQ(20.0f, end.y);
    EXPECT_FLOAT_EQ(-4.0f, end.z);
}

TEST(CosineBlend, TravelsBackBetweenOneAndTwoAndRepeats)
{
    const D3DXVECTOR3 a(0, 0, 0), b(10, 20, -4);
    const D3DXVECTOR3 back = CosineBlend(a, b, 2.0f);
    EXPECT_NEAR(0.0f, back.x, 1e-5f);
    EXPECT_NEAR(0.0f, back.y, 1e-5f);
    EXPECT_NEAR(0.0f, back.z, 1e-5f);
    const D3DXVECTOR3 returning = CosineBlend(a, b, 1.5f);
    EXPECT_NEAR(5.0f, returning.x, 1e-5f);
    const D3DXVECTOR3 again = CosineBlend(a, b, 3.0f);
    EXPECT_NEAR(20.0f, again.y, 1e-4f);
}

TEST(CosineBlend, EasesInAndOut)
{
    const D3DXVECTOR3 a(1, 1, 1), b(3, -1, 5);
    // Quarter of the way in time, (1 - cos(pi/4)) / 2 of the way in space.
    const float w = (1.0f - std::cos(kPi / 4)) / 2;
    const D3DXVECTOR3 quarter = CosineBlend(a, b, 0.25f);
    EXPECT_NEAR(1 + 2 * w, quarter.x, 1e-5f);
    EXPECT_NEAR(1 - 2 * w, quarter.y, 1e-5f);
    EXPECT_NEAR(1 + 4 * w, quarter.z, 1e-5f);
    // At rest at the ends: a step of 0.01 in t moves far less than 1% of the way.
    EXPECT_LT(CosineBlend(a, b, 0.01f).x - 1.0f, 2 * 0.001f);
    EXPECT_LT(3.0f - CosineBlend(a, b, 0.99f).x, 2 * 0.001f);
    // Negative t mirrors positive t.
    EXPECT_FLOAT_EQ(quarter.z, CosineBlend(a, b, -0.25f).z);
}

TEST(ColourExpansion, SplitsArgbIntoFloatChannels)
{
    const D3DXCOLOR red = ExpandColour(0x80FF0000u);
    EXPECT_EQ(1.0f, red.r);
    EXPECT_EQ(0.0f, red.g);
    EXPECT_EQ(0.0f, red.b);
    EXPECT_NEAR(0.50196f, red.a, 1e-5f);
    EXPECT_EQ(128.0f * (1.0f / 255.0f), red.a);

    const D3DXCOLOR mixed = ExpandColour(0x11223344u);
    EXPECT_EQ(0x22 * (1.0f / 255.0f), mixed.r);
    EXPECT_EQ(0x33 * (1.0f / 255.0f), mixed.g);
    EXPECT_EQ(0x44 * (1.0f / 255.0f), mixed.b);
    EXPECT_EQ(0x11 * (1.0f / 255.0f), mixed.a);
}

TEST(ColourExpansion, WhiteAndBlackAreTheExtremes)
{
    const D3DXCOLOR white = ExpandColour(0xFFFFFFFFu);
    EXPECT_EQ(1.0f, white.r);
    EXPECT_EQ(1.0f, white.g);
    EXPECT_EQ(1.0f, white.b);
    EXPECT_EQ(1.0f, white.a);
    const D3DXCOLOR black = ExpandColour(0);
    EXPECT_EQ(0.0f, black.r + black.g + black.b + black.a);
    // The expansion matches D3DX's own conversion and converts back unchanged.
    EXPECT_EQ(0x7F10E0C3u, static_cast<DWORD>(ExpandColour(0x7F10E0C3u)));
}
