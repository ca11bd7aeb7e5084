// Terrain maps from ridged and fractal noise, thermally eroded, smoothed and
// kept under a ceiling that depends on the distance from the middle, so the
// scenes' cameras (which circle the turning landscape) never fly into a
// hill (see Terrain.h).
#include "Terrain.h"

#include <cmath>

#include "DetMath.h"
#include "Noise.h"

namespace datagen {

namespace {
constexpr int kN = 64;

// Piecewise-linear function of the distance from the map's middle.
struct Profile {
    double r[6];
    double h[6];
    double At(double x) const
    {
        if (x <= r[0]) return h[0];
        for (int k = 1; k < 6; ++k)
            if (x <= r[k]) return Mix(h[k - 1], h[k], (x - r[k - 1]) / (r[k] - r[k - 1]));
        return h[5];
    }
};

struct Shape {
    uint32_t seed;
    double ridgeMix;   // 0: rolling fBm, 1: sharp ridges
    Profile floor;     // valley floor height by radius
    Profile relief;    // height of the forms above the floor by radius
    double cap;        // highest height anywhere
    std::vector<EyeSample> eyes;  // cameras to keep clear of
    double sign;       // -1 when the map is seen upside down
};

constexpr double kClearance = 2.0;  // eye to ground, near plane at 1.0

// Highest height allowed at every grid point: below every eye that passes
// within 3 units of it by the clearance.
std::vector<double> Ceiling(const Shape& s)
{
    std::vector<double> c(kN * kN, s.cap);
    for (const EyeSample& e : s.eyes) {
        const int j0 = static_cast<int>(std::floor(e.x + 32.0 - 3.0)), i0 = static_cast<int>(std::floor(e.z + 32.0 - 3.0));
        for (int i = i0; i <= i0 + 7; ++i)
            for (int j = j0; j <= j0 + 7; ++j) {
                if (i < 0 || j < 0 || i >= kN || j >= kN) continue;
                const double dx = j - 32.0 - e.x, dz = i - 32.0 - e.z;
                if (dx * dx + dz * dz > 9.0) continue;
                c[i * kN + j] = std::fmin(c[i * kN + j], e.y - kClearance);
            }
    }
    return c;
}

double Blend(double a, double b, double u) { return a + (b - a) * (1.0 - Cos(3.1415927 * u)) * 0.5; }

// Adds the eye at world position p seen by land turned by angle about the
// vertical axis, in both senses.
void AddTurned(std::vector<EyeSample>& out, double x, double y, double z, double angle)
{
    const double c = Cos(angle), s = Sin(angle);
    out.push_back({x * c - z * s, y, x * s + z * c});
    out.push_back({x * c + z * s, y, -x * s + z * c});
}

double Radius(int i, int j)
{
    const double x = j - 32.0, z = i - 32.0;
    return std::sqrt(x * x + z * z);
}

// Thermal erosion: material slides to lower neighbours where the slope is
// steeper than the talus threshold.
void Erode(std::vector<double>& h, double talus, int passes)
{
    static const int nb[4][2] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}};
    for (int pass = 0; pass < passes; ++pass) {
        std::vector<double> delta(h.size(), 0.0);
        for (int i = 0; i < kN; ++i)
            for (int j = 0; j < kN; ++j) {
                const double c = h[i * kN + j];
                double total = 0.0, drops[4] = {0, 0, 0, 0};
                for (int k = 0; k < 4; ++k) {
                    const int ii = i + nb[k][0], jj = j + nb[k][1];
                    if (ii < 0 || jj < 0 || ii >= kN || jj >= kN) continue;
                    const double d = c - h[ii * kN + jj];
                    if (d > talus) {
                        drops[k] = d;
                        total += d;
                    }
                }
                if (total <= 0.0) continue;
                const double maxDrop = std::fmax(std::fmax(drops[0], drops[1]), std::fmax(drops[2], drops[3]));
                const double move = 0.5 * (maxDrop - talus);
                for (int k = 0; k < 4; ++k) {
                    if (drops[k] <= 0.0) continue;
                    const double share = move * drops[k] / total;
                    delta[i * kN + j] -= share;
                    delta[(i + nb[k][0]) * kN + j + nb[k][1]] += share;
                }
            }
        for (size_t n = 0; n < h.size(); ++n) h[n] += delta[n];
    }
}

void Smooth(std::vector<double>& h)
{
    std::vector<double> t(h.size());
    for (int i = 0; i < kN; ++i)
        for (int j = 0; j < kN; ++j) {
            const int a = j > 0 ? j - 1 : j, b = j < kN - 1 ? j + 1 : j;
            t[i * kN + j] = 0.25 * h[i * kN + a] + 0.5 * h[i * kN + j] + 0.25 * h[i * kN + b];
        }
    for (int i = 0; i < kN; ++i)
        for (int j = 0; j < kN; ++j) {
            const int a = i > 0 ? i - 1 : i, b = i < kN - 1 ? i + 1 : i;
            h[i * kN + j] = 0.25 * t[a * kN + j] + 0.5 * t[i * kN + j] + 0.25 * t[b * kN + j];
        }
}

// Smooth minimum, so hills pressed under the ceiling keep rounded tops.
double SoftMin(double a, double b, double k)
{
    const double h = Clamp(0.5 + 0.5 * (b - a) / k, 0.0, 1.0);
    return Mix(b, a, h) - k * h * (1.0 - h);
}

// Heights (world units, as shown) of every grid point, row-major i * 64 + j.
std::vector<double> Heights(const Shape& s)
{
    std::vector<double> ceiling = Ceiling(s);
    // Soften the ceiling so hills ease down towards the flight path.
    for (int pass = 0; pass < 2; ++pass) {
        std::vector<double> t = ceiling;
        for (int i = 0; i < kN; ++i)
            for (int j = 0; j < kN; ++j) {
                double m = t[i * kN + j];
                for (int d = -1; d <= 1; d += 2) {
                    if (i + d >= 0 && i + d < kN) m = std::fmin(m, t[(i + d) * kN + j] + 2.5);
                    if (j + d >= 0 && j + d < kN) m = std::fmin(m, t[i * kN + j + d] + 2.5);
                }
                ceiling[i * kN + j] = m;
            }
    }
    std::vector<double> h(kN * kN);
    for (int i = 0; i < kN; ++i)
        for (int j = 0; j < kN; ++j) {
            const double u = j / static_cast<double>(kN), v = i / static_cast<double>(kN);
            const double f = 0.5 + 0.5 * Fbm(u * 3.0, v * 3.0, 64, 64, 4, s.seed);
            const double r = Ridged(u * 2.5, v * 2.5, 64, 64, 4, s.seed + 5);
            const double e = Clamp(Mix(f, r, s.ridgeMix) * 1.25 - 0.15, 0.0, 1.2);
            const double rad = Radius(i, j);
            h[i * kN + j] = SoftMin(s.floor.At(rad) + s.relief.At(rad) * e, ceiling[i * kN + j], 2.0);
        }
    Erode(h, 4.0, 30);
    Smooth(h);
    // Hard limit after smoothing: a vertex never rises above the ceiling.
    for (int i = 0; i < kN; ++i)
        for (int j = 0; j < kN; ++j) h[i * kN + j] = std::fmin(h[i * kN + j], std::floor(ceiling[i * kN + j]));
    return h;
}

std::vector<uint8_t> Encode(const std::vector<double>& h, double sign)
{
    std::vector<uint8_t> map(kN * kN);
    for (int i = 0; i < kN; ++i)
        for (int j = 0; j < kN; ++j) {
            // Shown height y = -trunc(sample / 4): the sample -4 Y shows the
            // whole number Y exactly, whatever its sign.
            const double y = std::floor(sign * h[i * kN + j] + 0.5);
            const double sample = Clamp(-4.0 * y, -128.0, 127.0);
            map[64 * j + i] = static_cast<uint8_t>(static_cast<int8_t>(sample));
        }
    return map;
}
}  // namespace

int TerrainHeight(const std::vector<uint8_t>& map, int j, int i)
{
    const int sample = static_cast<int8_t>(map[64 * j + i]);
    return -(sample / 4);
}

std::vector<EyeSample> Scene2Eyes()
{
    // The flight legs of scene 2 (eye from, eye to, start, end) and the rest.
    struct Leg {
        double x0, y0, z0, x1, y1, z1, t0, t1;
    };
    static const Leg legs[] = {{11, 4, 60, 6, 4, 9, 15, 20},     {6, 4, 9, 6, 0, 13, 20, 25},
                               {6, 0, 13, 0, 16, -15, 25, 30},   {0, 16, -15, 3, 2, -32, 30, 35},
                               {3, 2, -32, 0, 2, -36, 35, 43},   {0, 2, -36, 0, 2, -36, 43, 71}};
    std::vector<EyeSample> eyes;
    for (int k = 0; k <= 56 * 50; ++k) {
        const double t = 15.0 + k / 50.0;
        for (const Leg& l : legs) {
            if (t < l.t0 || t > l.t1) continue;
            const double u = (t - l.t0) / (l.t1 - l.t0);
            AddTurned(eyes, Blend(l.x0, l.x1, u), Blend(l.y0, l.y1, u), Blend(l.z0, l.z1, u), t * 1000.0 * 0.00013);
        }
    }
    return eyes;
}

std::vector<EyeSample> Scene4Eyes()
{
    // The land spins fast under scene 4's camera, so every turn occurs.
    // Turned over (pi about x), world z is the map's -z: the eye's distance
    // from the axis is what matters.
    std::vector<EyeSample> eyes;
    for (int k = 0; k <= 40 * 10; ++k) {
        const double s = k / 10.0;
        double y = 12.0, z = -14.0;
        if (s > 33.0) {
            const double u = std::fmin(1.0, (s - 33.0) / 3.0);
            y = Blend(12.0, 18.0, u);
            z = Blend(-14.0, -17.0, u);
        }
        for (int a = 0; a < 180; ++a) AddTurned(eyes, 0.0, y, z, a * 6.283185307179586 / 360.0);
    }
    return eyes;
}

double MinClearance(const std::vector<uint8_t>& map, const std::vector<EyeSample>& eyes, double sign)
{
    double worst = 1e9;
    for (const EyeSample& e : eyes) {
        const int j = static_cast<int>(std::floor(e.x + 32.0)), i = static_cast<int>(std::floor(e.z + 32.0));
        if (i < 0 || j < 0 || i >= kN - 1 || j >= kN - 1) continue;
        double top = -1e9;
        for (int di = 0; di <= 1; ++di)
            for (int dj = 0; dj <= 1; ++dj) top = std::fmax(top, sign * TerrainHeight(map, j + dj, i + di));
        worst = std::fmin(worst, e.y - top);
    }
    return worst;
}

std::vector<uint8_t> MakeScape1()
{
    // Scene 2's camera skims the turning land down to height 0 and looks
    // into valleys near -10: deep valleys around the middle, ridges, and
    // peaks wherever the flight never passes.
    const Shape s{0x5ca9e1u, 0.65,
                  {{0, 5, 10, 20, 30, 45}, {-8, -10, -13, -12, -10, -8}},
                  {{0, 5, 10, 20, 30, 45}, {12, 12, 14, 20, 22, 24}},
                  14.0, Scene2Eyes(), 1.0};
    return Encode(Heights(s), 1.0);
}

std::vector<uint8_t> MakeScape2()
{
    // Scene 4 turns the map upside down and looks from 12 to 18 units high
    // at (0, 4, 0), from 14 to 17.6 units out: a wide valley under the camera
    // rising to mountains on the far sides. Heights here are as seen; the map
    // stores them negated.
    const Shape s{0x5ca9e2u, 0.45,
                  {{0, 8, 14, 20, 28, 45}, {-6, -5, -4, -2, 0, 2}},
                  {{0, 8, 14, 20, 28, 45}, {8, 9, 10, 14, 18, 20}},
                  20.0, Scene4Eyes(), -1.0};
    return Encode(Heights(s), -1.0);
}

}  // namespace datagen
