// BMP decoding through SDL's loader, resampling and mip sizes for the D3DX
// texture loader (see d3dx8_image.h).
#include "d3dx8_image.h"

#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace d3dx8_image {

namespace {

uint32_t ReadLE(const uint8_t* p, int bytes)
{
    uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | p[i];
    return v;
}

// SDL trusts the header's size fields and allocates the surface before it
// reads any pixel, so absurd sizes are turned away here first.
bool HeaderIsSane(const uint8_t* bytes, size_t size)
{
    if (size < 26 || bytes[0] != 'B' || bytes[1] != 'M') return false;
    const uint32_t headerSize = ReadLE(bytes + 14, 4);
    int64_t width = 0, height = 0;
    if (headerSize == 12) {
        width = ReadLE(bytes + 18, 2);
        height = ReadLE(bytes + 20, 2);
    } else if (headerSize >= 16) {
        width = static_cast<int32_t>(ReadLE(bytes + 18, 4));
        height = static_cast<int32_t>(ReadLE(bytes + 22, 4));  // negative: rows top first
    } else {
        return false;
    }
    height = height < 0 ? -height : height;
    return width > 0 && height > 0 && width <= kMaxDimension && height <= kMaxDimension &&
           width * height <= kMaxPixels;
}

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
    info.width = image.width;
    info.height = image.height;
    info.hasAlpha = alpha;
    if (!alpha)
        for (uint32_t& p : image.pixels) p |= 0xFF000000u;
    const bool fourBits = bits == 16 && top[0] == 15 && top[1] == 15 && top[2] == 15;
    info.format = fourBits ? (masks[3] ? D3DFMT_A4R4G4B4 : D3DFMT_X4R4G4B4) : alpha ? D3DFMT_A8R8G8B8 : D3DFMT_X8R8G8B8;
    return true;
}

// One destination position's source pixels and their weights.
struct Tap {
    int first = 0;
    std::vector<float> weights;
};

// Weights along one axis, scale being source pixels per sample. Enlarging (or
// keeping the size), sample i's centre lies at (i + 0.5) * scale - 0.5 in
// source pixels and takes the two nearest pixels linearly. Shrinking, sample i averages the source span
// [i * scale, (i + 1) * scale) weighted by coverage: at 2:1 that is the same
// pair of pixels at one half each, and stronger shrinks skip no pixel.
std::vector<Tap> AxisTaps(int source, int destination, Filter filter)
{
    std::vector<Tap> taps(destination);
    const double scale = static_cast<double>(source) / destination;
    for (int i = 0; i < destination; ++i) {
        Tap& tap = taps[i];
        if (filter == Filter::Point) {
            tap.first = std::clamp(static_cast<int>(std::floor((i + 0.5) * scale)), 0, source - 1);
            tap.weights = {1.0f};
        } else if (scale <= 1.0) {
            const double centre = (i + 0.5) * scale - 0.5;
            const int left = static_cast<int>(std::floor(centre));
            const float right = static_cast<float>(centre - left);
            if (left < 0) {
                tap.first = 0;
                tap.weights = {1.0f};
            } else if (left + 1 >= source) {
                tap.first = source - 1;
                tap.weights = {1.0f};
            } else {
                tap.first = left;
                tap.weights = {1.0f - right, right};
            }
        } else {
            const double start = i * scale, end = (i + 1) * scale;
            tap.first = static_cast<int>(std::floor(start));
            const int last = std::min(source - 1, static_cast<int>(std::ceil(end)) - 1);
            for (int j = tap.first; j <= last; ++j) {
                const double covered = std::min<double>(end, j + 1) - std::max<double>(start, j);
                tap.weights.push_back(static_cast<float>(covered / scale));
            }
        }
    }
    return taps;
}

}  // namespace

bool DecodeBmp(const void* data, size_t size, Image& image, SourceInfo& info)
{
    if (!data || !HeaderIsSane(static_cast<const uint8_t*>(data), size)) return false;
    SDL_RWops* stream = SDL_RWFromConstMem(data, static_cast<int>(std::min<size_t>(size, INT32_MAX)));
    if (!stream) return false;
    SDL_Surface* decoded = SDL_LoadBMP_RW(stream, 1);
    if (!decoded) return DecodeBitfields(static_cast<const uint8_t*>(data), size, image, info);
    const bool fileHasAlphaChannel = decoded->format->Amask != 0;
    SDL_Surface* argb = SDL_ConvertSurfaceFormat(decoded, SDL_PIXELFORMAT_ARGB8888, 0);
    if (!argb) {
        SDL_FreeSurface(decoded);
        return false;
    }

    image.width = argb->w;
    image.height = argb->h;
    image.pixels.resize(static_cast<size_t>(argb->w) * argb->h);
    SDL_LockSurface(argb);
    for (int y = 0; y < argb->h; ++y) {
        std::memcpy(&image.pixels[static_cast<size_t>(y) * argb->w],
                    static_cast<const uint8_t*>(argb->pixels) + static_cast<size_t>(y) * argb->pitch,
                    static_cast<size_t>(argb->w) * 4);
    }
    SDL_UnlockSurface(argb);

    info.width = image.width;
    info.height = image.height;
    info.hasAlpha = fileHasAlphaChannel &&
                    std::any_of(image.pixels.begin(), image.pixels.end(), [](uint32_t p) { return p < 0xFF000000u; });
    info.format = FormatOf(decoded->format, info.hasAlpha);
    if (!info.hasAlpha) {
        for (uint32_t& p : image.pixels) p |= 0xFF000000u;
    }
    SDL_FreeSurface(argb);
    SDL_FreeSurface(decoded);
    return true;
}

// Separable: rows first into a float buffer, then columns, each channel
// rounded to the nearest byte at the end.
Image Resample(const Image& image, int width, int height, Filter filter)
{
    Image out;
    out.width = width;
    out.height = height;
    out.pixels.assign(static_cast<size_t>(width) * height, 0);
    if (image.width <= 0 || image.height <= 0 || width <= 0 || height <= 0) return out;

    const std::vector<Tap> columns = AxisTaps(image.width, width, filter);
    const std::vector<Tap> rows = AxisTaps(image.height, height, filter);

    std::vector<float> wide(static_cast<size_t>(width) * image.height * 4);
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < width; ++x) {
            const Tap& tap = columns[x];
            float sum[4] = {0, 0, 0, 0};
            for (size_t k = 0; k < tap.weights.size(); ++k) {
                const uint32_t p = image.At(tap.first + static_cast<int>(k), y);
                for (int c = 0; c < 4; ++c) sum[c] += tap.weights[k] * static_cast<float>((p >> (8 * c)) & 255);
            }
            std::memcpy(&wide[(static_cast<size_t>(y) * width + x) * 4], sum, sizeof sum);
        }
    }
    for (int y = 0; y < height; ++y) {
        const Tap& tap = rows[y];
        for (int x = 0; x < width; ++x) {
            float sum[4] = {0, 0, 0, 0};
            for (size_t k = 0; k < tap.weights.size(); ++k) {
                const float* p = &wide[(static_cast<size_t>(tap.first + k) * width + x) * 4];
                for (int c = 0; c < 4; ++c) sum[c] += tap.weights[k] * p[c];
            }
            uint32_t pixel = 0;
            for (int c = 0; c < 4; ++c) {
                const int byte = std::clamp(static_cast<int>(sum[c] + 0.5f), 0, 255);
                pixel |= static_cast<uint32_t>(byte) << (8 * c);
            }
            out.pixels[static_cast<size_t>(y) * width + x] = pixel;
        }
    }
    return out;
}

UINT FullMipCount(UINT width, UINT height)
{
    UINT levels = 1;
    for (UINT size = std::max(width, height); size > 1; size /= 2) ++levels;
    return levels;
}

}  // namespace d3dx8_image
