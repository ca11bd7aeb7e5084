// The layers of the tree: only the OpenGL back end of the Direct3D stand-in
// calls gl* functions, the stand-ins and the runtime never include the host,
// and the resources, effects and scenes see the shell only through its device
// and clock headers.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

const char* kBackEnd = "platform/d3d8/GlBackend.cpp";

// Source lines that call an OpenGL function: gl followed by a capital, then "(".
std::vector<std::string> GlCallsIn(const fs::path& file)
{
    static const std::regex call(R"((^|[^A-Za-z0-9_])gl[A-Z][A-Za-z0-9]*\s*\()");
    std::ifstream in(file);
    std::vector<std::string> hits;
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        if (std::regex_search(line, call)) hits.push_back(file.string() + ":" + std::to_string(number) + ": " + line);
    }
    return hits;
}

fs::path SourceDir()
{
    const char* dir = std::getenv("BRALMOND_SOURCE_DIR");
    return dir ? fs::path(dir) : fs::path();
}

TEST(GlIsolationTest, TheScannerFindsCallsInTheBackEnd)
{
    const fs::path root = SourceDir();
    if (root.empty()) GTEST_SKIP() << "BRALMOND_SOURCE_DIR is not set (run through ctest)";
    EXPECT_FALSE(GlCallsIn(root / kBackEnd).empty());
}

TEST(GlIsolationTest, NoOtherSourceCallsOpenGl)
{
    const fs::path root = SourceDir();
    if (root.empty()) GTEST_SKIP() << "BRALMOND_SOURCE_DIR is not set (run through ctest)";
    std::vector<std::string> offenders;
    size_t scanned = 0;
    for (const char* folder : {"platform", "app", "resources", "effects", "parts"}) {
        const fs::path dir = root / folder;
        if (!fs::exists(dir)) continue;
        for (const auto& entry : fs::recursive_directory_iterator(dir)) {
            if (!entry.is_regular_file()) continue;
            const std::string ext = entry.path().extension().string();
            if (ext != ".cpp" && ext != ".h" && ext != ".c" && ext != ".hpp") continue;
            if (fs::relative(entry.path(), root) == fs::path(kBackEnd)) continue;
            ++scanned;
            for (const std::string& hit : GlCallsIn(entry.path())) offenders.push_back(hit);
        }
    }
    EXPECT_GT(scanned, 5u);
    std::ostringstream list;
    for (const std::string& hit : offenders) list << hit << "\n";
    EXPECT_TRUE(offenders.empty()) << "OpenGL called outside " << kBackEnd << ":\n" << list.str();
}

// Sources (.cpp, .h) under root/folder, recursively.
std::vector<fs::path> SourcesUnder(const fs::path& root, const std::string& folder)
{
    std::vector<fs::path> files;
    const fs::path dir = root / folder;
    if (!fs::exists(dir)) return files;
    for (const auto& entry : fs::recursive_directory_iterator(dir)) {
        const std::string ext = entry.path().extension().string();
        if (entry.is_regular_file() && (ext == ".cpp" || ext == ".h")) files.push_back(entry.path());
    }
    return files;
}

// The file that a quoted include names: beside the including file first,
// then in each of the include folders.
fs::path Resolve(const fs::path& file, const std::string& name, const std::vector<fs::path>& folders)
{
    if (fs::exists(file.parent_path() / name)) return fs::weakly_canonical(file.parent_path() / name);
    for (const fs::path& folder : folders)
        if (fs::exists(folder / name)) return fs::weakly_canonical(folder / name);
    return {};
}

std::vector<std::string> QuotedIncludes(const fs::path& file)
{
    static const std::regex include(R"re(^\s*#\s*include\s*"([^"]+)")re");
    std::ifstream in(file);
    std::vector<std::string> names;
    std::string line;
    std::smatch match;
    while (std::getline(in, line))
        if (std::regex_search(line, match, include)) names.push_back(match[1]);
    return names;
}

bool Inside(const fs::path& file, const fs::path& folder)
{
    const std::string f = fs::weakly_canonical(file).string(), d = fs::weakly_canonical(folder).string() + "/";
    return f.compare(0, d.size(), d) == 0;
}

// Includes that point up a floor, as "file: include".
std::vector<std::string> UpwardIncludes(const fs::path& root)
{
    std::vector<std::string> offenders;
    const fs::path platform = root / "platform", host = platform / "host", testing = platform / "testing";
    const std::vector<fs::path> platformFolders = {platform, testing, platform / "win32", platform / "d3d8",
                                                   platform / "d3dx8", platform / "bass"};
    for (const fs::path& file : SourcesUnder(root, "platform")) {
        if (Inside(file, host) || Inside(file, testing)) continue;
        for (const std::string& name : QuotedIncludes(file)) {
            const fs::path target = Resolve(file, name, platformFolders);
            if (target.empty() || Inside(target, host) || !Inside(target, platform))
                offenders.push_back(fs::relative(file, root).string() + ": " + name);
        }
    }
    const std::vector<fs::path> systemFolders = {root / "app", root / "resources", root / "effects", root / "parts"};
    for (const char* folder : {"resources", "effects", "parts"}) {
        for (const fs::path& file : SourcesUnder(root, folder)) {
            for (const std::string& name : QuotedIncludes(file)) {
                const fs::path target = Resolve(file, name, systemFolders);
                const std::string base = target.filename().string();
                if (Inside(target, root / "app") && base != "SharedDevice.h" && base != "Timer.h")
                    offenders.push_back(fs::relative(file, root).string() + ": " + name);
            }
        }
    }
    return offenders;
}

std::string Lines(const std::vector<std::string>& items)
{
    std::ostringstream list;
    for (const std::string& item : items) list << item << "\n";
    return list.str();
}

TEST(IncludeDirectionTest, TheScannerFindsIncludesThatPointUp)
{
    // A small tree with one offence of each kind and one allowed include of each.
    const fs::path root = fs::temp_directory_path() / ("layering-" + std::to_string(::getpid()));
    for (const char* dir : {"platform/host", "platform/runtime", "platform/d3d8", "app", "effects"})
        fs::create_directories(root / dir);
    const auto write = [&](const char* path, const char* text) { std::ofstream(root / path) << text; };
    write("platform/host/host.h", "#pragma once\n");
    write("platform/runtime/runtime.h", "#pragma once\n");
    write("platform/d3d8/Device.cpp", "#include \"runtime/runtime.h\"\n#include \"host/host.h\"\n");
    write("app/Shell.h", "#pragma once\n");
    write("app/SharedDevice.h", "#pragma once\n");
    write("effects/E_Thing.cpp", "#include \"SharedDevice.h\"\n#include \"Shell.h\"\n");
    const std::vector<std::string> found = UpwardIncludes(root);
    fs::remove_all(root);
    const std::vector<std::string> expected = {"platform/d3d8/Device.cpp: host/host.h", "effects/E_Thing.cpp: Shell.h"};
    EXPECT_EQ(found, expected);
}

TEST(IncludeDirectionTest, NoIncludePointsUpAFloor)
{
    const fs::path root = SourceDir();
    if (root.empty()) GTEST_SKIP() << "BRALMOND_SOURCE_DIR is not set (run through ctest)";
    ASSERT_GT(SourcesUnder(root, "platform").size(), 20u);
    const std::vector<std::string> offenders = UpwardIncludes(root);
    EXPECT_TRUE(offenders.empty()) << "includes that point up:\n" << Lines(offenders);
}

}  // namespace
