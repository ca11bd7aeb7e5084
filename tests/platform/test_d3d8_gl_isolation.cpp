// Only the OpenGL back end of the Direct3D stand-in calls gl* functions: every
// other source of the platform and the system goes through the stand-ins.
#include <gtest/gtest.h>

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

}  // namespace
