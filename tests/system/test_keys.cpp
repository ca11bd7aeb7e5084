// Tests of the viewer's keys, the show run in this process on the virtual
// clock with the generated data: every frame after a move is the frame a run
// from the beginning shows at that music time, with the same volume (through
// every scene, into the fade and out of it), a pause holds the picture and the
// music, the show ends at 210 seconds of music time, and a move lands where
// --start would. A live run under Xvfb moves and pauses its music too.
#include "RunProgram.h"
#include "ShellTesting.h"
#include "Shell.h"
#include "Sound.h"

#include "Keys.h"
#include "call_log.h"
#include "d3d8_host.h"
#include "host.h"
#include "win32_host.h"

#include <bass.h>
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr double kFps = 5.0;

// What one frame of the output showed.
struct Frame {
    uint64_t virtualFrame = 0;
    double music = 0.0;
    uint64_t picture = 0;  // FNV-1a of the RGB rows
    DWORD volume = 0;
};

uint64_t Fnv1a(const std::vector<uint8_t>& bytes)
{
    uint64_t hash = 1469598103934665603ull;
    for (uint8_t b : bytes) hash = (hash ^ b) * 1099511628211ull;
    return hash;
}

// The data the build generated, else the source tree's (the checked builds
// install nothing); empty when there is none.
fs::path GeneratedData()
{
    const char* source = std::getenv("BRALMOND_SOURCE_DIR");
    for (const fs::path& dir : {run_program::BuiltProgram("install-data") / "Data",
                                source ? fs::path(source) / "Data" : fs::path()})
        if (!dir.empty() && fs::exists(dir / "Soundtrack.mp3")) return dir;
    return {};
}

std::vector<runtime::KeyPress> Keys(const std::string& list)
{
    std::vector<runtime::KeyPress> keys;
    std::stringstream items(list);
    std::string item;
    while (std::getline(items, item, ',')) {
        const size_t colon = item.find(':');
        keys.push_back({std::stod(item.substr(0, colon)), host::KeyOfName(item.substr(colon + 1))});
    }
    return keys;
}

class ViewerKeys : public ::testing::Test {
protected:
    void SetUp() override
    {
        data = GeneratedData();
        if (data.empty()) GTEST_SKIP() << "no generated data";
    }
    void TearDown() override { ResetShellState(); }

    // Runs the show from start with the keys, at 160 by 120 on a 5-frame
    // clock, until it ends by itself or after maxFrames frames of output.
    std::vector<Frame> Run(double start, const std::string& keys, size_t maxFrames = 100000)
    {
        ResetShellState();
        call_log::Enable(false);
        runtime::Options& options = runtime::CurrentOptions();
        options.fps = kFps;
        options.outputWidth = 160;
        options.outputHeight = 120;
        options.start = start;
        options.dataFolder = data.string();
        if (!keys.empty()) options.keys = Keys(keys);
        std::vector<Frame> frames;
        host::SetFrameObserverForTesting([&](IDirect3DDevice8* device, double music) {
            Frame frame;
            frame.virtualFrame = runtime::PresentedFrames();
            frame.music = music;
            std::vector<uint8_t> rgb;
            int w, h;
            d3d8_host::ReadBackBuffer(device, rgb, w, h);
            frame.picture = Fnv1a(rgb);
            BASS_ChannelGetAttributes(g_stream, nullptr, &frame.volume, nullptr);
            frames.push_back(frame);
            if (frames.size() == maxFrames) win32_host::PostToAllWindows(WM_KEYDOWN, VK_ESCAPE, 1);
        });
        char commandLine[] = "";
        EXPECT_EQ(WinMain(GetModuleHandleA(nullptr), nullptr, commandLine, SW_SHOW), 0);
        EXPECT_FALSE(runtime::ErrorBoxShown());
        EXPECT_FALSE(runtime::RunFailed());
        return frames;
    }

    // The whole show from the beginning, by virtual frame.
    std::map<uint64_t, Frame> FromTheBeginning()
    {
        std::map<uint64_t, Frame> byFrame;
        for (const Frame& frame : Run(0.0, "")) byFrame[frame.virtualFrame] = frame;
        return byFrame;
    }

    fs::path data;
};

// Each move as (music before, music after): a frame whose music is not one
// frame on from the last.
std::vector<std::pair<double, double>> Moves(const std::vector<Frame>& frames)
{
    std::vector<std::pair<double, double>> moves;
    for (size_t i = 1; i < frames.size(); ++i) {
        const double step = frames[i].music - frames[i - 1].music;
        if (std::fabs(step - 1.0 / kFps) > 0.5 / kFps && step != 0.0)
            moves.push_back({frames[i - 1].music, frames[i].music});
    }
    return moves;
}

TEST_F(ViewerKeys, EveryFrameAfterAMoveIsTheFrameOfARunFromTheBeginning)
{
    const std::map<uint64_t, Frame> reference = FromTheBeginning();
    ASSERT_GT(reference.size(), 1000u);
    EXPECT_LT(reference.rbegin()->second.music, 210.0);
    // Forward through every scene (past scenes never drawn at 40.5, 111, 130
    // and 169.5), into the fade and out of it, back into each scene drawn
    // before, home, and forward again to the end, which ends the show.
    // Each move takes the place of one frame's step, so that the music falls a
    // frame (0.2 s) further behind the watching time with each: Right at 10 s
    // goes from 198.4 to 203.4 s, at 11 s from 204.2 s into the fade, and
    // Page Up at 11.4 s out of it to 179.4 s.
    const std::string keys =
        "2:pagedown,3:right,4:right,5:pagedown,6:pagedown,7:pagedown,8:pagedown,9:pagedown,10:right,11:right,"
        "11.4:pageup,12:pageup,13:pageup,14:pageup,15:pageup,16:pageup,17:home,18:pagedown,19:pagedown,"
        "20:pagedown,21:pagedown,22:pagedown,23:pagedown,24:pagedown";
    const std::vector<Frame> frames = Run(0.0, keys);
    // Each key moves from the music of the frame it follows; the move takes
    // the place of that frame's step, so the next key finds the music one
    // frame short of the watching time since the last.
    const std::map<std::string, double> amounts = {{"right", 5}, {"left", -5}, {"pagedown", 30}, {"pageup", -30}};
    const std::vector<runtime::KeyPress> pressed = Keys(keys);
    const auto moves = Moves(frames);
    // The last key moves to 210 s from 187 s: the show ends there by itself.
    ASSERT_EQ(moves.size(), pressed.size() - 1);
    double after = 0.0, watched = 0.0;
    for (size_t i = 0; i < moves.size(); ++i) {
        const double before = after + (pressed[i].seconds - watched) - (i ? 1.0 / kFps : 0.0);
        EXPECT_NEAR(moves[i].first, before, 1.0 / kFps + 1e-3) << "move " << i;
        const std::string name = host::NameOfKey(pressed[i].key);
        const double target = name == "home" ? 0.0 : moves[i].first + amounts.at(name);
        // The first frame whose music has reached the target.
        EXPECT_GE(moves[i].second, target - 1e-4) << "move " << i << " " << name;
        EXPECT_LT(moves[i].second, target + 1.0 / kFps) << "move " << i << " " << name;
        after = moves[i].second;
        watched = pressed[i].seconds;
    }
    EXPECT_GT(frames.back().music, 185.0);
    EXPECT_LT(frames.back().music, 188.0);
    size_t inFade = 0;
    for (const Frame& frame : frames) {
        auto it = reference.find(frame.virtualFrame);
        ASSERT_NE(it, reference.end()) << "frame " << frame.virtualFrame << " at " << frame.music;
        ASSERT_EQ(frame.music, it->second.music) << "frame " << frame.virtualFrame;
        EXPECT_EQ(frame.picture, it->second.picture) << "frame " << frame.virtualFrame << " at " << frame.music;
        EXPECT_EQ(frame.volume, it->second.volume) << "frame " << frame.virtualFrame << " at " << frame.music;
        if (frame.volume < 100) ++inFade;
    }
    EXPECT_GT(inFade, 0u) << "a frame in the fade plays the music softer";
}

TEST_F(ViewerKeys, APauseHoldsThePictureAndTheMusicAndTheShowEndsAtItsMusicTime)
{
    // Three seconds of pause at 201 s, then the show plays on to 210 s.
    const std::vector<Frame> frames = Run(200.0, "201:space,204:space");
    ASSERT_FALSE(frames.empty());
    size_t held = 0;
    for (size_t i = 1; i < frames.size(); ++i) {
        if (frames[i].music != frames[i - 1].music) continue;
        ++held;
        EXPECT_EQ(frames[i].picture, frames[i - 1].picture) << "a held frame at " << frames[i].music;
        EXPECT_EQ(frames[i].virtualFrame, frames[i - 1].virtualFrame);
        EXPECT_NEAR(frames[i].music, 201.0, 1e-3);
    }
    EXPECT_EQ(held, static_cast<size_t>(3 * kFps));
    // Ten seconds of music and three of pause; the frame at 210 s ends the show.
    EXPECT_EQ(frames.size(), static_cast<size_t>(13 * kFps));
    EXPECT_LT(frames.back().music, 210.0);
    EXPECT_GE(frames.back().music, 210.0 - 1.0 / kFps - 1e-4);
}

TEST_F(ViewerKeys, AMoveLandsWhereStartWouldForwardPastNewScenesAndBackIntoOldOnes)
{
    // From 100 s, 30 s on: past scenes 3 and 4, never drawn, to 131 s; from
    // 150 s, 30 s back into scene 3, drawn on the way to the start, to 121 s.
    const auto check = [&](double start, const std::string& key, double target) {
        const std::vector<Frame> moved = Run(start, key, 12);
        const std::vector<Frame> started = Run(target, "", 6);
        ASSERT_EQ(moved.size(), 12u);
        ASSERT_EQ(started.size(), 6u);
        // The first frame after the move.
        size_t first = 1;
        while (first < moved.size() && std::fabs(moved[first].music - moved[first - 1].music - 1.0 / kFps) < 1e-3)
            ++first;
        ASSERT_LE(first + started.size(), moved.size()) << key;
        for (size_t i = 0; i < started.size(); ++i) {
            EXPECT_EQ(moved[first + i].virtualFrame, started[i].virtualFrame) << key << " frame " << i;
            EXPECT_EQ(moved[first + i].music, started[i].music) << key << " frame " << i;
            EXPECT_EQ(moved[first + i].picture, started[i].picture) << key << " frame " << i;
        }
    };
    check(100.0, "101:pagedown", 131.0);
    check(150.0, "151:pageup", 121.0);
}

// A live run in a window, its keys pressed at set times, told with --stats.
TEST(LiveKeys, AWindowedRunMovesAndPausesItsMusic)
{
    const fs::path data = GeneratedData();
    if (data.empty()) GTEST_SKIP() << "no generated data";
    if (std::system("command -v xvfb-run > /dev/null 2>&1") != 0) GTEST_SKIP() << "no xvfb-run for a display";
    const fs::path log = fs::temp_directory_path() / ("bralmond-livekeys-" + std::to_string(::getpid()) + ".txt");
    const std::string command = "SDL_AUDIODRIVER=dummy timeout 30 xvfb-run -a '" +
                                run_program::BuiltProgram("bralmond").string() + "' --windowed --data '" +
                                data.string() + "' --stats --until 40 --keys 1:right,2:space,3:space,4:pagedown > '" +
                                log.string() + "' 2>&1";
    const int status = std::system(command.c_str());
    std::ifstream in(log);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    fs::remove(log);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << text;
    std::vector<std::pair<double, double>> moves;
    std::stringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        double before, after;
        char name[16];
        if (std::sscanf(line.c_str(), "keys: %15s at %lf s of music, then %lf s", name, &before, &after) == 3)
            moves.push_back({before, after});
    }
    ASSERT_EQ(moves.size(), 4u) << text;
    // A position after a move is read on the first frame after it, on the
    // wall clock: up to a frame or two later on a slow machine (a checked
    // build draws about 14 frames a second), never a whole second off.
    const double frames = 0.25;
    EXPECT_NEAR(moves[0].second - moves[0].first, 5.0, frames) << "Right: " << text;
    // The pause holds the music for a second of watching.
    EXPECT_NEAR(moves[2].first, moves[1].first, 0.1) << "Space: " << text;
    EXPECT_NEAR(moves[3].second - moves[3].first, 30.0, frames) << "Page Down: " << text;
}

}  // namespace
