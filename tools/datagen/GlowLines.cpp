// Distance-field strokes with core and glow (see GlowLines.h).
#include "GlowLines.h"

#include <cmath>

#include "DetMath.h"

namespace datagen {

GlowLayer::GlowLayer(int w, int h, double r)
    : width(w), height(h), reach(r), dist(static_cast<size_t>(w) * h, 1e9f)
{
}

void GlowLayer::Segment(double x0, double y0, double x1, double y1)
{
    // Long segments are cut into pieces so that each piece only visits the
    // pixels near it.
    const double len = std::sqrt((x1 - x0) * (x1 - x0) + (y1 - y0) * (y1 - y0));
    const int pieces = static_cast<int>(std::ceil(len / 24.0));
    if (pieces > 1) {
        for (int i = 0; i < pieces; ++i) {
            const double t0 = static_cast<double>(i) / pieces, t1 = static_cast<double>(i + 1) / pieces;
            Segment(x0 + (x1 - x0) * t0, y0 + (y1 - y0) * t0, x0 + (x1 - x0) * t1, y0 + (y1 - y0) * t1);
        }
        return;
    }
    const int bx0 = static_cast<int>(std::floor(std::fmin(x0, x1) - reach));
    const int bx1 = static_cast<int>(std::ceil(std::fmax(x0, x1) + reach));
    const int by0 = static_cast<int>(std::floor(std::fmin(y0, y1) - reach));
    const int by1 = static_cast<int>(std::ceil(std::fmax(y0, y1) + reach));
    const double dx = x1 - x0, dy = y1 - y0, ll = dx * dx + dy * dy;
    for (int y = by0 < 0 ? 0 : by0; y <= by1 && y < height; ++y) {
        for (int x = bx0 < 0 ? 0 : bx0; x <= bx1 && x < width; ++x) {
            const double px = x + 0.5 - x0, py = y + 0.5 - y0;
            const double t = ll > 0 ? Clamp((px * dx + py * dy) / ll, 0.0, 1.0) : 0.0;
            const double ex = px - t * dx, ey = py - t * dy;
            const float d = static_cast<float>(std::sqrt(ex * ex + ey * ey));
            float& cur = dist[static_cast<size_t>(y) * width + x];
            if (d < cur) cur = d;
        }
    }
}

void GlowLayer::Arc(double cx, double cy, double r, double a0, double a1)
{
    const int steps = 1 + static_cast<int>(std::fabs(a1 - a0) * r / 6.0);
    double px = cx + r * Cos(a0), py = cy + r * Sin(a0);
    for (int i = 1; i <= steps; ++i) {
        const double a = a0 + (a1 - a0) * i / steps;
        const double nx = cx + r * Cos(a), ny = cy + r * Sin(a);
        Segment(px, py, nx, ny);
        px = nx;
        py = ny;
    }
}

void GlowLayer::Disc(double cx, double cy, double r)
{
    const int bx0 = static_cast<int>(std::floor(cx - r - reach)), bx1 = static_cast<int>(std::ceil(cx + r + reach));
    const int by0 = static_cast<int>(std::floor(cy - r - reach)), by1 = static_cast<int>(std::ceil(cy + r + reach));
    for (int y = by0 < 0 ? 0 : by0; y <= by1 && y < height; ++y) {
        for (int x = bx0 < 0 ? 0 : bx0; x <= bx1 && x < width; ++x) {
            const double px = x + 0.5 - cx, py = y + 0.5 - cy;
            const float d = static_cast<float>(std::fmax(0.0, std::sqrt(px * px + py * py) - r));
            float& cur = dist[static_cast<size_t>(y) * width + x];
            if (d < cur) cur = d;
        }
    }
}

void GlowLayer::Paint(Image& img, Rgb colour, double sigma, double glowAmount, double glowScale) const
{
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const double d = dist[static_cast<size_t>(y) * width + x];
            if (d > reach) continue;
            const double fade = Smoothstep(reach, reach * 0.7, d);  // no hard edge at the reach
            const double v = Exp(-d * d / (2.0 * sigma * sigma)) + glowAmount * Exp(-d / glowScale) * fade;
            img.Add(x, y, colour * v);
        }
    }
}

}  // namespace datagen
