// The catalogue of generated files and the dispatch to their makers (see
// Catalog.h).
#include "Catalog.h"

#include "Font.h"
#include "MeshWriter.h"
#include "Meshes.h"
#include "Terrain.h"
#include "Textures.h"

namespace datagen {

const std::vector<AssetInfo>& Catalog()
{
    static const std::vector<AssetInfo> list = {
        {"Space1.bmp", AssetKind::Texture, 800, 600, false},
        {"Space2.bmp", AssetKind::Texture, 800, 600, false},
        {"Cred1.bmp", AssetKind::Texture, 512, 384, false},
        {"Cred2.bmp", AssetKind::Texture, 512, 384, false},
        {"Title.bmp", AssetKind::Texture, 512, 384, false},
        {"Partikel1.bmp", AssetKind::Texture, 64, 64, false},
        {"Partikel2.bmp", AssetKind::Texture, 64, 64, false},
        {"Plane.bmp", AssetKind::Texture, 256, 256, true},
        {"Hedra.bmp", AssetKind::Texture, 256, 256, false},
        {"Blobby.bmp", AssetKind::Texture, 256, 256, false},
        {"Cyber.bmp", AssetKind::Texture, 800, 600, false},
        {"Paddo.bmp", AssetKind::Texture, 256, 256, true},
        {"Grainfield.bmp", AssetKind::Texture, 256, 256, true},
        {"Blaat.bmp", AssetKind::Texture, 256, 256, true},
        {"Hitek.bmp", AssetKind::Texture, 256, 256, true},
        {"Kots.bmp", AssetKind::Texture, 256, 256, true},
        {"Gangbang.bmp", AssetKind::Texture, 800, 600, false},
        {"Hoofdpijn.bmp", AssetKind::Texture, 256, 256, false},
        {"Bol.msh", AssetKind::Mesh},
        {"Hedra.msh", AssetKind::Mesh},
        {"Stekels.msh", AssetKind::Mesh},
        {"Scape1.map", AssetKind::Terrain},
        {"Scape2.map", AssetKind::Terrain},
        {"Soundtrack.mp3", AssetKind::Soundtrack},
    };
    return list;
}

const AssetInfo* FindAsset(const std::string& name)
{
    for (const AssetInfo& a : Catalog())
        if (name == a.name) return &a;
    return nullptr;
}

bool MakeTexture(const AssetInfo& asset, Image& out, std::string& error)
{
    const std::string name = asset.name;
    if (name == "Cred1.bmp" || name == "Cred2.bmp" || name == "Title.bmp") {
        const Font* font = SharedFont(error);
        if (!font) return false;
        out = name == "Cred1.bmp" ? MakeCredits1(*font) : name == "Cred2.bmp" ? MakeCredits2(*font) : MakeTitle(*font);
        return true;
    }
    struct Entry {
        const char* name;
        Image (*make)();
    };
    static const Entry makers[] = {
        {"Space1.bmp", MakeSpace1},       {"Space2.bmp", MakeSpace2},   {"Partikel1.bmp", MakeParticle1},
        {"Partikel2.bmp", MakeParticle2}, {"Plane.bmp", MakePlane},     {"Hedra.bmp", MakeHedraEnv},
        {"Blobby.bmp", MakeBlobbyEnv},    {"Cyber.bmp", MakeCyber},     {"Paddo.bmp", MakePaddo},
        {"Grainfield.bmp", MakeGrainfield}, {"Blaat.bmp", MakeBlaat},   {"Hitek.bmp", MakeHitek},
        {"Kots.bmp", MakeKots},           {"Gangbang.bmp", MakeGangbang}, {"Hoofdpijn.bmp", MakeHoofdpijnEnv},
    };
    for (const Entry& e : makers)
        if (name == e.name) {
            out = e.make();
            return true;
        }
    error = "no texture maker for " + name;
    return false;
}

bool MakeAssetBytes(const AssetInfo& asset, std::vector<uint8_t>& bytes, std::string& error)
{
    const std::string name = asset.name;
    switch (asset.kind) {
    case AssetKind::Texture: {
        Image img;
        if (!MakeTexture(asset, img, error)) return false;
        bytes = EncodeBmp(img);
        return true;
    }
    case AssetKind::Mesh: {
        const MeshData m = name == "Bol.msh" ? MakeBol() : name == "Hedra.msh" ? MakeHedra() : MakeStekels();
        bytes = EncodeMesh(m.xyz, m.faces);
        return true;
    }
    case AssetKind::Terrain:
        bytes = name == "Scape1.map" ? MakeScape1() : MakeScape2();
        return true;
    case AssetKind::Soundtrack:
        break;
    }
    error = name + " is not made here";
    return false;
}

}  // namespace datagen
