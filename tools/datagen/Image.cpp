// RGB float images, blur, splats, and the BMP and PNG codecs (see Image.h).
#include "Image.h"

#include "PngWriter.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "DetMath.h"

namespace datagen {

Rgb operator+(Rgb a, Rgb b) { return {a.r + b.r, a.g + b.g, a.b + b.b}; }
Rgb operator*(Rgb a, double s) { return {a.r * s, a.g * s, a.b * s}; }
Rgb operator*(Rgb a, Rgb b) { return {a.r * b.r, a.g * b.g, a.b * b.b}; }
Rgb MixRgb(Rgb a, Rgb b, double t) { return {Mix(a.r, b.r, t), Mix(a.g, b.g, t), Mix(a.b, b.b, t)}; }

void Image::Set(int x, int y, Rgb c)
{
    float* p = At(x, y);
    p[0] = static_cast<float>(c.r);
    p[1] = static_cast<float>(c.g);
    p[2] = static_cast<float>(c.b);
}

void Image::Add(int x, int y, Rgb c)
{
    float* p = At(x, y);
    p[0] += static_cast<float>(c.r);
    p[1] += static_cast<float>(c.g);
    p[2] += static_cast<float>(c.b);
}

Rgb Image::Get(int x, int y) const
{
    const float* p = At(x, y);
    return {p[0], p[1], p[2]};
}

namespace {
std::vector<double> Kernel(double sigma)
{
    const int r = static_cast<int>(std::ceil(sigma * 3.0));
    std::vector<double> k(2 * r + 1);
    double sum = 0.0;
    for (int i = -r; i <= r; ++i) {
        k[i + r] = Exp(-(i * i) / (2.0 * sigma * sigma));
        sum += k[i + r];
    }
    for (double& w : k) w /= sum;
    return k;
}

int Index(int i, int n, bool wrap)
{
    if (wrap) return ((i % n) + n) % n;
    return i < 0 ? 0 : (i >= n ? n - 1 : i);
}
}  // namespace

Image Blur(const Image& img, double sigma, bool wrap)
{
    const std::vector<double> k = Kernel(sigma);
    const int r = static_cast<int>(k.size() / 2);
    Image tmp(img.width, img.height), out(img.width, img.height);
    for (int y = 0; y < img.height; ++y) {
        for (int x = 0; x < img.width; ++x) {
            double s[3] = {0, 0, 0};
            for (int i = -r; i <= r; ++i) {
                const float* p = img.At(Index(x + i, img.width, wrap), y);
                for (int c = 0; c < 3; ++c) s[c] += k[i + r] * p[c];
            }
            float* q = tmp.At(x, y);
            for (int c = 0; c < 3; ++c) q[c] = static_cast<float>(s[c]);
        }
    }
    for (int y = 0; y < img.height; ++y) {
        for (int x = 0; x < img.width; ++x) {
            double s[3] = {0, 0, 0};
            for (int i = -r; i <= r; ++i) {
                const float* p = tmp.At(x, Index(y + i, img.height, wrap));
                for (int c = 0; c < 3; ++c) s[c] += k[i + r] * p[c];
            }
            float* q = out.At(x, y);
            for (int c = 0; c < 3; ++c) q[c] = static_cast<float>(s[c]);
        }
    }
    return out;
}

void Splat(Image& img, double cx, double cy, double sigma, Rgb c, bool wrap)
{
    const int r = static_cast<int>(std::ceil(sigma * 3.5)) + 1;
    const int x0 = static_cast<int>(std::floor(cx)), y0 = static_cast<int>(std::floor(cy));
    for (int y = y0 - r; y <= y0 + r; ++y) {
        for (int x = x0 - r; x <= x0 + r; ++x) {
            int px = x, py = y;
            if (wrap) {
                px = Index(x, img.width, true);
                py = Index(y, img.height, true);
            } else if (x < 0 || y < 0 || x >= img.width || y >= img.height) {
                continue;
            }
            const double dx = x + 0.5 - cx, dy = y + 0.5 - cy;
            const double w = Exp(-(dx * dx + dy * dy) / (2.0 * sigma * sigma));
            img.Add(px, py, c * w);
        }
    }
}

void ToneMap(Image& img, double k)
{
    for (float& v : img.rgb) v = static_cast<float>(1.0 - Exp(-k * (v > 0 ? v : 0.0)));
}

Image Resize(const Image& img, int w, int h)
{
    Image out(w, h);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            // Box filter over the source footprint when shrinking.
            const double sx0 = static_cast<double>(x) * img.width / w, sx1 = static_cast<double>(x + 1) * img.width / w;
            const double sy0 = static_cast<double>(y) * img.height / h, sy1 = static_cast<double>(y + 1) * img.height / h;
            const int ix0 = static_cast<int>(sx0), iy0 = static_cast<int>(sy0);
            int ix1 = static_cast<int>(std::ceil(sx1)), iy1 = static_cast<int>(std::ceil(sy1));
            if (ix1 <= ix0) ix1 = ix0 + 1;
            if (iy1 <= iy0) iy1 = iy0 + 1;
            Rgb sum;
            int n = 0;
            for (int j = iy0; j < iy1 && j < img.height; ++j)
                for (int i = ix0; i < ix1 && i < img.width; ++i, ++n) sum = sum + img.Get(i, j);
            out.Set(x, y, sum * (1.0 / (n > 0 ? n : 1)));
        }
    }
    return out;
}

namespace {
uint8_t Quantize(float v)
{
    const double q = std::floor(static_cast<double>(v) * 255.0 + 0.5);
    return static_cast<uint8_t>(q < 0 ? 0 : (q > 255 ? 255 : q));
}

void Put16(std::vector<uint8_t>& b, uint32_t v)
{
    b.push_back(static_cast<uint8_t>(v));
    b.push_back(static_cast<uint8_t>(v >> 8));
}
void Put32(std::vector<uint8_t>& b, uint32_t v)
{
    Put16(b, v & 0xffff);
    Put16(b, v >> 16);
}
uint32_t Get32(const std::vector<uint8_t>& b, size_t at)
{
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<uint32_t>(b[at + 3]) << 24);
}
}  // namespace

std::vector<uint8_t> EncodeBmp(const Image& img)
{
    const uint32_t stride = (static_cast<uint32_t>(img.width) * 3 + 3) & ~3u;
    const uint32_t dataSize = stride * img.height;
    std::vector<uint8_t> b;
    b.reserve(54 + dataSize);
    b.push_back('B');
    b.push_back('M');
    Put32(b, 54 + dataSize);
    Put32(b, 0);
    Put32(b, 54);
    Put32(b, 40);
    Put32(b, img.width);
    Put32(b, img.height);
    Put16(b, 1);
    Put16(b, 24);
    Put32(b, 0);         // BI_RGB
    Put32(b, dataSize);
    Put32(b, 2835);      // 72 dpi
    Put32(b, 2835);
    Put32(b, 0);
    Put32(b, 0);
    for (int y = img.height - 1; y >= 0; --y) {
        for (int x = 0; x < img.width; ++x) {
            const float* p = img.At(x, y);
            b.push_back(Quantize(p[2]));
            b.push_back(Quantize(p[1]));
            b.push_back(Quantize(p[0]));
        }
        for (uint32_t pad = img.width * 3; pad < stride; ++pad) b.push_back(0);
    }
    return b;
}

bool DecodeBmp(const std::vector<uint8_t>& bytes, Image& out)
{
    if (bytes.size() < 54 || bytes[0] != 'B' || bytes[1] != 'M') return false;
    const uint32_t offset = Get32(bytes, 10);
    const int32_t w = static_cast<int32_t>(Get32(bytes, 18));
    const int32_t h = static_cast<int32_t>(Get32(bytes, 22));
    const uint32_t bpp = bytes[28] | (bytes[29] << 8);
    const uint32_t compression = Get32(bytes, 30);
    if (w <= 0 || h <= 0 || w > 16384 || h > 16384 || bpp != 24 || compression != 0) return false;
    const uint64_t stride = (static_cast<uint64_t>(w) * 3 + 3) & ~3ull;
    if (offset > bytes.size() || bytes.size() - offset < stride * h) return false;
    out = Image(w, h);
    for (int y = 0; y < h; ++y) {
        const uint8_t* row = &bytes[offset + stride * (h - 1 - y)];
        for (int x = 0; x < w; ++x) {
            float* p = out.At(x, y);
            p[0] = row[3 * x + 2] / 255.0f;
            p[1] = row[3 * x + 1] / 255.0f;
            p[2] = row[3 * x] / 255.0f;
        }
    }
    return true;
}

bool WritePng(const std::string& path, const Image& img, std::string& error)
{
    std::vector<uint8_t> rgb(static_cast<size_t>(img.width) * img.height * 3);
    for (int y = 0; y < img.height; ++y) {
        const float* p = img.At(0, y);
        for (int i = 0; i < img.width * 3; ++i) rgb[static_cast<size_t>(y) * img.width * 3 + i] = Quantize(p[i]);
    }
    return ::WritePng(path, rgb.data(), img.width, img.height, kDefaultPng, error);
}

}  // namespace datagen
