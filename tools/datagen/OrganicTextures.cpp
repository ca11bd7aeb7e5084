// Tiling organic textures. Paddo: a toadstool's skin for scene 3's spiky
// object, red cap with pale warts and dark veins. Grainfield and Blaat: the
// two tunnel layers of scene 3, added together: swaying golden stalks, and
// violet plasma rings. Kots: the skin of scene 4's deforming object, marbled
// acid green. Every term is periodic over 256 pixels.
#include <cmath>

#include "DetMath.h"
#include "Noise.h"
#include "Textures.h"

namespace datagen {

namespace {
constexpr int kSize = 256;
constexpr double kTau = 6.283185307179586;

// Cyclic palette: a + b cos(2 pi (c t + d)).
Rgb Cosine(double t, Rgb a, Rgb b, Rgb c, Rgb d)
{
    return {a.r + b.r * Cos(kTau * (c.r * t + d.r)), a.g + b.g * Cos(kTau * (c.g * t + d.g)),
            a.b + b.b * Cos(kTau * (c.b * t + d.b))};
}

Image Clamped(Image img)
{
    for (float& v : img.rgb) v = static_cast<float>(Clamp(v, 0.0, 1.0));
    return img;
}
}  // namespace

Image MakePaddo()
{
    Image img(kSize, kSize);
    Shade(img, 2, [](double u, double v) {
        // Warp the cell lookup a little so the warts are not round.
        const double wx = 0.03 * Fbm(u * 4.0, v * 4.0, 4, 4, 3, 31u);
        const double wy = 0.03 * Fbm(u * 4.0 + 7.1, v * 4.0, 4, 4, 3, 32u);
        const Cells warts = Worley(Fract(u + wx + 1.0), Fract(v + wy + 1.0), 7, 33u);
        const Cells skin = Worley(u, v, 24, 34u);
        const double n = Fbm(u * 8.0, v * 8.0, 8, 8, 5, 35u);
        Rgb cap = MixRgb(Rgb{0.55, 0.04, 0.03}, Rgb{0.85, 0.15, 0.05}, Clamp(0.5 + 0.8 * n, 0.0, 1.0));
        // Fine skin veins: dark where the two nearest cells are equally near.
        const double vein = 1.0 - Smoothstep(0.0, 0.012, skin.f2 - skin.f1);
        cap = cap * (1.0 - 0.55 * vein);
        // Pale warts with a soft, slightly yellow rim.
        const double size = 0.035 + 0.03 * ((warts.id >> 8) & 255) / 255.0;
        const double w = Smoothstep(size, size * 0.55, warts.f1);
        const Rgb wart = MixRgb(Rgb{0.95, 0.85, 0.6}, Rgb{1.0, 0.97, 0.9}, Smoothstep(size, 0.0, warts.f1));
        return MixRgb(cap, wart, w * 0.95);
    });
    return Clamped(img);
}

Image MakeGrainfield()
{
    Image img(kSize, kSize);
    Shade(img, 2, [](double u, double v) {
        // Stalks: thin stripes across u, swaying with v.
        const double sway = 0.06 * Fbm(u * 2.0, v * 2.0, 2, 2, 3, 41u);
        const double x = u + sway;
        const double stalks = 0.5 + 0.5 * GradNoise(x * 48.0, v * 3.0, 48, 3, 42u);
        const double fine = 0.5 + 0.5 * GradNoise(x * 128.0, v * 6.0, 128, 6, 43u);
        const double heads = Smoothstep(0.55, 0.9, 0.5 + 0.5 * Fbm(x * 16.0, v * 16.0, 16, 16, 3, 44u));
        const double s = Pow(stalks, 1.6) * (0.55 + 0.45 * fine);
        Rgb c = Rgb{0.95, 0.6, 0.12} * s + Rgb{1.0, 0.85, 0.4} * (0.6 * heads * s);
        // Dark furrows across the field make the tunnel's motion readable.
        const double furrow = 0.6 + 0.4 * Cos(kTau * (v * 4.0 + 0.3 * Fbm(u * 2.0, v * 2.0, 2, 2, 2, 45u)));
        return c * (1.8 * furrow);
    });
    return Clamped(img);
}

Image MakeBlaat()
{
    Image img(kSize, kSize);
    Shade(img, 2, [](double u, double v) {
        // Plasma: integer wave numbers keep every term periodic.
        const double t = 0.25 * Sin(kTau * (2.0 * u + 1.0 * v)) + 0.25 * Sin(kTau * (1.0 * u - 3.0 * v) + 1.3) +
                         0.25 * Sin(kTau * (3.0 * u + 2.0 * v) + 2.1) + 0.25 * Sin(kTau * 4.0 * v + 0.7) +
                         0.15 * Fbm(u * 4.0, v * 4.0, 4, 4, 4, 51u);
        const Rgb c = Cosine(t * 1.2, {0.35, 0.15, 0.4}, {0.35, 0.15, 0.4}, {1.0, 1.0, 1.0}, {0.0, 0.25, 0.1});
        // Bright thin rings where the plasma crosses its level lines.
        const double ring = Pow(std::fabs(Sin(kTau * t * 2.0)), 24.0);
        return c * 0.75 + Rgb{0.5, 0.6, 1.0} * (0.35 * ring);
    });
    return Clamped(img);
}

Image MakeKots()
{
    Image img(kSize, kSize);
    Shade(img, 2, [](double u, double v) {
        // Domain-warped marble.
        const double px = u * 3.0, py = v * 3.0;
        const double qx = Fbm(px, py, 3, 3, 5, 61u), qy = Fbm(px + 5.2, py + 1.3, 3, 3, 5, 62u);
        const double f = Fbm(px + 2.0 * qx, py + 2.0 * qy, 3, 3, 5, 63u);
        const double m = 0.5 + 0.5 * Sin(kTau * (u + v) + 9.0 * f);
        Rgb c = Cosine(f * 0.8 + 0.1 * m, {0.45, 0.5, 0.2}, {0.35, 0.4, 0.2}, {1.0, 1.0, 1.0}, {0.1, 0.2, 0.55});
        c = MixRgb(c, Rgb{0.95, 0.95, 0.55}, Pow(m, 8.0) * 0.7);
        return c;
    });
    return Clamped(img);
}

}  // namespace datagen
