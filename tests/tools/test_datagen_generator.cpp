// Tests of the generator's run and its file output: it writes every file of
// the show into the folder, never replaces a file that is already there
// unless forced, gives the same bytes on every run, writes its two preview
// pictures, and stops with a clear message and a failure status when it
// cannot write.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "Catalog.h"
#include "Generator.h"
#include "Output.h"

using namespace datagen;
namespace fs = std::filesystem;

namespace {
fs::path TempDir(const std::string& tag)
{
    const fs::path p = fs::temp_directory_path() / ("datagen_" + tag + "_" + std::to_string(getpid()));
    fs::remove_all(p);
    return p;
}

std::vector<uint8_t> ReadAll(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteText(const fs::path& p, const std::string& text)
{
    std::ofstream(p, std::ios::binary) << text;
}

// Runs the generator and returns its status and what it printed.
int RunCaptured(const Options& o, std::string& log)
{
    std::FILE* f = std::tmpfile();
    const int status = RunGenerator(o, f);
    std::rewind(f);
    log.clear();
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) log.append(buf, n);
    std::fclose(f);
    return status;
}
}  // namespace

TEST(Output, WritesNewFilesAndKeepsExistingOnes)
{
    const fs::path dir = TempDir("output");
    std::string error;
    ASSERT_TRUE(PrepareFolder(dir.string(), error)) << error;
    EXPECT_EQ(WriteAsset(dir.string(), "a.bin", {1, 2, 3}, false, error), WriteOutcome::Written);
    EXPECT_EQ(ReadAll(dir / "a.bin"), (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_EQ(WriteAsset(dir.string(), "a.bin", {9}, false, error), WriteOutcome::Kept);
    EXPECT_EQ(ReadAll(dir / "a.bin"), (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_EQ(WriteAsset(dir.string(), "a.bin", {9}, true, error), WriteOutcome::Written);
    EXPECT_EQ(ReadAll(dir / "a.bin"), (std::vector<uint8_t>{9}));
    EXPECT_FALSE(fs::exists(dir / "a.bin.tmp"));
    fs::remove_all(dir);
}

TEST(Output, UnwritablePlacesAreReported)
{
    std::string error;
    EXPECT_FALSE(PrepareFolder("/proc/datagen-cannot-be-here", error));
    EXPECT_NE(error.find("/proc/datagen-cannot-be-here"), std::string::npos);
    error.clear();
    EXPECT_EQ(WriteAsset("/proc", "datagen.bin", {1}, false, error), WriteOutcome::Failed);
    EXPECT_NE(error.find("/proc/datagen.bin"), std::string::npos);
    // A folder whose path runs through a plain file cannot be made.
    const fs::path dir = TempDir("file");
    fs::create_directories(dir);
    WriteText(dir / "plain", "x");
    EXPECT_FALSE(PrepareFolder((dir / "plain" / "sub").string(), error));
    fs::remove_all(dir);
}

TEST(Generator, WritesEveryFileKeepsTheUsersAndRepeatsItself)
{
    const fs::path a = TempDir("runA"), b = TempDir("runB");
    fs::create_directories(a);
    // A user's own title card is left alone.
    WriteText(a / "Title.bmp", "the user's own picture");
    std::string log;
    Options o;
    o.outDir = a.string();
    ASSERT_EQ(RunCaptured(o, log), 0) << log;
    EXPECT_NE(log.find("kept   " + a.string() + "/Title.bmp"), std::string::npos) << log;
    EXPECT_EQ(ReadAll(a / "Title.bmp").size(), std::string("the user's own picture").size());
    size_t files = 0;
    for (const AssetInfo& info : Catalog()) {
        SCOPED_TRACE(info.name);
        ASSERT_TRUE(fs::exists(a / info.name));
        ++files;
        const auto size = fs::file_size(a / info.name);
        if (info.kind == AssetKind::Texture && std::string(info.name) != "Title.bmp") {
            EXPECT_EQ(size, 54u + static_cast<uintmax_t>(info.height) * ((info.width * 3 + 3) & ~3));
        }
        if (info.kind == AssetKind::Terrain) {
            EXPECT_EQ(size, 4096u);
        }
    }
    EXPECT_EQ(files, 24u);

    // A second run into another folder gives the same bytes (the soundtrack,
    // whose samples the soundtrack tests compare, is placed there first so
    // this run stays short).
    fs::create_directories(b);
    fs::copy_file(a / "Soundtrack.mp3", b / "Soundtrack.mp3");
    o.outDir = b.string();
    ASSERT_EQ(RunCaptured(o, log), 0) << log;
    for (const AssetInfo& info : Catalog()) {
        if (std::string(info.name) == "Title.bmp") continue;
        SCOPED_TRACE(info.name);
        EXPECT_TRUE(ReadAll(a / info.name) == ReadAll(b / info.name));
    }

    // Previews over a complete folder: the two pictures are written, no
    // data file is replaced.
    const auto before = fs::last_write_time(b / "Space1.bmp");
    const fs::path p = TempDir("preview");
    o.previewDir = p.string();
    ASSERT_EQ(RunCaptured(o, log), 0) << log;
    EXPECT_EQ(fs::last_write_time(b / "Space1.bmp"), before);
    EXPECT_EQ(log.find("wrote"), std::string::npos) << log;
    for (const char* png : {"contact_sheet.png", "soundtrack.png"}) {
        SCOPED_TRACE(png);
        const std::vector<uint8_t> bytes = ReadAll(p / png);
        ASSERT_GT(bytes.size(), 1000u);
        EXPECT_EQ(std::string(bytes.begin() + 1, bytes.begin() + 4), "PNG");
    }
    fs::remove_all(a);
    fs::remove_all(b);
    fs::remove_all(p);
}

TEST(Generator, UnwritableFolderFailsWithAMessage)
{
    Options o;
    o.outDir = "/proc/datagen-out";
    std::string log;
    EXPECT_NE(RunCaptured(o, log), 0);
    EXPECT_NE(log.find("datagen: "), std::string::npos);
    EXPECT_NE(log.find("/proc/datagen-out"), std::string::npos);
}
