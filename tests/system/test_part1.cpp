// Tests of the opening scene: its loading order and messages, its life cycle,
// and what it draws in and between its card windows, read back from the
// headless device with plain-coloured stand-in pictures.
#include "P_Part1.h"

#include "EffectTesting.h"
#include "MeshWriter.h"
#include "SceneData.h"
#include "Shell.h"
#include "d3d8_testing.h"
#include "host.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace fs = std::filesystem;

namespace {

const uint32_t kBackground = 0x102040;  // Space1; Space2 is black
const uint32_t kCred1 = 0x400000;
const uint32_t kCred2 = 0x004000;
const uint32_t kTitle = 0x404040;

class SceneOne : public ShellDeviceTest {
protected:
    void SetUp() override
    {
        ShellDeviceTest::SetUp();
        // A millisecond a frame: the tests set the scene clock to any whole millisecond.
        runtime::CurrentOptions().fps = 1000.0;
        folder = scene_data::FreshFolder("part1");
        scene_data::WriteSceneOneData(folder);
        previous = fs::current_path();
        fs::current_path(folder);
    }
    void TearDown() override
    {
        fs::current_path(previous);
        fs::remove_all(folder);
        ShellDeviceTest::TearDown();
    }
    // Renders the scene when its clock reads ms milliseconds (the clock starts
    // at the first Render) and reads the picture back.
    void RenderAtSceneMs(P_Part1& scene, uint64_t ms)
    {
        if (!started) {
            ASSERT_EQ(scene.Render(0, 0.0f), nullptr);
            started = true;
            startFrames = runtime::PresentedFrames();
        }
        const uint64_t target = startFrames + ms;
        ASSERT_GE(target, runtime::PresentedFrames());
        runtime::AdvanceVirtualFramesForTesting(target - runtime::PresentedFrames());
        ASSERT_EQ(scene.Render(static_cast<int>(ms), 0.0f), nullptr);
        Capture();
    }
    void WithoutParticles() { ASSERT_TRUE(datagen::WriteMesh("Data/Bol.msh", {}, {})); }
    uint32_t Centre() const { return At(400, 300); }
    fs::path folder, previous;
    bool started = false;
    uint64_t startFrames = 0;
};

TEST_F(SceneOne, EachMissingFileGivesItsMessageInLoadingOrderAndLeavesNothingLoaded)
{
    const std::pair<const char*, const char*> files[] = {
        {"Space1.bmp", "P_Part1: Could not create texture from file: Data\\Space1.bmp"},
        {"Space2.bmp", "P_Part1: Could not create texture from file: Data\\Space2.bmp"},
        {"Cred1.bmp", "P_Part1: Could not create texture from file: Data\\Cred1.bmp"},
        {"Cred2.bmp", "P_Part1: Could not create texture from file: Data\\Cred2.bmp"},
        {"Title.bmp", "P_Part1: Could not create texture from file: Data\\Title.bmp"},
        {"Partikel1.bmp", "P_Part1: Could not create texture from file: Data\\Partikel1.bmp"},
        {"Bol.msh", "P_Part1: Could not load mesh from file: Data\\Bol.msh"},
    };
    // Hide all files, then bring them back one by one: each time the first
    // missing one is reported.
    for (const auto& file : files) fs::rename(fs::path("Data") / file.first, fs::path("Data") / (std::string(file.first) + ".off"));
    P_Part1 scene;
    for (const auto& file : files) {
        EXPECT_STREQ(scene.Init(), file.second);
        EXPECT_EQ(d3d8_testing::LiveResources(), 0u) << file.first;
        EXPECT_STREQ(scene.Render(0, 0.0f), "P_Part1: Not initialized.");
        fs::rename(fs::path("Data") / (std::string(file.first) + ".off"), fs::path("Data") / file.first);
    }
    d3d8_testing::FailCreateVertexBuffer(true);
    EXPECT_STREQ(scene.Init(), "E_Particles: Couldn't create a Direct3D vertex buffer.");
    EXPECT_EQ(d3d8_testing::LiveResources(), 0u);
    d3d8_testing::Reset();
    EXPECT_EQ(scene.Init(), nullptr);
    EXPECT_GT(d3d8_testing::LiveResources(), 0u);
    scene.Release();
    scene.Release();
    EXPECT_EQ(d3d8_testing::LiveResources(), 0u);
}

TEST_F(SceneOne, RenderBeforeInitDrawsNothing)
{
    g_device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF123456, 1.0f, 0);
    P_Part1 scene;
    EXPECT_STREQ(scene.Render(0, 0.0f), "P_Part1: Not initialized.");
    Capture();
    EXPECT_EQ(Centre(), 0x123456u) << "not even the frame was cleared";
}

TEST_F(SceneOne, ANeverInitialisedSceneIsDeletedCleanly)
{
    P_Part* scene = new P_Part1();
    scene->Release();
    delete scene;
    EXPECT_EQ(d3d8_testing::LiveResources(), 0u);
}

TEST_F(SceneOne, TheCreditCardsFadeInAndOutInTheirWindowsOnly)
{
    WithoutParticles();
    P_Part1 scene;
    ASSERT_EQ(scene.Init(), nullptr);
    RenderAtSceneMs(scene, 5000);
    EXPECT_EQ(Centre(), kBackground) << "before the first card only the backgrounds";
    RenderAtSceneMs(scene, 7500);
    EXPECT_EQ(Centre(), kBackground) << "a card at the first instant of its fade-in adds nothing";
    RenderAtSceneMs(scene, 8000);
    EXPECT_TRUE(Near(Centre(), kBackground + 0x200000)) << std::hex << Centre();
    RenderAtSceneMs(scene, 10000);
    EXPECT_TRUE(Near(Centre(), kBackground + kCred1)) << std::hex << Centre();
    RenderAtSceneMs(scene, 11000);
    EXPECT_TRUE(Near(Centre(), kBackground + 0x200000)) << "fading out: " << std::hex << Centre();
    RenderAtSceneMs(scene, 13000);
    EXPECT_EQ(Centre(), kBackground);
    RenderAtSceneMs(scene, 17000);
    EXPECT_TRUE(Near(Centre(), kBackground + kCred2)) << std::hex << Centre();
    RenderAtSceneMs(scene, 20000);
    EXPECT_EQ(Centre(), kBackground);
}

TEST_F(SceneOne, TheTitleStaysAndIsAddedTwiceWhereItsWindowsMeet)
{
    WithoutParticles();
    P_Part1 scene;
    ASSERT_EQ(scene.Init(), nullptr);
    RenderAtSceneMs(scene, 25000);
    EXPECT_TRUE(Near(Centre(), kBackground + kTitle)) << std::hex << Centre();
    RenderAtSceneMs(scene, 30000);
    EXPECT_TRUE(Near(Centre(), kBackground + kTitle)) << std::hex << Centre();
    RenderAtSceneMs(scene, 39000);
    EXPECT_TRUE(Near(Centre(), kBackground + 2 * kTitle)) << "both windows at 39 s: " << std::hex << Centre();
    RenderAtSceneMs(scene, 40000);
    EXPECT_TRUE(Near(Centre(), kBackground + kTitle)) << std::hex << Centre();
    RenderAtSceneMs(scene, 41000);
    EXPECT_EQ(Centre(), kBackground) << "after 40.5 s no card is drawn any more";
}

TEST_F(SceneOne, TheCloudsAddLightOverTheBackgroundsAndTheStatesAreRestored)
{
    P_Part1 scene;
    ASSERT_EQ(scene.Init(), nullptr);
    const DeviceStates defaults = SnapshotStates(g_device);
    RenderAtSceneMs(scene, 3000);
    EXPECT_EQ(SnapshotStates(g_device), defaults);
    int brighter = 0;
    for (int y = 0; y < 600; y += 4)
        for (int x = 0; x < 800; x += 4) brighter += At(x, y) != kBackground;
    EXPECT_GT(brighter, 500) << "the particle sprites added onto the backgrounds";
}

TEST_F(SceneOne, BothBackgroundsFillTheScreenAtTheStartAndGrowFromTheLowerLeft)
{
    WithoutParticles();
    // A marker column at the right edge of Space1 shows where the picture ends.
    ASSERT_TRUE(scene_data::WriteBmp("Data/Space1.bmp", 80, 60,
                                     [](int x, int) { return x == 79 ? 0xFFFFFFu : 0x102040u; }));
    P_Part1 scene;
    ASSERT_EQ(scene.Init(), nullptr);
    ASSERT_EQ(scene.Render(0, 0.0f), nullptr);
    Capture();
    EXPECT_NE(At(799, 300), kBackground) << "at 0 ms the picture's last column is the screen's";
    ASSERT_EQ(scene.Render(100000, 0.0f), nullptr);  // 230 units larger
    Capture();
    EXPECT_EQ(At(799, 300), kBackground) << "the right edge has moved off screen";
    EXPECT_EQ(At(0, 599), kBackground);
}

}  // namespace
