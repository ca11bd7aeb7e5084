// Tests of the application shell: the display-mode choice, start-up and its
// failure paths with the order of Shutdown, the window procedure, the
// timeline and the fade, the lost-device rule, the soundtrack arithmetic and
// the Timer.
#include "Shell.h"

#include "P_Part.h"
#include "SceneData.h"
#include "ShellTesting.h"
#include "TestMp3.h"
#include "Sound.h"
#include "Timer.h"

#include "bass_testing.h"
#include "call_log.h"
#include "d3d8_testing.h"
#include "host.h"
#include "win32_testing.h"

#include <bass.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// The entries of the log that tell start-up and shutdown apart, in order.
std::vector<std::string> Milestones(const std::vector<std::string>& log)
{
    static const char* const kept[] = {"Direct3DCreate8", "RegisterClassA",        "CreateWindowExA",
                                       "CreateDevice",    "BASS_Init",             "BASS_Start",
                                       "BASS_Free",       "BASS_StreamCreateFile", "BASS_StreamPlay",
                                       "IDirect3DDevice8::Release", "DestroyWindow", "UnregisterClassA",
                                       "IDirect3D8::Release"};
    std::vector<std::string> out;
    for (const std::string& entry : log) {
        if (entry.rfind("MessageBoxA", 0) == 0 || std::find(std::begin(kept), std::end(kept), entry) != std::end(kept))
            out.push_back(entry);
    }
    return out;
}

const std::vector<std::string> kShutdownAfterDevice = {"IDirect3DDevice8::Release", "DestroyWindow",
                                                       "UnregisterClassA", "IDirect3D8::Release"};

std::vector<std::string> Concat(std::vector<std::string> a, const std::vector<std::string>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

class ShellStartUp : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        folder = new fs::path(scene_data::FreshFolder("shell"));
        scene_data::WriteShowData(*folder);
        ASSERT_TRUE(scene_data::WriteSoundtrack(*folder, 20.0));
    }
    static void TearDownTestSuite()
    {
        fs::remove_all(*folder);
        delete folder;
    }
    void SetUp() override
    {
        previous = fs::current_path();
        fs::current_path(*folder);
        ResetShellState();
    }
    void TearDown() override
    {
        fs::current_path(previous);
        ResetShellState();
    }
    std::vector<std::string> RunWinMain()
    {
        char commandLine[] = "";
        EXPECT_EQ(WinMain(GetModuleHandleA(nullptr), nullptr, commandLine, SW_SHOW), 0);
        return Milestones(call_log::Take());
    }
    static fs::path* folder;
    fs::path previous;
};
fs::path* ShellStartUp::folder = nullptr;

TEST_F(ShellStartUp, ANormalRunStartsInOrderAndShutsDownWithoutAMessage)
{
    runtime::CurrentOptions().until = 0.5;
    const auto log = RunWinMain();
    const std::vector<std::string> expected = Concat(
        {"Direct3DCreate8", "RegisterClassA", "CreateWindowExA", "CreateDevice", "BASS_Init", "BASS_Start",
         "BASS_StreamCreateFile", "BASS_StreamPlay", "BASS_Free"},
        kShutdownAfterDevice);
    EXPECT_EQ(log, expected);
    EXPECT_FALSE(runtime::ErrorBoxShown());
    EXPECT_EQ(d3d8_testing::LiveDevices(), 0u);
    EXPECT_EQ(d3d8_testing::LiveResources(), 0u) << "every scene resource was released";
    EXPECT_EQ(win32_testing::WindowCount(), 0u);
    EXPECT_EQ(win32_testing::ClassCount(), 0u);
}

TEST_F(ShellStartUp, NoDirect3DObjectShowsOnlyTheMessage)
{
    d3d8_testing::FailDirect3DCreate(true);
    const auto log = RunWinMain();
    EXPECT_EQ(log, (std::vector<std::string>{
                       "Direct3DCreate8",
                       "MessageBoxA BRALMOND: Unable to create a Direct3D 8.0 object. Is DirectX 8.0 properly "
                       "installed?"}));
}

TEST_F(ShellStartUp, WindowClassFailureReleasesDirect3DBeforeTheMessage)
{
    win32_testing::FailRegisterClass(true);
    const auto log = RunWinMain();
    EXPECT_EQ(log, (std::vector<std::string>{"Direct3DCreate8", "RegisterClassA", "IDirect3D8::Release",
                                             "MessageBoxA BRALMOND: Can not register window class."}));
}

TEST_F(ShellStartUp, WindowFailureUnregistersTheClass)
{
    win32_testing::FailCreateWindow(true);
    const auto log = RunWinMain();
    EXPECT_EQ(log, (std::vector<std::string>{"Direct3DCreate8", "RegisterClassA", "CreateWindowExA",
                                             "UnregisterClassA", "IDirect3D8::Release",
                                             "MessageBoxA BRALMOND: Can not create a window."}));
}

TEST_F(ShellStartUp, AdapterWithoutDepthSupportHasNoDisplayMode)
{
    d3d8_testing::SetDepth16Supported(false);
    const auto log = RunWinMain();
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.back(),
              "MessageBoxA BRALMOND: Could not find a display mode with the requested specifications on your "
              "default graphics adapter. Does your default graphics adapter support hardware accelerated "
              "rendering using a 16 bit Z buffer at all?");
    EXPECT_EQ(std::count(log.begin(), log.end(), "DestroyWindow"), 1);
}

TEST_F(ShellStartUp, AnAdapterWithoutModesCannotBeEnumerated)
{
    d3d8_testing::SetModes({});
    const auto log = RunWinMain();
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.back(), "MessageBoxA BRALMOND: Could not retrieve information about the default graphics "
                          "adapter's available display modes.");
}

TEST_F(ShellStartUp, CapabilityAndDeviceFailuresTearDownTheWindow)
{
    d3d8_testing::FailGetDeviceCaps(true);
    auto log = RunWinMain();
    EXPECT_EQ(log, (std::vector<std::string>{
                       "Direct3DCreate8", "RegisterClassA", "CreateWindowExA", "DestroyWindow",
                       "UnregisterClassA", "IDirect3D8::Release",
                       "MessageBoxA BRALMOND: Unable to retrieve information about the default graphics "
                       "adapter's Direct3D HAL capabilities."}));
    ResetShellState();
    d3d8_testing::FailCreateDevice(true);
    log = RunWinMain();
    EXPECT_EQ(log, (std::vector<std::string>{"Direct3DCreate8", "RegisterClassA", "CreateWindowExA",
                                             "CreateDevice", "DestroyWindow", "UnregisterClassA",
                                             "IDirect3D8::Release",
                                             "MessageBoxA BRALMOND: Could not create a Direct3D HAL device."}));
}

TEST_F(ShellStartUp, SoundFailureReleasesTheDeviceButDoesNotFreeSound)
{
    bass_testing::FailInit(true);
    auto log = RunWinMain();
    EXPECT_EQ(log, Concat({"Direct3DCreate8", "RegisterClassA", "CreateWindowExA", "CreateDevice", "BASS_Init"},
                          Concat(kShutdownAfterDevice, {"MessageBoxA BRALMOND: Can not initiate BASS sound system."})));
    ResetShellState();
    bass_testing::FailStart(true);
    log = RunWinMain();
    // The failed start frees the library itself; Shutdown does not free it again.
    EXPECT_EQ(log, Concat({"Direct3DCreate8", "RegisterClassA", "CreateWindowExA", "CreateDevice", "BASS_Init",
                           "BASS_Start", "BASS_Free"},
                          Concat(kShutdownAfterDevice, {"MessageBoxA BRALMOND: Can not initiate BASS sound system."})));
}

TEST_F(ShellStartUp, TwoAdaptersWarnOnceAndTheShowGoesOn)
{
    d3d8_testing::SetAdapterCount(2);
    runtime::CurrentOptions().until = 0.2;
    const auto log = RunWinMain();
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[1], "MessageBoxA BRALMOND: Multiple graphics adapter are not properly supported yet. The default "
                      "graphics adapter will be used.");
    EXPECT_EQ(std::count_if(log.begin(), log.end(), [](const std::string& e) { return e.rfind("MessageBoxA", 0) == 0; }),
              1);
    EXPECT_FALSE(runtime::ErrorBoxShown()) << "a warning is not an error";
    EXPECT_EQ(log.back(), "IDirect3D8::Release");
}

TEST_F(ShellStartUp, AMissingSoundtrackIsReportedAfterShutdown)
{
    fs::rename("Data/Soundtrack.mp3", "Data/Soundtrack.keep");
    const auto log = RunWinMain();
    fs::rename("Data/Soundtrack.keep", "Data/Soundtrack.mp3");
    EXPECT_EQ(log, Concat({"Direct3DCreate8", "RegisterClassA", "CreateWindowExA", "CreateDevice", "BASS_Init",
                           "BASS_Start", "BASS_StreamCreateFile", "BASS_Free"},
                          Concat(kShutdownAfterDevice,
                                 {"MessageBoxA BRALMOND: Can not play audio stream. Is Data\\Soundtrack.mp3 missing?"})));
    EXPECT_EQ(d3d8_testing::LiveResources(), 0u);
}

TEST_F(ShellStartUp, ASceneThatCannotLoadStopsStartUpWithItsMessage)
{
    fs::rename("Data/Bol.msh", "Data/Bol.keep");
    const auto log = RunWinMain();
    fs::rename("Data/Bol.keep", "Data/Bol.msh");
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.back(), "MessageBoxA BRALMOND: P_Part1: Could not load mesh from file: Data\\Bol.msh");
    EXPECT_EQ(std::count(log.begin(), log.end(), "BASS_StreamCreateFile"), 0) << "the music never starts";
    EXPECT_EQ(d3d8_testing::LiveResources(), 0u);
}

TEST_F(ShellStartUp, AResettableLostDeviceEndsTheShowWithItsMessage)
{
    d3d8_testing::SetDeviceLost(D3DERR_DEVICENOTRESET);
    const auto log = RunWinMain();
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.back(), "MessageBoxA BRALMOND: The Direct3D HAL device was lost. Recovery is not yet supported. "
                          "Lost devices are caused by for example pressing Ctrl-Alt-Delete or switching to other "
                          "applications while in full screen mode.");
    EXPECT_TRUE(runtime::ErrorBoxShown());
}

TEST_F(ShellStartUp, ALostDeviceThatCannotBeResetYetKeepsTheShowGoing)
{
    d3d8_testing::SetDeviceLost(D3DERR_DEVICELOST);
    runtime::CurrentOptions().until = 0.3;
    const auto log = RunWinMain();
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.back(), "IDirect3D8::Release");
    EXPECT_FALSE(runtime::ErrorBoxShown());
}

class DisplayModeChoice : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetShellState();
        g_direct3d = Direct3DCreate8(D3D_SDK_VERSION);
        ASSERT_NE(g_direct3d, nullptr);
    }
    void TearDown() override
    {
        g_direct3d->Release();
        ResetShellState();
    }
};

TEST_F(DisplayModeChoice, ThirtyTwoBitBeatsSixteenBitWhateverTheOrder)
{
    for (bool x8First : {true, false}) {
        std::vector<D3DDISPLAYMODE> modes = {{800, 600, 60, D3DFMT_X8R8G8B8}, {800, 600, 60, D3DFMT_R5G6B5},
                                             {1024, 768, 60, D3DFMT_R8G8B8}};
        if (!x8First) std::swap(modes[0], modes[1]);
        d3d8_testing::SetModes(modes);
        D3DDISPLAYMODE chosen{};
        ASSERT_EQ(ChooseDisplayMode(chosen), 0);
        EXPECT_EQ(chosen.Format, D3DFMT_X8R8G8B8);
        EXPECT_EQ(chosen.Width, 800u);
        EXPECT_EQ(chosen.Height, 600u);
    }
}

TEST_F(DisplayModeChoice, AmongEqualFormatsTheHighestIndexWins)
{
    d3d8_testing::SetModes({{800, 600, 60, D3DFMT_R5G6B5}, {800, 600, 60, D3DFMT_X8R8G8B8},
                            {800, 600, 75, D3DFMT_X8R8G8B8}, {800, 600, 85, D3DFMT_R5G6B5}});
    D3DDISPLAYMODE chosen{};
    ASSERT_EQ(ChooseDisplayMode(chosen), 0);
    EXPECT_EQ(chosen.Format, D3DFMT_X8R8G8B8);
    EXPECT_EQ(chosen.RefreshRate, 75u) << "met first, going down from the last index";
    d3d8_testing::SetModes({{800, 600, 75, D3DFMT_X8R8G8B8}, {800, 600, 60, D3DFMT_X8R8G8B8}});
    ASSERT_EQ(ChooseDisplayMode(chosen), 0);
    EXPECT_EQ(chosen.RefreshRate, 60u);
}

TEST_F(DisplayModeChoice, TheDefaultAdapterGivesThirtyTwoBit)
{
    D3DDISPLAYMODE chosen{};
    ASSERT_EQ(ChooseDisplayMode(chosen), 0);
    EXPECT_EQ(chosen.Format, D3DFMT_X8R8G8B8);
}

TEST_F(DisplayModeChoice, OnlyEightHundredBySixHundredCountsAndNothingElseGivesNoMode)
{
    d3d8_testing::SetModes({{640, 480, 60, D3DFMT_X8R8G8B8}, {1024, 768, 75, D3DFMT_R5G6B5}});
    D3DDISPLAYMODE chosen{};
    EXPECT_EQ(ChooseDisplayMode(chosen), 2);
    d3d8_testing::SetModes({{640, 480, 60, D3DFMT_X8R8G8B8}, {800, 600, 85, D3DFMT_R5G6B5}});
    ASSERT_EQ(ChooseDisplayMode(chosen), 0);
    EXPECT_EQ(chosen.Format, D3DFMT_R5G6B5);
}

TEST_F(DisplayModeChoice, WithoutDepthSupportNoModeIsACandidate)
{
    d3d8_testing::SetDepth16Supported(false);
    D3DDISPLAYMODE chosen{};
    EXPECT_EQ(ChooseDisplayMode(chosen), 2);
}

TEST_F(DisplayModeChoice, AnEmptyModeListFailsTheEnumeration)
{
    d3d8_testing::SetModes({});
    D3DDISPLAYMODE chosen{};
    EXPECT_EQ(ChooseDisplayMode(chosen), 1);
}

// A scene that records its frames and can fail on demand.
class FakeScene : public P_Part {
public:
    const char* Init() override { return nullptr; }
    const char* Render(int elapsedMs, float musicSeconds) override
    {
        ++frames;
        lastSeconds = musicSeconds;
        return failWith;
    }
    void Release() override {}
    int frames = 0;
    float lastSeconds = -1.0f;
    const char* failWith = nullptr;
};

class Timeline : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        folder = new fs::path(scene_data::FreshFolder("timeline"));
        ASSERT_TRUE(scene_data::WriteSoundtrack(*folder, 212.0));
        ASSERT_TRUE(scene_data::WriteSoundtrack(*folder / "short", 30.0));
    }
    static void TearDownTestSuite()
    {
        fs::remove_all(*folder);
        delete folder;
    }
    void SetUp() override
    {
        ResetShellState();
        // A millisecond a frame, so that any music time of the tests is a whole number of frames.
        runtime::CurrentOptions().fps = 1000.0;
        for (int i = 0; i < 5; ++i) g_scenes[i] = &scenes[i];
        ASSERT_TRUE(SoundInit(nullptr));
        g_soundReady = true;
        ASSERT_TRUE(SoundPlayFile((*folder / "Data" / "Soundtrack.mp3").c_str()));
        g_demoClock = new Timer();
    }
    void TearDown() override
    {
        delete g_demoClock;
        SoundFree();
        std::fill(std::begin(g_scenes), std::end(g_scenes), nullptr);
        ResetShellState();
    }
    // Renders one frame at music time t (later than the previous one);
    // returns the slot drawn, or -1.
    int FrameAt(double t)
    {
        const double ahead = t - runtime::VirtualSeconds();
        EXPECT_GE(ahead, 0.0);
        runtime::AdvanceVirtualFramesForTesting(static_cast<uint64_t>(ahead * 1000.0 + 0.5));
        for (FakeScene& s : scenes) s.frames = 0;
        g_frameMessage = nullptr;
        RenderFrame();
        for (int i = 0; i < 5; ++i)
            if (scenes[i].frames) return i;
        return -1;
    }
    DWORD Volume()
    {
        DWORD volume = 12345;
        BASS_ChannelGetAttributes(g_stream, nullptr, &volume, nullptr);
        return volume;
    }
    FakeScene scenes[5];
    static fs::path* folder;
};
fs::path* Timeline::folder = nullptr;

TEST_F(Timeline, EachBoundaryBelongsToTheLaterScene)
{
    EXPECT_EQ(FrameAt(0.0), 0);
    EXPECT_EQ(FrameAt(40.4), 0);
    EXPECT_EQ(FrameAt(40.5), 1);
    EXPECT_EQ(FrameAt(110.9), 1);
    EXPECT_EQ(FrameAt(111.0), 2);
    EXPECT_EQ(FrameAt(130.0), 3);
    EXPECT_EQ(FrameAt(169.5), 4);
    EXPECT_EQ(FrameAt(204.4), 4);
    EXPECT_EQ(g_frameMessage, nullptr);
}

TEST_F(Timeline, TheFadeStartsBlackAtFullVolumeAndTheShowEndsAtTwoHundredAndTen)
{
    EXPECT_EQ(FrameAt(204.45), -1) << "no scene from 204.45";
    EXPECT_EQ(Volume(), 100u);
    EXPECT_EQ(g_frameMessage, nullptr);
    EXPECT_EQ(FrameAt(207.0), -1);
    EXPECT_EQ(Volume(), 55u);  // trunc(100 - 2.55 * 17.5)
    EXPECT_EQ(FrameAt(210.0), -1);
    EXPECT_EQ(Volume(), 2u);
    EXPECT_EQ(g_frameMessage, g_endMarker);
}

TEST_F(Timeline, PastTheEndTheVolumeIsZeroAndTheShowEnds)
{
    EXPECT_EQ(FrameAt(210.2), -1);
    EXPECT_EQ(Volume(), 0u);
    EXPECT_EQ(g_frameMessage, g_endMarker);
}

TEST_F(Timeline, TheEndMarkerIsRecognisedByIdentityNotByText)
{
    static const char copy[] = "Done";
    scenes[0].failWith = copy;
    EXPECT_EQ(FrameAt(1.0), 0);
    EXPECT_STREQ(g_frameMessage, "Done");
    EXPECT_NE(g_frameMessage, g_endMarker);
}

TEST_F(Timeline, ASceneReceivesTheMusicTimeThatChoseIt)
{
    FrameAt(50.0);
    EXPECT_FLOAT_EQ(scenes[1].lastSeconds, 50.0f);
}

TEST_F(Timeline, AShortSoundtrackWrapsBackToTheFirstScene)
{
    SoundFree();
    ASSERT_TRUE(SoundInit(nullptr));
    ASSERT_TRUE(SoundPlayFile((*folder / "short" / "Data" / "Soundtrack.mp3").c_str()));
    EXPECT_EQ(FrameAt(29.0), 0);
    EXPECT_EQ(FrameAt(45.0), 0) << "45 seconds into a 30-second loop is 15 seconds of music";
    EXPECT_NEAR(scenes[0].lastSeconds, 15.0f, 0.1f);
}

TEST(WindowProcedure, SwallowsSystemCommandsButLetsCloseThrough)
{
    ResetShellState();
    WNDCLASSA wc = {};
    wc.lpfnWndProc = WindowProc;
    wc.lpszClassName = "KORVANTE";
    ASSERT_NE(RegisterClassA(&wc), 0);
    HWND window = CreateWindowExA(0, "KORVANTE", "BRALMOND", WS_POPUP, 0, 0, 800, 600, nullptr, nullptr, nullptr,
                                  nullptr);
    ASSERT_NE(window, nullptr);
    for (WPARAM command : {SC_SIZE, SC_MOVE, SC_MINIMIZE, SC_MAXIMIZE, SC_NEXTWINDOW, SC_PREVWINDOW, SC_VSCROLL,
                           SC_HSCROLL, SC_MOUSEMENU, SC_KEYMENU, SC_RESTORE, SC_TASKLIST, SC_SCREENSAVE, SC_HOTKEY,
                           SC_DEFAULT, SC_MONITORPOWER, SC_CONTEXTHELP, SC_ARRANGE}) {
        EXPECT_EQ(SendMessageA(window, WM_SYSCOMMAND, command, 0), 0);
        EXPECT_FALSE(g_quitRequested) << std::hex << command;
    }
    SendMessageA(window, WM_KEYDOWN, 'A', 0);
    SendMessageA(window, WM_KEYDOWN, VK_SPACE, 0);
    EXPECT_FALSE(g_quitRequested) << "other keys are passed on and do nothing";
    SendMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_TRUE(g_quitRequested);
    EXPECT_EQ(win32_testing::WindowCount(), 1u) << "WM_CLOSE does not destroy the window";
    g_quitRequested = false;
    SendMessageA(window, WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_TRUE(g_quitRequested);
    SendMessageA(window, WM_SETCURSOR, 0, 0);
    EXPECT_TRUE(win32_testing::CursorHidden());
    ResetShellState();
}

TEST(SoundArithmetic, BytesPerSecondFollowRateAndChannels)
{
    ResetShellState();
    const fs::path dir = scene_data::FreshFolder("sound");
    ASSERT_TRUE(SoundInit(nullptr));
    struct Case {
        int rate, channels, bytesPerSecond;
    };
    for (Case c : {Case{44100, 2, 176400}, Case{22050, 1, 44100}}) {
        test_mp3::Tone tone;
        tone.seconds = 4.0;
        tone.sampleRate = c.rate;
        tone.channels = c.channels;
        const std::string path = (dir / ("tone" + std::to_string(c.rate) + ".mp3")).string();
        ASSERT_TRUE(test_mp3::WriteToneMp3(path, tone));
        ASSERT_TRUE(SoundPlayFile(path.c_str()));
        EXPECT_EQ(SoundBytesPerSecond(), c.bytesPerSecond);
        // Only whole seconds can be reached.
        SoundSeek(2.9f);
        EXPECT_FLOAT_EQ(SoundGetSeconds(), 2.0f);
        BASS_StreamFree(g_stream);
    }
    EXPECT_FALSE(SoundPlayFile((dir / "missing.mp3").c_str()));
    EXPECT_EQ(g_stream, 0u);
    SoundFree();
    fs::remove_all(dir);
    ResetShellState();
}

TEST(DemoClock, CountsMillisecondsAndSecondsAcrossATickWrap)
{
    ResetShellState();
    runtime::SetTickOffsetForTesting(0xFFFFFFFFu - 500u);
    Timer timer;
    EXPECT_EQ(timer.ElapsedMs(), 0);
    EXPECT_FLOAT_EQ(timer.ElapsedSeconds(), 0.0f);
    runtime::AdvanceVirtualFramesForTesting(90);  // 1.5 s at 60 frames a second, across the wrap
    EXPECT_EQ(timer.ElapsedMs(), 1500);
    EXPECT_FLOAT_EQ(timer.ElapsedSeconds(), 1.5f);
    timer.Reset();
    EXPECT_FLOAT_EQ(timer.ElapsedSeconds(), 0.0f);
    ResetShellState();
}

}  // namespace
