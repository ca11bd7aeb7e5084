// Gradient, fractal, ridged and cellular noise with wrapping lattices
// (see Noise.h).
#include "Noise.h"

#include <cmath>

#include "Random.h"

namespace datagen {

namespace {
int Wrap(int i, int p) { return ((i % p) + p) % p; }

// 16 unit gradients at multiples of 22.5 degrees.
constexpr double kGrad[16][2] = {
    {1.0, 0.0}, {0.92387953, 0.38268343}, {0.70710678, 0.70710678}, {0.38268343, 0.92387953},
    {0.0, 1.0}, {-0.38268343, 0.92387953}, {-0.70710678, 0.70710678}, {-0.92387953, 0.38268343},
    {-1.0, 0.0}, {-0.92387953, -0.38268343}, {-0.70710678, -0.70710678}, {-0.38268343, -0.92387953},
    {0.0, -1.0}, {0.38268343, -0.92387953}, {0.70710678, -0.70710678}, {0.92387953, -0.38268343}};

double Corner(int ix, int iy, int px, int py, uint32_t seed, double dx, double dy)
{
    const uint32_t h = Hash2(Wrap(ix, px), Wrap(iy, py), seed) & 15u;
    return kGrad[h][0] * dx + kGrad[h][1] * dy;
}

double Quintic(double t) { return t * t * t * (t * (t * 6.0 - 15.0) + 10.0); }
}  // namespace

double GradNoise(double x, double y, int px, int py, uint32_t seed)
{
    const double fx = std::floor(x), fy = std::floor(y);
    const int ix = static_cast<int>(fx), iy = static_cast<int>(fy);
    const double dx = x - fx, dy = y - fy;
    const double u = Quintic(dx), v = Quintic(dy);
    const double n00 = Corner(ix, iy, px, py, seed, dx, dy);
    const double n10 = Corner(ix + 1, iy, px, py, seed, dx - 1.0, dy);
    const double n01 = Corner(ix, iy + 1, px, py, seed, dx, dy - 1.0);
    const double n11 = Corner(ix + 1, iy + 1, px, py, seed, dx - 1.0, dy - 1.0);
    const double a = n00 + (n10 - n00) * u;
    const double b = n01 + (n11 - n01) * u;
    return (a + (b - a) * v) * 1.4142135623730951;
}

double Fbm(double x, double y, int px, int py, int octaves, uint32_t seed)
{
    double sum = 0.0, amp = 1.0, norm = 0.0;
    for (int i = 0; i < octaves; ++i) {
        sum += amp * GradNoise(x, y, px, py, seed + 101u * static_cast<uint32_t>(i));
        norm += amp;
        amp *= 0.5;
        x *= 2.0;
        y *= 2.0;
        px *= 2;
        py *= 2;
    }
    return sum / norm;
}

double Ridged(double x, double y, int px, int py, int octaves, uint32_t seed)
{
    double sum = 0.0, amp = 1.0, norm = 0.0, weight = 1.0;
    for (int i = 0; i < octaves; ++i) {
        double n = 1.0 - std::fabs(GradNoise(x, y, px, py, seed + 131u * static_cast<uint32_t>(i)));
        n *= n;
        n *= weight;
        weight = n < 1.0 ? n : 1.0;
        sum += amp * n;
        norm += amp;
        amp *= 0.5;
        x *= 2.0;
        y *= 2.0;
        px *= 2;
        py *= 2;
    }
    return sum / norm;
}

Cells Worley(double u, double v, int g, uint32_t seed)
{
    const double x = u * g, y = v * g;
    const int cx = static_cast<int>(std::floor(x)), cy = static_cast<int>(std::floor(y));
    Cells c{1e9, 1e9, 0};
    for (int j = -1; j <= 1; ++j) {
        for (int i = -1; i <= 1; ++i) {
            const int gx = cx + i, gy = cy + j;
            const uint32_t h = Hash2(Wrap(gx, g), Wrap(gy, g), seed);
            const double jx = (h & 0xffff) * (1.0 / 65536.0);
            const double jy = (h >> 16) * (1.0 / 65536.0);
            const double ddx = gx + jx - x, ddy = gy + jy - y;
            const double d = std::sqrt(ddx * ddx + ddy * ddy) / g;
            if (d < c.f1) {
                c.f2 = c.f1;
                c.f1 = d;
                c.id = h;
            } else if (d < c.f2) {
                c.f2 = d;
            }
        }
    }
    return c;
}

}  // namespace datagen
