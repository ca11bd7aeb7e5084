// Pictures in memory for the content generator: an RGB image of floats
// (0 = black, 1 = full), drawing helpers shared by the texture families, the
// 24-bit BMP encoder the show loads, a BMP decoder for checks, and a PNG
// writer for the preview sheets.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace datagen {

struct Rgb {
    double r = 0, g = 0, b = 0;
};
Rgb operator+(Rgb a, Rgb b);
Rgb operator*(Rgb a, double s);
Rgb operator*(Rgb a, Rgb b);
Rgb MixRgb(Rgb a, Rgb b, double t);

struct Image {
    int width = 0;
    int height = 0;
    std::vector<float> rgb;  // row 0 at the top, 3 floats per pixel

    Image() = default;
    Image(int w, int h) : width(w), height(h), rgb(static_cast<size_t>(w) * h * 3, 0.0f) {}
    float* At(int x, int y) { return &rgb[(static_cast<size_t>(y) * width + x) * 3]; }
    const float* At(int x, int y) const { return &rgb[(static_cast<size_t>(y) * width + x) * 3]; }
    void Set(int x, int y, Rgb c);
    void Add(int x, int y, Rgb c);
    Rgb Get(int x, int y) const;
};

// Fills every pixel with f(u, v) averaged over n by n samples, where u, v are
// the sample's position in [0, 1) (u right, v down).
template <typename F>
void Shade(Image& img, int n, F f)
{
    for (int y = 0; y < img.height; ++y) {
        for (int x = 0; x < img.width; ++x) {
            Rgb sum;
            for (int j = 0; j < n; ++j) {
                for (int i = 0; i < n; ++i) {
                    const double u = (x + (i + 0.5) / n) / img.width;
                    const double v = (y + (j + 0.5) / n) / img.height;
                    sum = sum + f(u, v);
                }
            }
            img.Set(x, y, sum * (1.0 / (n * n)));
        }
    }
}

// Separable Gaussian blur; wrap = true treats the picture as a torus.
Image Blur(const Image& img, double sigma, bool wrap);

// Adds a Gaussian spot of the given colour, optionally wrapping around the
// edges (for tiling textures).
void Splat(Image& img, double cx, double cy, double sigma, Rgb c, bool wrap);

// 1 - exp(-k x) per channel.
void ToneMap(Image& img, double k);

// Bilinear resize (for previews).
Image Resize(const Image& img, int w, int h);

// 24-bit bottom-up BMP (BITMAPINFOHEADER, BGR rows padded to 4 bytes).
// Values are rounded to the nearest of 256 levels and clamped.
std::vector<uint8_t> EncodeBmp(const Image& img);

// Reads a 24-bit uncompressed BMP; false on anything else or a damaged file.
bool DecodeBmp(const std::vector<uint8_t>& bytes, Image& out);

// 8-bit RGB PNG via libpng; false (with errno-style message in error) when it
// cannot be written.
bool WritePng(const std::string& path, const Image& img, std::string& error);

}  // namespace datagen
