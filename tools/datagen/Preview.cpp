// Contact sheet, terrain relief and soundtrack picture (see Preview.h).
#include "Preview.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdio>

#include "DetMath.h"
#include "Font.h"
#include "Synth.h"
#include "Terrain.h"

namespace datagen {

namespace {
void Label(Image& img, const Font& font, const std::string& text, int x, int y, double px, Rgb colour)
{
    const Mask m = font.Render(text, px);
    for (int j = 0; j < m.height; ++j)
        for (int i = 0; i < m.width; ++i) {
            const int tx = x + i, ty = y + j;
            if (tx < 0 || ty < 0 || tx >= img.width || ty >= img.height) continue;
            const double a = m.At(i, j);
            img.Set(tx, ty, MixRgb(img.Get(tx, ty), colour, a));
        }
}

void Blit(Image& dst, const Image& src, int x0, int y0)
{
    for (int y = 0; y < src.height; ++y)
        for (int x = 0; x < src.width; ++x) {
            const int tx = x0 + x, ty = y0 + y;
            if (tx >= 0 && ty >= 0 && tx < dst.width && ty < dst.height) dst.Set(tx, ty, src.Get(x, y));
        }
}

Rgb Heat(double v)
{
    static const Rgb stops[5] = {{0, 0, 0}, {0.1, 0.05, 0.45}, {0.6, 0.1, 0.55}, {1.0, 0.55, 0.1}, {1.0, 1.0, 0.7}};
    v = Clamp(v, 0.0, 1.0) * 4.0;
    const int i = std::min(3, static_cast<int>(v));
    return MixRgb(stops[i], stops[i + 1], v - i);
}
}  // namespace

Image TerrainPreview(const std::vector<uint8_t>& map, double sign)
{
    Image img(256, 256);
    if (map.size() < 4096) return img;
    auto h = [&](int j, int i) {
        j = std::clamp(j, 0, 63);
        i = std::clamp(i, 0, 63);
        return sign * TerrainHeight(map, j, i);
    };
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x) {
            // Row i runs down the picture (z), column j across (x).
            const double fj = x / 4.0, fi = y / 4.0;
            const int j = static_cast<int>(fj), i = static_cast<int>(fi);
            const double tj = fj - j, ti = fi - i;
            const double v = Mix(Mix(h(j, i), h(j + 1, i), tj), Mix(h(j, i + 1), h(j + 1, i + 1), tj), ti);
            const double dx = h(j + 1, i) - h(j - 1, i), dz = h(j, i + 1) - h(j, i - 1);
            // Light from the upper left.
            const double shade = Clamp(0.8 - 0.12 * dx - 0.12 * dz, 0.25, 1.4);
            const double t = Clamp((v + 14.0) / 30.0, 0.0, 1.0);
            Rgb c = t < 0.5 ? MixRgb(Rgb{0.08, 0.22, 0.12}, Rgb{0.5, 0.42, 0.25}, t * 2.0)
                            : MixRgb(Rgb{0.5, 0.42, 0.25}, Rgb{0.97, 0.97, 0.97}, (t - 0.5) * 2.0);
            // Contour every 4 units.
            if (Fract(v / 4.0) < 0.06) c = c * 0.6;
            img.Set(x, y, c * shade);
        }
    return img;
}

Image MeshPreview(const std::vector<float>& xyz, const std::vector<int32_t>& faces)
{
    const int n = 256;
    Image img(n, n);
    std::vector<double> depth(n * n, 1e30);
    double radius = 1e-9;
    for (size_t i = 0; i < xyz.size(); i += 3)
        radius = std::fmax(radius, std::sqrt(double(xyz[i]) * xyz[i] + double(xyz[i + 1]) * xyz[i + 1] + double(xyz[i + 2]) * xyz[i + 2]));
    // Turn about y then x, scale into the picture; view along +z (left-handed,
    // y up), as the object effect's camera sees it.
    const double ay = 0.6, ax = 0.45;
    const double cy = Cos(ay), sy = Sin(ay), cx = Cos(ax), sx = Sin(ax);
    std::vector<double> p(xyz.size());
    for (size_t i = 0; i < xyz.size(); i += 3) {
        const double x = xyz[i], y = xyz[i + 1], z = xyz[i + 2];
        const double x1 = x * cy + z * sy, z1 = -x * sy + z * cy;
        const double y2 = y * cx - z1 * sx, z2 = y * sx + z1 * cx;
        p[i] = n / 2.0 + x1 / radius * n * 0.45;
        p[i + 1] = n / 2.0 - y2 / radius * n * 0.45;
        p[i + 2] = z2;
    }
    for (size_t f = 0; f + 2 < faces.size(); f += 3) {
        const size_t a = 3 * static_cast<size_t>(faces[f]), b = 3 * static_cast<size_t>(faces[f + 1]),
                     c = 3 * static_cast<size_t>(faces[f + 2]);
        if (a >= p.size() || b >= p.size() || c >= p.size()) continue;
        // Screen-space winding: clockwise on screen (y down) is front-facing.
        const double area = (p[b] - p[a]) * (p[c + 1] - p[a + 1]) - (p[c] - p[a]) * (p[b + 1] - p[a + 1]);
        if (area <= 0.0) continue;
        // Flat shading from the face normal in view space.
        const double ux = p[b] - p[a], uy = -(p[b + 1] - p[a + 1]), uz = (p[b + 2] - p[a + 2]) / radius * n * 0.45;
        const double vx = p[c] - p[a], vy = -(p[c + 1] - p[a + 1]), vz = (p[c + 2] - p[a + 2]) / radius * n * 0.45;
        double nx = uy * vz - uz * vy, ny = uz * vx - ux * vz, nz = ux * vy - uy * vx;
        const double len = std::sqrt(nx * nx + ny * ny + nz * nz) + 1e-12;
        nx /= len;
        ny /= len;
        nz /= len;
        const double light = Clamp(0.5 * nx * -0.4 + ny * 0.5 - nz * 0.75, 0.0, 1.0);
        const Rgb colour = Rgb{0.2, 0.25, 0.35} + Rgb{0.75, 0.7, 0.6} * light;
        const int x0 = std::max(0, static_cast<int>(std::floor(std::min({p[a], p[b], p[c]}))));
        const int x1 = std::min(n - 1, static_cast<int>(std::ceil(std::max({p[a], p[b], p[c]}))));
        const int y0 = std::max(0, static_cast<int>(std::floor(std::min({p[a + 1], p[b + 1], p[c + 1]}))));
        const int y1 = std::min(n - 1, static_cast<int>(std::ceil(std::max({p[a + 1], p[b + 1], p[c + 1]}))));
        for (int y = y0; y <= y1; ++y)
            for (int x = x0; x <= x1; ++x) {
                const double px = x + 0.5, py = y + 0.5;
                const double w0 = (p[c] - p[b]) * (py - p[b + 1]) - (p[c + 1] - p[b + 1]) * (px - p[b]);
                const double w1 = (p[a] - p[c]) * (py - p[c + 1]) - (p[a + 1] - p[c + 1]) * (px - p[c]);
                const double w2 = (p[b] - p[a]) * (py - p[a + 1]) - (p[b + 1] - p[a + 1]) * (px - p[a]);
                if (w0 < 0 || w1 < 0 || w2 < 0) continue;
                const double z = (w0 * p[a + 2] + w1 * p[b + 2] + w2 * p[c + 2]) / area;
                if (z >= depth[y * n + x]) continue;
                depth[y * n + x] = z;
                img.Set(x, y, colour);
            }
    }
    return img;
}

Image ContactSheet(const std::vector<NamedImage>& items, const Font& font)
{
    const int cols = 5, cellW = 340, cellH = 296;
    const int rows = static_cast<int>((items.size() + cols - 1) / cols);
    Image sheet(cols * cellW + 10, rows * cellH + 10);
    for (float& v : sheet.rgb) v = 0.13f;
    for (size_t k = 0; k < items.size(); ++k) {
        const Image& src = items[k].image;
        // Fit into 320 x 256, keeping the aspect; small sprites are enlarged.
        const double s = std::min(320.0 / src.width, 256.0 / src.height);
        const int w = std::max(1, static_cast<int>(src.width * s)), h = std::max(1, static_cast<int>(src.height * s));
        const Image thumb = Resize(src, w, h);
        const int x0 = 10 + static_cast<int>(k % cols) * cellW, y0 = 10 + static_cast<int>(k / cols) * cellH;
        Blit(sheet, thumb, x0 + (320 - w) / 2, y0 + (256 - h) / 2);
        char size[64];
        std::snprintf(size, sizeof size, "%dx%d", src.width, src.height);
        const std::string caption = items[k].caption.empty() ? std::string(size) : items[k].caption;
        Label(sheet, font, items[k].name + "  " + caption, x0, y0 + 260, 17, {0.95, 0.95, 0.9});
    }
    return sheet;
}

namespace {
void Fft(std::vector<std::complex<double>>& a)
{
    const size_t n = a.size();
    for (size_t i = 1, j = 0; i < n; ++i) {
        size_t bit = n >> 1;
        for (; j & bit; bit >>= 1) j ^= bit;
        j ^= bit;
        if (i < j) std::swap(a[i], a[j]);
    }
    for (size_t len = 2; len <= n; len <<= 1) {
        const double ang = -kTwoPi / len;
        const std::complex<double> w(Cos(ang), Sin(ang));
        for (size_t i = 0; i < n; i += len) {
            std::complex<double> wk(1.0, 0.0);
            for (size_t k = 0; k < len / 2; ++k) {
                const std::complex<double> u = a[i + k], v = a[i + k + len / 2] * wk;
                a[i + k] = u + v;
                a[i + k + len / 2] = u - v;
                wk *= w;
            }
        }
    }
}
}  // namespace

Image SoundPicture(const StereoBuffer& sound, const std::vector<ShowEvent>& events, const Font& font)
{
    const int W = 1700, waveH = 160, spectrumH = 360, top = 40, gap = 10;
    const int H = top + waveH + gap + spectrumH + 60;
    Image img(W, H);
    for (float& v : img.rgb) v = 0.06f;
    const size_t frames = sound.Frames();
    const double seconds = frames / kRate;
    const int plotX = 60, plotW = W - 80;
    auto xOf = [&](double t) { return plotX + static_cast<int>(t / seconds * plotW); };

    // Waveform: min and max per column, and the RMS inside.
    for (int x = 0; x < plotW; ++x) {
        const size_t a = static_cast<size_t>(static_cast<double>(x) / plotW * frames);
        const size_t b = std::min(frames, static_cast<size_t>(static_cast<double>(x + 1) / plotW * frames));
        double lo = 0, hi = 0, sum = 0;
        for (size_t i = a; i < b; ++i) {
            const double v = 0.5 * (sound.l[i] + sound.r[i]);
            lo = std::min(lo, v);
            hi = std::max(hi, v);
            sum += v * v;
        }
        const double rms = std::sqrt(sum / std::max<size_t>(1, b - a));
        const int mid = top + waveH / 2;
        for (int y = top; y < top + waveH; ++y) {
            const double v = (mid - y) / (waveH / 2.0);
            Rgb c{0.06, 0.06, 0.06};
            if (v <= hi && v >= lo) c = {0.25, 0.5, 0.8};
            if (std::fabs(v) <= rms) c = {0.55, 0.8, 1.0};
            img.Set(plotX + x, y, c);
        }
    }
    // Spectrogram: 4096-point FFTs, log frequency 30 Hz to 16 kHz.
    const int n = 4096;
    std::vector<double> window(n);
    for (int i = 0; i < n; ++i) window[i] = 0.5 - 0.5 * Cos(kTwoPi * i / n);
    const int spectrumTop = top + waveH + gap;
    for (int x = 0; x < plotW; ++x) {
        const size_t centre = static_cast<size_t>((x + 0.5) / plotW * frames);
        std::vector<std::complex<double>> buf(n);
        for (int i = 0; i < n; ++i) {
            const long idx = static_cast<long>(centre) - n / 2 + i;
            const double v = idx >= 0 && static_cast<size_t>(idx) < frames ? 0.5 * (sound.l[idx] + sound.r[idx]) : 0.0;
            buf[i] = v * window[i];
        }
        Fft(buf);
        for (int y = 0; y < spectrumH; ++y) {
            const double frac = 1.0 - (y + 0.5) / spectrumH;
            const double hz = 30.0 * Pow(16000.0 / 30.0, frac);
            const double bin = hz / kRate * n;
            const int b0 = static_cast<int>(bin);
            const double mag = std::abs(buf[b0]) * (1.0 - (bin - b0)) + std::abs(buf[b0 + 1]) * (bin - b0);
            const double db = 20.0 * Log(mag / (n / 4.0) + 1e-9) / Log(10.0);
            img.Set(plotX + x, spectrumTop + y, Heat((db + 90.0) / 80.0));
        }
    }
    // Event markers, their labels in three rows so neighbours do not overlap.
    int rowEnd[3] = {-1000, -1000, -1000};
    for (const ShowEvent& e : events) {
        const int x = xOf(e.seconds);
        for (int y = top - 4; y < spectrumTop + spectrumH; ++y) {
            if (x < 0 || x >= W) continue;
            const Rgb c = e.sceneChange ? Rgb{1, 1, 1} : Rgb{0.6, 0.9, 0.5};
            if (e.sceneChange || y % 6 < 3) img.Set(x, y, c);
        }
        int row = 0;
        while (row < 2 && rowEnd[row] > x) ++row;
        Label(img, font, e.label, x + 3, spectrumTop + spectrumH + 6 + 17 * row, 13,
              e.sceneChange ? Rgb{1, 1, 1} : Rgb{0.6, 0.9, 0.5});
        rowEnd[row] = x + 3 + font.Render(e.label, 13).width + 6;
    }
    Label(img, font, "Soundtrack: waveform (peak and RMS) and spectrogram, 30 Hz - 16 kHz", plotX, 10, 18, {0.95, 0.95, 0.9});
    for (int s = 0; s <= static_cast<int>(seconds); s += 30) Label(img, font, std::to_string(s) + " s", xOf(s), top + waveH - 14, 11, {0.7, 0.7, 0.7});
    return img;
}

}  // namespace datagen
