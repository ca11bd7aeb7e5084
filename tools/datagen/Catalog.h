// The list of every file the show loads from its data folder, with what the
// generator needs to know about each (kind, picture size, whether it must
// tile), and the functions that make one file's contents.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Image.h"

namespace datagen {

enum class AssetKind { Texture, Mesh, Terrain, Soundtrack };

struct AssetInfo {
    const char* name;  // file name inside the data folder
    AssetKind kind;
    int width = 0, height = 0;  // textures only
    bool tiles = false;         // textures drawn tiled or wrapped
};

const std::vector<AssetInfo>& Catalog();
const AssetInfo* FindAsset(const std::string& name);

// Draws a texture of the catalogue; false with a message (for instance when
// the font of the cards is missing).
bool MakeTexture(const AssetInfo& asset, Image& out, std::string& error);

// The file contents of a texture, mesh or terrain map (not the soundtrack,
// which is made by Soundtrack.h).
bool MakeAssetBytes(const AssetInfo& asset, std::vector<uint8_t>& bytes, std::string& error);

}  // namespace datagen
