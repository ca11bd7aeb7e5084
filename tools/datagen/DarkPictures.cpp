// The two full-screen pictures that are added over 3D scenes: Cyber (scene 2,
// over the terrain flight) is a neon perspective grid under a striped ring
// and circuit traces; Gangbang (scene 4, over the landscape and the object)
// is a targeting display whose structures keep to the edges so the object in
// the middle stays visible. Both are black apart from their glowing lines.
#include <cmath>

#include "DetMath.h"
#include "GlowLines.h"
#include "Random.h"
#include "Textures.h"

namespace datagen {

namespace {
constexpr int kW = 800, kH = 600;

// Circuit traces: random walks on a 12-px grid with 45-degree bends, ending
// in pads; confined to a rectangle.
void Traces(GlowLayer& lines, GlowLayer& pads, Pcg32& rng, int count, double x0, double y0, double x1, double y1)
{
    static const int dirs[8][2] = {{1, 0}, {1, 1}, {0, 1}, {-1, 1}, {-1, 0}, {-1, -1}, {0, -1}, {1, -1}};
    for (int t = 0; t < count; ++t) {
        double x = std::floor(rng.Range(x0, x1) / 12.0) * 12.0 + 6.0;
        double y = std::floor(rng.Range(y0, y1) / 12.0) * 12.0 + 6.0;
        int dir = rng.Int(4) * 2;
        pads.Circle(x, y, 3.5);
        const int legs = 2 + rng.Int(4);
        for (int l = 0; l < legs; ++l) {
            const int steps = 2 + rng.Int(7);
            double nx = x + dirs[dir][0] * 12.0 * steps, ny = y + dirs[dir][1] * 12.0 * steps;
            nx = Clamp(nx, x0, x1);
            ny = Clamp(ny, y0, y1);
            lines.Segment(x, y, nx, ny);
            x = nx;
            y = ny;
            dir = (dir + (rng.Int(2) ? 1 : 7)) % 8;
        }
        pads.Disc(x, y, 3.0);
    }
}

void Finish(Image& img)
{
    ToneMap(img, 1.3);
    // Cut the faint tails of the glows so empty areas add nothing at all.
    const double floor = 6.0 / 255.0;
    for (float& v : img.rgb) v = static_cast<float>(std::fmax(0.0, (v - floor) / (1.0 - floor)));
}
}  // namespace

Image MakeCyber()
{
    Image img(kW, kH);
    Pcg32 rng("Cyber.bmp");
    const double horizon = 345.0, vx = 400.0;

    // Perspective floor grid: rows closer together towards the horizon.
    GlowLayer grid(kW, kH, 28.0);
    for (int k = 1; k <= 14; ++k) {
        const double z = k * 0.55;
        const double y = horizon + 255.0 / (z * z + 0.2) * 0.22 * k;
        if (y > kH + 2) continue;
        grid.Segment(0, y, kW, y);
    }
    for (int k = -18; k <= 18; ++k) grid.Segment(vx + k * 6.0, horizon, vx + k * 95.0, kH + 40.0);
    Image floor(kW, kH);
    grid.Paint(floor, {0.1, 0.75, 1.0}, 0.8, 0.3, 4.5);
    // The grid fades into the horizon haze.
    for (int y = 0; y < kH; ++y) {
        const double f = y < horizon ? 0.0 : Smoothstep(horizon, horizon + 110.0, y);
        for (int x = 0; x < kW; ++x) {
            float* p = floor.At(x, y);
            for (int c = 0; c < 3; ++c) p[c] = static_cast<float>(p[c] * f);
        }
    }

    // The ring: concentric circles cut by horizontal gaps that widen towards
    // the bottom, sitting on the horizon.
    GlowLayer ring(kW, kH, 30.0);
    const double rcx = 400.0, rcy = 250.0;
    for (int i = 0; i < 4; ++i) ring.Circle(rcx, rcy, 150.0 - i * 22.0);
    Image sun(kW, kH);
    ring.Paint(sun, {1.0, 0.2, 0.75}, 1.0, 0.35, 8.0);
    for (int y = 0; y < kH; ++y) {
        const double band = Fract((y - rcy) / 18.0);
        const double gap = Clamp((y - rcy + 40.0) / 160.0, 0.0, 0.7);
        const double keep = y < horizon ? Smoothstep(gap, gap + 0.05, band) : 0.0;
        for (int x = 0; x < kW; ++x) {
            float* p = sun.At(x, y);
            for (int c = 0; c < 3; ++c) p[c] = static_cast<float>(p[c] * keep);
        }
    }

    // Horizon line with a bright glow, and circuit traces in the upper corners.
    GlowLayer horizonLine(kW, kH, 40.0);
    horizonLine.Segment(0, horizon, kW, horizon);
    GlowLayer traces(kW, kH, 20.0), pads(kW, kH, 20.0);
    Traces(traces, pads, rng, 26, 10, 10, 230, 300);
    Traces(traces, pads, rng, 26, 570, 10, 790, 300);

    for (size_t i = 0; i < img.rgb.size(); ++i) img.rgb[i] = floor.rgb[i] + sun.rgb[i];
    horizonLine.Paint(img, {0.6, 0.9, 1.0}, 1.2, 0.5, 10.0);
    traces.Paint(img, {0.2, 1.0, 0.6}, 0.7, 0.25, 5.0);
    pads.Paint(img, {0.8, 1.0, 0.5}, 0.8, 0.4, 5.0);
    Finish(img);
    return img;
}

Image MakeGangbang()
{
    Image img(kW, kH);
    Pcg32 rng("Gangbang.bmp");
    const double cx = 400.0, cy = 300.0;
    GlowLayer arcs(kW, kH, 30.0), ticks(kW, kH, 20.0), frame(kW, kH, 24.0), rays(kW, kH, 20.0);

    // Broken rings: arcs of random length at a few radii, outside the middle.
    const double radii[5] = {205.0, 228.0, 262.0, 300.0, 380.0};
    for (double r : radii) {
        double a = rng.Range(0.0, 1.0);
        while (a < 6.28) {
            const double len = rng.Range(0.3, 1.3);
            arcs.Arc(cx, cy, r, a, std::fmin(a + len, 6.28 + 0.0));
            a += len + rng.Range(0.1, 0.5);
        }
    }
    // Tick marks around the inner ring, long every fifth.
    for (int i = 0; i < 120; ++i) {
        const double a = i * 6.283185307179586 / 120.0;
        const double r0 = 186.0, r1 = i % 5 == 0 ? 172.0 : 180.0;
        ticks.Segment(cx + r0 * Cos(a), cy + r0 * Sin(a), cx + r1 * Cos(a), cy + r1 * Sin(a));
    }
    // A burst of rays from the ring outwards.
    for (int i = 0; i < 48; ++i) {
        const double a = i * 6.283185307179586 / 48.0 + 0.03;
        const double r0 = 320.0 + rng.Range(0.0, 30.0), r1 = r0 + rng.Range(40.0, 160.0);
        rays.Segment(cx + r0 * Cos(a), cy + r0 * Sin(a), cx + r1 * Cos(a), cy + r1 * Sin(a));
    }
    // Corner brackets and a crosshair gap in the middle.
    const double m = 28.0, l = 90.0;
    frame.Segment(m, m, m + l, m);
    frame.Segment(m, m, m, m + l);
    frame.Segment(kW - m, m, kW - m - l, m);
    frame.Segment(kW - m, m, kW - m, m + l);
    frame.Segment(m, kH - m, m + l, kH - m);
    frame.Segment(m, kH - m, m, kH - m - l);
    frame.Segment(kW - m, kH - m, kW - m - l, kH - m);
    frame.Segment(kW - m, kH - m, kW - m, kH - m - l);
    frame.Segment(cx - 160, cy, cx - 120, cy);
    frame.Segment(cx + 120, cy, cx + 160, cy);
    frame.Segment(cx, cy - 160, cx, cy - 120);
    frame.Segment(cx, cy + 120, cx, cy + 160);
    // Scale bars along the left and right edges.
    for (int i = 0; i < 21; ++i) {
        const double y = 160.0 + i * 14.0, w = i % 5 == 0 ? 22.0 : 11.0;
        frame.Segment(m + 12, y, m + 12 + w, y);
        frame.Segment(kW - m - 12, y, kW - m - 12 - w, y);
    }

    arcs.Paint(img, {1.0, 0.45, 0.12}, 1.0, 0.35, 9.0);
    rays.Paint(img, {0.9, 0.2, 0.1}, 0.7, 0.3, 6.0);
    ticks.Paint(img, {1.0, 0.85, 0.5}, 0.7, 0.25, 4.0);
    frame.Paint(img, {0.9, 0.95, 1.0}, 0.8, 0.3, 6.0);
    // A faint red haze in the corners, for depth.
    for (int y = 0; y < kH; ++y) {
        for (int x = 0; x < kW; ++x) {
            const double dx = (x - cx) / 400.0, dy = (y - cy) / 300.0;
            const double r2 = dx * dx + dy * dy;
            img.Add(x, y, Rgb{0.12, 0.02, 0.03} * Smoothstep(0.9, 2.0, r2));
        }
    }
    Finish(img);
    return img;
}

}  // namespace datagen
