// Tests of capturing the show: the video that --capture makes (read back with
// ffprobe and ffmpeg), the numbered pictures and the sound of --frames, the
// picture's geometry at other sizes, --start and the scene clocks, and the
// failures (no ffmpeg, an output ffmpeg cannot write, an unknown format).
#include "Pictures.h"
#include "RunProgram.h"
#include "SceneData.h"
#include "ShellTesting.h"
#include "Shell.h"
#include "TestMp3.h"

#include "bass_testing.h"
#include "call_log.h"
#include "d3d8_host.h"
#include "d3d8_testing.h"
#include "host.h"
#include "win32_host.h"
#include "win32_testing.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

using pictures::Picture;
using pictures::ReadPng;

// The standard output of a shell command of the test's own making.
std::string CommandOutput(const std::string& command)
{
    std::string out;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return out;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
    pclose(pipe);
    return out;
}

// ffprobe's view of each stream of a file: codec_type -> key -> value.
std::map<std::string, std::map<std::string, std::string>> Probe(const fs::path& file)
{
    const std::string text = CommandOutput(
        "ffprobe -v error -count_frames -show_entries "
        "stream=codec_type,codec_name,width,height,r_frame_rate,nb_read_frames,duration -of compact '" +
        file.string() + "'");
    std::map<std::string, std::map<std::string, std::string>> streams;
    std::stringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        std::map<std::string, std::string> fields;
        std::stringstream parts(line);
        std::string part;
        while (std::getline(parts, part, '|')) {
            const size_t eq = part.find('=');
            if (eq != std::string::npos) fields[part.substr(0, eq)] = part.substr(eq + 1);
        }
        if (fields.count("codec_type")) streams[fields["codec_type"]] = fields;
    }
    return streams;
}

// Interleaved 16-bit samples of a file's sound, decoded by ffmpeg at 44100 Hz stereo.
std::vector<int16_t> DecodedSound(const fs::path& file)
{
    const std::string bytes =
        CommandOutput("ffmpeg -v error -i '" + file.string() + "' -map 0:a -f s16le -ac 2 -ar 44100 -");
    std::vector<int16_t> samples(bytes.size() / 2);
    std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
    return samples;
}

// The MD5 lines of every decoded video frame of a file.
std::vector<std::string> FrameHashes(const fs::path& file)
{
    const std::string text = CommandOutput("ffmpeg -v error -i '" + file.string() + "' -map 0:v -f framemd5 -");
    std::vector<std::string> hashes;
    std::stringstream lines(text);
    std::string line;
    while (std::getline(lines, line))
        if (!line.empty() && line[0] != '#') hashes.push_back(line.substr(line.find_last_of(' ') + 1));
    return hashes;
}

// Bounding box of the pixels whose red channel exceeds threshold.
struct Box {
    int left = 1 << 30, top = 1 << 30, right = -1, bottom = -1;
    double CentreX() const { return (left + right + 1) / 2.0; }
    double CentreY() const { return (top + bottom + 1) / 2.0; }
    int Width() const { return right - left + 1; }
    int Height() const { return bottom - top + 1; }
};

Box RedBox(const Picture& p, int threshold)
{
    Box box;
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x)
            if (p.At(x, y)[0] > threshold) {
                box.left = std::min(box.left, x);
                box.right = std::max(box.right, x);
                box.top = std::min(box.top, y);
                box.bottom = std::max(box.bottom, y);
            }
    return box;
}

std::vector<int16_t> WavSamples(const fs::path& path, uint32_t& headerDataBytes)
{
    std::ifstream in(path, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    headerDataBytes = 0;
    if (bytes.size() < 44) return {};
    std::memcpy(&headerDataBytes, bytes.data() + 40, 4);
    std::vector<int16_t> samples((bytes.size() - 44) / 2);
    std::memcpy(samples.data(), bytes.data() + 44, samples.size() * 2);
    return samples;
}

// The soundtrack of these tests: second n of the music sounds at 200 + 10 n
// Hz, so a piece of captured sound tells which second it came from.
constexpr double kBaseHz = 200.0;
constexpr double kStepHz = 10.0;
constexpr uint32_t kTitleRgb = 0xC00000;
// Red above this is the title card: the background's red is 0x10.
constexpr int kCardRed = 0x90;

class Capture : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        folder = new fs::path(scene_data::FreshFolder("capture"));
        scene_data::WriteShowData(*folder);
        // A bright red title card, far above the dim background and particles.
        ASSERT_TRUE(scene_data::WriteSolidBmp(*folder / "Data" / "Title.bmp", 32, 24, kTitleRgb));
        test_mp3::Tone tone;
        tone.seconds = 215.0;
        tone.sampleRate = 22050;
        tone.channels = 1;
        tone.frequency = kBaseHz;
        tone.frequencyStep = kStepHz;
        ASSERT_TRUE(test_mp3::WriteToneMp3((*folder / "Data" / "Soundtrack.mp3").string(), tone));
    }
    static void TearDownTestSuite()
    {
        fs::remove_all(*folder);
        delete folder;
    }
    static run_program::Result Bralmond(const std::string& arguments)
    {
        return run_program::Run(run_program::BuiltProgram("bralmond"), arguments, *folder);
    }
    // Files whose names start with a dot (a capture's parts) left in dir.
    static int HiddenFiles(const fs::path& dir)
    {
        int count = 0;
        for (const auto& entry : fs::directory_iterator(dir))
            if (entry.path().filename().string()[0] == '.' && entry.path().filename() != ".stderr.txt") ++count;
        return count;
    }
    static fs::path* folder;
};
fs::path* Capture::folder = nullptr;

// --- The video file ---------------------------------------------------------

TEST_F(Capture, AThreeSecondVideoHasItsSizeRateFramesAndSound)
{
    const auto result = Bralmond("--capture three.mp4 --fps 30 --until 3 --size 320x240");
    ASSERT_EQ(result.status, 0) << result.stderrText;
    EXPECT_NE(result.stderrText.find("left"), std::string::npos) << "a progress line: " << result.stderrText;
    auto streams = Probe(*folder / "three.mp4");
    ASSERT_EQ(streams.count("video"), 1u);
    ASSERT_EQ(streams.count("audio"), 1u);
    EXPECT_EQ(streams["video"]["codec_name"], "h264");
    EXPECT_EQ(streams["video"]["width"], "320");
    EXPECT_EQ(streams["video"]["height"], "240");
    EXPECT_EQ(streams["video"]["r_frame_rate"], "30/1");
    EXPECT_EQ(streams["video"]["nb_read_frames"], "90") << "music 0 to 3 s, the frame at 3 s ends the run";
    EXPECT_EQ(streams["audio"]["codec_name"], "aac");
    EXPECT_NEAR(std::stod(streams["audio"]["duration"]), 3.0, 0.03);
    EXPECT_EQ(HiddenFiles(*folder), 0) << "the parts of the capture are removed";
}

TEST_F(Capture, MatroskaAndWebmFollowTheExtensionAndTheSoundIsExact)
{
    // 30000/1001 frames a second from music 0 up to 1 s: frames 0 to 29.
    auto result = Bralmond("--capture rate.MKV --fps 30000/1001 --until 1 --size 160x120");
    ASSERT_EQ(result.status, 0) << result.stderrText;
    auto streams = Probe(*folder / "rate.MKV");
    EXPECT_EQ(streams["video"]["codec_name"], "h264");
    EXPECT_EQ(streams["video"]["r_frame_rate"], "30000/1001");
    EXPECT_EQ(streams["video"]["nb_read_frames"], "30");
    EXPECT_EQ(streams["audio"]["codec_name"], "flac");
    // FLAC is lossless: the sound holds exactly the samples of 30 frames.
    const std::vector<int16_t> sound = DecodedSound(*folder / "rate.MKV");
    EXPECT_NEAR(static_cast<double>(sound.size() / 2), 30 * 44100 * 1001 / 30000.0, 1.0);

    result = Bralmond("--capture short.webm --fps 10 --until 0.5 --size 160x120");
    ASSERT_EQ(result.status, 0) << result.stderrText;
    streams = Probe(*folder / "short.webm");
    EXPECT_EQ(streams["video"]["codec_name"], "vp9");
    EXPECT_EQ(streams["video"]["nb_read_frames"], "5");
    EXPECT_EQ(streams["audio"]["codec_name"], "opus");
}

TEST_F(Capture, TwoCapturesOfTheSameSpanGiveTheSameFrames)
{
    for (const char* name : {"same1.mp4", "same2.mp4"}) {
        const auto result = Bralmond(std::string("--capture ") + name + " --start 7 --until 8 --fps 10 --size 320x240");
        ASSERT_EQ(result.status, 0) << result.stderrText;
    }
    const auto first = FrameHashes(*folder / "same1.mp4");
    const auto second = FrameHashes(*folder / "same2.mp4");
    ASSERT_EQ(first.size(), 10u);
    EXPECT_EQ(first, second);
    EXPECT_NE(first.front(), first.back()) << "the frames show the show moving, not a still";
}

// --- Pictures and sound of --frames ----------------------------------------

TEST_F(Capture, FramesAreNumberedPicturesWithTheirSoundBeside)
{
    const auto result = Bralmond("--frames pics --fps 10 --until 1 --size 160x120");
    ASSERT_EQ(result.status, 0) << result.stderrText;
    for (int i = 0; i < 10; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "frame-%06d.png", i);
        const Picture picture = ReadPng(*folder / "pics" / name);
        EXPECT_EQ(picture.width, 160) << name;
        EXPECT_EQ(picture.height, 120) << name;
    }
    EXPECT_FALSE(fs::exists(*folder / "pics" / "frame-000010.png")) << "the frame at 1 s ends the run";
    uint32_t dataBytes = 0;
    const auto samples = WavSamples(*folder / "pics" / "audio.wav", dataBytes);
    EXPECT_EQ(dataBytes, samples.size() * 2);
    EXPECT_EQ(samples.size(), 2u * 44100u) << "one second of stereo at 44100 Hz";
}

TEST_F(Capture, TheSoundIsTheMusicOfTheFramesWithTheFade)
{
    auto result = Bralmond("--frames at20 --start 20 --until 21 --fps 10 --size 32x24");
    ASSERT_EQ(result.status, 0) << result.stderrText;
    uint32_t dataBytes = 0;
    auto samples = WavSamples(*folder / "at20" / "audio.wav", dataBytes);
    ASSERT_EQ(samples.size(), 2u * 44100u);
    // The 21st second of the music sounds from the first sample on.
    const double hz = test_mp3::MeasureFrequency(samples.data() + 2 * 2205, 22050, 2, 0, 44100);
    EXPECT_NEAR(hz, kBaseHz + 20 * kStepHz, 3.0);

    // The music fades from 204.45 s: at 208.25 s it plays at a third of its volume.
    result = Bralmond("--frames fade --start 203.5 --until 208.5 --fps 10 --size 32x24");
    ASSERT_EQ(result.status, 0) << result.stderrText;
    samples = WavSamples(*folder / "fade" / "audio.wav", dataBytes);
    ASSERT_EQ(samples.size(), 2u * 5u * 44100u);
    const double before = test_mp3::MeasureLevel(samples.data(), 22050, 2, 0);
    const double late = test_mp3::MeasureLevel(samples.data() + 2 * (44100 * 4 + 22050), 4410, 2, 0);
    EXPECT_GT(before, 0.1);
    EXPECT_NEAR(late / before, 0.33, 0.04);
}

// --- Geometry at other sizes ------------------------------------------------

TEST_F(Capture, ALargerSizeKeepsThePicturesGeometry)
{
    // At 24 s the title card is on its way in, centred on the screen.
    for (const char* size : {"800x600", "1600x1200", "1920x1080"}) {
        const auto result = Bralmond(std::string("--frames size") + size + " --start 24 --until 24.05 --fps 20 --size " + size);
        ASSERT_EQ(result.status, 0) << result.stderrText;
    }
    const Picture small = ReadPng(*folder / "size800x600" / "frame-000000.png");
    const Picture large = ReadPng(*folder / "size1600x1200" / "frame-000000.png");
    const Picture wide = ReadPng(*folder / "size1920x1080" / "frame-000000.png");
    ASSERT_EQ(small.width, 800);
    ASSERT_EQ(large.width, 1600);
    ASSERT_EQ(wide.width, 1920);

    // The card (brighter red than the background) sits at the centre, twice as large.
    const Box card = RedBox(small, kCardRed);
    const Box card2 = RedBox(large, kCardRed);
    ASSERT_GT(card.Width(), 20);
    EXPECT_NEAR(card.CentreX(), 400.0, 2.0);
    EXPECT_NEAR(card.CentreY(), 300.0, 2.0);
    EXPECT_NEAR(card2.CentreX(), 800.0, 2.0);
    EXPECT_NEAR(card2.CentreY(), 600.0, 2.0);
    EXPECT_NEAR(card2.Width(), 2.0 * card.Width(), 3.0);
    EXPECT_NEAR(card2.Height(), 2.0 * card.Height(), 3.0);

    // The whole picture, halved, is the small one up to the rasteriser's edges.
    double difference = 0.0;
    for (int y = 0; y < 600; ++y)
        for (int x = 0; x < 800; ++x)
            for (int c = 0; c < 3; ++c) {
                const int sum = large.At(2 * x, 2 * y)[c] + large.At(2 * x + 1, 2 * y)[c] +
                                large.At(2 * x, 2 * y + 1)[c] + large.At(2 * x + 1, 2 * y + 1)[c];
                difference += std::abs(sum / 4.0 - small.At(x, y)[c]);
            }
    EXPECT_LT(difference / (800.0 * 600.0 * 3.0), 2.0);

    // 16:9 keeps the 4:3 picture, 1440 by 1080, between black bars.
    for (int y = 0; y < 1080; y += 7) {
        for (int x : {0, 100, 239, 1680, 1800, 1919}) {
            const uint8_t* p = wide.At(x, y);
            EXPECT_EQ(p[0] + p[1] + p[2], 0) << x << "," << y;
        }
        EXPECT_GT(wide.At(240, y)[2], 0x10) << "the background reaches the bar at " << y;
        EXPECT_GT(wide.At(1679, y)[2], 0x10) << "the background reaches the bar at " << y;
    }
    const Box card3 = RedBox(wide, kCardRed);
    EXPECT_NEAR(card3.CentreX(), 960.0, 2.0);
    EXPECT_NEAR(card3.CentreY(), 540.0, 2.0);
    EXPECT_NEAR(card3.Width(), 1.8 * card.Width(), 3.0);
}

// --- --start ----------------------------------------------------------------

TEST_F(Capture, AStartGivesTheFrameThatARunFromTheBeginningShows)
{
    fs::create_directories(*folder / "from0");
    fs::create_directories(*folder / "from20");
    auto result = Bralmond("--headless --fps 10 --size 320x240 --shots 24 --until 24.1 --out from0");
    ASSERT_EQ(result.status, 0) << result.stderrText;
    result = Bralmond("--headless --start 20 --fps 10 --size 320x240 --shots 24 --until 24.1 --out from20");
    ASSERT_EQ(result.status, 0) << result.stderrText;
    const Picture a = ReadPng(*folder / "from0" / "shot-24.png");
    const Picture b = ReadPng(*folder / "from20" / "shot-24.png");
    ASSERT_EQ(a.width, 320);
    EXPECT_EQ(a.rgb, b.rgb);
    // The scene's clock reads 24 s, not 4: the title card is on screen.
    EXPECT_GT(RedBox(b, kCardRed).Width(), 5);
}

TEST_F(Capture, ALiveStartSeeksTheMusicAndMovesTheClocks)
{
    if (std::system("command -v xvfb-run > /dev/null 2>&1") != 0) GTEST_SKIP() << "no xvfb-run for a display";
    fs::create_directories(*folder / "live");
    // Four and a half seconds of the show on the wall clock: a run that did
    // not seek to 20 s would need 24 and be stopped.
    const std::string command = "cd '" + folder->string() +
                                "' && SDL_AUDIODRIVER=dummy timeout 15 xvfb-run -a '" +
                                run_program::BuiltProgram("bralmond").string() +
                                "' --windowed --start 20 --until 24.5 --shots 24 --out live > /dev/null 2>&1";
    const int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    const Picture shot = ReadPng(*folder / "live" / "shot-24.png");
    ASSERT_EQ(shot.width, 800);
    EXPECT_GT(RedBox(shot, kCardRed).Width(), 20) << "the scene's clock reads 24 s, not 4: the title card shows";
}

TEST_F(Capture, AStartPastTheSoundtracksEndFailsClearly)
{
    const fs::path dir = scene_data::FreshFolder("shortstart");
    scene_data::WriteShowData(dir);
    ASSERT_TRUE(scene_data::WriteSoundtrack(dir, 5.0));
    const auto result =
        run_program::Run(run_program::BuiltProgram("bralmond"), "--headless --start 30 --fps 10", dir);
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.stderrText.find("--start 30"), std::string::npos) << result.stderrText;
    fs::remove_all(dir);
}

// --- Failures ---------------------------------------------------------------

TEST_F(Capture, WithoutFfmpegTheCaptureRefusesToStart)
{
    const fs::path empty = scene_data::FreshFolder("nopath");
    const std::string saved = std::getenv("PATH") ? std::getenv("PATH") : "";
    setenv("PATH", empty.c_str(), 1);
    const auto result = Bralmond("--capture none.mp4 --until 1");
    setenv("PATH", saved.c_str(), 1);
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.stderrText.find("ffmpeg"), std::string::npos) << result.stderrText;
    EXPECT_FALSE(fs::exists(*folder / "none.mp4"));
    fs::remove_all(empty);
}

TEST_F(Capture, AnOutputFfmpegCannotWriteFailsTheRun)
{
    // A folder where the video should go is found before the first frame.
    fs::create_directories(*folder / "taken.mp4");
    auto result = Bralmond("--capture taken.mp4 --fps 10 --until 0.5 --size 160x120");
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.stderrText.find("cannot write the video taken.mp4: a folder has that name."), std::string::npos)
        << result.stderrText;
    EXPECT_EQ(result.stderrText.find("frame "), std::string::npos) << "no frame was rendered";
    EXPECT_EQ(HiddenFiles(*folder), 0) << "the parts of the capture are removed";

    result = Bralmond("--capture missing/video.mp4 --until 0.5");
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.stderrText.find("no such folder"), std::string::npos) << result.stderrText;

    result = Bralmond("--capture show.avi");
    EXPECT_EQ(result.status, 2);
    EXPECT_NE(result.stderrText.find(".mp4, .mkv, .webm"), std::string::npos) << result.stderrText;
}

TEST_F(Capture, AnInterruptedCaptureLeavesNoVideoAndNoPartsBehind)
{
    for (const int signal : {SIGINT, SIGTERM}) {
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            if (::chdir(folder->c_str()) != 0) ::_exit(99);
            ::freopen("/dev/null", "w", stderr);
            ::execl(run_program::BuiltProgram("bralmond").c_str(), "bralmond", "--capture", "stopped.mp4", "--fps",
                    "10", "--size", "160x120", nullptr);
            ::_exit(98);
        }
        // Interrupted once the video is on its way.
        for (int i = 0; i < 600 && !fs::exists(*folder / ".stopped.mp4.video-part"); ++i) ::usleep(50000);
        EXPECT_TRUE(fs::exists(*folder / ".stopped.mp4.video-part"));
        ::kill(pid, signal);
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        ASSERT_TRUE(WIFEXITED(status)) << signal;
        EXPECT_EQ(WEXITSTATUS(status), 128 + signal);
        EXPECT_FALSE(fs::exists(*folder / "stopped.mp4"));
        EXPECT_EQ(HiddenFiles(*folder), 0) << "the parts of the capture are removed";
    }
}

// Whether a signal waits, not yet taken, in a process's pending sets.
bool SignalPending(pid_t pid, int signal)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    const unsigned long long bit = 1ull << (signal - 1);
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("SigPnd:", 0) != 0 && line.rfind("ShdPnd:", 0) != 0) continue;
        if (std::stoull(line.substr(7), nullptr, 16) & bit) return true;
    }
    return false;
}

TEST_F(Capture, ASecondInterruptAndTheNextCaptureLeaveNoPartsBehind)
{
    // Two signals in a row: the second comes while the first is still ending
    // the capture (the encoder finishing), and ends the process at once.
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        if (::chdir(folder->c_str()) != 0) ::_exit(99);
        ::freopen("twice.txt", "w", stderr);
        ::execl(run_program::BuiltProgram("bralmond").c_str(), "bralmond", "--capture", "twice.mp4", "--fps", "10",
                "--size", "160x120", nullptr);
        ::_exit(98);
    }
    for (int i = 0; i < 600 && !fs::exists(*folder / ".twice.mp4.video-part"); ++i) ::usleep(50000);
    EXPECT_TRUE(fs::exists(*folder / ".twice.mp4.video-part"));
    ::kill(pid, SIGINT);
    // Two signals still pending merge into one: the second goes once the
    // process has taken the first (its pending set no longer holds it).
    for (int i = 0; i < 20000 && SignalPending(pid, SIGINT); ++i) ::usleep(100);
    ::kill(pid, SIGINT);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    std::ifstream told(*folder / "twice.txt");
    const std::string text((std::istreambuf_iterator<char>(told)), std::istreambuf_iterator<char>());
    fs::remove(*folder / "twice.txt");
    // The capture is still ending (the encoder finishing) when the second one comes.
    EXPECT_NE(text.find("interrupted again; the capture is not finished and its parts are removed."),
              std::string::npos)
        << text;
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGINT) << status;
    EXPECT_FALSE(fs::exists(*folder / "twice.mp4"));
    EXPECT_EQ(HiddenFiles(*folder), 0) << "the parts of the capture are removed";

    // Parts that a killed capture left (nothing can catch SIGKILL) go with the
    // next capture of the same name, and of frames into the same folder.
    for (const char* part : {".again.mp4.video-part", ".again.mp4.sound-part.wav", ".again.mp4.muxed-part"})
        std::ofstream(*folder / part) << "left by a killed capture";
    const fs::path frames = *folder / "again-frames";
    fs::create_directories(frames);
    std::ofstream(frames / ".frame-000003.png.part") << "left";
    std::ofstream(frames / ".audio.wav.part") << "left";
    const auto result = Bralmond("--capture again.mp4 --frames again-frames --fps 10 --until 0.5 --size 160x120");
    ASSERT_EQ(result.status, 0) << result.stderrText;
    EXPECT_TRUE(fs::exists(*folder / "again.mp4"));
    EXPECT_EQ(HiddenFiles(*folder), 0);
    EXPECT_EQ(HiddenFiles(frames), 0);
    EXPECT_TRUE(fs::exists(frames / "frame-000004.png"));
    EXPECT_TRUE(fs::exists(frames / "audio.wav"));
}

// --- The clocks of --start, in the process -----------------------------------

class StartClocks : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = scene_data::FreshFolder("startclocks");
        scene_data::WriteShowData(dir);
        // Shorter than the second scene's start plus a little: the music
        // wraps to the first scene again.
        ASSERT_TRUE(scene_data::WriteSoundtrack(dir, 42.0));
        previous = fs::current_path();
        fs::current_path(dir);
        ResetShellState();
    }
    void TearDown() override
    {
        fs::current_path(previous);
        ResetShellState();
        fs::remove_all(dir);
    }

    struct Outcome {
        uint64_t firstFrame = 0;   // virtual frame of the first frame shown
        double firstMusic = -1.0;
        size_t presentsBefore = 0;  // frames presented before it (start-up and the way to the start)
        double grabbedMusic = -1.0;
        std::vector<uint8_t> picture;  // the frame at grabFrame
    };

    // Runs the show in this process from start, ending it after the frame on
    // the virtual clock's grabFrame, which it reads back.
    Outcome Run(double start, uint64_t grabFrame)
    {
        ResetShellState();
        runtime::Options& options = runtime::CurrentOptions();
        options.fps = 10.0;
        options.outputWidth = 160;
        options.outputHeight = 120;
        options.start = start;
        // The run ends after grabFrame; --until says so to the host, which
        // would otherwise refuse a soundtrack too short for the whole show.
        options.until = 41.95;
        Outcome outcome;
        bool first = true;
        host::SetFrameObserverForTesting([&](IDirect3DDevice8* device, double music) {
            if (first) {
                first = false;
                outcome.firstFrame = runtime::PresentedFrames();
                outcome.firstMusic = music;
                const auto log = call_log::Take();
                // Those before this frame's own.
                outcome.presentsBefore = std::count(log.begin(), log.end(), std::string("Present")) - 1;
            }
            if (runtime::PresentedFrames() == grabFrame) {
                int w, h;
                d3d8_host::ReadBackBuffer(device, outcome.picture, w, h);
                outcome.grabbedMusic = music;
                win32_host::PostToAllWindows(WM_KEYDOWN, VK_ESCAPE, 1);
            }
        });
        char commandLine[] = "";
        EXPECT_EQ(WinMain(GetModuleHandleA(nullptr), nullptr, commandLine, SW_SHOW), 0);
        EXPECT_FALSE(runtime::ErrorBoxShown());
        EXPECT_FALSE(runtime::RunFailed());
        return outcome;
    }

    fs::path dir;
    fs::path previous;
};

TEST_F(StartClocks, TheFirstFrameShownIsTheOneAtTheStartOnTheSameClock)
{
    const Outcome fromZero = Run(0.0, 1);
    EXPECT_EQ(fromZero.firstFrame, 1u) << "frame 0 is the black frame of start-up";
    EXPECT_EQ(fromZero.firstMusic, 0.0);
    EXPECT_EQ(fromZero.presentsBefore, 1u);

    const Outcome at20 = Run(20.0, 201);
    EXPECT_EQ(at20.firstFrame, 201u);
    EXPECT_NEAR(at20.firstMusic, 20.0, 1e-4);
    EXPECT_EQ(at20.presentsBefore, 2u) << "start-up, then the first scene's first frame at 0";

    const Outcome at41 = Run(41.0, 411);
    EXPECT_EQ(at41.firstFrame, 411u);
    EXPECT_NEAR(at41.firstMusic, 41.0, 1e-4);
    EXPECT_EQ(at41.presentsBefore, 3u) << "start-up, the first scene's first frame, the second's at 40.5";
}

TEST_F(StartClocks, AStartPastTheFirstSceneKeepsItsClockFromTheBeginning)
{
    // Two seconds after the music wraps, the first scene shows again, its clock
    // at 44 seconds (the clouds on their late path), whichever way the run began.
    const uint64_t frame = 441;
    const Outcome fromZero = Run(0.0, frame);
    const Outcome at41 = Run(41.0, frame);
    ASSERT_LT(fromZero.grabbedMusic, 5.0) << "the music has wrapped";
    EXPECT_EQ(at41.grabbedMusic, fromZero.grabbedMusic);
    ASSERT_FALSE(fromZero.picture.empty());
    EXPECT_EQ(at41.picture, fromZero.picture);
}

}  // namespace
