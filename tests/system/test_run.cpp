// End-to-end runs of the built program, headless, as a script would run it:
// the exit status of each way the show can end, the length of a full run on
// the virtual clock, and the screenshots.
#include "MeshWriter.h"
#include "RunProgram.h"
#include "SceneData.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <vector>

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

TEST_F(ProgramRun, AHeadlessRunOfATooShortSoundtrackStopsAtOnceInsteadOfLoopingForever)
{
    // The music loops back to the first scene every 12 seconds and never
    // reaches the end of the show, nor an --until past 12 s; one before it plays.
    const fs::path dir = scene_data::FreshFolder("shortsound");
    scene_data::WriteShowData(dir);
    ASSERT_TRUE(scene_data::WriteSoundtrack(dir, 12.0));
    auto result = Bralmond("--headless --fps 10", dir);
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.stderrText.find("Data\\Soundtrack.mp3 plays 12.00 seconds and loops before the music reaches "
                                     "the show's end (210 seconds); a run without a viewer would never end."),
              std::string::npos)
        << result.stderrText;
    EXPECT_LT(result.seconds, 60.0) << "found at start-up, not at the guard 300 virtual seconds on";
    result = Bralmond("--headless --fps 10 --until 20", dir);
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.stderrText.find("loops before the music reaches --until (20 seconds)"), std::string::npos)
        << result.stderrText;
    result = Bralmond("--headless --fps 10 --until 5", dir);
    EXPECT_EQ(result.status, 0) << result.stderrText;
    fs::remove_all(dir);
}

// --- Failures told with their reasons, and nothing half-written -------------

// How many times text stands in a run's error output.
size_t Occurrences(const std::string& haystack, const std::string& text)
{
    size_t count = 0;
    for (size_t at = haystack.find(text); at != std::string::npos; at = haystack.find(text, at + 1)) ++count;
    return count;
}

TEST_F(ProgramRun, AShotThatCannotBeWrittenWholeLeavesNothingUnderItsName)
{
    const fs::path out = *folder / "limited";
    fs::create_directories(out);
    // A file-size limit (512-byte blocks) far below a shot's size: the write
    // fails with its reason instead of the limit's signal killing the player.
    auto result = Bralmond("--headless --until 1.5 --shots 1 --out limited", *folder);
    ASSERT_EQ(result.status, 0) << result.stderrText;
    ASSERT_TRUE(fs::exists(out / "shot-1.png"));
    const auto whole = fs::file_size(out / "shot-1.png");
    ASSERT_GT(whole, 20u * 512);
    fs::remove(out / "shot-1.png");
    result = run_program::Run(run_program::BuiltProgram("bralmond"), "--headless --until 1.5 --shots 1 --out limited",
                              *folder, "ulimit -f 20");
    EXPECT_EQ(result.status, 1) << result.stderrText;
    EXPECT_NE(result.stderrText.find("File too large"), std::string::npos) << result.stderrText;
    EXPECT_FALSE(fs::exists(out / "shot-1.png"));
    EXPECT_FALSE(fs::exists(out / ".shot-1.png.part"));

    // A full disk (the part's place taken by /dev/full): the reason follows
    // the message, and a user's older file of that name stays as it was.
    std::ofstream(out / "shot-1.png") << "the user's own";
    fs::create_symlink("/dev/full", out / ".shot-1.png.part");
    result = Bralmond("--headless --until 1.5 --shots 1 --out limited", *folder);
    EXPECT_EQ(result.status, 1) << result.stderrText;
    EXPECT_NE(result.stderrText.find("No space left on device"), std::string::npos) << result.stderrText;
    std::ifstream kept(out / "shot-1.png");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), "the user's own");
    EXPECT_FALSE(fs::exists(fs::symlink_status(out / ".shot-1.png.part")));
}

TEST_F(ProgramRun, AnOutFolderThatCannotTakeTheShotsIsRefusedBeforeTheFirstFrame)
{
    std::ofstream(*folder / "a-file") << "not a folder";
    auto result = Bralmond("--headless --until 30 --shots 20 --out a-file", *folder);
    EXPECT_EQ(result.status, 2);
    EXPECT_NE(result.stderrText.find("the folder for --out is not a folder: a-file"), std::string::npos)
        << result.stderrText;
    const fs::path locked = *folder / "locked";
    fs::create_directories(locked);
    fs::permissions(locked, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                                fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);
    result = run_program::Run(run_program::BuiltProgram("bralmond"), "--headless --until 30 --shots 20 --out locked",
                              *folder, {}, run_program::AsAnOrdinaryUser());
    EXPECT_EQ(result.status, 2) << result.stderrText;
    EXPECT_NE(result.stderrText.find("the folder for --out is not writable: locked"), std::string::npos)
        << result.stderrText;
    EXPECT_LT(result.seconds, 10.0) << "told at once, not when the shot at 20 s is due";
}

TEST_F(ProgramRun, AFileThatCannotBeReadIsToldWithTheSystemsReason)
{
    const fs::path dir = scene_data::FreshFolder("reasons");
    scene_data::WriteShowData(dir);
    ASSERT_TRUE(scene_data::WriteSoundtrack(dir, 215.0));
    fs::permissions(dir / "Data" / "Cred2.bmp", fs::perms::none);
    auto result = run_program::Run(run_program::BuiltProgram("bralmond"), "--headless --until 1", dir, {},
                                   run_program::AsAnOrdinaryUser());
    EXPECT_EQ(result.status, 1);
    const std::string told = "BRALMOND: P_Part1: Could not create texture from file: Data\\Cred2.bmp\n"
                             "BRALMOND: the reason: Data/Cred2.bmp: Permission denied";
    EXPECT_NE(result.stderrText.find(told), std::string::npos) << result.stderrText;
    fs::permissions(dir / "Data" / "Cred2.bmp", fs::perms::owner_read | fs::perms::owner_write);

    // The soundtrack: the show's own words, then what is wrong with the file.
    const std::string missing = "BRALMOND: Can not play audio stream. Is Data\\Soundtrack.mp3 missing?\n";
    fs::remove(dir / "Data" / "Soundtrack.mp3");
    fs::create_directories(dir / "Data" / "Soundtrack.mp3");
    result = Bralmond("--headless --until 1", dir);
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.stderrText.find(missing + "BRALMOND: the reason: Data/Soundtrack.mp3: is a folder"),
              std::string::npos)
        << result.stderrText;
    fs::remove(dir / "Data" / "Soundtrack.mp3");
    std::ofstream(dir / "Data" / "Soundtrack.mp3") << std::string(4000, 'x');
    result = Bralmond("--headless --until 1", dir);
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.stderrText.find(missing + "BRALMOND: the reason: Data\\Soundtrack.mp3: holds no MPEG audio"),
              std::string::npos)
        << result.stderrText;
    fs::remove_all(dir);
}

TEST_F(ProgramRun, ALayerThatAMeshLeavesOutIsToldOnceAndTheShowPlaysOn)
{
    // A polyhedron of more vertices than the object takes, in scene 2's
    // first seconds, and a ball with a coordinate no camera can frame.
    const fs::path dir = scene_data::FreshFolder("refusedmesh");
    scene_data::WriteShowData(dir);
    ASSERT_TRUE(scene_data::WriteSoundtrack(dir, 215.0));
    ASSERT_TRUE(scene_data::WriteBallMesh(dir / "Data" / "Hedra.msh", 60001, 1.0f));
    std::vector<float> xyz = {0.0f, 0.0f, 0.0f, 1.0e30f, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f};
    ASSERT_TRUE(datagen::WriteMesh((dir / "Data" / "Stekels.msh").string(), xyz, {0, 1, 2}));
    const auto result = Bralmond("--headless --fps 10 --start 41 --until 43", dir);
    EXPECT_EQ(result.status, 0) << result.stderrText;
    EXPECT_EQ(Occurrences(result.stderrText, "P_Part2: warning: a layer is left out of its frames: "
                                             "E_Object: Number of vertices in the source mesh exceeds 60000."),
              1u)
        << result.stderrText;
    EXPECT_EQ(Occurrences(result.stderrText, "Mesh: warning: Data\\Stekels.msh has vertex coordinates that are not "
                                             "finite or beyond"),
              1u)
        << result.stderrText;
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
