// Tiling machinery textures. Plane: the ceiling of scene 2's endless
// planes, hull plating split into panels with bevels, rivets, vents and a few
// lamps, mid-dark because it is drawn doubled. Hitek: the skin of scene 4's
// landscape, one grid cell's worth: a glowing frame around a circuit core.
// Every term wraps at 256 pixels, so both tile seamlessly.
#include <cmath>
#include <vector>

#include "DetMath.h"
#include "GlowLines.h"
#include "Noise.h"
#include "Random.h"
#include "Textures.h"

namespace datagen {

namespace {
constexpr int kSize = 256;

struct Panel {
    int x, y, w, h;  // in pixels, multiples of 8
    int kind;
};

// Recursive splits of the square on an 8-pixel grid.
void Split(std::vector<Panel>& out, Pcg32& rng, int x, int y, int w, int h, int depth)
{
    const bool canW = w >= 48, canH = h >= 48;
    if (depth > 0 && (canW || canH) && rng.Uniform() < 0.85) {
        const bool vertical = canW && (!canH || (w > h ? rng.Uniform() < 0.75 : rng.Uniform() < 0.25));
        const int len = vertical ? w : h;
        const int cut = 8 * (2 + rng.Int(len / 8 - 3));
        if (vertical) {
            Split(out, rng, x, y, cut, h, depth - 1);
            Split(out, rng, x + cut, y, w - cut, h, depth - 1);
        } else {
            Split(out, rng, x, y, w, cut, depth - 1);
            Split(out, rng, x, y + cut, w, h - cut, depth - 1);
        }
        return;
    }
    out.push_back({x, y, w, h, rng.Int(5)});
}
}  // namespace

Image MakePlane()
{
    Image img(kSize, kSize);
    Pcg32 rng("Plane.bmp");
    std::vector<Panel> panels;
    Split(panels, rng, 0, 0, kSize, kSize, 5);
    std::vector<int> owner(kSize * kSize, 0);
    for (size_t i = 0; i < panels.size(); ++i)
        for (int y = panels[i].y; y < panels[i].y + panels[i].h; ++y)
            for (int x = panels[i].x; x < panels[i].x + panels[i].w; ++x) owner[y * kSize + x] = static_cast<int>(i);

    GlowLayer lamps(kSize, kSize, 12.0);
    for (int y = 0; y < kSize; ++y) {
        for (int x = 0; x < kSize; ++x) {
            const Panel& p = panels[owner[y * kSize + x]];
            const int lx = x - p.x, ly = y - p.y;
            const double u = (x + 0.5) / kSize, v = (y + 0.5) / kSize;
            // Metal: brushed noise and grime, slightly blue-grey.
            const double grime = Fbm(u * 4.0, v * 4.0, 4, 4, 5, 11u);
            const double brush = GradNoise(u * 64.0, v * 2.0, 64, 2, 12u);
            double level = 0.30 + 0.05 * brush + 0.06 * grime + 0.03 * (p.kind - 2);
            // Bevel: light from the top left, 2 pixels wide.
            if (lx < 2 || ly < 2) level += 0.16;
            else if (lx >= p.w - 2 || ly >= p.h - 2) level -= 0.16;
            // Seams between panels are dark.
            if (lx == 0 || ly == 0) level *= 0.45;
            // Kind 1: vent slots; kind 3: recessed; rivets in the corners.
            if (p.kind == 1 && lx > 6 && lx < p.w - 6 && ly > 6 && ly < p.h - 6 && (ly / 4) % 2 == 0) level *= 0.45;
            if (p.kind == 3 && lx >= 6 && ly >= 6 && lx < p.w - 6 && ly < p.h - 6) {
                level -= 0.05;
                if (lx == 6 || ly == 6) level -= 0.08;
                else if (lx == p.w - 7 || ly == p.h - 7) level += 0.08;
            }
            const int corners[4][2] = {{5, 5}, {p.w - 6, 5}, {5, p.h - 6}, {p.w - 6, p.h - 6}};
            for (const auto& c : corners) {
                const double dx = lx - c[0], dy = ly - c[1];
                const double d2 = dx * dx + dy * dy;
                if (d2 <= 2.5) level += 0.2 - 0.1 * (dx + dy);
            }
            const Rgb tint{0.92, 0.97, 1.08};
            img.Set(x, y, tint * level);
        }
    }
    // Lamps: light strips along some panel edges, drawn wrapped.
    for (const Panel& p : panels) {
        if (p.kind != 4) continue;
        if (p.w >= p.h) lamps.Segment(p.x + 8, p.y + p.h / 2.0, p.x + p.w - 8, p.y + p.h / 2.0);
        else lamps.Segment(p.x + p.w / 2.0, p.y + 8, p.x + p.w / 2.0, p.y + p.h - 8);
    }
    Image glow(kSize, kSize);
    lamps.Paint(glow, {1.0, 0.75, 0.4}, 1.0, 0.3, 3.0);
    for (size_t i = 0; i < img.rgb.size(); ++i) img.rgb[i] = static_cast<float>(Clamp(img.rgb[i] + glow.rgb[i], 0.0, 1.0));
    // Roll the picture so the panel seams of the square's own border fall
    // inside it: the edges where the tiles meet then run through plates.
    Image rolled(kSize, kSize);
    for (int y = 0; y < kSize; ++y)
        for (int x = 0; x < kSize; ++x) rolled.Set(x, y, img.Get((x + 100) % kSize, (y + 68) % kSize));
    return rolled;
}

Image MakeHitek()
{
    Image img(kSize, kSize);
    Pcg32 rng("Hitek.bmp");
    // Frame along the cell border (drawn at both edges so mirrored cells join
    // into a continuous grid), an inner square and a chip in the centre.
    GlowLayer frame(kSize, kSize, 24.0), inner(kSize, kSize, 16.0), traces(kSize, kSize, 10.0);
    frame.Segment(0, 3, kSize, 3);
    frame.Segment(0, kSize - 3, kSize, kSize - 3);
    frame.Segment(3, 0, 3, kSize);
    frame.Segment(kSize - 3, 0, kSize - 3, kSize);
    const double a = 70.0, b = kSize - 70.0;
    inner.Segment(a, a, b, a);
    inner.Segment(b, a, b, b);
    inner.Segment(b, b, a, b);
    inner.Segment(a, b, a, a);
    // Traces from the inner square out to the frame, symmetric in four.
    for (int i = 0; i < 6; ++i) {
        const double o = 84.0 + i * 18.0;
        const double bend = 20.0 + rng.Range(0.0, 30.0);
        traces.Segment(o, a, o, a - bend);
        traces.Segment(o, a - bend, o + (o < 128 ? -1 : 1) * 20.0, a - bend - 20.0);
        traces.Segment(o + (o < 128 ? -1 : 1) * 20.0, a - bend - 20.0, o + (o < 128 ? -1 : 1) * 20.0, 3.0);
        traces.Segment(o, b, o, b + bend);
        traces.Segment(o, b + bend, o + (o < 128 ? -1 : 1) * 20.0, b + bend + 20.0);
        traces.Segment(o + (o < 128 ? -1 : 1) * 20.0, b + bend + 20.0, o + (o < 128 ? -1 : 1) * 20.0, kSize - 3.0);
        traces.Segment(a, o, a - bend, o);
        traces.Segment(b, o, b + bend, o);
        traces.Disc(a - bend, o, 3.0);
        traces.Disc(b + bend, o, 3.0);
    }
    // Base: dark blue-green plate with a faint fine grid and noise.
    Shade(img, 2, [](double u, double v) {
        const double n = Fbm(u * 8.0, v * 8.0, 8, 8, 4, 5u);
        const double gx = Fract(u * 16.0), gy = Fract(v * 16.0);
        const double grid = (gx < 0.06 || gy < 0.06) ? 0.05 : 0.0;
        return Rgb{0.05, 0.12, 0.16} * (1.0 + 0.4 * n) + Rgb{0.1, 0.3, 0.35} * grid;
    });
    // Chip in the middle: a raised block with a hot core.
    for (int y = 96; y < 160; ++y)
        for (int x = 96; x < 160; ++x) {
            const double dx = (x + 0.5 - 128.0) / 32.0, dy = (y + 0.5 - 128.0) / 32.0;
            const double edge = std::fmax(std::fabs(dx), std::fabs(dy));
            img.Set(x, y, Rgb{0.2, 0.22, 0.25} * (edge > 0.9 ? 1.6 : 1.0) + Rgb{1.0, 0.5, 0.1} * Exp(-(dx * dx + dy * dy) * 3.0));
        }
    frame.Paint(img, {0.2, 0.95, 1.0}, 1.4, 0.5, 8.0);
    inner.Paint(img, {0.3, 0.6, 1.0}, 1.0, 0.35, 5.0);
    traces.Paint(img, {0.3, 1.0, 0.6}, 0.9, 0.3, 3.0);
    for (float& v : img.rgb) v = static_cast<float>(Clamp(v, 0.0, 1.0));
    return img;
}

}  // namespace datagen
