// Every data file the show opens, damaged the ways a user's copy can be:
// missing, empty, cut short at several places, a folder or a FIFO in its
// place, absurd counts and indices, its name in other letters; and the
// soundtrack corrupt, silent, short or at another rate. Each case either ends
// the run with the file's message, exit status 1 and a clean shutdown within
// seconds, or, where the file is still valid, plays.
#include "RunProgram.h"
#include "SceneData.h"
#include "TestMp3.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct DataFile {
    const char* name;
    const char* message;  // what the run says when the file cannot be used
};

const DataFile kPictures[] = {
    {"Space1.bmp", "P_Part1: Could not create texture from file: Data\\Space1.bmp"},
    {"Space2.bmp", "P_Part1: Could not create texture from file: Data\\Space2.bmp"},
    {"Cred1.bmp", "P_Part1: Could not create texture from file: Data\\Cred1.bmp"},
    {"Cred2.bmp", "P_Part1: Could not create texture from file: Data\\Cred2.bmp"},
    {"Title.bmp", "P_Part1: Could not create texture from file: Data\\Title.bmp"},
    {"Partikel1.bmp", "P_Part1: Could not create texture from file: Data\\Partikel1.bmp"},
    {"Partikel2.bmp", "P_Part2: Could not create texture from file: Data\\Partikel2.bmp"},
    {"Plane.bmp", "P_Part2: Could not create texture from file: Data\\Plane.bmp"},
    {"Hedra.bmp", "P_Part2: Could not create texture from file: Data\\Hedra.bmp"},
    {"Blobby.bmp", "P_Part2: Could not create texture from file: Data\\Blobby.bmp"},
    {"Cyber.bmp", "P_Part2: Could not create texture from file: Data\\Cyber.bmp"},
    {"Paddo.bmp", "P_Part3: Could not create texture from file: Data\\Paddo.bmp"},
    {"Grainfield.bmp", "P_Part3: Could not create texture from file: Data\\Grainfield.bmp"},
    {"Blaat.bmp", "P_Part3: Could not create texture from file: Data\\Blaat.bmp"},
    {"Hitek.bmp", "P_Part4: Could not create texture from file: Data\\Hitek.bmp"},
    {"Kots.bmp", "P_Part4: Could not create texture from file: Data\\Kots.bmp"},
    {"Gangbang.bmp", "P_Part4: Could not create texture from file: Data\\Gangbang.bmp"},
    {"Hoofdpijn.bmp", "P_Part5: Could not create texture from file: Data\\Hoofdpijn.bmp"},
};
const DataFile kMeshes[] = {
    {"Bol.msh", "P_Part1: Could not load mesh from file: Data\\Bol.msh"},
    {"Hedra.msh", "P_Part2: Could not load mesh from file: Data\\Hedra.msh"},
    {"Stekels.msh", "P_Part3: Could not load mesh from file: Data\\Stekels.msh"},
};
const DataFile kMaps[] = {
    {"Scape1.map", "P_Part2: Could not load terrain map: Data\\Scape1.map"},
    {"Scape2.map", "P_Part4: Could not load terrain map: Data\\Scape2.map"},
};
const char* const kNoSoundtrack = "Can not play audio stream. Is Data\\Soundtrack.mp3 missing?";

std::vector<char> Bytes(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<char>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void Put(const fs::path& path, const std::vector<char>& bytes)
{
    fs::remove_all(path);
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// One way of damaging a file, given its path.
struct Damage {
    const char* what;
    std::function<void(const fs::path&)> apply;
};

std::vector<Damage> CommonDamage()
{
    return {
        {"missing", [](const fs::path& p) { fs::remove(p); }},
        {"empty", [](const fs::path& p) { Put(p, {}); }},
        {"cut after 10 bytes", [](const fs::path& p) { auto b = Bytes(p); b.resize(std::min<size_t>(b.size(), 10)); Put(p, b); }},
        {"cut in half", [](const fs::path& p) { auto b = Bytes(p); b.resize(b.size() / 2); Put(p, b); }},
        {"cut by one byte", [](const fs::path& p) { auto b = Bytes(p); b.pop_back(); Put(p, b); }},
        {"a folder", [](const fs::path& p) { fs::remove(p); fs::create_directory(p); }},
        {"a FIFO", [](const fs::path& p) { fs::remove(p); ::mkfifo(p.c_str(), 0600); }},
    };
}

class BadInput : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        base = new fs::path(scene_data::FreshFolder("badinput"));
        scene_data::WriteShowData(*base);
        ASSERT_TRUE(scene_data::WriteSoundtrack(*base, 215.0));
    }
    static void TearDownTestSuite()
    {
        fs::remove_all(*base);
        delete base;
    }
    // A fresh copy of the show's files with one change, run briefly.
    run_program::Result RunWith(const std::function<void(const fs::path& data)>& change)
    {
        const fs::path dir = scene_data::FreshFolder("badcase");
        fs::copy(*base / "Data", dir / "Data", fs::copy_options::recursive);
        change(dir / "Data");
        auto result = run_program::Run(run_program::BuiltProgram("bralmond"), "--headless --fps 10 --until 1", dir);
        fs::remove_all(dir);
        return result;
    }
    void ExpectRefused(const DataFile& file, const Damage& damage)
    {
        const auto result = RunWith([&](const fs::path& data) { damage.apply(data / file.name); });
        EXPECT_EQ(result.status, 1) << file.name << " " << damage.what << ": " << result.stderrText;
        EXPECT_NE(result.stderrText.find(file.message), std::string::npos)
            << file.name << " " << damage.what << ": " << result.stderrText;
        EXPECT_LT(result.seconds, 20.0) << file.name << " " << damage.what;
    }
    void ExpectPlays(const std::string& what, const std::function<void(const fs::path& data)>& change)
    {
        const auto result = RunWith(change);
        EXPECT_EQ(result.status, 0) << what << ": " << result.stderrText;
    }
    static fs::path* base;
};
fs::path* BadInput::base = nullptr;

TEST_F(BadInput, EveryDamagedPictureIsNamedAndEndsTheRun)
{
    for (const DataFile& file : kPictures)
        for (const Damage& damage : CommonDamage()) ExpectRefused(file, damage);
}

TEST_F(BadInput, EveryDamagedMeshIsNamedAndEndsTheRun)
{
    std::vector<Damage> damage = CommonDamage();
    const auto header = [](int32_t vertices, int32_t faces, int32_t index) {
        return [=](const fs::path& p) {
            std::vector<char> b = {'E', 'M', 'V'};
            const auto put = [&](const void* v, size_t n) { b.insert(b.end(), (const char*)v, (const char*)v + n); };
            const int32_t one = 1;
            const float zero = 0.0f;
            put(&vertices, 4);
            for (int i = 0; i < 3; ++i) put(&zero, 4);
            put(&faces, 4);
            for (int i = 0; i < 2; ++i) put(&one, 4);
            put(&index, 4);
            Put(p, b);
        };
    };
    damage.push_back({"an absurd vertex count", header(0x7fffffff, 1, 0)});
    damage.push_back({"a negative vertex count", header(-5, 1, 0)});
    damage.push_back({"an absurd face count", header(1, 0x7fffffff, 0)});
    damage.push_back({"a face index past the vertices", header(1, 1, 7)});
    damage.push_back({"a negative face index", header(1, 1, -1)});
    damage.push_back({"another tag", [](const fs::path& p) { auto b = Bytes(p); b[2] = 'X'; Put(p, b); }});
    for (const DataFile& file : kMeshes)
        for (const Damage& d : damage) ExpectRefused(file, d);
}

TEST_F(BadInput, EveryShortOrMissingMapIsNamedAndALongerOnePlays)
{
    for (const DataFile& file : kMaps) {
        for (const Damage& damage : CommonDamage()) ExpectRefused(file, damage);
        ExpectPlays(std::string(file.name) + " longer than 4096 bytes", [&](const fs::path& data) {
            auto b = Bytes(data / file.name);
            b.resize(9000, '\x11');
            Put(data / file.name, b);
        });
    }
}

TEST_F(BadInput, TheSoundtrackIsRefusedWhenItHoldsNoSoundAndPlayedOtherwise)
{
    for (const Damage& damage : CommonDamage()) {
        if (std::string(damage.what) == "cut in half" || std::string(damage.what) == "cut by one byte") continue;
        const DataFile soundtrack = {"Soundtrack.mp3", kNoSoundtrack};
        ExpectRefused(soundtrack, damage);
    }
    const DataFile noise = {"Soundtrack.mp3", kNoSoundtrack};
    ExpectRefused(noise, {"random bytes", [](const fs::path& p) {
                              std::mt19937 random(3);
                              std::vector<char> b(100000);
                              for (char& c : b) c = static_cast<char>(random());
                              Put(p, b);
                          }});
    const DataFile picture = {"Soundtrack.mp3", kNoSoundtrack};
    ExpectRefused(picture, {"a picture under its name", [](const fs::path& p) {
                                scene_data::WriteSolidBmp(p, 16, 16, 0x808080);
                            }});
    // Still sound: cut in half, damaged in the middle, silent, short, at other rates.
    ExpectPlays("soundtrack cut in half", [](const fs::path& data) {
        auto b = Bytes(data / "Soundtrack.mp3");
        b.resize(b.size() / 2);
        Put(data / "Soundtrack.mp3", b);
    });
    ExpectPlays("soundtrack with zeros in its middle", [](const fs::path& data) {
        auto b = Bytes(data / "Soundtrack.mp3");
        std::fill(b.begin() + b.size() / 2, b.begin() + b.size() / 2 + 2048, '\0');
        Put(data / "Soundtrack.mp3", b);
    });
    for (const test_mp3::Tone& tone : {test_mp3::Tone{.seconds = 215, .sampleRate = 44100, .channels = 2, .amplitude = 0.0},
                                        test_mp3::Tone{.seconds = 3, .sampleRate = 22050, .channels = 1},
                                        test_mp3::Tone{.seconds = 215, .sampleRate = 48000, .channels = 2},
                                        test_mp3::Tone{.seconds = 215, .sampleRate = 8000, .channels = 1}}) {
        ExpectPlays("soundtrack of " + std::to_string(tone.seconds) + " s at " + std::to_string(tone.sampleRate) + " Hz",
                    [&](const fs::path& data) { ASSERT_TRUE(test_mp3::WriteToneMp3((data / "Soundtrack.mp3").string(), tone)); });
    }
}

TEST_F(BadInput, NamesInOtherLettersStillFindTheirFiles)
{
    ExpectPlays("every name in lower case", [](const fs::path& data) {
        for (const auto& entry : fs::directory_iterator(data)) {
            std::string name = entry.path().filename().string();
            std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::tolower(c); });
            fs::rename(entry.path(), data / (name + ".tmp"));
            fs::rename(data / (name + ".tmp"), data / name);
        }
    });
    ExpectPlays("the folder in capitals", [](const fs::path& data) { fs::rename(data, data.parent_path() / "DATA"); });
}

}  // namespace
