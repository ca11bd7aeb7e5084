// The floors of the tree and the directions between them. From the ground
// up: the runtime, the API headers (windows.h, d3d8.h, d3dx8.h, bass.h), the
// four stand-ins behind them, the show (resources, effects, scenes, shell)
// and the host. Every include, quoted or in angle brackets, may point down or
// sideways within its floor and never up; the API headers include only each
// other; the show sees of the platform only the API headers; the host or
// another stand-in sees of a stand-in only its port/ headers; the lower rooms
// of the show see the shell only through its device and clock headers; and
// no files of different folders include each other in a loop. Also: only
// the OpenGL back end of the Direct3D stand-in calls gl* functions.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

fs::path SourceDir()
{
    const char* dir = std::getenv("BRALMOND_SOURCE_DIR");
    return dir ? fs::path(dir) : fs::path();
}

bool IsSource(const fs::path& file)
{
    const std::string ext = file.extension().string();
    return ext == ".cpp" || ext == ".h" || ext == ".c" || ext == ".hpp";
}

// Sources under root/folder, recursively, in a stable order.
std::vector<fs::path> SourcesUnder(const fs::path& root, const std::string& folder)
{
    std::vector<fs::path> files;
    const fs::path dir = root / folder;
    if (!fs::exists(dir)) return files;
    for (const auto& entry : fs::recursive_directory_iterator(dir))
        if (entry.is_regular_file() && IsSource(entry.path())) files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

std::string Lines(const std::vector<std::string>& items)
{
    std::ostringstream list;
    for (const std::string& item : items) list << item << "\n";
    return list.str();
}

// --- OpenGL stays in the back end -------------------------------------------

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
    for (const char* folder : {"platform", "host", "app", "resources", "effects", "parts"}) {
        for (const fs::path& file : SourcesUnder(root, folder)) {
            if (fs::relative(file, root) == fs::path(kBackEnd)) continue;
            ++scanned;
            for (const std::string& hit : GlCallsIn(file)) offenders.push_back(hit);
        }
    }
    EXPECT_GT(scanned, 5u);
    EXPECT_TRUE(offenders.empty()) << "OpenGL called outside " << kBackEnd << ":\n" << Lines(offenders);
}

// --- The floors ---------------------------------------------------------------

// A room is a top folder of one floor: a stand-in with its port/, native/ and
// web/ folders, one of the show's four folders, the host.
struct Room {
    const char* folder;
    int floor;
};

enum Floor { kRuntime, kApi, kStandIns, kResources, kEffects, kParts, kShell, kHost };

const Room kRooms[] = {
    {"platform/runtime", kRuntime}, {"platform/include", kApi}, {"platform/win32", kStandIns},
    {"platform/d3d8", kStandIns},   {"platform/d3dx8", kStandIns}, {"platform/bass", kStandIns},
    {"resources", kResources},      {"effects", kEffects},         {"parts", kParts},
    {"app", kShell},                {"host", kHost},
};

// The shell's headers that the lower rooms of the show may include.
const char* const kShellHeadersForTheRoomsBelow[] = {"SharedDevice.h", "Timer.h"};

struct Source {
    fs::path path;        // relative to the root
    const Room* room;
};

const Room* RoomOf(const fs::path& relative)
{
    const std::string text = relative.generic_string();
    for (const Room& room : kRooms) {
        const std::string prefix = std::string(room.folder) + "/";
        if (text.compare(0, prefix.size(), prefix) == 0) return &room;
    }
    return nullptr;
}

bool InPort(const fs::path& relative, const Room& room)
{
    const std::string prefix = std::string(room.folder) + "/port/";
    return relative.generic_string().compare(0, prefix.size(), prefix) == 0;
}

// Every include of a file, quoted or in angle brackets, as written.
std::vector<std::string> IncludesOf(const fs::path& file)
{
    static const std::regex include(R"re(^\s*#\s*include\s*[<"]([^>"]+)[>"])re");
    std::ifstream in(file);
    std::vector<std::string> names;
    std::string line;
    std::smatch match;
    while (std::getline(in, line))
        if (std::regex_search(line, match, include)) names.push_back(match[1]);
    return names;
}

// The folders an include may be found in, for every kind of unit in the
// tree: the API, the runtime, each stand-in with its port and side folders,
// the show's folders, the host's; then the root and platform/ for names
// written with their folder ("host/host.h", "d3d8/Device.h").
std::vector<fs::path> IncludeFolders(const fs::path& root)
{
    std::vector<fs::path> folders;
    for (const Room& room : kRooms) {
        const fs::path dir = root / room.folder;
        folders.push_back(dir);
        for (const char* sub : {"port", "native", "web"})
            if (fs::exists(dir / sub)) folders.push_back(dir / sub);
    }
    folders.push_back(root);
    folders.push_back(root / "platform");
    return folders;
}

// The file of the tree that an include names, relative to the root: beside
// the including file first, then in the include folders; empty for a file
// outside the tree (the standard library, SDL, GoogleTest).
fs::path Resolve(const fs::path& root, const fs::path& file, const std::string& name,
                 const std::vector<fs::path>& folders)
{
    std::vector<fs::path> candidates = {(root / file).parent_path() / name};
    for (const fs::path& folder : folders) candidates.push_back(folder / name);
    for (const fs::path& candidate : candidates) {
        std::error_code error;
        if (fs::is_regular_file(candidate, error)) return fs::relative(fs::weakly_canonical(candidate), root);
    }
    return {};
}

// Why an include from `from` (in room `a`) of `to` (in room `b`) breaks the
// floors; empty when it is allowed.
std::string Breach(const fs::path& to, const Room& a, const Room& b)
{
    if (&a == &b) return {};
    if (b.floor > a.floor) {
        const bool shellHeader =
            a.floor >= kResources && a.floor < kShell && b.floor == kShell &&
            std::any_of(std::begin(kShellHeadersForTheRoomsBelow), std::end(kShellHeadersForTheRoomsBelow),
                        [&](const char* name) { return to.filename() == name; });
        if (!shellHeader) return "points up";
        return {};
    }
    if (a.floor == kApi) return "the API headers include only each other";
    if (a.floor >= kResources && a.floor <= kShell && (b.floor == kRuntime || b.floor == kStandIns))
        return "the show sees only the API headers of the platform";
    if (b.floor == kStandIns && !InPort(to, b)) return "reaches inside a stand-in: only its port/ is outward";
    return {};
}

struct Findings {
    std::vector<std::string> breaches;  // "file: include (why)"
    std::vector<std::string> loops;     // "a -> b -> ... -> a"
};

Findings CheckFloors(const fs::path& tree)
{
    const fs::path root = fs::weakly_canonical(tree);
    Findings findings;
    const std::vector<fs::path> folders = IncludeFolders(root);
    std::map<fs::path, std::vector<fs::path>> graph;  // file -> the files of the tree it includes
    for (const Room& room : kRooms) {
        for (const fs::path& absolute : SourcesUnder(root, room.folder)) {
            const fs::path file = fs::relative(absolute, root);
            std::vector<fs::path>& edges = graph[file];
            for (const std::string& name : IncludesOf(absolute)) {
                const fs::path target = Resolve(root, file, name, folders);
                if (target.empty()) continue;
                edges.push_back(target);
                const Room* to = RoomOf(target);
                if (!to) {
                    findings.breaches.push_back(file.generic_string() + ": " + name + " (outside the floors)");
                    continue;
                }
                const std::string why = Breach(target, room, *to);
                if (!why.empty()) findings.breaches.push_back(file.generic_string() + ": " + name + " (" + why + ")");
            }
        }
    }

    // Loops through files of more than one folder, each reported once.
    std::map<fs::path, int> state;  // 0 unseen, 1 on the path, 2 done
    std::vector<fs::path> path;
    std::set<std::string> seen;
    std::function<void(const fs::path&)> visit = [&](const fs::path& file) {
        state[file] = 1;
        path.push_back(file);
        for (const fs::path& next : graph[file]) {
            if (state[next] == 1) {
                auto start = std::find(path.begin(), path.end(), next);
                std::set<fs::path> dirs;
                std::string text;
                for (auto it = start; it != path.end(); ++it) {
                    dirs.insert(it->parent_path());
                    text += it->generic_string() + " -> ";
                }
                text += next.generic_string();
                if (dirs.size() > 1 && seen.insert(text).second) findings.loops.push_back(text);
            } else if (state[next] == 0) {
                visit(next);
            }
        }
        path.pop_back();
        state[file] = 2;
    };
    for (const auto& entry : graph)
        if (state[entry.first] == 0) visit(entry.first);

    // Loops between the rooms of one floor (a stand-in that includes another
    // that includes it), which the floors alone would allow.
    std::map<const Room*, std::set<const Room*>> rooms;
    for (const auto& entry : graph)
        for (const fs::path& target : entry.second) {
            const Room* a = RoomOf(entry.first);
            const Room* b = RoomOf(target);
            if (a && b && a != b && a->floor == b->floor) rooms[a].insert(b);
        }
    for (const auto& entry : rooms)
        for (const Room* b : entry.second)
            if (rooms[b].count(entry.first) && entry.first < b)
                findings.loops.push_back(std::string(entry.first->folder) + " <-> " + b->folder);
    return findings;
}

// A small tree with one allowed include and one offence of each kind, in
// both forms of include.
class FixtureTree : public ::testing::Test {
protected:
    void SetUp() override
    {
        root = fs::temp_directory_path() / ("layering-" + std::to_string(::getpid()) + "-" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root);
    }
    void TearDown() override { fs::remove_all(root); }

    void Write(const std::string& path, const std::string& text)
    {
        fs::create_directories((root / path).parent_path());
        std::ofstream(root / path) << text;
    }

    // One file of each floor, each including only what it may.
    void WriteAllowedTree()
    {
        Write("platform/runtime/runtime.h", "#pragma once\n");
        Write("platform/include/windows.h", "#pragma once\n");
        Write("platform/include/d3d8.h", "#include <windows.h>\n");
        Write("platform/win32/port/win32_host.h", "#include <windows.h>\n");
        Write("platform/win32/Display.h", "#pragma once\n");
        Write("platform/win32/native/Display.cpp", "#include \"Display.h\"\n#include \"runtime.h\"\n");
        Write("platform/d3d8/Device.h", "#include <d3d8.h>\n");
        Write("platform/d3d8/Device.cpp",
              "#include \"Device.h\"\n#include \"win32_host.h\"\n#include <runtime.h>\n#include <vector>\n");
        Write("platform/d3d8/port/d3d8_host.h", "#include <d3d8.h>\n");
        Write("resources/Mesh.h", "#include <d3d8.h>\n");
        Write("effects/E_Thing.cpp", "#include \"Mesh.h\"\n#include \"SharedDevice.h\"\n#include <Timer.h>\n");
        Write("parts/P_Part.h", "#pragma once\n");
        Write("parts/P_Scene.cpp", "#include \"P_Part.h\"\n#include \"E_Thing.h\"\n");
        Write("effects/E_Thing.h", "#pragma once\n");
        Write("app/SharedDevice.h", "#include <d3d8.h>\n");
        Write("app/Timer.h", "#pragma once\n");
        Write("app/Shell.h", "#include \"SharedDevice.h\"\n");
        Write("app/Scenes.cpp", "#include \"P_Part.h\"\n#include \"Shell.h\"\n");
        Write("host/host.h", "#include \"runtime.h\"\n#include \"d3d8_host.h\"\n");
        Write("host/native/Main.cpp", "#include \"host.h\"\n#include <Shell.h>\n#include <SDL.h>\n");
    }

    fs::path root;
};

TEST_F(FixtureTree, AllowsWhatPointsDownOrSideways)
{
    WriteAllowedTree();
    const Findings findings = CheckFloors(root);
    EXPECT_TRUE(findings.breaches.empty()) << Lines(findings.breaches);
    EXPECT_TRUE(findings.loops.empty()) << Lines(findings.loops);
}

TEST_F(FixtureTree, RejectsEveryUpwardInclude)
{
    WriteAllowedTree();
    // One upward include on every floor, in both forms.
    Write("platform/runtime/Runtime.cpp", "#include \"runtime.h\"\n#include \"win32_host.h\"\n");
    Write("platform/runtime/Clock.cpp", "#include <windows.h>\n");
    Write("platform/include/d3dx8.h", "#include <d3d8.h>\n#include \"Device.h\"\n#include <runtime.h>\n");
    Write("platform/d3d8/Resources.cpp", "#include <host/host.h>\n");
    Write("resources/Mesh.cpp", "#include \"Mesh.h\"\n#include \"E_Thing.h\"\n");
    Write("effects/Quads.cpp", "#include <P_Part.h>\n#include \"Shell.h\"\n");
    Write("parts/P_Other.cpp", "#include \"Scenes.cpp\"\n");
    Write("app/Main.cpp", "#include \"host/host.h\"\n");
    const Findings findings = CheckFloors(root);
    const std::vector<std::string> expected = {
        "platform/runtime/Clock.cpp: windows.h (points up)",
        "platform/runtime/Runtime.cpp: win32_host.h (points up)",
        "platform/include/d3dx8.h: Device.h (points up)",
        "platform/include/d3dx8.h: runtime.h (the API headers include only each other)",
        "platform/d3d8/Resources.cpp: host/host.h (points up)",
        "resources/Mesh.cpp: E_Thing.h (points up)",
        "effects/Quads.cpp: P_Part.h (points up)",
        "effects/Quads.cpp: Shell.h (points up)",
        "parts/P_Other.cpp: Scenes.cpp (points up)",
        "app/Main.cpp: host/host.h (points up)",
    };
    EXPECT_EQ(findings.breaches, expected) << Lines(findings.breaches);
}

TEST_F(FixtureTree, RejectsTheShowReachingPastTheApiAndOneStandInReachingIntoAnother)
{
    WriteAllowedTree();
    Write("effects/Planes.cpp", "#include \"Device.h\"\n#include <runtime.h>\n#include \"d3d8_host.h\"\n");
    Write("app/Main.cpp", "#include <win32_host.h>\n");
    Write("platform/win32/Files.cpp", "#include \"d3d8/Device.h\"\n");
    Write("host/Capture.cpp", "#include \"Display.h\"\n");
    const Findings findings = CheckFloors(root);
    const std::vector<std::string> expected = {
        "platform/win32/Files.cpp: d3d8/Device.h (reaches inside a stand-in: only its port/ is outward)",
        "effects/Planes.cpp: Device.h (the show sees only the API headers of the platform)",
        "effects/Planes.cpp: runtime.h (the show sees only the API headers of the platform)",
        "effects/Planes.cpp: d3d8_host.h (the show sees only the API headers of the platform)",
        "app/Main.cpp: win32_host.h (the show sees only the API headers of the platform)",
        "host/Capture.cpp: Display.h (reaches inside a stand-in: only its port/ is outward)",
    };
    EXPECT_EQ(findings.breaches, expected) << Lines(findings.breaches);
}

TEST_F(FixtureTree, RejectsLoops)
{
    WriteAllowedTree();
    // Two headers of different folders that include each other, and two
    // stand-ins that include each other's outward headers.
    Write("platform/d3d8/port/d3d8_testing.h", "#include \"Device.h\"\n");
    Write("platform/d3d8/Device.h", "#include <d3d8.h>\n#include \"d3d8_testing.h\"\n");
    Write("platform/win32/Window.cpp", "#include \"d3d8_host.h\"\n");
    const Findings findings = CheckFloors(root);
    EXPECT_TRUE(findings.breaches.empty()) << Lines(findings.breaches);
    const std::vector<std::string> expected = {
        "platform/d3d8/Device.h -> platform/d3d8/port/d3d8_testing.h -> platform/d3d8/Device.h",
        "platform/win32 <-> platform/d3d8",
    };
    EXPECT_EQ(findings.loops, expected) << Lines(findings.loops);
}

TEST(IncludeDirectionTest, NoIncludeOfTheTreeBreaksTheFloors)
{
    const fs::path root = SourceDir();
    if (root.empty()) GTEST_SKIP() << "BRALMOND_SOURCE_DIR is not set (run through ctest)";
    ASSERT_GT(SourcesUnder(root, "platform").size(), 20u);
    ASSERT_GT(SourcesUnder(root, "host").size(), 10u);
    const Findings findings = CheckFloors(root);
    EXPECT_TRUE(findings.breaches.empty()) << "includes that break the floors:\n" << Lines(findings.breaches);
    EXPECT_TRUE(findings.loops.empty()) << "include loops:\n" << Lines(findings.loops);
}

}  // namespace
