// PNG pictures that the player wrote (shots, frames), read back for tests,
// and the measures that compare two of them.
#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

namespace pictures {

struct Picture {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgb;  // top row first, 3 bytes a pixel
    const uint8_t* At(int x, int y) const { return &rgb[(static_cast<size_t>(y) * width + x) * 3]; }
    bool Empty() const { return rgb.empty(); }
};

// An 8-bit RGB picture of the file; empty when it cannot be read.
Picture ReadPng(const std::filesystem::path& path);

// A rectangle of a picture's pixels: x0 <= x < x1, y0 <= y < y1.
struct Region {
    int x0, y0, x1, y1;
};

// The mean of every channel of every pixel in the region.
double Mean(const Picture& picture, const Region& region);
// The mean absolute difference of the channels of two pictures of one size
// over the region's pixels for which `where` holds (all when it is empty).
double MeanDifference(const Picture& a, const Picture& b, const Region& region,
                      const std::vector<bool>& where = {});

}  // namespace pictures
