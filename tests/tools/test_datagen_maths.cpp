// Tests of the generator's reproducible foundations: its own elementary
// functions agree with the C library to near double precision, pcg32
// matches the reference generator, the noise lattices wrap so textures
// tile, and the SHA-256 used for the font check gives the standard digests.
#include <gtest/gtest.h>

#include <cmath>
#include <set>

#include "DetMath.h"
#include "Noise.h"
#include "Random.h"
#include "Sha256.h"

using namespace datagen;

TEST(DetMath, ElementaryFunctionsMatchTheLibraryClosely)
{
    for (double x = -60.0; x <= 60.0; x += 0.0137) {
        ASSERT_NEAR(Sin(x), std::sin(x), 1e-10) << x;
        ASSERT_NEAR(Cos(x), std::cos(x), 1e-10) << x;
        ASSERT_NEAR(Tanh(x / 7.0), std::tanh(x / 7.0), 1e-14) << x;
        ASSERT_NEAR(Atan2(std::sin(x), 0.6 * std::cos(x)), std::atan2(std::sin(x), 0.6 * std::cos(x)), 1e-13) << x;
        const double e = std::exp(x / 4.0);
        ASSERT_NEAR(Exp(x / 4.0), e, 1e-14 * e) << x;
    }
    for (double x = 1e-6; x < 1e6; x *= 1.037) ASSERT_NEAR(Log(x), std::log(x), 1e-13) << x;
    EXPECT_NEAR(Pow(2.0, 0.5), std::sqrt(2.0), 1e-14);
    EXPECT_EQ(Exp(-1000.0), 0.0);
    EXPECT_EQ(Atan2(0.0, 0.0), 0.0);
    EXPECT_EQ(Sin(0.0), 0.0);
}

TEST(DetMath, HelpersClampBlendAndSaturate)
{
    EXPECT_EQ(Clamp(5.0, 0.0, 1.0), 1.0);
    EXPECT_EQ(Clamp(-5.0, 0.0, 1.0), 0.0);
    EXPECT_EQ(Smoothstep(0.0, 1.0, 0.5), 0.5);
    EXPECT_EQ(Smoothstep(0.0, 1.0, 2.0), 1.0);
    EXPECT_EQ(Smoothstep(1.0, 0.0, 2.0), 0.0);  // reversed edges fall
    EXPECT_EQ(Fract(-0.25), 0.75);
    EXPECT_EQ(SoftClip(10.0), 1.0);
    EXPECT_EQ(SoftClip(-10.0), -1.0);
    EXPECT_NEAR(SoftClip(0.1), std::tanh(0.1), 1e-4);
    // Continuous where it reaches its limit.
    EXPECT_NEAR(SoftClip(2.999999), 1.0, 1e-5);
}

TEST(Random, Pcg32MatchesTheReferenceSequence)
{
    // pcg32_srandom_r(&rng, 42, 54) in the reference implementation.
    Pcg32 rng(42u, 54u);
    const uint32_t expected[6] = {0xa15c02b7u, 0x7b47f409u, 0xba1d3330u, 0x83d2f293u, 0xbfa4784bu, 0xcbed606eu};
    for (uint32_t e : expected) EXPECT_EQ(rng.Next(), e);
}

TEST(Random, StreamsAreSeededByNameAndStayInRange)
{
    Pcg32 a("Space1.bmp"), b("Space1.bmp"), c("Space2.bmp");
    bool differs = false;
    for (int i = 0; i < 1000; ++i) {
        const uint32_t x = a.Next();
        EXPECT_EQ(x, b.Next());
        differs |= x != c.Next();
    }
    EXPECT_TRUE(differs);
    double sum = 0.0;
    for (int i = 0; i < 100000; ++i) {
        const double u = a.Uniform();
        ASSERT_GE(u, 0.0);
        ASSERT_LT(u, 1.0);
        sum += u;
        const int k = a.Int(7);
        ASSERT_GE(k, 0);
        ASSERT_LT(k, 7);
    }
    EXPECT_NEAR(sum / 100000.0, 0.5, 0.01);
    EXPECT_NE(SeedFromName("a"), SeedFromName("b"));
}

TEST(Noise, LatticesWrapWithTheirPeriod)
{
    for (double y = 0.1; y < 4.0; y += 0.37)
        for (double x = 0.05; x < 4.0; x += 0.29) {
            ASSERT_NEAR(GradNoise(x, y, 4, 3, 7u), GradNoise(x + 4.0, y, 4, 3, 7u), 1e-12);
            ASSERT_NEAR(GradNoise(x, y, 4, 3, 7u), GradNoise(x, y + 3.0, 4, 3, 7u), 1e-12);
            ASSERT_NEAR(Fbm(x, y, 4, 4, 5, 9u), Fbm(x + 4.0, y + 4.0, 4, 4, 5, 9u), 1e-12);
            ASSERT_NEAR(Ridged(x, y, 2, 2, 4, 9u), Ridged(x + 2.0, y, 2, 2, 4, 9u), 1e-12);
        }
}

TEST(Noise, ValuesStayInRangeAndVary)
{
    std::set<int> buckets;
    for (double y = 0.0; y < 8.0; y += 0.13)
        for (double x = 0.0; x < 8.0; x += 0.11) {
            const double n = Fbm(x, y, 64, 64, 5, 3u);
            ASSERT_LE(std::fabs(n), 1.5);
            buckets.insert(static_cast<int>(std::floor(n * 10.0)));
            const double r = Ridged(x, y, 64, 64, 4, 3u);
            ASSERT_GE(r, 0.0);
            ASSERT_LE(r, 1.0);
        }
    EXPECT_GT(buckets.size(), 8u);  // not a constant
    // Zero at lattice points, as gradient noise is.
    EXPECT_EQ(GradNoise(3.0, 2.0, 8, 8, 1u), 0.0);
}

TEST(Noise, CellsWrapAndOrderTheirDistances)
{
    for (double v = 0.01; v < 1.0; v += 0.07)
        for (double u = 0.01; u < 1.0; u += 0.05) {
            const Cells c = Worley(u, v, 8, 5u);
            ASSERT_LE(c.f1, c.f2);
            ASSERT_LE(c.f1, 1.5 / 8.0);  // a feature point within reach of every cell
        }
    // Just inside the right edge and just inside the left edge are neighbours.
    const Cells a = Worley(0.9999, 0.5, 8, 5u), b = Worley(0.0001, 0.5, 8, 5u);
    EXPECT_NEAR(a.f1, b.f1, 0.001);
    EXPECT_EQ(a.id, b.id);
}

TEST(Sha256, StandardDigests)
{
    EXPECT_EQ(Sha256Hex({}), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(Sha256Hex({'a', 'b', 'c'}), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    // Two blocks (56 bytes need padding into a second block).
    const std::string s = "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq";
    EXPECT_EQ(Sha256Hex(std::vector<uint8_t>(s.begin(), s.end())),
              "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
}
