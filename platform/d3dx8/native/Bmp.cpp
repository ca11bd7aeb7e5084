// BMP decoding of the D3DX stand-in on the desktop: SDL's loader, and the
// bit-field layouts it has no pixel format for (see d3dx8_image.h).
#include "d3dx8_image.h"

#include <SDL.h>

#include <algorithm>
#include <cstring>

namespace d3dx8_image {

namespace {

D3DFORMAT FormatOf(const SDL_PixelFormat* format, bool hasAlpha)
{
    if (format->palette) return D3DFMT_P8;
    switch (format->BitsPerPixel) {
    case 15:
    case 16:
        if (format->Gmask == 0x07E0) return D3DFMT_R5G6B5;
        if (format->Gmask == 0x00F0) return format->Amask ? D3DFMT_A4R4G4B4 : D3DFMT_X4R4G4B4;
        return format->Amask ? D3DFMT_A1R5G5B5 : D3DFMT_X1R5G5B5;
    case 24:
        return D3DFMT_R8G8B8;
    default:
        return hasAlpha ? D3DFMT_A8R8G8B8 : D3DFMT_X8R8G8B8;
    }
}

// Uncompressed 16- or 32-bit pixels whose channels lie where the header's
// bit masks say (BI_BITFIELDS), for the masks SDL's loader has no pixel
// format for, such as 4-4-4. False when the file is not such a file or is
// shorter than its pixels.
bool DecodeBitfields(const uint8_t* bytes, size_t size, Image& image, SourceInfo& info)
{
    if (size < 66) return false;
    const uint32_t headerSize = ReadLE(bytes + 14, 4);
    const int bits = static_cast<int>(ReadLE(bytes + 28, 2));
    const uint32_t compression = ReadLE(bytes + 30, 4);
    if (headerSize < 40 || (bits != 16 && bits != 32) || (compression != 3 && compression != 6)) return false;
    const int64_t width = static_cast<int32_t>(ReadLE(bytes + 18, 4));
    const int64_t signedHeight = static_cast<int32_t>(ReadLE(bytes + 22, 4));
    const int64_t height = signedHeight < 0 ? -signedHeight : signedHeight;
    uint32_t masks[4] = {ReadLE(bytes + 54, 4), ReadLE(bytes + 58, 4), ReadLE(bytes + 62, 4), 0};
    if ((headerSize >= 56 || compression == 6) && size >= 70) masks[3] = ReadLE(bytes + 66, 4);
    const uint64_t offset = ReadLE(bytes + 10, 4);
    const uint64_t stride = (static_cast<uint64_t>(width) * bits / 8 + 3) / 4 * 4;
    if (width <= 0 || offset + stride * static_cast<uint64_t>(height) > size) return false;
    int shift[4], top[4];
    for (int c = 0; c < 4; ++c) {
        shift[c] = masks[c] ? __builtin_ctz(masks[c]) : 0;
        top[c] = static_cast<int>(masks[c] >> shift[c]);
    }
    if (!top[0] || !top[1] || !top[2]) return false;
    image.width = static_cast<int>(width);
    image.height = static_cast<int>(height);
    image.pixels.resize(static_cast<size_t>(width * height));
    bool alpha = false;
    for (int64_t y = 0; y < height; ++y) {
        // Rows are stored bottom first unless the height is negative.
        const uint8_t* row = bytes + offset + stride * static_cast<uint64_t>(signedHeight < 0 ? y : height - 1 - y);
        for (int64_t x = 0; x < width; ++x) {
            const uint32_t value = ReadLE(row + x * bits / 8, bits / 8);
            uint32_t channel[4];
            for (int c = 0; c < 4; ++c)
                channel[c] = top[c] ? (((value & masks[c]) >> shift[c]) * 255 + top[c] / 2) / top[c] : 255;
            alpha = alpha || channel[3] < 255;
            image.pixels[static_cast<size_t>(y * width + x)] =
                (channel[3] << 24) | (channel[0] << 16) | (channel[1] << 8) | channel[2];
        }
    }
    const bool fourBits = bits == 16 && top[0] == 15 && top[1] == 15 && top[2] == 15;
    FinishDecodedBmp(image, info, alpha,
                     fourBits ? (masks[3] ? D3DFMT_A4R4G4B4 : D3DFMT_X4R4G4B4)
                     : alpha  ? D3DFMT_A8R8G8B8
                              : D3DFMT_X8R8G8B8);
    return true;
}

}  // namespace

bool DecodeBmp(const void* data, size_t size, Image& image, SourceInfo& info)
{
    if (!data || !BmpHeaderIsSane(static_cast<const uint8_t*>(data), size)) return false;
    SDL_RWops* stream = SDL_RWFromConstMem(data, static_cast<int>(std::min<size_t>(size, INT32_MAX)));
    if (!stream) return false;
    SDL_Surface* decoded = SDL_LoadBMP_RW(stream, 1);
    if (!decoded) return DecodeBitfields(static_cast<const uint8_t*>(data), size, image, info);
    const bool fileHasAlphaChannel = decoded->format->Amask != 0;
    image.width = decoded->w;
    image.height = decoded->h;
    image.pixels.resize(static_cast<size_t>(decoded->w) * decoded->h);
    // Straight into the picture where SDL converts the layout directly (any
    // layout but a palette); through an ARGB surface otherwise.
    SDL_LockSurface(decoded);
    const bool direct = !decoded->format->palette &&
                        SDL_ConvertPixels(decoded->w, decoded->h, decoded->format->format, decoded->pixels,
                                          decoded->pitch, SDL_PIXELFORMAT_ARGB8888, image.pixels.data(),
                                          decoded->w * 4) == 0;
    SDL_UnlockSurface(decoded);
    if (!direct) {
        SDL_Surface* argb = SDL_ConvertSurfaceFormat(decoded, SDL_PIXELFORMAT_ARGB8888, 0);
        if (!argb) {
            SDL_FreeSurface(decoded);
            return false;
        }
        SDL_LockSurface(argb);
        for (int y = 0; y < argb->h; ++y) {
            std::memcpy(&image.pixels[static_cast<size_t>(y) * argb->w],
                        static_cast<const uint8_t*>(argb->pixels) + static_cast<size_t>(y) * argb->pitch,
                        static_cast<size_t>(argb->w) * 4);
        }
        SDL_UnlockSurface(argb);
        SDL_FreeSurface(argb);
    }

    const bool alpha = fileHasAlphaChannel &&
                       std::any_of(image.pixels.begin(), image.pixels.end(), [](uint32_t p) { return p < 0xFF000000u; });
    FinishDecodedBmp(image, info, alpha, FormatOf(decoded->format, alpha));
    SDL_FreeSurface(decoded);
    return true;
}

}  // namespace d3dx8_image
