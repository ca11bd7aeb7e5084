// Test stand-ins for the show's data files (see SceneData.h).
#include "SceneData.h"

#include "MeshWriter.h"
#include "TestMp3.h"

#include <unistd.h>

#include <cmath>
#include <fstream>

namespace fs = std::filesystem;

namespace scene_data {

namespace {
void Put16(std::string& out, uint32_t v)
{
    out.push_back(static_cast<char>(v & 255));
    out.push_back(static_cast<char>((v >> 8) & 255));
}
void Put32(std::string& out, uint32_t v)
{
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}
}  // namespace

bool WriteBmpPixels(const fs::path& path, int width, int height, const std::vector<uint32_t>& rgb)
{
    const int rowBytes = (width * 3 + 3) & ~3;
    std::string out;
    out += "BM";
    Put32(out, 54 + rowBytes * height);
    Put32(out, 0);
    Put32(out, 54);
    Put32(out, 40);
    Put32(out, static_cast<uint32_t>(width));
    Put32(out, static_cast<uint32_t>(height));  // bottom-up
    Put16(out, 1);
    Put16(out, 24);
    Put32(out, 0);
    Put32(out, static_cast<uint32_t>(rowBytes * height));
    Put32(out, 2835);
    Put32(out, 2835);
    Put32(out, 0);
    Put32(out, 0);
    for (int y = height - 1; y >= 0; --y) {
        for (int x = 0; x < width; ++x) {
            const uint32_t c = rgb[static_cast<size_t>(y) * width + x];
            out.push_back(static_cast<char>(c & 255));
            out.push_back(static_cast<char>((c >> 8) & 255));
            out.push_back(static_cast<char>((c >> 16) & 255));
        }
        out.append(static_cast<size_t>(rowBytes - width * 3), '\0');
    }
    std::ofstream file(path, std::ios::binary);
    file << out;
    return static_cast<bool>(file);
}

bool WriteSolidBmp(const fs::path& path, int width, int height, uint32_t rgb)
{
    return WriteBmpPixels(path, width, height, std::vector<uint32_t>(static_cast<size_t>(width) * height, rgb));
}

bool WriteBallMesh(const fs::path& path, int vertexCount, float radius)
{
    std::vector<float> xyz;
    const double golden = M_PI * (3.0 - std::sqrt(5.0));
    for (int i = 0; i < vertexCount; ++i) {
        const double z = 1.0 - (2.0 * i + 1.0) / vertexCount;
        const double r = std::sqrt(1.0 - z * z);
        xyz.push_back(static_cast<float>(radius * r * std::cos(golden * i)));
        xyz.push_back(static_cast<float>(radius * r * std::sin(golden * i)));
        xyz.push_back(static_cast<float>(radius * z));
    }
    return datagen::WriteMesh(path.string(), xyz, {});
}

void WriteSceneOneData(const fs::path& dir)
{
    const fs::path data = dir / "Data";
    fs::create_directories(data);
    WriteSolidBmp(data / "Space1.bmp", 32, 24, 0x102040);
    WriteSolidBmp(data / "Space2.bmp", 32, 24, 0x000000);
    WriteSolidBmp(data / "Cred1.bmp", 32, 24, 0x400000);
    WriteSolidBmp(data / "Cred2.bmp", 32, 24, 0x004000);
    WriteSolidBmp(data / "Title.bmp", 32, 24, 0x404040);
    WriteSolidBmp(data / "Partikel1.bmp", 8, 8, 0x202020);
    WriteBallMesh(data / "Bol.msh", 500, 133.3f);
}

void WriteShowData(const fs::path& dir)
{
    WriteSceneOneData(dir);
    const fs::path data = dir / "Data";
    for (const char* name : {"Partikel2", "Plane", "Hedra", "Blobby", "Cyber", "Paddo", "Grainfield", "Blaat",
                             "Hitek", "Kots", "Gangbang", "Hoofdpijn"})
        WriteSolidBmp(data / (std::string(name) + ".bmp"), 8, 8, 0x000000);
    WriteBallMesh(data / "Hedra.msh", 32, 130.0f);
    WriteBallMesh(data / "Stekels.msh", 162, 100.0f);
    for (const char* name : {"Scape1.map", "Scape2.map"}) std::ofstream(data / name, std::ios::binary) << std::string(4096, '\0');
}

bool WriteSoundtrack(const fs::path& dir, double seconds)
{
    fs::create_directories(dir / "Data");
    test_mp3::Tone tone;
    tone.seconds = seconds;
    tone.sampleRate = 8000;
    tone.channels = 1;
    tone.frequency = 220.0;
    return test_mp3::WriteToneMp3((dir / "Data" / "Soundtrack.mp3").string(), tone);
}

fs::path FreshFolder(const std::string& tag)
{
    const fs::path dir = fs::temp_directory_path() / ("bralmond-" + tag + "-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}

}  // namespace scene_data
