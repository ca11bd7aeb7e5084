// The BMP header check, resampling and mip sizes of the D3DX texture loader
// (see d3dx8_image.h); the BMP decoding itself is native/Bmp.cpp (SDL's loader)
// or web/Bmp.cpp (the browser's).
#include "d3dx8_image.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace d3dx8_image {

uint32_t ReadLE(const uint8_t* p, int bytes)
{
    uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | p[i];
    return v;
}

void FinishDecodedBmp(Image& image, SourceInfo& info, bool hasAlpha, D3DFORMAT format)
{
    info.width = image.width;
    info.height = image.height;
    info.hasAlpha = hasAlpha;
    info.format = format;
    if (!hasAlpha)
        for (uint32_t& p : image.pixels) p |= 0xFF000000u;
}

bool BmpHeaderIsSane(const uint8_t* bytes, size_t size)
{
    if (size < 26 || bytes[0] != 'B' || bytes[1] != 'M') return false;
    const uint32_t headerSize = ReadLE(bytes + 14, 4);
    int64_t width = 0, height = 0;
    uint32_t bits = 0, compression = 0;
    if (headerSize == 12) {
        width = ReadLE(bytes + 18, 2);
        height = ReadLE(bytes + 20, 2);
        bits = ReadLE(bytes + 24, 2);
    } else if (headerSize >= 16 && size >= 30) {
        width = static_cast<int32_t>(ReadLE(bytes + 18, 4));
        height = static_cast<int32_t>(ReadLE(bytes + 22, 4));  // negative: rows top first
        bits = ReadLE(bytes + 28, 2);
        if (headerSize >= 20 && size >= 34) compression = ReadLE(bytes + 30, 4);
    } else {
        return false;
    }
    height = height < 0 ? -height : height;
    if (!(width > 0 && height > 0 && width <= kMaxDimension && height <= kMaxDimension &&
          width * height <= kMaxPixels))
        return false;
    // Run-length coding exists for 8-bit (1) and 4-bit (2) pictures only;
    // any other pairing is a damaged header that a decoder may take for
    // rows of zeros.
    if (compression == 1) return bits == 8;
    if (compression == 2) return bits == 4;
    if (compression != 0 && compression != 3 && compression != 6) return false;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) return false;
    // Uncompressed rows must all be in the file (the last row's padding may
    // be missing): a cut file is refused, not completed with black.
    const int64_t stride = (width * bits + 31) / 32 * 4;
    const int64_t lastRow = (width * bits + 7) / 8;
    const int64_t start = std::max<int64_t>(ReadLE(bytes + 10, 4), 14 + static_cast<int64_t>(headerSize));
    return start + stride * (height - 1) + lastRow <= static_cast<int64_t>(size);
}

namespace {

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

// A 2:1 shrink on both axes averages each 2x2 block, rounded to nearest: the
// same result as the weighted sums below give at weights of one half, which
// are exact in floating point, done on whole numbers because every mip
// chain is made of these.
Image HalveExactly(const Image& image)
{
    Image out;
    out.width = image.width / 2;
    out.height = image.height / 2;
    out.pixels.resize(static_cast<size_t>(out.width) * out.height);
    for (int y = 0; y < out.height; ++y) {
        const uint32_t* top = &image.pixels[static_cast<size_t>(2 * y) * image.width];
        const uint32_t* bottom = top + image.width;
        uint32_t* row = &out.pixels[static_cast<size_t>(y) * out.width];
        for (int x = 0; x < out.width; ++x) {
            const uint32_t a = top[2 * x], b = top[2 * x + 1], c = bottom[2 * x], d = bottom[2 * x + 1];
            // Red and blue, then alpha and green, two channels at a time:
            // each sum of four bytes plus 2 fits in 10 bits.
            const uint32_t rb = ((a & 0x00FF00FFu) + (b & 0x00FF00FFu) + (c & 0x00FF00FFu) + (d & 0x00FF00FFu) +
                                 0x00020002u) >> 2 & 0x00FF00FFu;
            const uint32_t ag = (((a >> 8) & 0x00FF00FFu) + ((b >> 8) & 0x00FF00FFu) + ((c >> 8) & 0x00FF00FFu) +
                                 ((d >> 8) & 0x00FF00FFu) + 0x00020002u) >> 2 & 0x00FF00FFu;
            row[x] = rb | ag << 8;
        }
    }
    return out;
}

}  // namespace

// Separable: each source row is first scaled across into floats, then the
// output rows are weighted sums of those, each channel rounded to the
// nearest byte at the end. Output rows take source rows in rising order, so
// only the rows one output row needs are kept, in a ring.
Image Resample(const Image& image, int width, int height, Filter filter)
{
    if (width == image.width && height == image.height && width > 0 && height > 0) return image;
    if (filter == Filter::Linear && width > 0 && height > 0 && image.width == 2 * width &&
        image.height == 2 * height) {
        return HalveExactly(image);
    }

    Image out;
    out.width = width;
    out.height = height;
    out.pixels.assign(static_cast<size_t>(width) * height, 0);
    if (image.width <= 0 || image.height <= 0 || width <= 0 || height <= 0) return out;

    const std::vector<Tap> columns = AxisTaps(image.width, width, filter);
    const std::vector<Tap> rows = AxisTaps(image.height, height, filter);

    size_t ringRows = 1;
    for (const Tap& tap : rows) ringRows = std::max(ringRows, tap.weights.size());
    std::vector<float> ring(ringRows * width * 4);
    std::vector<int> held(ringRows, -1);  // the source row each ring slot holds
    auto across = [&](int y) -> const float* {
        const size_t slot = static_cast<size_t>(y) % ringRows;
        float* wide = &ring[slot * width * 4];
        if (held[slot] == y) return wide;
        held[slot] = y;
        const uint32_t* source = &image.pixels[static_cast<size_t>(y) * image.width];
        for (int x = 0; x < width; ++x) {
            const Tap& tap = columns[x];
            float sum[4] = {0, 0, 0, 0};
            for (size_t k = 0; k < tap.weights.size(); ++k) {
                const uint32_t p = source[tap.first + static_cast<int>(k)];
                for (int c = 0; c < 4; ++c) sum[c] += tap.weights[k] * static_cast<float>((p >> (8 * c)) & 255);
            }
            std::memcpy(wide + static_cast<size_t>(x) * 4, sum, sizeof sum);
        }
        return wide;
    };

    std::vector<const float*> sources(ringRows);
    for (int y = 0; y < height; ++y) {
        const Tap& tap = rows[y];
        for (size_t k = 0; k < tap.weights.size(); ++k) sources[k] = across(tap.first + static_cast<int>(k));
        uint32_t* row = &out.pixels[static_cast<size_t>(y) * width];
        for (int x = 0; x < width; ++x) {
            float sum[4] = {0, 0, 0, 0};
            for (size_t k = 0; k < tap.weights.size(); ++k) {
                const float* p = sources[k] + static_cast<size_t>(x) * 4;
                for (int c = 0; c < 4; ++c) sum[c] += tap.weights[k] * p[c];
            }
            uint32_t pixel = 0;
            for (int c = 0; c < 4; ++c) {
                const int byte = std::clamp(static_cast<int>(sum[c] + 0.5f), 0, 255);
                pixel |= static_cast<uint32_t>(byte) << (8 * c);
            }
            row[x] = pixel;
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
