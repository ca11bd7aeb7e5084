// The text cards that fly towards the viewer in scene 1: two credit cards
// and the title. Light lettering with a coloured glow and line ornaments on
// black, with margins wide enough that nothing touches the card's edge.
#include <algorithm>
#include <cmath>
#include <string>

#include "DetMath.h"
#include "Font.h"
#include "GlowLines.h"
#include "Textures.h"

namespace datagen {

namespace {
constexpr int kW = 512, kH = 384;

// Renders text at pixelHeight, shrunk so it is at most maxWidth wide.
Mask Fit(const Font& font, const std::string& text, double pixelHeight, double spacing, int maxWidth)
{
    Mask m = font.Render(text, pixelHeight, spacing);
    if (m.width > maxWidth) m = font.Render(text, pixelHeight * maxWidth / m.width, spacing * maxWidth / m.width);
    return m;
}

// Adds mask * colour with its left edge so the ink is centred at cx; top y.
void Stamp(Image& img, const Mask& m, double cx, int top, Rgb colour)
{
    const int left = static_cast<int>(std::floor(cx - m.width / 2.0 + 0.5));
    for (int y = 0; y < m.height; ++y)
        for (int x = 0; x < m.width; ++x) {
            const int tx = left + x, ty = top + y;
            if (tx >= 0 && ty >= 0 && tx < img.width && ty < img.height) img.Add(tx, ty, colour * m.At(x, y));
        }
}

// A line of text: glow underneath, then the letters.
void Line(Image& img, const Font& font, const std::string& text, double px, double spacing, int top, Rgb ink, Rgb glow)
{
    const Mask m = Fit(font, text, px, spacing, kW - 48);
    Image layer(kW, kH);
    Stamp(layer, m, kW / 2.0, top, {1, 1, 1});
    const Image soft = Blur(layer, 5.0, false);
    for (size_t i = 0; i < img.rgb.size(); i += 3) {
        const double g = soft.rgb[i], a = layer.rgb[i];
        img.rgb[i] += static_cast<float>(glow.r * g * 1.4 + ink.r * a);
        img.rgb[i + 1] += static_cast<float>(glow.g * g * 1.4 + ink.g * a);
        img.rgb[i + 2] += static_cast<float>(glow.b * g * 1.4 + ink.b * a);
    }
}

// Horizontal rule with a diamond in the middle and fading ends.
void Rule(Image& img, double y, double halfWidth, Rgb colour)
{
    GlowLayer g(kW, kH, 16.0);
    const double cx = kW / 2.0;
    g.Segment(cx - halfWidth, y, cx - 14, y);
    g.Segment(cx + 14, y, cx + halfWidth, y);
    g.Segment(cx - 8, y, cx, y - 8);
    g.Segment(cx, y - 8, cx + 8, y);
    g.Segment(cx + 8, y, cx, y + 8);
    g.Segment(cx, y + 8, cx - 8, y);
    Image layer(kW, kH);
    g.Paint(layer, colour, 0.7, 0.3, 4.0);
    for (int yy = 0; yy < kH; ++yy)
        for (int x = 0; x < kW; ++x) {
            const double fade = Smoothstep(halfWidth, halfWidth * 0.4, std::fabs(x + 0.5 - cx));
            img.Add(x, yy, layer.Get(x, yy) * fade);
        }
}

void Finish(Image& img)
{
    for (float& v : img.rgb) v = static_cast<float>(Clamp(v, 0.0, 1.0));
    // Keep a clean black border so the card's quad never shows an edge.
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x)
            if (x < 8 || y < 8 || x >= kW - 8 || y >= kH - 8) img.Set(x, y, {0, 0, 0});
}

const Rgb kInk{0.95, 0.97, 1.0};
const Rgb kRole{0.55, 0.85, 1.0};
const Rgb kGlowBlue{0.1, 0.3, 0.9};
const Rgb kGlowWarm{0.8, 0.3, 0.1};
}  // namespace

Image MakeCredits1(const Font& font)
{
    Image img(kW, kH);
    Rule(img, 58, 170, {0.5, 0.8, 1.0});
    Line(img, font, "CODE", 24, 9, 86, kRole, kGlowBlue);
    Line(img, font, "THE BRALMOND PROJECT", 36, 1, 118, kInk, kGlowBlue);
    Line(img, font, "GRAPHICS & MUSIC", 24, 6, 200, kRole, kGlowBlue);
    Line(img, font, "COMPOSED IN CODE", 36, 1, 232, kInk, kGlowWarm);
    Rule(img, 322, 170, {0.5, 0.8, 1.0});
    Finish(img);
    return img;
}

Image MakeCredits2(const Font& font)
{
    Image img(kW, kH);
    Rule(img, 58, 170, {1.0, 0.7, 0.4});
    Line(img, font, "BUILT ON", 24, 9, 84, {1.0, 0.8, 0.55}, kGlowWarm);
    Line(img, font, "SDL2 \xC2\xB7 OPENGL \xC2\xB7 MESA", 34, 1, 126, kInk, kGlowWarm);
    Line(img, font, "LIBEPOXY \xC2\xB7 MPG123 \xC2\xB7 LAME", 34, 1, 178, kInk, kGlowWarm);
    Line(img, font, "STB \xC2\xB7 LIBPNG", 34, 1, 230, kInk, kGlowWarm);
    Rule(img, 322, 170, {1.0, 0.7, 0.4});
    Finish(img);
    return img;
}

Image MakeTitle(const Font& font)
{
    Image img(kW, kH);
    const Mask m = Fit(font, "BRALMOND", 120, 2, kW - 56);
    const int top = 120;
    Image cover(kW, kH);
    Stamp(cover, m, kW / 2.0, top, {1, 1, 1});
    // Ink extent, for the gradient.
    int y0 = kH, y1 = 0;
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x)
            if (cover.At(x, y)[0] > 0.5f) {
                y0 = std::min(y0, y);
                y1 = std::max(y1, y);
            }
    // Outline: a 2-pixel dilation of the letters minus the letters.
    Image dilated(kW, kH);
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) {
            float best = 0.0f;
            for (int j = -2; j <= 2; ++j)
                for (int i = -2; i <= 2; ++i) {
                    if (i * i + j * j > 5) continue;
                    const int sx = x + i, sy = y + j;
                    if (sx >= 0 && sy >= 0 && sx < kW && sy < kH) best = std::max(best, cover.At(sx, sy)[0]);
                }
            dilated.At(x, y)[0] = best;
        }
    const Image glow = Blur(dilated, 9.0, false);
    const Image wide = Blur(dilated, 22.0, false);
    for (int y = 0; y < kH; ++y) {
        const double t = Clamp((y - y0) / static_cast<double>(y1 - y0 + 1), 0.0, 1.0);
        // Chrome: bright sky above a sharp horizon, warm ground below it.
        Rgb fill = t < 0.52 ? MixRgb(Rgb{1.0, 1.0, 1.0}, Rgb{0.45, 0.7, 1.0}, t / 0.52)
                            : MixRgb(Rgb{1.0, 0.55, 0.15}, Rgb{1.0, 0.9, 0.6}, (t - 0.52) / 0.48);
        // Thin dark cuts through the lower half, wider towards the bottom.
        const double cut = t > 0.55 ? Smoothstep(0.0, 0.12, Fract((t - 0.55) * 7.0) - (t - 0.55) * 0.5) : 1.0;
        fill = fill * (0.35 + 0.65 * cut);
        for (int x = 0; x < kW; ++x) {
            const double a = cover.At(x, y)[0];
            const double edge = std::max(0.0, static_cast<double>(dilated.At(x, y)[0]) - a);
            Rgb c = Rgb{0.15, 0.25, 0.95} * (1.3 * glow.At(x, y)[0]) + Rgb{0.5, 0.1, 0.6} * (0.6 * wide.At(x, y)[0]);
            c = c * (1.0 - a) + fill * a + Rgb{1.0, 0.35, 0.8} * edge;
            img.Set(x, y, c);
        }
    }
    Rule(img, top - 22, 200, {0.6, 0.8, 1.0});
    Line(img, font, "A  REAL-TIME  DEMO", 20, 7, top + m.height + 22, {0.8, 0.9, 1.0}, kGlowBlue);
    Finish(img);
    return img;
}

}  // namespace datagen
