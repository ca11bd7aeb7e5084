// The three sphere-map environment pictures. The object effect maps the
// camera-space normal to u = 0.5 + 0.5 nx, v = 0.5 - 0.5 ny, so each picture
// is the view of a sphere of the material: Hedra polished chrome reflecting a
// sky over a dark floor with a window and lamps, Blobby a pearly coat with
// coloured rim light, Hoofdpijn molten lava light. Texels outside the disc
// repeat the rim so filtering never pulls in black.
#include <cmath>

#include "DetMath.h"
#include "Noise.h"
#include "Textures.h"

namespace datagen {

namespace {
constexpr int kSize = 256;

struct Dir {
    double x, y, z;
};

// Normal of the sphere picture at (u, v); beyond the disc the rim normal.
Dir NormalAt(double u, double v)
{
    double nx = 2.0 * u - 1.0, ny = 1.0 - 2.0 * v;
    double r2 = nx * nx + ny * ny;
    if (r2 > 0.998) {
        const double s = std::sqrt(0.998 / r2);
        nx *= s;
        ny *= s;
        r2 = 0.998;
    }
    return {nx, ny, -std::sqrt(1.0 - r2)};
}

// Mirror direction of the view ray (0, 0, 1) about n.
Dir Reflect(Dir n)
{
    const double d = n.z;  // (0,0,1).n
    return {-2.0 * d * n.x, -2.0 * d * n.y, 1.0 - 2.0 * d * n.z};
}

double Light(Dir r, Dir l, double width)
{
    const double len = std::sqrt(l.x * l.x + l.y * l.y + l.z * l.z);
    const double c = (r.x * l.x + r.y * l.y + r.z * l.z) / len;
    return Exp((c - 1.0) / width);
}

template <typename F>
Image Sphere(F f)
{
    Image img(kSize, kSize);
    Shade(img, 4, [&](double u, double v) { return f(NormalAt(u, v)); });
    for (float& x : img.rgb) x = static_cast<float>(Clamp(x, 0.0, 1.0));
    return img;
}
}  // namespace

Image MakeHedraEnv()
{
    return Sphere([](Dir n) {
        const Dir r = Reflect(n);
        Rgb c;
        if (r.y > 0) {
            const double t = std::sqrt(r.y);
            c = MixRgb(Rgb{0.85, 0.9, 1.0}, Rgb{0.15, 0.35, 0.85}, t);
            // Streaks of cloud in the sky.
            const double az = Atan2(r.x, r.z);
            const double cloud = Fbm(az * 2.0, r.y * 6.0, 64, 64, 4, 77u);
            c = MixRgb(c, Rgb{1.0, 1.0, 1.0}, Clamp(cloud * 1.5, 0.0, 0.6) * (1.0 - t));
        } else {
            // Dark floor with a checker of tiles in perspective.
            const double t = std::sqrt(-r.y);
            const double fx = r.x / (-r.y + 0.05), fz = r.z / (-r.y + 0.05);
            const double check = (static_cast<int>(std::floor(fx * 2.0)) + static_cast<int>(std::floor(fz * 2.0))) & 1;
            c = MixRgb(Rgb{0.3, 0.22, 0.18}, Rgb{0.08, 0.06, 0.07}, t) * (0.75 + 0.25 * check);
        }
        // Bright glint along the horizon.
        c = c + Rgb{1.0, 0.95, 0.85} * (0.8 * Exp(-(r.y / 0.05) * (r.y / 0.05)));
        // A barred window behind the viewer's left, and three lamps.
        const double az = Atan2(r.x, -r.z), el = r.y;
        if (az > -1.4 && az < -0.6 && el > 0.15 && el < 0.65) {
            const double bars = Fract((az + 1.4) / 0.8 * 4.0);
            const double rows = Fract((el - 0.15) / 0.5 * 3.0);
            if (bars > 0.08 && rows > 0.08) c = c + Rgb{1.0, 1.0, 0.95} * 0.9;
        }
        c = c + Rgb{1.0, 0.9, 0.7} * (1.2 * Light(r, {0.4, 0.7, -0.6}, 0.004));
        c = c + Rgb{0.7, 0.85, 1.0} * (0.9 * Light(r, {-0.6, 0.3, -0.7}, 0.01));
        c = c + Rgb{1.0, 0.5, 0.3} * (0.6 * Light(r, {0.8, -0.1, 0.5}, 0.02));
        return c;
    });
}

Image MakeBlobbyEnv()
{
    return Sphere([](Dir n) {
        const Dir r = Reflect(n);
        const double rim = Pow(1.0 - std::fabs(n.z), 2.0);
        const double fresnel = 0.3 + 0.7 * rim;
        // Pearl base: soft gradient from rose to sea green over the sphere,
        // with a faint milky swirl.
        const double swirl = Fbm(n.x * 2.0 + 3.0, n.y * 2.0 + 3.0, 64, 64, 4, 88u);
        Rgb base = MixRgb(Rgb{0.8, 0.15, 0.55}, Rgb{0.1, 0.7, 0.85}, Clamp(0.5 + 0.3 * n.x + 0.45 * n.y + 0.6 * swirl, 0.0, 1.0));
        base = base * (0.4 + 0.6 * Clamp(0.3 - 0.5 * n.x + 0.6 * n.y - 0.6 * n.z, 0.0, 1.0));
        // Iridescent rim: hue turns with the angle around the view axis.
        const double ang = Atan2(n.y, n.x);
        const Rgb irid{0.5 + 0.5 * Cos(ang * 2.0), 0.5 + 0.5 * Cos(ang * 2.0 + 2.1), 0.5 + 0.5 * Cos(ang * 2.0 + 4.2)};
        Rgb c = base + irid * (0.55 * fresnel * rim);
        c = c + Rgb{1.0, 1.0, 1.0} * (1.0 * Light(r, {-0.5, 0.6, -0.6}, 0.01));
        c = c + Rgb{1.0, 0.7, 0.9} * (0.5 * Light(r, {0.7, -0.4, -0.5}, 0.03));
        c = c + Rgb{0.6, 0.9, 1.0} * (0.25 * Light(r, {0.0, 1.0, 0.0}, 0.15));
        return c;
    });
}

Image MakeHoofdpijnEnv()
{
    return Sphere([](Dir n) {
        const Dir r = Reflect(n);
        // Molten bands that swirl around the view axis.
        const double ang = Atan2(n.y, n.x);
        const double rad = std::sqrt(n.x * n.x + n.y * n.y);
        const double swirl = Fbm(ang * 1.5915 + rad * 2.0, rad * 3.0, 10, 64, 5, 99u);
        const double heat = Clamp(0.5 + 0.9 * swirl + 0.25 * (-n.z), 0.0, 1.0);
        Rgb c;
        if (heat < 0.4) c = MixRgb(Rgb{0.15, 0.0, 0.1}, Rgb{0.7, 0.05, 0.05}, heat / 0.4);
        else if (heat < 0.75) c = MixRgb(Rgb{0.7, 0.05, 0.05}, Rgb{1.0, 0.5, 0.05}, (heat - 0.4) / 0.35);
        else c = MixRgb(Rgb{1.0, 0.5, 0.05}, Rgb{1.0, 0.95, 0.6}, (heat - 0.75) / 0.25);
        const double rim = Pow(1.0 - std::fabs(n.z), 4.0);
        c = c + Rgb{0.9, 0.2, 0.8} * (0.7 * rim);
        c = c + Rgb{1.0, 0.95, 0.8} * (0.9 * Light(r, {-0.4, 0.7, -0.6}, 0.008));
        return c;
    });
}

}  // namespace datagen
