// The two space pictures: Space1, an opaque nebula with a star field that
// scene 1 shows growing from the lower-left corner, and Space2, bright stars
// and glows that scene 1 adds over it and scene 5 shows on its own.
#include <algorithm>
#include <cmath>

#include "DetMath.h"
#include "Noise.h"
#include "Random.h"
#include "Textures.h"

namespace datagen {

namespace {
constexpr int kW = 800, kH = 600;

// Star colour: mostly white, tinted towards blue or orange by at most 30 %.
Rgb StarTint(Pcg32& rng)
{
    const double t = rng.Range(-1.0, 1.0);
    const double s = 0.3 * t;
    if (s >= 0) return {1.0 - 0.5 * s, 1.0 - 0.2 * s, 1.0};
    return {1.0, 1.0 + 0.25 * s, 1.0 + s};
}

// Adds a star field: luminosities follow a power law (many faint, few
// bright); brighter stars get a halo, the brightest four diffraction rays.
void AddStars(Image& img, Pcg32& rng, int count, double minL, double alpha, int spiked, double haloGain)
{
    struct Star {
        double x, y, l;
        Rgb tint;
    };
    std::vector<Star> stars;
    for (int i = 0; i < count; ++i) {
        Star s;
        s.x = rng.Range(0.0, kW);
        s.y = rng.Range(0.0, kH);
        const double u = rng.Range(1e-4, 1.0);
        s.l = std::fmin(1.0, minL * Pow(u, -1.0 / alpha));
        s.tint = StarTint(rng);
        stars.push_back(s);
    }
    // The brightest get the rays: pick them by a fixed scan.
    std::vector<int> order(stars.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = static_cast<int>(i);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return stars[a].l > stars[b].l; });
    for (size_t k = 0; k < stars.size(); ++k) {
        const Star& s = stars[order[k]];
        Splat(img, s.x, s.y, 0.6 + 0.5 * s.l, s.tint * (s.l * 1.6), false);
        if (s.l > 0.3) {
            const int r = 12 + static_cast<int>(10 * s.l);
            for (int y = static_cast<int>(s.y) - r; y <= static_cast<int>(s.y) + r; ++y) {
                for (int x = static_cast<int>(s.x) - r; x <= static_cast<int>(s.x) + r; ++x) {
                    if (x < 0 || y < 0 || x >= kW || y >= kH) continue;
                    const double dx = x + 0.5 - s.x, dy = y + 0.5 - s.y;
                    const double q = 1.0 + (dx * dx + dy * dy) / 4.0;
                    const double fade = Smoothstep(r, r * 0.6, std::sqrt(dx * dx + dy * dy));
                    img.Add(x, y, s.tint * (haloGain * s.l * fade / (q * std::sqrt(q))));
                }
            }
        }
        if (static_cast<int>(k) < spiked) {
            const int len = 30 + static_cast<int>(40 * s.l);
            for (int d = -len; d <= len; ++d) {
                const double w = 0.5 * s.l * Pow(1.0 - std::fabs(d) / (len + 1.0), 3.0);
                for (int side = -1; side <= 1; ++side) {
                    const double ws = side == 0 ? w : w * 0.25;
                    const int hx = static_cast<int>(s.x) + d, hy = static_cast<int>(s.y) + side;
                    if (hx >= 0 && hx < kW && hy >= 0 && hy < kH) img.Add(hx, hy, s.tint * ws);
                    const int vx = static_cast<int>(s.x) + side, vy = static_cast<int>(s.y) + d;
                    if (vx >= 0 && vx < kW && vy >= 0 && vy < kH) img.Add(vx, vy, s.tint * ws);
                }
            }
        }
    }
}

// Ramp black -> deep blue -> purple -> orange -> white over v in [0, 1].
Rgb NebulaRamp(double v)
{
    static const Rgb stops[5] = {{0, 0, 0}, {0.05, 0.08, 0.3}, {0.45, 0.1, 0.45}, {0.95, 0.45, 0.2}, {1, 1, 1}};
    v = Clamp(v, 0.0, 1.0) * 4.0;
    int i = static_cast<int>(v);
    if (i > 3) i = 3;
    return MixRgb(stops[i], stops[i + 1], v - i);
}

// Removes the faint floor so empty space is exactly black, then rescales.
void CutFloor(Image& img, double floor)
{
    for (float& v : img.rgb) v = static_cast<float>(std::fmax(0.0, (v - floor) / (1.0 - floor)));
}

// Warped-fBm nebula: returns colour for picture coordinates (x, y) in
// units of the picture height.
struct Nebula {
    uint32_t seed;
    double cover, sharp, peak;
    Rgb hue2;
    Rgb At(double x, double y, double mask) const
    {
        const double px = x * 2.2, py = y * 2.2;
        const double qx = Fbm(px, py, 4096, 4096, 5, seed);
        const double qy = Fbm(px + 5.2, py + 1.3, 4096, 4096, 5, seed + 7);
        const double f = Fbm(px + 4.0 * qx, py + 4.0 * qy, 4096, 4096, 7, seed + 13);
        // Fine filaments along the warped flow.
        const double fil = Ridged(px * 6.0 + 3.0 * qx, py * 6.0 + 3.0 * qy, 4096, 4096, 3, seed + 17);
        const double d = (0.5 + 0.5 * f) * mask * (0.88 + 0.24 * fil);
        const double c = std::fmax(0.0, d - (1.0 - cover));
        const double v = 1.0 - Pow(sharp, 255.0 * c);
        const double dust = 1.0 - 0.7 * Ridged(px * 3.0, py * 3.0, 4096, 4096, 4, seed + 21);
        const double q = Clamp(std::sqrt(qx * qx + qy * qy) * 1.4, 0.0, 1.0);
        Rgb col = MixRgb(NebulaRamp(v), hue2 * (v * 1.2), q * 0.55);
        return col * (peak * dust);
    }
};
}  // namespace

Image MakeSpace1()
{
    Image img(kW, kH);
    const Nebula neb{0x5ace1u, 0.55, 0.982, 0.72, {0.1, 0.55, 0.7}};
    // The nebula lies along a band from the lower left (which stays on screen
    // as the picture grows) towards the upper middle, with a second cloud.
    Shade(img, 1, [&](double u, double v) {
        const double x = u * kW / kH, y = v;
        const double bx = x - 0.25, by = 0.9 - y;
        const double along = (bx * 0.6 + by * 0.8), across = (bx * 0.8 - by * 0.6);
        double mask = Exp(-across * across / 0.09) * Smoothstep(-0.35, 0.15, along) * Smoothstep(1.5, 0.7, along);
        const double cx = x - 1.05, cy = y - 0.3;
        mask += 0.75 * Exp(-(cx * cx + cy * cy) / 0.05);
        mask = Clamp(0.35 + 0.85 * mask, 0.0, 1.25);
        return neb.At(x, y, mask);
    });
    Image stars(kW, kH);
    Pcg32 rng("Space1.bmp");
    AddStars(stars, rng, 3200, 0.035, 1.35, 5, 0.35);
    ToneMap(stars, 1.6);
    for (size_t i = 0; i < img.rgb.size(); ++i) img.rgb[i] = static_cast<float>(std::fmin(1.0, img.rgb[i] + stars.rgb[i]));
    CutFloor(img, 3.0 / 255.0);
    return img;
}

Image MakeSpace2()
{
    Image img(kW, kH);
    // A blue-violet veil with bright knots in the lower half (scene 5 shows
    // the picture growing from its lower-left corner, so that part stays in
    // view), away from the first picture's band so the two do not pile up.
    const Nebula neb{0x5ace2u, 0.45, 0.975, 0.6, {0.25, 0.35, 0.95}};
    Shade(img, 1, [&](double u, double v) {
        const double x = u * kW / kH, y = v;
        const double cx = x - 0.75, cy = y - 0.72;
        const double mask = Clamp(0.25 + 0.95 * Exp(-(cx * cx * 0.5 + cy * cy) / 0.1), 0.0, 1.2);
        Rgb c = neb.At(x + 3.1, y + 7.7, mask);
        return Rgb{c.b * 0.55, c.g * 0.6, c.r * 0.9 + c.b * 0.4};
    });
    Pcg32 rng("Space2.bmp");
    // Globular glows: many small stars packed around a few centres.
    Image stars(kW, kH);
    for (int cl = 0; cl < 3; ++cl) {
        const double gx = rng.Range(60.0, 560.0), gy = rng.Range(200.0, 560.0);
        const double spread = rng.Range(10.0, 22.0);
        const Rgb tint = cl == 0 ? Rgb{1.0, 0.85, 0.6} : Rgb{0.8, 0.9, 1.0};
        Splat(stars, gx, gy, spread * 1.5, tint * 0.10, false);
        for (int i = 0; i < 160; ++i) {
            const double sx = gx + rng.Gauss() * spread, sy = gy + rng.Gauss() * spread;
            Splat(stars, sx, sy, 0.6, tint * rng.Range(0.15, 0.6), false);
        }
    }
    AddStars(stars, rng, 1400, 0.05, 1.2, 6, 0.45);
    ToneMap(stars, 1.5);
    for (size_t i = 0; i < img.rgb.size(); ++i) img.rgb[i] = static_cast<float>(std::fmin(1.0, img.rgb[i] + stars.rgb[i]));
    CutFloor(img, 4.0 / 255.0);
    return img;
}

}  // namespace datagen
