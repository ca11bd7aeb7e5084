// Tests of the capture's parts in the host: the video formats and ffmpeg's
// command lines, child processes and their pipes, the queue that writes the
// pictures, the WAV writer and the progress line.
#include "Capture.h"
#include "Ffmpeg.h"
#include "PictureQueue.h"
#include "Process.h"
#include "WavWriter.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

fs::path TempFolder(const std::string& tag)
{
    const fs::path dir = fs::temp_directory_path() / ("bralmond-hostcap-" + tag + "-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}

std::vector<char> FileBytes(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

uint32_t Le32(const std::vector<char>& b, size_t at)
{
    uint32_t v;
    std::memcpy(&v, b.data() + at, 4);
    return v;
}

uint16_t Le16(const std::vector<char>& b, size_t at)
{
    uint16_t v;
    std::memcpy(&v, b.data() + at, 2);
    return v;
}

bool Has(const std::vector<std::string>& args, const std::string& a, const std::string& b)
{
    for (size_t i = 0; i + 1 < args.size(); ++i)
        if (args[i] == a && args[i + 1] == b) return true;
    return false;
}

// --- Formats and command lines -----------------------------------------------

TEST(VideoFormats, TheExtensionChoosesContainerAndCodecsInAnyCase)
{
    const host::VideoFormat* mp4 = host::VideoFormatFor("out/show.mp4");
    ASSERT_NE(mp4, nullptr);
    EXPECT_STREQ(mp4->muxer, "mp4");
    EXPECT_TRUE(Has(mp4->videoCodec, "-c:v", "libx264"));
    EXPECT_TRUE(Has(mp4->audioCodec, "-c:a", "aac"));
    const host::VideoFormat* mkv = host::VideoFormatFor("SHOW.MKV");
    ASSERT_NE(mkv, nullptr);
    EXPECT_STREQ(mkv->muxer, "matroska");
    EXPECT_TRUE(Has(mkv->audioCodec, "-c:a", "flac"));
    const host::VideoFormat* webm = host::VideoFormatFor("a.b.webm");
    ASSERT_NE(webm, nullptr);
    EXPECT_TRUE(Has(webm->videoCodec, "-c:v", "libvpx-vp9"));
    EXPECT_TRUE(Has(webm->audioCodec, "-c:a", "libopus"));
}

TEST(VideoFormats, UnknownOrMissingExtensionsAreRefused)
{
    for (const char* name : {"show.avi", "show", "mp4", "folder.mp4/show", ".mp4", "dir/.mkv", "show.mp4.", ""})
        EXPECT_EQ(host::VideoFormatFor(name), nullptr) << name;
    EXPECT_EQ(host::KnownVideoExtensions(), ".mp4, .mkv, .webm");
}

TEST(VideoFormats, TheEncoderReadsRawFramesAtTheRateAsWritten)
{
    const auto args = host::EncodeFramesCommand("/usr/bin/ffmpeg", *host::VideoFormatFor("x.mp4"), 320, 240,
                                                "60000/1001", "-odd:name.mp4");
    ASSERT_FALSE(args.empty());
    EXPECT_EQ(args.front(), "/usr/bin/ffmpeg");
    EXPECT_TRUE(Has(args, "-f", "rawvideo"));
    EXPECT_TRUE(Has(args, "-pix_fmt", "rgb24"));
    EXPECT_TRUE(Has(args, "-video_size", "320x240"));
    EXPECT_TRUE(Has(args, "-framerate", "60000/1001"));
    EXPECT_TRUE(Has(args, "-i", "pipe:0"));
    EXPECT_TRUE(Has(args, "-pix_fmt", "yuv420p"));
    EXPECT_TRUE(Has(args, "-f", "mp4"));
    // A name that looks like an option or a protocol still names a file.
    EXPECT_EQ(args.back(), "file:-odd:name.mp4");
}

TEST(VideoFormats, TheSoundIsAddedWithoutEncodingThePictureAgain)
{
    const auto args = host::AddSoundCommand("ffmpeg", *host::VideoFormatFor("x.webm"), "v.part", "s.wav", "x.webm");
    EXPECT_TRUE(Has(args, "-i", "file:v.part"));
    EXPECT_TRUE(Has(args, "-i", "file:s.wav"));
    EXPECT_TRUE(Has(args, "-c:v", "copy"));
    EXPECT_TRUE(Has(args, "-c:a", "libopus"));
    EXPECT_TRUE(Has(args, "-f", "webm"));
    EXPECT_EQ(args.back(), "file:x.webm");
    const auto mp4 = host::AddSoundCommand("ffmpeg", *host::VideoFormatFor("x.mp4"), "v", "s", "x.mp4");
    EXPECT_TRUE(Has(mp4, "-movflags", "+faststart"));
}

// --- Child processes -----------------------------------------------------------

class PathEnvironment : public ::testing::Test {
protected:
    void SetUp() override
    {
        const char* path = std::getenv("PATH");
        hadPath = path != nullptr;
        saved = path ? path : "";
        dir = TempFolder("path");
    }
    void TearDown() override
    {
        if (hadPath)
            setenv("PATH", saved.c_str(), 1);
        else
            unsetenv("PATH");
        fs::remove_all(dir);
    }
    void MakeFile(const std::string& name, mode_t mode)
    {
        std::ofstream(dir / name) << "#!/bin/sh\n";
        ::chmod((dir / name).c_str(), mode);
    }
    bool hadPath = false;
    std::string saved;
    fs::path dir;
};

TEST_F(PathEnvironment, OnlyExecutableFilesOnThePathAreFound)
{
    MakeFile("tool", 0755);
    MakeFile("plain", 0644);
    fs::create_directories(dir / "folder");
    setenv("PATH", ("/nonexistent::" + dir.string()).c_str(), 1);
    EXPECT_EQ(host::FindOnPath("tool"), (dir / "tool").string());
    EXPECT_EQ(host::FindOnPath("plain"), "");
    EXPECT_EQ(host::FindOnPath("folder"), "");
    EXPECT_EQ(host::FindOnPath("missing"), "");
    EXPECT_EQ(host::FindOnPath("../tool"), "") << "a name with a slash is not looked up";
    unsetenv("PATH");
    EXPECT_FALSE(host::FindOnPath("sh").empty()) << "the system's folders without PATH";
}

TEST(ChildProcesses, APipeCarriesEveryByteToTheChild)
{
    const fs::path dir = TempFolder("pipe");
    const std::string dd = host::FindOnPath("dd");
    ASSERT_FALSE(dd.empty());
    host::ChildProcess child;
    std::string message;
    ASSERT_TRUE(host::StartProcess({dd, "of=" + (dir / "copy").string(), "status=none"}, true, child, message))
        << message;
    std::vector<char> data(3 * 65536 + 17);
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i * 7);
    EXPECT_TRUE(host::WriteAll(child.input, data.data(), data.size()));
    EXPECT_EQ(host::WaitForProcess(child, message), 0) << message;
    EXPECT_EQ(FileBytes(dir / "copy"), data);
    fs::remove_all(dir);
}

TEST(ChildProcesses, ExitStatusSignalsAndMissingProgramsAreReported)
{
    std::string message;
    EXPECT_EQ(host::RunProcess({host::FindOnPath("false")}, message), 1);
    EXPECT_EQ(host::RunProcess({host::FindOnPath("true")}, message), 0);
    EXPECT_EQ(host::RunProcess({"/bin/sh", "-c", "kill -TERM $$"}, message), -1);
    EXPECT_NE(message.find("signal 15"), std::string::npos) << message;
    message.clear();
    EXPECT_EQ(host::RunProcess({"/nonexistent/program"}, message), -1);
    EXPECT_NE(message.find("/nonexistent/program"), std::string::npos) << message;
    EXPECT_EQ(host::RunProcess({}, message), -1);
}

TEST(ChildProcesses, WritingToAReaderThatHasGoneFails)
{
    ::signal(SIGPIPE, SIG_IGN);
    int ends[2];
    ASSERT_EQ(::pipe(ends), 0);
    ::close(ends[0]);
    const char byte = 1;
    EXPECT_FALSE(host::WriteAll(ends[1], &byte, 1));
    ::close(ends[1]);
}

// --- The picture queue -----------------------------------------------------------

TEST(PictureQueue, PicturesAreWrittenInOrderAndAFailedWriteStopsTheRest)
{
    std::vector<int> written;  // the first byte of each picture, as the writer saw it
    host::PictureQueue queue([&](const host::Picture& picture, std::string& error) {
        written.push_back(picture.rgb.at(0));
        if (picture.path == "bad") {
            error = "cannot write bad";
            return false;
        }
        return true;
    });
    std::vector<uint8_t> rgb;
    for (int i = 0; i < 12; ++i) {
        // The buffer handed back is one the writer has finished with: filling
        // it cannot change a picture still waiting.
        rgb.assign(6, static_cast<uint8_t>(i));
        ASSERT_TRUE(queue.Push("ok", rgb, 1, 2));
    }
    std::string error;
    ASSERT_TRUE(queue.Finish(error)) << error;
    std::vector<int> expected;
    for (int i = 0; i < 12; ++i) expected.push_back(i);
    EXPECT_EQ(written, expected);

    // After a failed write the queue refuses pictures and reports the error.
    rgb.assign(6, 99);
    ASSERT_TRUE(queue.Push("bad", rgb, 1, 2));
    bool refused = false;
    for (int i = 0; i < 100 && !refused; ++i) {
        rgb.assign(6, 100);
        refused = !queue.Push("ok", rgb, 1, 2);
    }
    EXPECT_TRUE(refused);
    EXPECT_FALSE(queue.Finish(error));
    EXPECT_EQ(error, "cannot write bad");
    EXPECT_EQ(written.at(12), 99);
}

// --- WAV files ------------------------------------------------------------------

TEST(WavFiles, TheHeaderDescribesWhatWasWritten)
{
    const fs::path dir = TempFolder("wav");
    host::WavWriter wav;
    std::string message;
    ASSERT_TRUE(host::OpenWav(wav, (dir / "a.wav").string(), 44100, 2, message)) << message;
    EXPECT_TRUE(host::AppendWav(wav, {1, -1, 2, -2}));
    EXPECT_TRUE(host::AppendWav(wav, {}));
    EXPECT_TRUE(host::AppendWav(wav, {32767, -32768}));
    EXPECT_TRUE(host::CloseWav(wav));
    EXPECT_TRUE(host::CloseWav(wav)) << "closing twice is harmless";

    const auto bytes = FileBytes(dir / "a.wav");
    ASSERT_EQ(bytes.size(), 44u + 12u);
    EXPECT_EQ(std::string(bytes.data(), 4), "RIFF");
    EXPECT_EQ(Le32(bytes, 4), 36u + 12u);
    EXPECT_EQ(std::string(bytes.data() + 8, 8), "WAVEfmt ");
    EXPECT_EQ(Le16(bytes, 20), 1u);      // PCM
    EXPECT_EQ(Le16(bytes, 22), 2u);      // channels
    EXPECT_EQ(Le32(bytes, 24), 44100u);  // rate
    EXPECT_EQ(Le32(bytes, 28), 44100u * 4u);
    EXPECT_EQ(Le16(bytes, 32), 4u);
    EXPECT_EQ(Le16(bytes, 34), 16u);
    EXPECT_EQ(std::string(bytes.data() + 36, 4), "data");
    EXPECT_EQ(Le32(bytes, 40), 12u);
    EXPECT_EQ(Le16(bytes, 44 + 8), 32767u);
    EXPECT_EQ(Le16(bytes, 44 + 10), 0x8000u);
    fs::remove_all(dir);
}

TEST(WavFiles, AFileThatCannotBeMadeIsRefusedWithItsName)
{
    host::WavWriter wav;
    std::string message;
    EXPECT_FALSE(host::OpenWav(wav, "/nonexistent/folder/a.wav", 44100, 2, message));
    EXPECT_NE(message.find("/nonexistent/folder/a.wav"), std::string::npos) << message;
    EXPECT_FALSE(host::AppendWav(wav, {1, 2}));
}

TEST(WavFiles, AFileThatCannotBeWrittenWholeNeverTakesItsName)
{
    // A size limit set in this process, the write failing (EFBIG) rather than
    // the limit's signal ending the process; then a full disk (the part's
    // place taken by /dev/full). Each time the reason is kept, and neither a
    // half-written file nor its part is left; a user's older file of that
    // name stays as it was.
    const fs::path dir = TempFolder("wavlimit");
    const std::string path = (dir / "audio.wav").string();
    std::ofstream(path) << "the user's own";
    const std::vector<int16_t> second(88200, 1000);
    std::string message;
    host::WavWriter wav;
    {
        ::signal(SIGXFSZ, SIG_IGN);
        struct rlimit saved {};
        ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
        struct rlimit limited = saved;
        limited.rlim_cur = 64 * 1024;
        ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
        ASSERT_TRUE(host::OpenWav(wav, path, 44100, 2, message)) << message;
        bool appended = true;
        for (int i = 0; i < 4 && appended; ++i) appended = host::AppendWav(wav, second);
        const bool closed = host::CloseWav(wav);
        ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &saved), 0);
        ::signal(SIGXFSZ, SIG_DFL);
        EXPECT_FALSE(appended);
        EXPECT_FALSE(closed);
        EXPECT_EQ(wav.error, std::strerror(EFBIG));
    }
    EXPECT_EQ(FileBytes(path).size(), std::string("the user's own").size());
    EXPECT_FALSE(fs::exists(dir / ".audio.wav.part"));

    fs::create_symlink("/dev/full", dir / ".audio.wav.part");
    ASSERT_TRUE(host::OpenWav(wav, path, 44100, 2, message)) << message;
    host::AppendWav(wav, second);
    EXPECT_FALSE(host::CloseWav(wav));
    EXPECT_EQ(wav.error, std::strerror(ENOSPC));
    EXPECT_EQ(FileBytes(path).size(), std::string("the user's own").size());
    EXPECT_FALSE(fs::exists(fs::symlink_status(dir / ".audio.wav.part")));

    // Discarded, it never takes its name either.
    fs::remove(path);
    ASSERT_TRUE(host::OpenWav(wav, path, 44100, 2, message)) << message;
    host::AppendWav(wav, {1, 2});
    host::DiscardWav(wav);
    EXPECT_FALSE(fs::exists(path));
    EXPECT_FALSE(fs::exists(dir / ".audio.wav.part"));
    fs::remove_all(dir);
}

// --- Progress -------------------------------------------------------------------

TEST(CaptureProgress, TheLineNamesFrameMusicRateAndTimeLeft)
{
    const std::string line = host::ProgressLine(1234, 20.567, 48.25, 65.4);
    EXPECT_NE(line.find("frame 1234"), std::string::npos) << line;
    EXPECT_NE(line.find("music 20.57 s"), std::string::npos) << line;
    EXPECT_NE(line.find("48.2 fps"), std::string::npos) << line;
    EXPECT_NE(line.find("1:05 left"), std::string::npos) << line;
    EXPECT_NE(host::ProgressLine(1, 0, 1, 3725).find("1:02:05 left"), std::string::npos);
    EXPECT_NE(host::ProgressLine(1, 0, 0, -1).find("? left"), std::string::npos);
}

}  // namespace
