// Picture decoding of the D3DX stand-in in a browser: the browser's own image
// decoder (createImageBitmap, with no colour conversion and no premultiplied
// alpha) reads the file; the header says what the file holds. Like D3DX, it
// goes by the file's content, not its name: besides BMP it reads the PNG of
// 8-bit RGB or RGBA that the page's data holds in a BMP's place
// (tools/webdata/pack_page_data.py writes the same pixels), and gives it the
// format of the BMP it was made from.
#include "d3dx8_image.h"

#include <emscripten.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace d3dx8_image {

namespace {

// Decodes bytes into RGBA pixels, rows top first, in memory this returns
// (freed by the caller); writes the width and height. Null when the browser
// cannot read the picture.
EM_ASYNC_JS(unsigned char*, DecodePictureInBrowser, (const unsigned char* data, int size, int* size2, int png), {
    const bytes = HEAPU8.slice(data, data + size);
    try {
        const bitmap = await createImageBitmap(new Blob([bytes], {type: png ? 'image/png' : 'image/bmp'}),
                                               {premultiplyAlpha: 'none', colorSpaceConversion: 'none'});
        const canvas = new OffscreenCanvas(bitmap.width, bitmap.height);
        const context = canvas.getContext('2d', {colorSpace: 'srgb'});
        context.drawImage(bitmap, 0, 0);
        const pixels = context.getImageData(0, 0, bitmap.width, bitmap.height).data;
        const out = _malloc(pixels.length);
        HEAPU8.set(pixels, out);
        HEAP32[size2 >> 2] = bitmap.width;
        HEAP32[(size2 >> 2) + 1] = bitmap.height;
        return out;
    } catch (error) {
        return 0;
    }
});

// The format a BMP's header describes.
D3DFORMAT FormatOfHeader(const uint8_t* bytes, size_t size, bool hasAlpha)
{
    const int bits = size >= 30 ? static_cast<int>(ReadLE(bytes + 28, 2)) : 24;
    const uint32_t greenMask = size >= 62 ? ReadLE(bytes + 58, 4) : 0;
    switch (bits) {
    case 1:
    case 4:
    case 8: return D3DFMT_P8;
    case 16: return greenMask == 0x07E0 ? D3DFMT_R5G6B5 : greenMask == 0x00F0 ? D3DFMT_X4R4G4B4 : D3DFMT_X1R5G5B5;
    case 24: return D3DFMT_R8G8B8;
    default: return hasAlpha ? D3DFMT_A8R8G8B8 : D3DFMT_X8R8G8B8;
    }
}

uint32_t ReadBE(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 | static_cast<uint32_t>(p[2]) << 8 |
           p[3];
}

// A PNG whose header announces 8-bit RGB (colour type 2) or RGBA (6) of a
// size that can be allocated; *rgba says which.
bool PngHeaderIsSane(const uint8_t* bytes, size_t size, bool& rgba)
{
    static const uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    if (size < 33 || std::memcmp(bytes, kSignature, 8) != 0 || std::memcmp(bytes + 12, "IHDR", 4) != 0) return false;
    const uint32_t width = ReadBE(bytes + 16), height = ReadBE(bytes + 20);
    const uint8_t depth = bytes[24], colourType = bytes[25];
    if (width < 1 || height < 1 || width > kMaxDimension || height > kMaxDimension) return false;
    if (static_cast<int64_t>(width) * height > kMaxPixels || depth != 8 || (colourType != 2 && colourType != 6))
        return false;
    rgba = colourType == 6;
    return true;
}

}  // namespace

bool DecodeBmp(const void* data, size_t size, Image& image, SourceInfo& info)
{
    const auto* bytes = static_cast<const uint8_t*>(data);
    if (!bytes) return false;
    bool pngWithAlpha = false;
    const bool png = PngHeaderIsSane(bytes, size, pngWithAlpha);
    if (!png && !BmpHeaderIsSane(bytes, size)) return false;
    int dimensions[2] = {0, 0};
    unsigned char* rgba = DecodePictureInBrowser(bytes, static_cast<int>(size), dimensions, png ? 1 : 0);
    if (!rgba) return false;
    image.width = dimensions[0];
    image.height = dimensions[1];
    image.pixels.resize(static_cast<size_t>(image.width) * image.height);
    bool alpha = false;
    for (size_t i = 0; i < image.pixels.size(); ++i) {
        const unsigned char* p = rgba + 4 * i;
        alpha = alpha || p[3] < 255;
        image.pixels[i] = static_cast<uint32_t>(p[3]) << 24 | static_cast<uint32_t>(p[0]) << 16 |
                          static_cast<uint32_t>(p[1]) << 8 | p[2];
    }
    std::free(rgba);
    const D3DFORMAT format = !png           ? FormatOfHeader(bytes, size, alpha)
                             : pngWithAlpha ? (alpha ? D3DFMT_A8R8G8B8 : D3DFMT_X8R8G8B8)
                                            : D3DFMT_R8G8B8;
    FinishDecodedBmp(image, info, alpha, format);
    return true;
}

}  // namespace d3dx8_image
