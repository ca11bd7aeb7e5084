// The generator's run (see Generator.h).
#include "Generator.h"

#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include "Catalog.h"
#include "Meshes.h"
#include "Font.h"
#include "Mp3.h"
#include "Output.h"
#include "Preview.h"
#include "Song.h"
#include "Textures.h"

namespace datagen {

namespace {
// Reads back the vertex and face arrays of bytes written by EncodeMesh.
MeshData DecodeMeshForPreview(const std::vector<uint8_t>& b)
{
    MeshData m;
    auto u32 = [&](size_t at) {
        return at + 4 <= b.size() ? b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<uint32_t>(b[at + 3]) << 24) : 0u;
    };
    const uint32_t v = u32(3);
    if (7 + 12ull * v + 4 > b.size()) return m;
    m.xyz.resize(3ull * v);
    std::memcpy(m.xyz.data(), &b[7], 12ull * v);
    const uint32_t f = u32(7 + 12ull * v);
    if (11 + 12ull * v + 12ull * f > b.size()) return m;
    m.faces.resize(3ull * f);
    std::memcpy(m.faces.data(), &b[11 + 12ull * v], 12ull * f);
    return m;
}

struct Run {
    Run(const Options& o, std::FILE* l) : options(o), log(l) {}
    const Options& options;
    std::FILE* log;
    std::mutex mutex;
    bool failed = false;

    void Report(const char* what, const std::string& name, size_t bytes)
    {
        std::lock_guard<std::mutex> lock(mutex);
        std::fprintf(log, "%-6s %s/%s (%zu bytes)\n", what, options.outDir.c_str(), name.c_str(), bytes);
    }
    void Fail(const std::string& message)
    {
        std::lock_guard<std::mutex> lock(mutex);
        std::fprintf(log, "datagen: %s\n", message.c_str());
        failed = true;
    }
    void Write(const std::string& name, const std::vector<uint8_t>& bytes)
    {
        std::string error;
        switch (WriteAsset(options.outDir, name, bytes, options.force, error)) {
        case WriteOutcome::Written:
            Report("wrote", name, bytes.size());
            break;
        case WriteOutcome::Kept: {
            std::lock_guard<std::mutex> lock(mutex);
            std::fprintf(log, "kept   %s/%s (already there; --force replaces it)\n", options.outDir.c_str(), name.c_str());
            break;
        }
        case WriteOutcome::Failed:
            Fail(error);
            break;
        }
    }
};
}  // namespace

int RunGenerator(const Options& options, std::FILE* log)
{
    std::string error;
    if (!PrepareFolder(options.outDir, error) || (!options.previewDir.empty() && !PrepareFolder(options.previewDir, error))) {
        std::fprintf(log, "datagen: %s\n", error.c_str());
        return 1;
    }
    const bool preview = !options.previewDir.empty();
    // Make what is missing (everything when forced or previewing).
    std::vector<const AssetInfo*> todo;
    bool needFont = preview;
    for (const AssetInfo& a : Catalog()) {
        const bool present = FileExists(options.outDir + "/" + a.name);
        if (preview || options.force || !present) {
            todo.push_back(&a);
            const std::string n = a.name;
            if (n == "Cred1.bmp" || n == "Cred2.bmp" || n == "Title.bmp") needFont = true;
        } else {
            std::fprintf(log, "kept   %s/%s (already there; --force replaces it)\n", options.outDir.c_str(), a.name);
        }
    }
    const Font* font = nullptr;
    if (needFont && !(font = SharedFont(error))) {
        std::fprintf(log, "datagen: %s\n", error.c_str());
        return 1;
    }

    Run run(options, log);
    StereoBuffer song;
    std::vector<NamedImage> pictures;
    std::vector<NamedImage> terrains;
    std::vector<NamedImage> meshes;

    std::thread music([&] {
        bool wanted = false;
        for (const AssetInfo* a : todo) wanted |= a->kind == AssetKind::Soundtrack;
        if (!wanted) return;
        song = RenderSong();
        std::vector<uint8_t> mp3;
        std::string err;
        if (!EncodeMp3(ToPcm16(song), mp3, err)) {
            run.Fail(err);
            return;
        }
        if (!preview || options.force || !FileExists(options.outDir + "/Soundtrack.mp3")) run.Write("Soundtrack.mp3", mp3);
    });
    for (const AssetInfo* a : todo) {
        if (a->kind == AssetKind::Soundtrack) continue;
        std::vector<uint8_t> bytes;
        std::string err;
        if (a->kind == AssetKind::Texture) {
            Image img;
            if (!MakeTexture(*a, img, err)) {
                run.Fail(err);
                continue;
            }
            bytes = EncodeBmp(img);
            if (preview) pictures.push_back({a->name, std::move(img), ""});
        } else if (!MakeAssetBytes(*a, bytes, err)) {
            run.Fail(err);
            continue;
        }
        if (a->kind == AssetKind::Mesh && preview) {
            const MeshData m = DecodeMeshForPreview(bytes);
            meshes.push_back({a->name, MeshPreview(m.xyz, m.faces),
                              std::to_string(m.xyz.size() / 3) + " vertices, " + std::to_string(m.faces.size() / 3) + " faces"});
        }
        if (a->kind == AssetKind::Terrain && preview) {
            // Scene 4 shows its map upside down; preview it as seen.
            const bool flipped = std::string(a->name) == "Scape2.map";
            terrains.push_back({a->name, TerrainPreview(bytes, flipped ? -1.0 : 1.0), flipped ? "heights as seen" : "heights"});
        }
        // In preview mode existing files are still left alone.
        if (!preview || options.force || !FileExists(options.outDir + "/" + a->name)) run.Write(a->name, bytes);
    }
    music.join();

    if (preview && !run.failed) {
        for (NamedImage& t : terrains) pictures.push_back(std::move(t));
        for (NamedImage& m : meshes) pictures.push_back(std::move(m));
        const std::string sheetPath = options.previewDir + "/contact_sheet.png";
        const std::string soundPath = options.previewDir + "/soundtrack.png";
        if (!WritePng(sheetPath, ContactSheet(pictures, *font), error) ||
            !WritePng(soundPath, SoundPicture(song, ShowEvents(), *font), error)) {
            run.Fail(error);
        } else {
            std::fprintf(log, "preview %s\npreview %s\n", sheetPath.c_str(), soundPath.c_str());
        }
    }
    if (!options.iconPath.empty() && !run.failed) {
        Image icon;
        if (!MakeIcon(256, icon, error) || !WritePng(options.iconPath, icon, error))
            run.Fail(error);
        else
            std::fprintf(log, "icon   %s\n", options.iconPath.c_str());
    }
    return run.failed ? 1 : 0;
}

bool MakeIcon(int side, Image& icon, std::string& error)
{
    const Font* font = SharedFont(error);
    if (!font) return false;
    const Image title = MakeTitle(*font);
    const int height = side * title.height / title.width;
    const Image scaled = Resize(title, side, height);
    icon = Image(side, side);
    const int top = (side - height) / 2;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < side; ++x) icon.Set(x, top + y, scaled.Get(x, y));
    return true;
}

}  // namespace datagen
