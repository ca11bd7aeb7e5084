// End-to-end runs of the built program, headless, as a script would run it:
// the exit status of each way the show can end, the length of a full run on
// the virtual clock, and the screenshots.
#include "RunProgram.h"
#include "SceneData.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>

namespace fs = std::filesystem;

namespace {

class ProgramRun : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        folder = new fs::path(scene_data::FreshFolder("run"));
        scene_data::WriteShowData(*folder);
        ASSERT_TRUE(scene_data::WriteSoundtrack(*folder, 215.0));
    }
    static void TearDownTestSuite()
    {
        fs::remove_all(*folder);
        delete folder;
    }
    static run_program::Result Bralmond(const std::string& arguments, const fs::path& dir)
    {
        return run_program::Run(run_program::BuiltProgram("bralmond"), arguments, dir);
    }
    static fs::path* folder;
};
fs::path* ProgramRun::folder = nullptr;

TEST_F(ProgramRun, TheWholeShowEndsByItselfAtTwoHundredAndTenSeconds)
{
    const fs::path shots = *folder / "full";
    fs::create_directories(shots);
    // At 30 frames a second the last frame before the end is at 209.967 s;
    // the frame at 210 s ends the show without being presented.
    const auto result = Bralmond("--headless --fps 30 --shots 209.9,210 --out full", *folder);
    EXPECT_EQ(result.status, 0) << result.stderrText;
    EXPECT_TRUE(fs::exists(shots / "shot-209.9.png"));
    EXPECT_FALSE(fs::exists(shots / "shot-210.png"));
}

TEST_F(ProgramRun, UntilEndsTheRunLikeEscapeAndShotsAreWritten)
{
    const fs::path shots = *folder / "until";
    fs::create_directories(shots);
    const auto result = Bralmond("--headless --until 3 --shots 0.5,2.5,5 --out until", *folder);
    EXPECT_EQ(result.status, 0) << result.stderrText;
    EXPECT_TRUE(fs::exists(shots / "shot-0.5.png"));
    EXPECT_TRUE(fs::exists(shots / "shot-2.5.png"));
    EXPECT_FALSE(fs::exists(shots / "shot-5.png")) << "the run ended at 3 seconds";
}

TEST_F(ProgramRun, AMissingSoundtrackIsReportedAndFailsTheRun)
{
    const fs::path dir = scene_data::FreshFolder("nosound");
    scene_data::WriteShowData(dir);
    const auto result = Bralmond("--headless", dir);
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.stderrText.find("Can not play audio stream. Is Data\\Soundtrack.mp3 missing?"),
              std::string::npos)
        << result.stderrText;
    fs::remove_all(dir);
}

TEST_F(ProgramRun, AMissingPictureNamesTheFileAndFailsTheRun)
{
    const fs::path dir = scene_data::FreshFolder("nopicture");
    scene_data::WriteShowData(dir);
    fs::remove(dir / "Data" / "Cred2.bmp");
    const auto result = Bralmond("--headless", dir);
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.stderrText.find("P_Part1: Could not create texture from file: Data\\Cred2.bmp"),
              std::string::npos)
        << result.stderrText;
    fs::remove_all(dir);
}

TEST_F(ProgramRun, AHeadlessRunOfATooShortSoundtrackStopsInsteadOfLoopingForever)
{
    // The music loops back to the first scene every 12 seconds and never
    // reaches the end of the show.
    const fs::path dir = scene_data::FreshFolder("shortsound");
    scene_data::WriteShowData(dir);
    ASSERT_TRUE(scene_data::WriteSoundtrack(dir, 12.0));
    const auto result = Bralmond("--headless --fps 10", dir);
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.stderrText.find("did not end after 300 seconds"), std::string::npos) << result.stderrText;
    fs::remove_all(dir);
}

TEST_F(ProgramRun, AShowWithoutADisplayIsRefusedRatherThanPlayedInvisibly)
{
    // Without any display SDL would fall back to a driver that shows nothing.
    std::map<std::string, std::string> saved;
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "SDL_VIDEODRIVER"}) {
        if (const char* value = std::getenv(name)) saved[name] = value;
        ::unsetenv(name);
    }
    const auto result = Bralmond("--windowed --until 1", *folder);
    for (const auto& [name, value] : saved) ::setenv(name.c_str(), value.c_str(), 1);
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.stderrText.find("cannot open a display"), std::string::npos) << result.stderrText;
}

TEST_F(ProgramRun, MemoryStaysBoundedOverHundredsOfFrames)
{
    // The heaviest load on the renderer: two clouds of 8000 sprites a frame.
    // A renderer that queues frames without waiting for them grows by about
    // a megabyte a frame.
#ifdef BRALMOND_SANITIZED
    GTEST_SKIP() << "AddressSanitizer's shadow memory and quarantine make the peak meaningless";
#endif
    const fs::path dir = scene_data::FreshFolder("memory");
    scene_data::WriteShowData(dir);
    ASSERT_TRUE(scene_data::WriteBallMesh(dir / "Data" / "Bol.msh", 8000, 133.3f));
    ASSERT_TRUE(scene_data::WriteSoundtrack(dir, 215.0));
    const auto result = Bralmond("--headless --until 8", dir);
    EXPECT_EQ(result.status, 0) << result.stderrText;
    EXPECT_LT(result.peakKilobytes, 400L * 1024) << "peak " << result.peakKilobytes / 1024 << " MiB over 480 frames";
    fs::remove_all(dir);
}

TEST_F(ProgramRun, BadOptionsExitWithStatusTwoAndHelpWithZero)
{
    EXPECT_EQ(Bralmond("--frobnicate", *folder).status, 2);
    EXPECT_EQ(Bralmond("--until", *folder).status, 2);
    EXPECT_EQ(Bralmond("--help", *folder).status, 0);
}

}  // namespace
