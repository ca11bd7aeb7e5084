// Tests of the landscape: the ".map" samples turned into heights in file
// order, the marker for maps it cannot read, its life cycle and settings,
// and its lighting read back from the headless device.
#include "E_Scape.h"
#include "EffectTesting.h"
#include "SceneData.h"
#include "SceneTesting.h"
#include "Shell.h"
#include "d3d8_testing.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

namespace fs = std::filesystem;

namespace {

TEST(ScapeGrid, SamplesAreReadColumnByColumnAndDividedTowardZero)
{
    std::vector<int8_t> samples(E_Scape::kSamples, 0);
    // Row 0, columns 1 to 4 (file offsets 64 j).
    samples[64] = 3;
    samples[128] = -3;
    samples[192] = -4;
    samples[256] = 4;
    // Column 5, row 7: offset 64 * 5 + 7, vertex 64 * 7 + 5.
    samples[64 * 5 + 7] = 100;
    std::vector<ScapeVertex> v(E_Scape::kSamples);
    BuildScapeVertices(samples.data(), 4, v.data());
    EXPECT_EQ(v[1].y, 0.0f);
    EXPECT_EQ(v[2].y, 0.0f);
    EXPECT_EQ(v[3].y, 1.0f);
    EXPECT_EQ(v[4].y, -1.0f);
    const ScapeVertex& raised = v[64 * 7 + 5];
    EXPECT_EQ(raised.x, -27.0f);
    EXPECT_EQ(raised.y, -25.0f) << "larger samples lie lower";
    EXPECT_EQ(raised.z, -25.0f);
    EXPECT_EQ(v[64 * 5 + 7].y, 0.0f) << "not the transposed point";
    EXPECT_EQ(v[64 * 7 + 5].u, 0.0f) << "odd column";
    EXPECT_EQ(v[64 * 7 + 5].v, 0.0f) << "odd row";
    EXPECT_EQ(v[64 * 8 + 6].u, 1.0f);
    EXPECT_EQ(v[64 * 8 + 6].v, 1.0f);
    // The normal points away from the origin; the origin's own is zero.
    EXPECT_NEAR(raised.nx, -27.0f / std::sqrt(27.0f * 27 + 25 * 25 + 25 * 25), 1e-6f);
    const ScapeVertex& origin = v[64 * 32 + 32];
    EXPECT_EQ(origin.x, 0.0f);
    EXPECT_EQ(origin.z, 0.0f);
    EXPECT_EQ(origin.nx, 0.0f);
    EXPECT_EQ(origin.ny, 0.0f);
    EXPECT_EQ(origin.nz, 0.0f);
}

size_t OpenFiles()
{
    return static_cast<size_t>(std::distance(fs::directory_iterator("/proc/self/fd"), fs::directory_iterator()));
}

class Scape : public ShellDeviceTest {
protected:
    void SetUp() override
    {
        ShellDeviceTest::SetUp();
        folder = scene_data::FreshFolder("scape");
        map = (folder / "land.map").string();
    }
    void TearDown() override
    {
        fs::remove_all(folder);
        ShellDeviceTest::TearDown();
    }
    // Looks at the origin from above and in front, so that the picture's
    // vertical centre line runs from z = -13 (bottom) past the origin to z = 15.
    const char* Draw(E_Scape& scape)
    {
        g_device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
        const char* message = scape.Render(nullptr, D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(0, 10, -25));
        Capture();
        return message;
    }
    fs::path folder;
    std::string map;
};

TEST_F(Scape, MissingUnreadableAndShortMapsGiveTheMarkerAndLeaveItUninitialised)
{
    E_Scape scape;
    fs::create_directories(folder / "folder.map");
    ASSERT_TRUE(scene_data::WriteMap(folder / "short.map", 4095, 1));
    ASSERT_TRUE(scene_data::WriteMap(folder / "empty.map", 0, 0));
    const size_t open = OpenFiles();
    for (const char* name : {"missing.map", "folder.map", "short.map", "empty.map"}) {
        const char* message = scape.Init((folder / name).c_str(), 4);
        EXPECT_EQ(message, E_Scape::terrFile) << name << ": the marker itself, not a copy";
        EXPECT_STREQ(message, "terrFile");
        EXPECT_STREQ(Draw(scape), "E_Scape: Not initialized.") << name;
        EXPECT_EQ(OpenFiles(), open) << name << " was closed";
    }
    EXPECT_EQ(d3d8_testing::LiveResources(), 0u);
}

TEST_F(Scape, AHeightDivisorOfZeroIsRefusedBeforeAnythingIsMade)
{
    E_Scape scape;
    ASSERT_TRUE(scene_data::WriteMap(map, 4096, 8));
    ASSERT_EQ(scape.Init(map.c_str(), 4), nullptr);
    EXPECT_STREQ(scape.Init(map.c_str(), 0), "E_Scape: The height divisor must not be 0.");
    EXPECT_STREQ(Draw(scape), "E_Scape: Not initialized.");
    EXPECT_EQ(d3d8_testing::LiveResources(), 0u) << "the earlier buffers were released";
    // Other divisors, negative ones too, still make a landscape.
    EXPECT_EQ(scape.Init(map.c_str(), -4), nullptr);
    EXPECT_EQ(Draw(scape), nullptr);
}

TEST_F(Scape, ALongerMapUsesItsFirst4096Bytes)
{
    E_Scape scape;
    ASSERT_TRUE(scene_data::WriteMap(map, 4096, 8));
    ASSERT_EQ(scape.Init(map.c_str(), 4), nullptr);
    ASSERT_EQ(Draw(scape), nullptr);
    const std::vector<uint8_t> expected = picture;
    std::ofstream(map, std::ios::app | std::ios::binary) << std::string(3000, '\x7f');
    ASSERT_EQ(scape.Init(map.c_str(), 4), nullptr);
    ASSERT_EQ(Draw(scape), nullptr);
    EXPECT_EQ(picture, expected);
}

TEST_F(Scape, ReleaseResetsTheFieldOfViewAndTheShading)
{
    ASSERT_TRUE(scene_data::WriteMap(map, 4096, 0));
    E_Scape reference;
    ASSERT_EQ(reference.Init(map.c_str(), 4), nullptr);
    ASSERT_EQ(Draw(reference), nullptr);
    const std::vector<uint8_t> expected = picture;

    E_Scape scape;
    ASSERT_EQ(scape.Init(map.c_str(), 4), nullptr);
    scape.SetFieldOfView(1.3962635f);
    scape.EnableFlatShading();
    ASSERT_EQ(Draw(scape), nullptr);
    EXPECT_NE(picture, expected) << "the settings change the picture";
    scape.Release();
    EXPECT_STREQ(Draw(scape), "E_Scape: Not initialized.");
    ASSERT_EQ(scape.Init(map.c_str(), 4), nullptr);
    ASSERT_EQ(Draw(scape), nullptr);
    EXPECT_EQ(picture, expected);
}

TEST_F(Scape, TheLandIsBrightestNearTheLightAtTheOriginAndTheStatesAreRestored)
{
    ASSERT_TRUE(scene_data::WriteMap(map, 4096, 0));
    E_Scape scape;
    ASSERT_EQ(scape.Init(map.c_str(), 4), nullptr);
    const DeviceStates defaults = SnapshotStates(g_device);
    ASSERT_EQ(Draw(scape), nullptr);
    const DeviceStates after = SnapshotStates(g_device);
    EXPECT_EQ(after, defaults) << DescribeDifferences(defaults, after);
    // Only the light's ambient part lights the land, 0.3 * 0.1 / (0.0089 d):
    // full at the origin, 0.42 at 8 units (y 410), 0.26 at 12.9 (y 532) and
    // 0.22 at 15 units behind it (y 201).
    const uint32_t origin = At(400, 300) & 255, near = At(400, 410) & 255, nearer = At(400, 532) & 255,
                   behind = At(400, 201) & 255;
    EXPECT_GE(origin, 250u);
    EXPECT_NEAR(near, 107, 12);
    EXPECT_NEAR(nearer, 67, 12);
    EXPECT_NEAR(behind, 57, 12);
    EXPECT_GT(near, nearer);
}

}  // namespace
