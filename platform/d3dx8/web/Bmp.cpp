// BMP decoding of the D3DX stand-in in a browser: the browser's own image
// decoder (createImageBitmap, with no colour conversion and no premultiplied
// alpha) reads the file; the header says what the file holds.
#include "d3dx8_image.h"

#include <emscripten.h>

#include <algorithm>
#include <cstdlib>

namespace d3dx8_image {

namespace {

// Decodes bytes into RGBA pixels, rows top first, in memory this returns
// (freed by the caller); writes the width and height. Null when the browser
// cannot read the picture.
EM_ASYNC_JS(unsigned char*, DecodePictureInBrowser, (const unsigned char* data, int size, int* size2), {
    const bytes = HEAPU8.slice(data, data + size);
    try {
        const bitmap = await createImageBitmap(new Blob([bytes], {type: 'image/bmp'}),
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

}  // namespace

bool DecodeBmp(const void* data, size_t size, Image& image, SourceInfo& info)
{
    const auto* bytes = static_cast<const uint8_t*>(data);
    if (!bytes || !BmpHeaderIsSane(bytes, size)) return false;
    int dimensions[2] = {0, 0};
    unsigned char* rgba = DecodePictureInBrowser(bytes, static_cast<int>(size), dimensions);
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
    FinishDecodedBmp(image, info, alpha, FormatOfHeader(bytes, size, alpha));
    return true;
}

}  // namespace d3dx8_image
