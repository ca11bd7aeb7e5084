// Small stand-ins for the show's data files, written by tests into a folder
// of their own: plain-coloured BMP pictures, a small ball mesh and a short
// soundtrack, so that scenes and the shell can start without the generator.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace scene_data {

// Writes a 24-bit BMP of width by height filled with one 0xRRGGBB colour.
bool WriteSolidBmp(const std::filesystem::path& path, int width, int height, uint32_t rgb);

bool WriteBmpPixels(const std::filesystem::path& path, int width, int height, const std::vector<uint32_t>& rgb);

// Writes a BMP whose pixel (x, y) (top row first) is pixel(x, y) as 0xRRGGBB.
template <typename F>
bool WriteBmp(const std::filesystem::path& path, int width, int height, F pixel)
{
    std::vector<uint32_t> rgb(static_cast<size_t>(width) * height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) rgb[static_cast<size_t>(y) * width + x] = pixel(x, y);
    return WriteBmpPixels(path, width, height, rgb);
}

// A ball of about radius unscaled units with the given number of vertices
// (points on a spiral) and no faces, as a ".msh" file.
bool WriteBallMesh(const std::filesystem::path& path, int vertexCount, float radius);

// The files of the opening scene under dir/Data: dim pictures and a ball.
void WriteSceneOneData(const std::filesystem::path& dir);
// Every file of the show under dir/Data: the opening scene's, and black
// pictures, small meshes and flat maps for the other scenes.
void WriteShowData(const std::filesystem::path& dir);

// dir/Data/Soundtrack.mp3: a mono 8 kHz tone of the given length, cheap to encode.
bool WriteSoundtrack(const std::filesystem::path& dir, double seconds);

// A fresh, empty folder under the temporary directory, named after tag.
std::filesystem::path FreshFolder(const std::string& tag);

}  // namespace scene_data
