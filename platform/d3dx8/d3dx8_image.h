// The image work behind D3DXCreateTextureFromFileExA, as plain functions on
// 32-bit pixel arrays so that tests can check it without a device: BMP
// decoding, resampling to a new size and the sizes of a mip chain.
// The system never sees this header.
#pragma once

#include <d3d8.h>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace d3dx8_image {

// Pixels as 0xAARRGGBB, rows top first, no padding.
struct Image {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;

    uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

// What the file itself holds, for D3DXIMAGE_INFO and the choice of format.
struct SourceInfo {
    int width = 0;
    int height = 0;
    D3DFORMAT format = D3DFMT_UNKNOWN;  // P8, R5G6B5, X1R5G5B5, A1R5G5B5, X4R4G4B4, A4R4G4B4, R8G8B8, X8R8G8B8 or A8R8G8B8
    bool hasAlpha = false;              // some pixel is not fully opaque
};

// The largest width or height, and pixel count, that a file may announce.
constexpr int kMaxDimension = 16384;
constexpr int64_t kMaxPixels = int64_t(1) << 26;

// A BMP's header announces sizes that can be allocated, a pixel layout that
// exists, and (uncompressed) rows that are all in the file: checked before
// any decoder allocates the picture. And a little-endian number of 1 to 4 bytes.
bool BmpHeaderIsSane(const uint8_t* bytes, size_t size);
uint32_t ReadLE(const uint8_t* p, int bytes);

// What every BMP decoder does last: fills info with the picture's size,
// whether it has alpha and its format, and makes the pixels opaque when the
// file has no alpha to give.
void FinishDecodedBmp(Image& image, SourceInfo& info, bool hasAlpha, D3DFORMAT format);

// Decodes a BMP file held in memory (each side has its decoder): 1, 4, 8,
// 16, 24 and 32 bits per pixel, RLE4 and RLE8, bottom-up and top-down; in a
// browser also the PNG that the page's data holds in a BMP's place. Pixels
// without alpha come back opaque. False for anything that is not a
// complete, sane picture.
bool DecodeBmp(const void* data, size_t size, Image& image, SourceInfo& info);

// Scales image to width by height, each axis on its own. Linear: enlarging,
// each texel interpolates the two nearest source pixels per axis (four in
// all); shrinking, each texel averages the source area it covers, which at
// 2:1 is the same four pixels and at stronger shrinks skips no pixel.
// Point: each texel copies the source pixel under its centre.
enum class Filter { Point, Linear };
Image Resample(const Image& image, int width, int height, Filter filter);

// Levels of a full mip chain: halving (rounding down, at least 1) to 1 by 1.
UINT FullMipCount(UINT width, UINT height);

}  // namespace d3dx8_image
