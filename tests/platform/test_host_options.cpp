// Tests of the host's command line: every option, its defaults, and the
// clear refusal of unknown or malformed options.
#include "DataFolder.h"
#include "Options.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

host::ParseResult Parse(std::vector<std::string> args, runtime::Options& options, std::string& message)
{
    args.insert(args.begin(), "bralmond");
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    return host::ParseOptions(static_cast<int>(argv.size()), argv.data(), options, message);
}

TEST(HostOptions, NoOptionsPlaysFullScreenWithSoundAtSixtyFrames)
{
    runtime::Options options;
    std::string message;
    ASSERT_EQ(Parse({}, options, message), host::ParseResult::Run);
    EXPECT_FALSE(options.headless);
    EXPECT_FALSE(options.windowed);
    EXPECT_DOUBLE_EQ(options.fps, 60.0);
    EXPECT_LT(options.until, 0.0);
    EXPECT_TRUE(options.shots.empty());
    EXPECT_EQ(options.outDir, ".");
}

TEST(HostOptions, EveryOptionIsRead)
{
    runtime::Options options;
    std::string message;
    ASSERT_EQ(Parse({"--headless", "--windowed", "--fps", "30", "--until", "41", "--shots", "5,10.5,40", "--out",
                     "pics", "--size", "1600x1200", "--vsync"},
                    options, message),
              host::ParseResult::Run)
        << message;
    EXPECT_TRUE(options.headless);
    EXPECT_TRUE(options.windowed);
    EXPECT_TRUE(options.vsync);
    EXPECT_DOUBLE_EQ(options.fps, 30.0);
    EXPECT_DOUBLE_EQ(options.until, 41.0);
    ASSERT_EQ(options.shots.size(), 3u);
    EXPECT_EQ(options.shots[1].text, "10.5") << "the time keeps its written form for the file name";
    EXPECT_DOUBLE_EQ(options.shots[1].seconds, 10.5);
    EXPECT_EQ(options.outDir, "pics");
    EXPECT_EQ(options.outputWidth, 1600);
    EXPECT_EQ(options.outputHeight, 1200);
}

TEST(HostOptions, FractionalFrameRatesAreAccepted)
{
    runtime::Options options;
    std::string message;
    ASSERT_EQ(Parse({"--fps", "60000/1001"}, options, message), host::ParseResult::Run);
    EXPECT_NEAR(options.fps, 59.94006, 1e-5);
}

TEST(HostOptions, CaptureOptionsImplyHeadlessAndKeepTheRateAsWritten)
{
    runtime::Options options;
    std::string message;
    ASSERT_EQ(Parse({"--capture", "show.MKV", "--fps", "60000/1001", "--start", "45.5", "--frames", "pics"}, options,
                    message),
              host::ParseResult::Run)
        << message;
    EXPECT_TRUE(options.headless);
    EXPECT_EQ(options.capturePath, "show.MKV");
    EXPECT_EQ(options.framesDir, "pics");
    EXPECT_EQ(options.fpsText, "60000/1001") << "ffmpeg gets the exact fraction";
    EXPECT_DOUBLE_EQ(options.start, 45.5);

    runtime::Options frames;
    ASSERT_EQ(Parse({"--frames", "out"}, frames, message), host::ParseResult::Run) << message;
    EXPECT_TRUE(frames.headless);
    EXPECT_EQ(frames.fpsText, "60");
    EXPECT_EQ(frames.start, 0.0);

    runtime::Options live;
    ASSERT_EQ(Parse({"--start", "130", "--windowed"}, live, message), host::ParseResult::Run) << message;
    EXPECT_FALSE(live.headless) << "--start alone plays live";
}

TEST(HostOptions, KeysAreReadInTimeOrderAndTheirOrderWithinATime)
{
    runtime::Options options;
    std::string message;
    ASSERT_EQ(Parse({"--headless", "--keys", "20:right,12:space,14:space,20:home,3.5:pagedown,4:pageup,5:left"},
                    options, message),
              host::ParseResult::Run)
        << message;
    const std::vector<std::pair<double, unsigned>> expected = {{3.5, 0x22}, {4, 0x21}, {5, 0x25}, {12, 0x20},
                                                               {14, 0x20}, {20, 0x27}, {20, 0x24}};
    ASSERT_EQ(options.keys.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_DOUBLE_EQ(options.keys[i].seconds, expected[i].first) << i;
        EXPECT_EQ(options.keys[i].key, expected[i].second) << i;
    }
    // A live run may stay paused: its viewer can resume it.
    runtime::Options live;
    EXPECT_EQ(Parse({"--keys", "12:space"}, live, message), host::ParseResult::Run) << message;
}

TEST(HostOptions, HelpIsRecognisedAndListsTheOptions)
{
    runtime::Options options;
    std::string message;
    EXPECT_EQ(Parse({"--help"}, options, message), host::ParseResult::Help);
    for (const char* option : {"--windowed", "--headless", "--fps", "--until", "--shots", "--out", "--size", "--start",
                               "--capture", "--frames", "--keys", "Space", "Left", "Page Up", "Home", "Escape"})
        EXPECT_NE(host::UsageText().find(option), std::string::npos) << option;
}

TEST(HostOptions, PictureQualityOptionsAreReadAndTheLevelOfFilterIsOptional)
{
    runtime::Options defaults;
    EXPECT_EQ(defaults.msaa, 0);
    EXPECT_EQ(defaults.supersample, 1);
    EXPECT_EQ(defaults.filter, runtime::TextureFilter::AsSet) << "the show's own filters unless asked";

    std::string message;
    runtime::Options options;
    ASSERT_EQ(Parse({"--msaa", "8", "--supersample", "3", "--filter", "trilinear", "--windowed"}, options, message),
              host::ParseResult::Run)
        << message;
    EXPECT_EQ(options.msaa, 8);
    EXPECT_EQ(options.supersample, 3);
    EXPECT_EQ(options.filter, runtime::TextureFilter::Trilinear);
    EXPECT_TRUE(options.windowed);

    // Alone (before another option, or last) --filter is the best the device has.
    for (const std::vector<std::string>& args : {std::vector<std::string>{"--filter", "--windowed"},
                                                 std::vector<std::string>{"--windowed", "--filter"}}) {
        runtime::Options alone;
        ASSERT_EQ(Parse(args, alone, message), host::ParseResult::Run) << message;
        EXPECT_EQ(alone.filter, runtime::TextureFilter::Anisotropic);
        EXPECT_EQ(alone.anisotropy, 0);
        EXPECT_TRUE(alone.windowed) << "the next option is not taken for a level";
    }
    runtime::Options named;
    ASSERT_EQ(Parse({"--filter=anisotropic=8"}, named, message), host::ParseResult::Run) << message;
    EXPECT_EQ(named.filter, runtime::TextureFilter::Anisotropic);
    EXPECT_EQ(named.anisotropy, 8);
    ASSERT_EQ(Parse({"--filter=bilinear"}, named, message), host::ParseResult::Run) << message;
    EXPECT_EQ(named.filter, runtime::TextureFilter::Bilinear);
    EXPECT_EQ(named.anisotropy, 0) << "a later level replaces the earlier one whole";

    // The preset for videos, which a later option refines.
    runtime::Options best;
    ASSERT_EQ(Parse({"--best-picture", "--supersample", "4"}, best, message), host::ParseResult::Run) << message;
    EXPECT_EQ(best.supersample, 4);
    EXPECT_EQ(best.filter, runtime::TextureFilter::Anisotropic);
    EXPECT_EQ(best.msaa, 0);
    for (const char* option : {"--msaa", "--supersample", "--filter", "--best-picture"})
        EXPECT_NE(host::UsageText().find(option), std::string::npos) << option;
}

TEST(HostOptions, DataAndVersionAreRead)
{
    runtime::Options options;
    std::string message;
    EXPECT_EQ(options.dataFolder, "Data") << "by default, Data in the working folder";
    ASSERT_EQ(Parse({"--data", "/srv/show"}, options, message), host::ParseResult::Run) << message;
    EXPECT_EQ(options.dataFolder, "/srv/show");
    EXPECT_EQ(Parse({"--data", ""}, options, message), host::ParseResult::Error);
    EXPECT_EQ(Parse({"--version"}, options, message), host::ParseResult::Version);
    EXPECT_EQ(host::VersionText().rfind("bralmond ", 0), 0u) << host::VersionText();
}

TEST(DataFolder, TheWorkingFolderFirstThenTheUsersThenTheInstalledShare)
{
    const char* saved = std::getenv("XDG_DATA_HOME");
    const std::string keep = saved ? saved : "";
    const std::string home = std::getenv("HOME") ? std::getenv("HOME") : "";
    ::setenv("XDG_DATA_HOME", "/home/viewer/data", 1);
    EXPECT_EQ(host::DataFolderCandidates("/opt/show/bin/bralmond"),
              (std::vector<std::string>{"Data", "/home/viewer/data/bralmond/Data", "/opt/show/share/bralmond/Data"}));
    // Unset (or not absolute, which the XDG rules ignore): the default under HOME.
    ::setenv("XDG_DATA_HOME", "relative", 1);
    ::setenv("HOME", "/home/viewer", 1);
    EXPECT_EQ(host::DataFolderCandidates("/usr/bin/bralmond")[1], "/home/viewer/.local/share/bralmond/Data");
    ::setenv("HOME", home.c_str(), 1);
    if (saved)
        ::setenv("XDG_DATA_HOME", keep.c_str(), 1);
    else
        ::unsetenv("XDG_DATA_HOME");
}

TEST(HostOptions, UnknownAndMalformedOptionsAreRefusedWithAMessage)
{
    const std::vector<std::vector<std::string>> bad = {
        {"--bogus"},          {"--fps"},           {"--fps", "0"},          {"--fps", "abc"},
        {"--fps", "60/0"},    {"--until", "-1"},   {"--until", "1e999"},    {"--shots", ""},
        {"--shots", "5,,6"},  {"--shots", "5,"},   {"--shots", "x"},        {"--size", "800"},
        {"--size", "0x600"},  {"--size", "8x6"},   {"--size", "800.5x600"}, {"--out", ""},
        {"--shots", "../5"},  {"--start", "-1"},   {"--start", "x"},        {"--start"},
        {"--capture"},        {"--capture", "show.avi"},                    {"--capture", "show"},
        {"--frames", ""},     {"--capture", "a.mp4", "--size", "801x600"},  {"--size", "800x599", "--capture", "a.mp4"},
        {"--start", "20", "--until", "20"},
        {"--msaa"},           {"--msaa", "3"},     {"--msaa", "16"},        {"--msaa", "4x"},
        {"--msaa", "-4"},     {"--supersample", "1"},                       {"--supersample", "5"},
        {"--supersample", "2.5"},                  {"--filter", "linear"},  {"--filter=anisotropic=1"},
        {"--filter=anisotropic=17"},               {"--filter", "anisotropic8"},
        {"--filter=anisotropic="},                 {"--filter=bilinear=2"}, {"--filter="},
        {"--keys"},           {"--keys", ""},      {"--keys", "12"},        {"--keys", "12:jump"},
        {"--keys", "x:space"}, {"--keys", "-1:home"}, {"--keys", "1:left,"}, {"--keys", "1:left,,2:right"},
        {"--keys", "12:Space"},
        // A headless run left paused would never end; a capture plays straight through.
        {"--headless", "--keys", "12:space"},       {"--keys", "1:space,2:space", "--frames", "out"},
        {"--keys", "1:right", "--capture", "a.mp4"},
    };
    for (const auto& args : bad) {
        runtime::Options options;
        std::string message;
        EXPECT_EQ(Parse(args, options, message), host::ParseResult::Error) << args[0];
        EXPECT_FALSE(message.empty()) << args[0];
    }
}

}  // namespace
