// Tests of the BASS stand-in: stream life cycle and failures, the formats and
// flags it reports, the headless position on the virtual clock (looping,
// seeking), attributes, the sound a headless run plays, and the real-time
// path on SDL's dummy audio driver.
#include <bass.h>

#include "bass_decode.h"
#include "StreamSource.h"
#include "bass_host.h"
#include "bass_testing.h"
#include "call_log.h"
#include "ShellTesting.h"
#include "host.h"
#include "TestMp3.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace {

// The tone files every case shares, made once per test program.
fs::path ToneFolder()
{
    static const fs::path folder = [] {
        fs::path path = fs::temp_directory_path() / ("bass-tones-" + std::to_string(::getpid()));
        fs::create_directories(path);
        return path;
    }();
    return folder;
}

// Removes the tone files when the test program ends.
class ToneFolderCleanup : public ::testing::Environment {
public:
    void TearDown() override
    {
        std::error_code error;
        fs::remove_all(ToneFolder(), error);
    }
};
const ::testing::Environment* const kToneFolderCleanup =
    ::testing::AddGlobalTestEnvironment(new ToneFolderCleanup);

std::string ToneFile(const std::string& name, const test_mp3::Tone& tone)
{
    static std::map<std::string, std::string> made;
    auto it = made.find(name);
    if (it != made.end()) return it->second;
    std::string path = (ToneFolder() / name).string();
    EXPECT_TRUE(test_mp3::WriteToneMp3(path, tone)) << name;
    made[name] = path;
    return path;
}

test_mp3::Tone MakeTone(double seconds, int rate, int channels, double frequency = 440.0)
{
    test_mp3::Tone tone;
    tone.seconds = seconds;
    tone.sampleRate = rate;
    tone.channels = channels;
    tone.frequency = frequency;
    return tone;
}

std::string Stereo44() { return ToneFile("stereo44.mp3", MakeTone(2.0, 44100, 2)); }
std::string Mono22() { return ToneFile("mono22.mp3", MakeTone(2.0, 22050, 1)); }

bass_decode::Pcm Decode(const std::string& path)
{
    std::vector<unsigned char> bytes;
    bass_decode::Pcm pcm;
    EXPECT_TRUE(stream_source::ReadFileBytes(path, 0, 0, bytes));
    EXPECT_TRUE(bass_decode::DecodeMpegAudio(bytes.data(), bytes.size(), pcm));
    return pcm;
}

class BassTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        bass_testing::Reset();
        ResetHost();
        call_log::Take();
    }
    void TearDown() override
    {
        bass_testing::Reset();
        ResetHost();
    }
    // Initialised and started output with one stream playing looped, as the system does it.
    HSTREAM StartShow(const std::string& path)
    {
        EXPECT_TRUE(BASS_Init(-1, 41000, 0, nullptr));
        EXPECT_TRUE(BASS_Start());
        HSTREAM stream = BASS_StreamCreateFile(FALSE, const_cast<char*>(path.c_str()), 0, 0, BASS_MP3_SETPOS);
        EXPECT_NE(stream, 0u);
        EXPECT_TRUE(BASS_StreamPlay(stream, TRUE, BASS_SAMPLE_LOOP));
        return stream;
    }
    static void Frames(uint64_t count) { runtime::AdvanceVirtualFramesForTesting(count); }
    static DWORD BytesPerSecond(HSTREAM stream)
    {
        DWORD freq = 0;
        BASS_ChannelGetAttributes(stream, &freq, nullptr, nullptr);
        DWORD flags = BASS_ChannelGetFlags(stream);
        return freq * ((flags & BASS_SAMPLE_MONO) ? 1 : 2) * ((flags & BASS_SAMPLE_8BITS) ? 1 : 2);
    }
    static HSTREAM Open(const std::string& path)
    {
        return BASS_StreamCreateFile(FALSE, const_cast<char*>(path.c_str()), 0, 0, BASS_MP3_SETPOS);
    }
};

// ---------------------------------------------------------------------------
// Life cycle and failures

using BassLifecycle = BassTest;

TEST_F(BassLifecycle, CallsAreRecordedInOrder)
{
    HSTREAM stream = StartShow(Stereo44());
    EXPECT_TRUE(BASS_ChannelSetPosition(stream, 0));
    EXPECT_TRUE(BASS_ChannelSetAttributes(stream, -1, 37, -1));
    BASS_ChannelGetPosition(stream);  // queries are not recorded
    BASS_StreamFree(stream);
    BASS_Free();
    std::vector<std::string> expected{"BASS_Init",       "BASS_Start",           "BASS_StreamCreateFile",
                                      "BASS_StreamPlay", "BASS_ChannelSetPosition", "BASS_ChannelSetAttributes 37",
                                      "BASS_StreamFree", "BASS_Free"};
    EXPECT_EQ(call_log::Take(), expected);
}

TEST_F(BassLifecycle, InitOnlyOnceUntilFreed)
{
    EXPECT_TRUE(BASS_Init(-1, 41000, 0, nullptr));
    EXPECT_FALSE(BASS_Init(-1, 41000, 0, nullptr));
    BASS_Free();
    EXPECT_TRUE(BASS_Init(0, 44100, 0, nullptr));  // 0 is the first device
    BASS_Free();
    BASS_Free();  // freeing twice is harmless
}

TEST_F(BassLifecycle, BadInitArgumentsFail)
{
    EXPECT_FALSE(BASS_Init(1, 41000, 0, nullptr));  // a headless run has only the default device
    EXPECT_FALSE(BASS_Init(-3, 41000, 0, nullptr));
    EXPECT_FALSE(BASS_Init(-1, 0, 0, nullptr));
    EXPECT_FALSE(BASS_Init(-1, 1000000, 0, nullptr));
    EXPECT_FALSE(BASS_Start());  // nothing initialised
}

TEST_F(BassLifecycle, TestHooksMakeInitAndStartFail)
{
    bass_testing::FailInit(true);
    EXPECT_FALSE(BASS_Init(-1, 41000, 0, nullptr));
    EXPECT_EQ(Open(Stereo44()), 0u);  // no output, no stream
    bass_testing::FailInit(false);
    EXPECT_TRUE(BASS_Init(-1, 41000, 0, nullptr));
    bass_testing::FailStart(true);
    EXPECT_FALSE(BASS_Start());
    BASS_Free();
    std::vector<std::string> expected{"BASS_Init", "BASS_StreamCreateFile", "BASS_Init", "BASS_Start", "BASS_Free"};
    EXPECT_EQ(call_log::Take(), expected);
    bass_testing::Reset();
    EXPECT_TRUE(BASS_Init(-1, 41000, 0, nullptr));
    EXPECT_TRUE(BASS_Start());
}

TEST_F(BassLifecycle, MissingEmptyAndCorruptFilesGiveNoStream)
{
    ASSERT_TRUE(BASS_Init(-1, 41000, 0, nullptr));
    EXPECT_EQ(Open((ToneFolder() / "missing.mp3").string()), 0u);
    EXPECT_EQ(Open(ToneFolder().string()), 0u);  // a folder
    const std::string empty = (ToneFolder() / "empty.mp3").string();
    std::ofstream(empty).close();
    EXPECT_EQ(Open(empty), 0u);
    const std::string text = (ToneFolder() / "text.mp3").string();
    std::ofstream(text) << "This is not MPEG audio, only a line of text pretending to be a soundtrack.\n";
    EXPECT_EQ(Open(text), 0u);
    std::mt19937 random(7);
    for (int i = 0; i < 5; ++i) {
        const std::string noise = (ToneFolder() / ("noise" + std::to_string(i) + ".mp3")).string();
        std::ofstream file(noise, std::ios::binary);
        for (int b = 0; b < 200000; ++b) file.put(static_cast<char>(random() & 0xFF));
        file.close();
        EXPECT_EQ(Open(noise), 0u) << noise;
    }
    EXPECT_EQ(BASS_StreamCreateFile(FALSE, nullptr, 0, 0, 0), 0u);
}

TEST_F(BassLifecycle, TruncatedFilePlaysWhatIsThere)
{
    ASSERT_TRUE(BASS_Init(-1, 41000, 0, nullptr));
    ASSERT_TRUE(BASS_Start());
    std::ifstream in(Stereo44(), std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::string cut = (ToneFolder() / "cut.mp3").string();
    std::ofstream(cut, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size() / 2));
    HSTREAM stream = Open(cut);
    ASSERT_NE(stream, 0u);
    ASSERT_TRUE(BASS_StreamPlay(stream, TRUE, 0));
    Frames(600);  // far past the end
    DWORD end = BASS_ChannelGetPosition(stream);
    EXPECT_GT(end, 0.6 * 176400);
    EXPECT_LT(end, 1.4 * 176400);
}

TEST_F(BassLifecycle, WindowsPathsAndMemoryStreams)
{
    ASSERT_TRUE(BASS_Init(-1, 41000, 0, nullptr));
    ASSERT_TRUE(BASS_Start());
    fs::create_directories(ToneFolder() / "Data");
    fs::copy_file(Stereo44(), ToneFolder() / "Data" / "Soundtrack.mp3", fs::copy_options::overwrite_existing);
    const std::string windowsName = (ToneFolder() / "data").string() + "\\SOUNDTRACK.MP3";
    HSTREAM fromDisk = Open(windowsName);
    EXPECT_NE(fromDisk, 0u);

    std::ifstream in(Stereo44(), std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    HSTREAM fromMemory = BASS_StreamCreateFile(TRUE, bytes.data(), 0, static_cast<DWORD>(bytes.size()), 0);
    ASSERT_NE(fromMemory, 0u);
    EXPECT_NE(fromMemory, fromDisk);
    ASSERT_TRUE(BASS_StreamPlay(fromMemory, TRUE, 0));
    Frames(1000);
    EXPECT_EQ(BASS_ChannelGetPosition(fromMemory), Decode(Stereo44()).Frames() * 4);
    EXPECT_EQ(BASS_StreamCreateFile(TRUE, bytes.data(), 0, 0, 0), 0u);  // no length
}

TEST_F(BassLifecycle, FreedStreamsAreGone)
{
    HSTREAM stream = StartShow(Stereo44());
    BASS_StreamFree(stream);
    EXPECT_EQ(BASS_ChannelGetPosition(stream), DWORD(-1));
    EXPECT_EQ(BASS_ChannelGetFlags(stream), DWORD(-1));
    EXPECT_FALSE(BASS_ChannelGetAttributes(stream, nullptr, nullptr, nullptr));
    EXPECT_FALSE(BASS_ChannelSetPosition(stream, 0));
    EXPECT_FALSE(BASS_ChannelSetAttributes(stream, -1, 50, -1));
    EXPECT_FALSE(BASS_StreamPlay(stream, TRUE, 0));
    double seconds = 0;
    EXPECT_FALSE(host::MusicSeconds(seconds));

    HSTREAM second = Open(Stereo44());
    ASSERT_TRUE(BASS_StreamPlay(second, TRUE, BASS_SAMPLE_LOOP));
    BASS_Free();  // ends the stream with the output
    EXPECT_EQ(BASS_ChannelGetPosition(second), DWORD(-1));
    EXPECT_EQ(BASS_StreamCreateFile(FALSE, const_cast<char*>(Stereo44().c_str()), 0, 0, 0), 0u);
}

// ---------------------------------------------------------------------------
// Formats, attributes and flags

using BassFormat = BassTest;

TEST_F(BassFormat, StereoAt44100Is176400BytesASecond)
{
    HSTREAM stream = StartShow(Stereo44());
    DWORD freq = 0, volume = 0;
    int pan = 99;
    ASSERT_TRUE(BASS_ChannelGetAttributes(stream, &freq, &volume, &pan));
    EXPECT_EQ(freq, 44100u);
    EXPECT_EQ(volume, 100u);
    EXPECT_EQ(pan, 0);
    EXPECT_EQ(BASS_ChannelGetFlags(stream), DWORD(BASS_SAMPLE_LOOP));
    EXPECT_EQ(BytesPerSecond(stream), 176400u);
}

TEST_F(BassFormat, MonoAt22050Is44100BytesASecond)
{
    ASSERT_TRUE(BASS_Init(-1, 41000, 0, nullptr));
    HSTREAM stream = Open(Mono22());
    ASSERT_NE(stream, 0u);
    EXPECT_EQ(BASS_ChannelGetFlags(stream), DWORD(BASS_SAMPLE_MONO));  // not looping until played so
    ASSERT_TRUE(BASS_StreamPlay(stream, TRUE, BASS_SAMPLE_LOOP));
    EXPECT_EQ(BASS_ChannelGetFlags(stream), DWORD(BASS_SAMPLE_MONO | BASS_SAMPLE_LOOP));
    EXPECT_EQ(BytesPerSecond(stream), 44100u);
}

TEST_F(BassFormat, EveryMpegRateAndLayoutKeepsItsOwnRate)
{
    ASSERT_TRUE(BASS_Init(-1, 41000, 0, nullptr));
    for (int rate : {8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000}) {
        for (int channels : {1, 2}) {
            SCOPED_TRACE(std::to_string(rate) + " Hz, " + std::to_string(channels) + " channels");
            std::string name = "rate" + std::to_string(rate) + "x" + std::to_string(channels) + ".mp3";
            HSTREAM stream = Open(ToneFile(name, MakeTone(0.5, rate, channels)));
            ASSERT_NE(stream, 0u);
            DWORD freq = 0;
            BASS_ChannelGetAttributes(stream, &freq, nullptr, nullptr);
            EXPECT_EQ(freq, DWORD(rate));
            EXPECT_EQ(BASS_ChannelGetFlags(stream) & BASS_SAMPLE_MONO, channels == 1 ? DWORD(BASS_SAMPLE_MONO) : 0u);
            EXPECT_EQ(BASS_ChannelGetFlags(stream) & BASS_SAMPLE_8BITS, 0u);
            BASS_StreamFree(stream);
        }
    }
}

TEST_F(BassFormat, DecodedLengthMatchesTheEncodedLength)
{
    // The LAME tag carries the encoder's delay and padding, which the decoder
    // removes; what is left may differ from the input by a few samples at most.
    for (auto [rate, channels] : {std::pair{44100, 2}, {22050, 1}, {8000, 1}, {48000, 2}}) {
        std::string name = "length" + std::to_string(rate) + "x" + std::to_string(channels) + ".mp3";
        bass_decode::Pcm pcm = Decode(ToneFile(name, MakeTone(1.3, rate, channels)));
        EXPECT_EQ(pcm.rate, rate);
        EXPECT_EQ(pcm.channels, channels);
        EXPECT_NEAR(static_cast<double>(pcm.Frames()), 1.3 * rate, 2.0) << name;
    }
    // At 32 kbit/s constant the tag does not fit in a frame; the encoder's
    // delay and padding then stay in, less than two frames of 1152 samples.
    test_mp3::Tone small = MakeTone(1.3, 44100, 2);
    small.kbps = 32;
    bass_decode::Pcm pcm = Decode(ToneFile("cbr32.mp3", small));
    EXPECT_GE(pcm.Frames(), 57330u);
    EXPECT_LT(pcm.Frames(), 57330u + 2 * 1152);
    small.kbps = 128;
    EXPECT_NEAR(static_cast<double>(Decode(ToneFile("cbr128.mp3", small)).Frames()), 57330.0, 2.0);
}

TEST_F(BassFormat, Id3TagIsSkipped)
{
    test_mp3::Tone tone = MakeTone(1.0, 44100, 2);
    bass_decode::Pcm plain = Decode(ToneFile("untagged.mp3", tone));
    tone.id3v2 = true;
    const std::string tagged = ToneFile("tagged.mp3", tone);
    EXPECT_GT(fs::file_size(tagged), fs::file_size(ToneFile("untagged.mp3", tone)) + 2000);
    bass_decode::Pcm withTag = Decode(tagged);
    EXPECT_EQ(withTag.samples, plain.samples);
}

TEST_F(BassFormat, DecodedSoundIsTheTone)
{
    bass_decode::Pcm pcm = Decode(ToneFile("tone1000.mp3", MakeTone(1.0, 44100, 2, 1000.0)));
    const int16_t* middle = pcm.samples.data() + 11025 * 2;
    EXPECT_NEAR(test_mp3::MeasureFrequency(middle, 22050, 2, 0, 44100), 1000.0, 2.0);
    EXPECT_NEAR(test_mp3::MeasureFrequency(middle, 22050, 2, 1, 44100), 1000.0, 2.0);
    EXPECT_NEAR(test_mp3::MeasureLevel(middle, 22050, 2, 0), 0.5 / std::sqrt(2.0), 0.03);
}

std::vector<unsigned char> FileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<unsigned char>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// A file damaged in its middle, as a bad copy or a bad disk leaves it, plays
// on past the damage to its own end, and a glued-on frame of another format
// is left out rather than ending the sound.
TEST_F(BassFormat, DamageInTheMiddleIsSkippedToTheNextGoodFrame)
{
    test_mp3::Tone tone = MakeTone(12.0, 44100, 2, 300.0);
    tone.frequencyStep = 50.0;  // second n sounds at 300 + 50 n
    tone.kbps = 128;
    const std::vector<unsigned char> clean = FileBytes(ToneFile("steps12.mp3", tone));
    bass_decode::Pcm reference;
    ASSERT_TRUE(bass_decode::DecodeMpegAudio(clean.data(), clean.size(), reference));
    std::mt19937 random(7);
    for (const bool zeros : {false, true}) {
        std::vector<unsigned char> damaged = clean;
        const size_t length = zeros ? 2048 : 4096;
        for (size_t i = 0; i < length; ++i)
            damaged[damaged.size() / 2 + i] = zeros ? 0 : static_cast<unsigned char>(random());
        bass_decode::Pcm pcm;
        ASSERT_TRUE(bass_decode::DecodeMpegAudio(damaged.data(), damaged.size(), pcm)) << zeros;
        EXPECT_EQ(pcm.rate, 44100);
        // At 128 kbit/s the damage covers about a quarter of a second.
        EXPECT_GT(pcm.Frames(), reference.Frames() - 44100 / 2) << zeros;
        EXPECT_LE(pcm.Frames(), reference.Frames() + 1152) << zeros;
        const int16_t* last = pcm.samples.data() + (pcm.Frames() - 30000) * 2;
        EXPECT_NEAR(test_mp3::MeasureFrequency(last, 22050, 2, 0, 44100), 300.0 + 50.0 * 11, 3.0) << zeros;
    }
    // A mono stream at another rate glued between two stereo ones.
    std::vector<unsigned char> glued = clean;
    const std::vector<unsigned char> mono = FileBytes(Mono22());
    glued.insert(glued.end(), mono.begin(), mono.end());
    glued.insert(glued.end(), clean.begin(), clean.end());
    bass_decode::Pcm pcm;
    ASSERT_TRUE(bass_decode::DecodeMpegAudio(glued.data(), glued.size(), pcm));
    EXPECT_EQ(pcm.channels, 2);
    EXPECT_NEAR(static_cast<double>(pcm.Frames()) / 44100.0, 24.0, 0.2);
}

// ---------------------------------------------------------------------------
// Headless position on the virtual clock

using BassClock = BassTest;

TEST_F(BassClock, PositionAdvancesExactlyWithTheVirtualClock)
{
    HSTREAM stream = StartShow(Mono22());
    const uint64_t length = Decode(Mono22()).Frames();
    EXPECT_EQ(BASS_ChannelGetPosition(stream), 0u);
    for (uint64_t frame = 1; frame <= 100; ++frame) {
        Frames(1);
        // 22050 Hz at 60 frames a second: 367.5 sample frames a frame, rounded down.
        uint64_t expected = (frame * 22050 / 60) % length;
        ASSERT_EQ(BASS_ChannelGetPosition(stream), expected * 2) << "frame " << frame;
    }
}

TEST_F(BassClock, FortySecondsReadAsFortySeconds)
{
    test_mp3::Tone tone = MakeTone(45.0, 44100, 2);
    HSTREAM stream = StartShow(ToneFile("long.mp3", tone));
    Frames(40 * 60);
    EXPECT_EQ(BASS_ChannelGetPosition(stream), 7056000u);
    double seconds = 0;
    ASSERT_TRUE(host::MusicSeconds(seconds));
    EXPECT_EQ(seconds, 40.0);
}

TEST_F(BassClock, CountsFromThePlayCall)
{
    ASSERT_TRUE(BASS_Init(-1, 41000, 0, nullptr));
    ASSERT_TRUE(BASS_Start());
    HSTREAM stream = Open(Stereo44());
    Frames(30);
    EXPECT_EQ(BASS_ChannelGetPosition(stream), 0u);  // created, not played
    ASSERT_TRUE(BASS_StreamPlay(stream, TRUE, BASS_SAMPLE_LOOP));
    EXPECT_EQ(BASS_ChannelGetPosition(stream), 0u);
    Frames(6);
    EXPECT_EQ(BASS_ChannelGetPosition(stream), 4410u * 4);
}

TEST_F(BassClock, NothingAdvancesBeforeTheOutputStarts)
{
    ASSERT_TRUE(BASS_Init(-1, 41000, 0, nullptr));
    HSTREAM stream = Open(Stereo44());
    ASSERT_TRUE(BASS_StreamPlay(stream, TRUE, BASS_SAMPLE_LOOP));
    Frames(12);
    EXPECT_EQ(BASS_ChannelGetPosition(stream), 0u);
    ASSERT_TRUE(BASS_Start());
    Frames(6);
    EXPECT_EQ(BASS_ChannelGetPosition(stream), 4410u * 4);
}

TEST_F(BassClock, LoopedStreamWrapsAndOnlyThenGoesBack)
{
    HSTREAM stream = StartShow(Stereo44());
    const uint64_t length = Decode(Stereo44()).Frames();
    DWORD previous = BASS_ChannelGetPosition(stream);
    int wraps = 0;
    for (uint64_t frame = 1; frame <= 400; ++frame) {
        Frames(1);
        DWORD now = BASS_ChannelGetPosition(stream);
        ASSERT_EQ(now, (frame * 735) % length * 4);
        if (now < previous) {
            ++wraps;
            EXPECT_GE(previous / 4 + 735, length);  // only where the stream reached its end
        }
        previous = now;
    }
    EXPECT_EQ(wraps, static_cast<int>(400 * 735 / length));
}

TEST_F(BassClock, UnloopedStreamHoldsAtItsEnd)
{
    ASSERT_TRUE(BASS_Init(-1, 41000, 0, nullptr));
    ASSERT_TRUE(BASS_Start());
    HSTREAM stream = Open(Stereo44());
    ASSERT_TRUE(BASS_StreamPlay(stream, TRUE, 0));
    Frames(60 * 5);
    const DWORD end = static_cast<DWORD>(Decode(Stereo44()).Frames() * 4);
    EXPECT_EQ(BASS_ChannelGetPosition(stream), end);
    Frames(60);
    EXPECT_EQ(BASS_ChannelGetPosition(stream), end);
    // Playing it again without flush starts over, as it had ended.
    ASSERT_TRUE(BASS_StreamPlay(stream, FALSE, 0));
    Frames(6);
    EXPECT_EQ(BASS_ChannelGetPosition(stream), 4410u * 4);
}

TEST_F(BassClock, FractionalFrameRateStaysExact)
{
    runtime::CurrentOptions().fps = 60000.0 / 1001.0;
    test_mp3::Tone tone = MakeTone(12.0, 44100, 2);
    HSTREAM stream = StartShow(ToneFile("twelve.mp3", tone));
    for (uint64_t frame : {1u, 2u, 600u, 601u}) {
        ResetHost();
        runtime::CurrentOptions().fps = 60000.0 / 1001.0;
        ASSERT_TRUE(BASS_StreamPlay(stream, TRUE, BASS_SAMPLE_LOOP));
        Frames(frame);
        EXPECT_EQ(BASS_ChannelGetPosition(stream), frame * 1001 * 44100 / 60000 * 4) << frame;
    }
}

TEST_F(BassClock, HostSecondsAreTheSystemsSeconds)
{
    double seconds = -1;
    EXPECT_FALSE(host::MusicSeconds(seconds));
    HSTREAM stream = StartShow(Mono22());
    Frames(7);
    ASSERT_TRUE(host::MusicSeconds(seconds));
    float expected = static_cast<float>(BASS_ChannelGetPosition(stream)) / static_cast<float>(BytesPerSecond(stream));
    EXPECT_EQ(seconds, expected);
    EXPECT_NEAR(seconds, 7.0 / 60.0, 1.0 / 22050);
}

// ---------------------------------------------------------------------------
// Seeking and replaying

using BassSeek = BassTest;

TEST_F(BassSeek, PositionsExactlyAndCountsOnFromThere)
{
    HSTREAM stream = StartShow(Stereo44());
    Frames(10);
    // The system's seek to 2.9 s lands on whole seconds: 1 s here.
    ASSERT_TRUE(BASS_ChannelSetPosition(stream, 176400));
    EXPECT_EQ(BASS_ChannelGetPosition(stream), 176400u);
    Frames(6);
    EXPECT_EQ(BASS_ChannelGetPosition(stream), (44100u + 4410u) * 4);
    ASSERT_TRUE(BASS_ChannelSetPosition(stream, 0));
    EXPECT_EQ(BASS_ChannelGetPosition(stream), 0u);
}

TEST_F(BassSeek, TheHostsPauseHoldsThePositionInSilenceThroughASeekUntilItResumes)
{
    HSTREAM stream = StartShow(Stereo44());
    Frames(60);
    ASSERT_TRUE(bass_host::PauseCurrentStream(true));
    EXPECT_EQ(BASS_ChannelGetPosition(stream), 44100u * 4);
    Frames(30);
    EXPECT_EQ(BASS_ChannelGetPosition(stream), 44100u * 4) << "held";
    // A seek while paused moves the position, which holds there.
    ASSERT_TRUE(BASS_ChannelSetPosition(stream, 176400 / 2));
    Frames(30);
    EXPECT_EQ(BASS_ChannelGetPosition(stream), 176400u / 2);
    ASSERT_TRUE(bass_host::PauseCurrentStream(false));
    Frames(6);
    EXPECT_EQ(BASS_ChannelGetPosition(stream), (22050u + 4410) * 4) << "counts on from where it held";
    const auto loud = [](const std::vector<int16_t>& samples) {
        return std::any_of(samples.begin(), samples.end(), [](int16_t s) { return s != 0; });
    };
    std::vector<int16_t> sound;
    ASSERT_TRUE(bass_host::RenderPlayedAudio(1.05, 1.95, sound));
    EXPECT_FALSE(loud(sound)) << "nothing sounds while paused";
    ASSERT_TRUE(bass_host::RenderPlayedAudio(2.0, 2.1, sound));
    EXPECT_TRUE(loud(sound));
    BASS_StreamFree(stream);
    EXPECT_FALSE(bass_host::PauseCurrentStream(true)) << "no stream, no pause";
}

TEST_F(BassSeek, AtOnceAfterOpeningAFarSeekAndTheLoopAreExact)
{
    // The file is still being decoded when the stream starts: a seek close to
    // its end, its length and its loop must be those of the whole file.
    const std::string path = ToneFile("long.mp3", MakeTone(45.0, 44100, 2));
    const bass_decode::Pcm whole = Decode(path);
    HSTREAM stream = StartShow(path);
    const DWORD nearEnd = static_cast<DWORD>(whole.Frames() - 30) * 4;
    ASSERT_TRUE(BASS_ChannelSetPosition(stream, nearEnd));
    EXPECT_EQ(BASS_ChannelGetPosition(stream), nearEnd);
    Frames(1);  // 735 frames on, past the end: the loop starts again
    EXPECT_EQ(BASS_ChannelGetPosition(stream), (735u - 30u) * 4);
    EXPECT_FALSE(BASS_ChannelSetPosition(stream, static_cast<DWORD>(whole.Frames() + 1) * 4));
}

TEST_F(BassSeek, SplitFrameRoundsDownAndBeyondTheEndFails)
{
    HSTREAM stream = StartShow(Stereo44());
    ASSERT_TRUE(BASS_ChannelSetPosition(stream, 4003));
    EXPECT_EQ(BASS_ChannelGetPosition(stream), 4000u);
    const DWORD end = static_cast<DWORD>(Decode(Stereo44()).Frames() * 4);
    EXPECT_FALSE(BASS_ChannelSetPosition(stream, end + 4));
    EXPECT_EQ(BASS_ChannelGetPosition(stream), 4000u);
    EXPECT_TRUE(BASS_ChannelSetPosition(stream, end));  // the end of a looped stream is its start
    EXPECT_EQ(BASS_ChannelGetPosition(stream), 0u);
}

TEST_F(BassSeek, PlayWithoutFlushOnAPlayingStreamOnlyChangesLooping)
{
    HSTREAM stream = StartShow(Stereo44());
    const DWORD end = static_cast<DWORD>(Decode(Stereo44()).Frames() * 4);
    Frames(150);  // 2.5 s: once round and half way again
    ASSERT_TRUE(BASS_StreamPlay(stream, FALSE, 0));
    EXPECT_EQ(BASS_ChannelGetFlags(stream) & BASS_SAMPLE_LOOP, 0u);
    EXPECT_EQ(BASS_ChannelGetPosition(stream), 22050u * 4);
    Frames(30);
    EXPECT_EQ(BASS_ChannelGetPosition(stream), 44100u * 4);
    Frames(120);  // past the end of a stream that no longer loops
    EXPECT_EQ(BASS_ChannelGetPosition(stream), end);
    ASSERT_TRUE(BASS_StreamPlay(stream, FALSE, BASS_SAMPLE_LOOP));  // ended: starts over
    EXPECT_EQ(BASS_ChannelGetPosition(stream), 0u);
}

TEST_F(BassSeek, FlushRestartsAndNoFlushContinues)
{
    HSTREAM stream = StartShow(Stereo44());
    Frames(12);
    ASSERT_TRUE(BASS_StreamPlay(stream, FALSE, BASS_SAMPLE_LOOP));
    EXPECT_EQ(BASS_ChannelGetPosition(stream), 8820u * 4);
    Frames(6);
    EXPECT_EQ(BASS_ChannelGetPosition(stream), 13230u * 4);
    ASSERT_TRUE(BASS_StreamPlay(stream, TRUE, BASS_SAMPLE_LOOP));
    EXPECT_EQ(BASS_ChannelGetPosition(stream), 0u);
}

TEST_F(BassSeek, SeekBeforePlayIsWherePlayWithoutFlushBegins)
{
    ASSERT_TRUE(BASS_Init(-1, 41000, 0, nullptr));
    ASSERT_TRUE(BASS_Start());
    HSTREAM stream = Open(Mono22());
    ASSERT_TRUE(BASS_ChannelSetPosition(stream, 22050));
    Frames(20);
    EXPECT_EQ(BASS_ChannelGetPosition(stream), 22050u);
    ASSERT_TRUE(BASS_StreamPlay(stream, FALSE, 0));
    Frames(6);
    EXPECT_EQ(BASS_ChannelGetPosition(stream), 22050u + 2205u * 2);
}

// ---------------------------------------------------------------------------
// Attributes

using BassAttributes = BassTest;

TEST_F(BassAttributes, VolumeAndPanWithTheirLeaveValues)
{
    HSTREAM stream = StartShow(Stereo44());
    DWORD freq = 0, volume = 0;
    int pan = 0;
    ASSERT_TRUE(BASS_ChannelSetAttributes(stream, -1, 40, -101));
    BASS_ChannelGetAttributes(stream, &freq, &volume, &pan);
    EXPECT_EQ(volume, 40u);
    EXPECT_EQ(pan, 0);
    ASSERT_TRUE(BASS_ChannelSetAttributes(stream, 0, -1, 30));  // 0: the file's own rate
    BASS_ChannelGetAttributes(stream, &freq, &volume, &pan);
    EXPECT_EQ(freq, 44100u);
    EXPECT_EQ(volume, 40u);
    EXPECT_EQ(pan, 30);
    // As the fade passes it: frequency -1 leaves the rate; pan -1 is a pan position.
    ASSERT_TRUE(BASS_ChannelSetAttributes(stream, -1, 0, -1));
    BASS_ChannelGetAttributes(stream, &freq, &volume, &pan);
    EXPECT_EQ(volume, 0u);
    EXPECT_EQ(pan, -1);
}

TEST_F(BassAttributes, OutOfRangeValuesChangeNothing)
{
    HSTREAM stream = StartShow(Stereo44());
    ASSERT_TRUE(BASS_ChannelSetAttributes(stream, -1, 70, 10));
    EXPECT_FALSE(BASS_ChannelSetAttributes(stream, -1, 101, -101));
    EXPECT_FALSE(BASS_ChannelSetAttributes(stream, -1, -5, -101));
    EXPECT_FALSE(BASS_ChannelSetAttributes(stream, -1, 20, 101));
    EXPECT_FALSE(BASS_ChannelSetAttributes(stream, 22050, 20, -101));  // no playing at another speed
    DWORD freq = 0, volume = 0;
    int pan = 0;
    BASS_ChannelGetAttributes(stream, &freq, &volume, &pan);
    EXPECT_EQ(freq, 44100u);
    EXPECT_EQ(volume, 70u);
    EXPECT_EQ(pan, 10);
    EXPECT_TRUE(BASS_ChannelSetAttributes(stream, 44100, -1, -101));
    call_log::Take();
    BASS_ChannelSetAttributes(stream, -1, -5, -1);
    EXPECT_EQ(call_log::Take(), std::vector<std::string>{"BASS_ChannelSetAttributes -5"});
}

// ---------------------------------------------------------------------------
// The sound a headless run plays

using BassPlayedAudio = BassTest;

TEST_F(BassPlayedAudio, SilenceBeforePlayThenTheDecodedSamples)
{
    const bass_decode::Pcm pcm = Decode(Stereo44());
    ASSERT_TRUE(BASS_Init(-1, 41000, 0, nullptr));
    ASSERT_TRUE(BASS_Start());
    HSTREAM stream = Open(Stereo44());
    Frames(30);  // 0.5 s of silence
    ASSERT_TRUE(BASS_StreamPlay(stream, TRUE, BASS_SAMPLE_LOOP));
    std::vector<int16_t> out;
    ASSERT_TRUE(bass_host::RenderPlayedAudio(0.25, 1.0, out));
    ASSERT_EQ(out.size(), 33075u * 2);
    for (size_t i = 0; i < 11025 * 2; ++i) ASSERT_EQ(out[i], 0) << i;
    for (size_t i = 0; i < 22050 * 2; ++i) ASSERT_EQ(out[11025 * 2 + i], pcm.samples[i]) << i;
}

TEST_F(BassPlayedAudio, FrameByFrameTilesLikeOneCall)
{
    runtime::CurrentOptions().fps = 60000.0 / 1001.0;
    StartShow(Stereo44());
    std::vector<int16_t> whole, piece, joined;
    const double fps = runtime::CurrentOptions().fps;
    ASSERT_TRUE(bass_host::RenderPlayedAudio(0.0, 150 / fps, whole));
    for (int frame = 0; frame < 150; ++frame) {
        ASSERT_TRUE(bass_host::RenderPlayedAudio(frame / fps, (frame + 1) / fps, piece));
        joined.insert(joined.end(), piece.begin(), piece.end());
    }
    EXPECT_EQ(joined.size(), static_cast<size_t>(std::floor(150 / fps * 44100 + 1e-6)) * 2);
    EXPECT_EQ(joined, whole);
}

TEST_F(BassPlayedAudio, LoopsSeeksAndVolumeChangesApplyFromTheirFrame)
{
    const bass_decode::Pcm pcm = Decode(Stereo44());
    const size_t length = pcm.Frames();
    HSTREAM stream = StartShow(Stereo44());
    Frames(30);  // 0.5 s
    ASSERT_TRUE(BASS_ChannelSetAttributes(stream, -1, 50, -101));
    Frames(30);  // 1.0 s
    ASSERT_TRUE(BASS_ChannelSetPosition(stream, 4 * 1000));
    ASSERT_TRUE(BASS_ChannelSetAttributes(stream, -1, 100, -100));  // right silent

    std::vector<int16_t> out;
    ASSERT_TRUE(bass_host::RenderPlayedAudio(0.0, 2.0, out));
    ASSERT_EQ(out.size(), 88200u * 2);
    for (size_t k = 0; k < 22050; ++k) ASSERT_EQ(out[2 * k], pcm.samples[2 * k]) << k;
    for (size_t k = 22050; k < 44100; ++k) ASSERT_EQ(out[2 * k + 1], pcm.samples[2 * k + 1] * 50 / 100) << k;
    for (size_t k = 44100; k < 88200; ++k) {
        size_t source = (1000 + k - 44100) % length;  // the seek, then past the end and round again
        ASSERT_EQ(out[2 * k], pcm.samples[2 * source]) << k;
        ASSERT_EQ(out[2 * k + 1], 0) << k;
    }
}

TEST_F(BassPlayedAudio, TheSoundMatchesThePositionReadForEachFrame)
{
    const bass_decode::Pcm pcm = Decode(Stereo44());
    HSTREAM stream = StartShow(Stereo44());
    ASSERT_TRUE(BASS_ChannelSetPosition(stream, 4 * 5000));
    for (int frame = 0; frame < 200; ++frame) {
        // The first sample of each frame's sound is the one at the position the
        // system reads in that frame.
        DWORD position = BASS_ChannelGetPosition(stream) / 4;
        std::vector<int16_t> out;
        double now = runtime::VirtualSeconds();
        ASSERT_TRUE(bass_host::RenderPlayedAudio(now, now + 1.0 / 60, out));
        ASSERT_EQ(out.size(), 735u * 2);
        ASSERT_EQ(out[0], pcm.samples[2 * position]) << frame;
        ASSERT_EQ(out[1], pcm.samples[2 * position + 1]) << frame;
        Frames(1);
    }
}

TEST_F(BassPlayedAudio, OtherRatesAreConvertedTo44100)
{
    StartShow(Mono22());
    std::vector<int16_t> out;
    ASSERT_TRUE(bass_host::RenderPlayedAudio(0.25, 1.25, out));
    ASSERT_EQ(out.size(), 44100u * 2);
    EXPECT_NEAR(test_mp3::MeasureFrequency(out.data(), 44100, 2, 0, 44100), 440.0, 1.0);
    EXPECT_NEAR(test_mp3::MeasureLevel(out.data(), 44100, 2, 1), 0.5 / std::sqrt(2.0), 0.03);
}

TEST_F(BassPlayedAudio, NothingPlaysAfterAnUnloopedEndOrWithoutOutput)
{
    std::vector<int16_t> out{1, 2, 3};
    ASSERT_TRUE(bass_host::RenderPlayedAudio(0.0, 0.1, out));  // nothing initialised: silence
    EXPECT_EQ(out, std::vector<int16_t>(4410 * 2, 0));
    ASSERT_TRUE(BASS_Init(-1, 41000, 0, nullptr));
    ASSERT_TRUE(BASS_Start());
    HSTREAM stream = Open(Stereo44());
    ASSERT_TRUE(BASS_StreamPlay(stream, TRUE, 0));
    ASSERT_TRUE(bass_host::RenderPlayedAudio(3.0, 3.5, out));
    EXPECT_EQ(out, std::vector<int16_t>(22050 * 2, 0));
    ASSERT_TRUE(bass_host::RenderPlayedAudio(1.0, 1.0, out));
    EXPECT_TRUE(out.empty());
}

// ---------------------------------------------------------------------------
// Real time, on SDL's dummy audio driver (no sound card needed)

class BassRealTime : public BassTest {
protected:
    void SetUp() override
    {
        BassTest::SetUp();
        ::setenv("SDL_AUDIODRIVER", "dummy", 1);
        runtime::CurrentOptions().headless = false;
    }
};

TEST_F(BassRealTime, DevicePositionGrowsAndNeverGoesBack)
{
    if (!BASS_Init(-1, 41000, 0, nullptr)) GTEST_SKIP() << "no SDL audio driver";
    EXPECT_GT(bass_testing::DeviceRate(), 0);
    ASSERT_TRUE(BASS_Start());
    HSTREAM stream = Open(Mono22());  // 22050 Hz mono on a 41000 Hz output
    ASSERT_NE(stream, 0u);
    ASSERT_TRUE(BASS_StreamPlay(stream, TRUE, BASS_SAMPLE_LOOP));
    std::vector<int16_t> out;
    EXPECT_FALSE(bass_host::RenderPlayedAudio(0.0, 1.0, out));  // the sound goes to the device

    const auto start = std::chrono::steady_clock::now();
    DWORD previous = BASS_ChannelGetPosition(stream), last = previous;
    int distinct = 0;
    while (std::chrono::steady_clock::now() - start < std::chrono::milliseconds(600)) {
        DWORD now = BASS_ChannelGetPosition(stream);
        ASSERT_GE(now, previous);  // 0.6 s of a 2 s file: no wrap
        ASSERT_EQ(now % 2, 0u);
        if (now != previous) ++distinct;
        previous = now;
        last = now;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    // It moved on between callbacks too, not only in buffer-sized steps.
    EXPECT_GT(distinct, 20);
    EXPECT_GT(last, 0.2 * 44100);
    EXPECT_LT(last, 1.2 * 44100);
    ASSERT_TRUE(BASS_ChannelSetPosition(stream, 44100));
    EXPECT_EQ(BASS_ChannelGetPosition(stream), 44100u);
    BASS_Free();
    EXPECT_EQ(bass_testing::DeviceRate(), 0);
}

TEST_F(BassRealTime, NoSoundDeviceFollowsTheWallClock)
{
    ASSERT_TRUE(BASS_Init(-2, 44100, 0, nullptr));
    EXPECT_EQ(bass_testing::DeviceRate(), 0);
    ASSERT_TRUE(BASS_Start());
    HSTREAM stream = Open(Stereo44());
    ASSERT_TRUE(BASS_StreamPlay(stream, TRUE, BASS_SAMPLE_LOOP));
    DWORD first = BASS_ChannelGetPosition(stream);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    DWORD second = BASS_ChannelGetPosition(stream);
    EXPECT_GT(second, first);
    EXPECT_GE(second, 0.09 * 176400);
}

TEST_F(BassRealTime, DeviceOutputCarriesTheStreamAtTheVolumeSet)
{
    // SDL's "disk" driver writes what the device would play into a file, at the
    // pace of real time.
    const fs::path raw = ToneFolder() / "device.raw";
    ::setenv("SDL_AUDIODRIVER", "disk", 1);
    ::setenv("SDL_DISKAUDIOFILE", raw.c_str(), 1);
    if (!BASS_Init(-1, 41000, 0, nullptr) || bass_testing::DeviceRate() == 0) GTEST_SKIP() << "no disk driver";
    const int rate = bass_testing::DeviceRate();
    ASSERT_TRUE(BASS_Start());
    HSTREAM stream = Open(Stereo44());  // 44100 Hz, converted to the device's rate
    ASSERT_TRUE(BASS_StreamPlay(stream, TRUE, BASS_SAMPLE_LOOP));
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    const DWORD heardAtCut = BASS_ChannelGetPosition(stream) / 4;
    ASSERT_TRUE(BASS_ChannelSetAttributes(stream, -1, 0, -101));
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    BASS_Free();

    std::ifstream in(raw, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<int16_t> out(bytes.size() / 2);
    std::memcpy(out.data(), bytes.data(), out.size() * 2);
    const size_t frames = out.size() / 2;
    // The disk driver paces itself on the wall clock; a loaded machine may fall behind.
    ASSERT_GT(frames, static_cast<size_t>(rate * 0.4));
    // The tone, at the device's rate, on both sides ...
    const int16_t* tone = out.data() + 2 * static_cast<size_t>(rate * 0.1);
    const size_t toneFrames = static_cast<size_t>(rate * 0.25);
    EXPECT_NEAR(test_mp3::MeasureFrequency(tone, toneFrames, 2, 0, rate), 440.0, 2.0);
    EXPECT_NEAR(test_mp3::MeasureLevel(tone, toneFrames, 2, 1), 0.5 / std::sqrt(2.0), 0.03);
    // ... and silence once volume 0 has reached the output.
    const size_t tail = static_cast<size_t>(rate * 0.1);
    for (size_t i = 2 * (frames - tail); i < out.size(); ++i) ASSERT_EQ(out[i], 0) << i;
    // The position read just before the cut is what was heard then: the
    // output carries the tone for at least that long, and the cut reaches the
    // output within the device's few buffers of it.
    size_t first = 0, cut = 0;
    while (first < frames && out[2 * first] == 0 && out[2 * first + 1] == 0) ++first;
    for (size_t i = first; i < frames; ++i)
        if (out[2 * i] != 0 || out[2 * i + 1] != 0) cut = i + 1;
    const double heardSeconds = heardAtCut / 44100.0;
    const double toneSeconds = static_cast<double>(cut - first) / rate;
    EXPECT_GT(heardSeconds, 0.2);
    EXPECT_LE(heardSeconds, toneSeconds + 0.002);
    EXPECT_LT(toneSeconds - heardSeconds, 0.5);
}

TEST_F(BassRealTime, WithoutAnyAudioOutputTheDefaultDevicePlaysSilently)
{
    ::setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    EXPECT_FALSE(BASS_Init(0, 41000, 0, nullptr));  // a device asked for by number must exist
    ASSERT_TRUE(BASS_Init(-1, 41000, 0, nullptr));
    EXPECT_EQ(bass_testing::DeviceRate(), 0);
    ASSERT_TRUE(BASS_Start());
    HSTREAM stream = Open(Stereo44());
    ASSERT_TRUE(BASS_StreamPlay(stream, TRUE, BASS_SAMPLE_LOOP));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_GT(BASS_ChannelGetPosition(stream), 0u);
}

}  // namespace
