// Tests of the terrain maps: 4096 bytes in the effect's column-major sample
// order, heights shown as the effect computes them, real relief, and enough
// room above the land for the cameras of scenes 2 and 4.
#include <gtest/gtest.h>

#include <algorithm>

#include "Terrain.h"

using namespace datagen;

TEST(Terrain, HeightFollowsTheEffectsDivision)
{
    std::vector<uint8_t> map(4096, 0);
    auto set = [&](int j, int i, int sample) { map[64 * j + i] = static_cast<uint8_t>(static_cast<int8_t>(sample)); };
    set(0, 0, 3);
    set(0, 1, -3);
    set(0, 2, -4);
    set(0, 3, 4);
    set(5, 0, -128);
    set(6, 0, 127);
    EXPECT_EQ(TerrainHeight(map, 0, 0), 0);
    EXPECT_EQ(TerrainHeight(map, 0, 1), 0);
    EXPECT_EQ(TerrainHeight(map, 0, 2), 1);
    EXPECT_EQ(TerrainHeight(map, 0, 3), -1);
    EXPECT_EQ(TerrainHeight(map, 5, 0), 32);
    EXPECT_EQ(TerrainHeight(map, 6, 0), -31);
}

TEST(Terrain, MapsAre4096BytesWithRealRelief)
{
    for (int k = 0; k < 2; ++k) {
        SCOPED_TRACE(k ? "Scape2.map" : "Scape1.map");
        const std::vector<uint8_t> map = k ? MakeScape2() : MakeScape1();
        ASSERT_EQ(map.size(), 4096u);
        int lo = 99, hi = -99;
        for (int j = 0; j < 64; ++j)
            for (int i = 0; i < 64; ++i) {
                const int h = TerrainHeight(map, j, i);
                lo = std::min(lo, h);
                hi = std::max(hi, h);
            }
        // Ridges, valleys and peaks: at least 16 units from the lowest point
        // to the highest.
        EXPECT_GE(hi - lo, 16);
        // Neighbouring samples differ: not a flat table nor a smooth bowl.
        int steps = 0;
        for (int j = 0; j + 1 < 64; ++j)
            for (int i = 0; i < 64; ++i) steps += TerrainHeight(map, j, i) != TerrainHeight(map, j + 1, i);
        EXPECT_GT(steps, 1000);
    }
}

TEST(Terrain, CamerasNeverDiveIntoTheLand)
{
    // The near plane is at 1 unit; keep at least 1.5 above the highest corner
    // of the cell under every eye position.
    EXPECT_GE(MinClearance(MakeScape1(), Scene2Eyes(), 1.0), 1.5);
    EXPECT_GE(MinClearance(MakeScape2(), Scene4Eyes(), -1.0), 1.5);
}

TEST(Terrain, ClearanceCheckSeesAHillUnderTheCamera)
{
    // A map raised to 20 everywhere is under scene 2's eyes (which go down
    // to height 0): the clearance comes out negative.
    std::vector<uint8_t> hill(4096, static_cast<uint8_t>(static_cast<int8_t>(-80)));
    EXPECT_LT(MinClearance(hill, Scene2Eyes(), 1.0), 0.0);
}

TEST(Terrain, SameBytesEveryTime)
{
    EXPECT_EQ(MakeScape1(), MakeScape1());
    EXPECT_EQ(MakeScape2(), MakeScape2());
}
