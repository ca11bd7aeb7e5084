// The installed show: `cmake --install` of the build into a folder of the
// test's, the installed player finding its data from any working folder
// (and with --data) and showing what the build's player shows, the message
// of a player with no data anywhere, and the desktop entry and manual pages
// as the desktop's and man's own checks read them.
#include "RunProgram.h"
#include "SceneData.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace fs = std::filesystem;

namespace {

std::string Bytes(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool Have(const std::string& tool)
{
    return std::system(("command -v " + tool + " > /dev/null 2>&1").c_str()) == 0;
}

class Installed : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        root = new fs::path(scene_data::FreshFolder("install"));
        prefix = new fs::path(*root / "usr");
        const fs::path build = run_program::BuiltProgram("bralmond").parent_path();
        const std::string command = "'" + run_program::CMakeCommand() + "' --install '" + build.string() +
                                    "' --prefix '" + prefix->string() + "' > /dev/null";
        installed = std::system(command.c_str()) == 0;
    }
    static void TearDownTestSuite()
    {
        fs::remove_all(*root);
        delete prefix;
        delete root;
    }
    void SetUp() override
    {
        if (!installed) GTEST_FAIL() << "cmake --install failed";
    }

    // The player's shot at 44 s (scene 2), taken in a fresh working folder
    // with no Data of its own and no user's data folder.
    static run_program::Result ShotAt44(const fs::path& player, const std::string& more, const fs::path& folder)
    {
        fs::create_directories(folder);
        return run_program::Run(player, "--headless --start 44 --until 44.2 --shots 44 --out . " + more, folder,
                                "export XDG_DATA_HOME='" + (*root / "no-user-data").string() + "'");
    }

    static fs::path* root;
    static fs::path* prefix;
    static bool installed;
};
fs::path* Installed::root = nullptr;
fs::path* Installed::prefix = nullptr;
bool Installed::installed = false;

TEST_F(Installed, EveryPartIsInItsPlace)
{
    for (const char* file : {"bin/bralmond", "bin/bralmond-datagen", "share/bralmond/Data/Soundtrack.mp3",
                             "share/bralmond/Data/Title.bmp", "share/bralmond/Data/Scape2.map",
                             "share/applications/bralmond.desktop", "share/icons/hicolor/256x256/apps/bralmond.png",
                             "share/man/man6/bralmond.6.gz", "share/man/man6/bralmond-datagen.6.gz",
                             "share/doc/bralmond/README.md", "share/doc/bralmond/copyright",
                             "share/doc/bralmond/changelog.gz"})
        EXPECT_TRUE(fs::is_regular_file(*prefix / file)) << file;
    size_t data = 0;
    for (const auto& entry : fs::directory_iterator(*prefix / "share/bralmond/Data")) data += entry.is_regular_file();
    EXPECT_EQ(data, 24u) << "the generator's 24 files";
    const auto version = run_program::Run(*prefix / "bin/bralmond", "--version", *root);
    EXPECT_EQ(version.status, 0);
}

TEST_F(Installed, ThePlayerFindsItsDataFromAnyFolderAndShowsWhatTheBuildShows)
{
    // The build's player, on the data the build made for installing.
    const fs::path build = run_program::BuiltProgram("bralmond").parent_path();
    const auto reference = ShotAt44(build / "bralmond", "--data '" + (build / "install-data/Data").string() + "'",
                                    *root / "reference");
    ASSERT_EQ(reference.status, 0) << reference.stderrText;
    const std::string expected = Bytes(*root / "reference/shot-44.png");
    ASSERT_FALSE(expected.empty());

    const auto found = ShotAt44(*prefix / "bin/bralmond", "", *root / "elsewhere");
    ASSERT_EQ(found.status, 0) << found.stderrText;
    EXPECT_EQ(Bytes(*root / "elsewhere/shot-44.png"), expected) << "byte-identical";

    const auto named = ShotAt44(*prefix / "bin/bralmond",
                                "--data '" + (*prefix / "share/bralmond/Data").string() + "'", *root / "named");
    ASSERT_EQ(named.status, 0) << named.stderrText;
    EXPECT_EQ(Bytes(*root / "named/shot-44.png"), expected);

    const auto missing = ShotAt44(*prefix / "bin/bralmond", "--data nowhere", *root / "badnamed");
    EXPECT_EQ(missing.status, 2);
    EXPECT_NE(missing.stderrText.find("the folder for --data does not exist: nowhere"), std::string::npos)
        << missing.stderrText;
}

TEST_F(Installed, APlayerWithNoDataAnywhereSaysWhereItLookedAndHowToMakeIt)
{
    // The player alone, with no share/ beside its bin/.
    const fs::path bare = *root / "bare/bin";
    fs::create_directories(bare);
    fs::copy_file(*prefix / "bin/bralmond", bare / "bralmond");
    const auto result = ShotAt44(bare / "bralmond", "", *root / "nodata");
    EXPECT_EQ(result.status, 1);
    const std::string& text = result.stderrText;
    EXPECT_NE(text.find("bralmond: no data for the show: there is no Data folder in the working folder"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find((*root / "no-user-data/bralmond/Data").string()), std::string::npos) << text;
    EXPECT_NE(text.find((*root / "bare/share/bralmond/Data").string()), std::string::npos) << text;
    EXPECT_NE(text.find("bralmond-datagen --out DIR"), std::string::npos) << text;
    EXPECT_FALSE(fs::exists(*root / "nodata/shot-44.png"));
}

TEST_F(Installed, TheDesktopEntryAndTheManualPagesPassTheirChecks)
{
    if (!Have("desktop-file-validate") || !Have("man")) GTEST_SKIP() << "desktop-file-utils or man-db is missing";
    const fs::path entry = *prefix / "share/applications/bralmond.desktop";
    auto result = run_program::Run("/usr/bin/desktop-file-validate", "'" + entry.string() + "'", *root);
    EXPECT_EQ(result.status, 0) << result.stderrText;
    EXPECT_TRUE(result.stderrText.empty()) << result.stderrText;
    for (const char* page : {"bralmond.6.gz", "bralmond-datagen.6.gz"}) {
        const fs::path path = *prefix / "share/man/man6" / page;
        result = run_program::Run("/usr/bin/man", "--warnings -l '" + path.string() + "'", *root,
                                  "export MANWIDTH=80 MAN_KEEP_FORMATTING=1");
        EXPECT_EQ(result.status, 0) << page << result.stderrText;
        EXPECT_TRUE(result.stderrText.empty()) << page << ": " << result.stderrText;
    }
}

}  // namespace
