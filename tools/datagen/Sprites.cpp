// The two particle sprites, drawn additively on small quads: Partikel1 a
// warm star with a white core, Partikel2 a cool four-rayed spark. Both fall
// to exact black well inside the border so the quads never show their edges.
#include <cmath>

#include "DetMath.h"
#include "Textures.h"

namespace datagen {

namespace {
constexpr int kSize = 64;

// Window that is 1 in the middle and reaches 0 at radius 0.94.
double Edge(double r) { return Smoothstep(0.94, 0.55, r); }
}  // namespace

Image MakeParticle1()
{
    Image img(kSize, kSize);
    Shade(img, 4, [](double u, double v) {
        const double x = 2.0 * u - 1.0, y = 2.0 * v - 1.0;
        const double r2 = x * x + y * y, r = std::sqrt(r2);
        const double core = Exp(-r2 / 0.012);
        const double glow = Exp(-r2 / 0.09);
        const double halo = Exp(-r / 0.33);
        const Rgb c = Rgb{1.0, 0.95, 0.85} * core + Rgb{1.0, 0.6, 0.25} * (0.75 * glow) + Rgb{0.8, 0.25, 0.35} * (0.35 * halo);
        return c * Edge(r);
    });
    return img;
}

Image MakeParticle2()
{
    Image img(kSize, kSize);
    Shade(img, 4, [](double u, double v) {
        const double x = 2.0 * u - 1.0, y = 2.0 * v - 1.0;
        const double r2 = x * x + y * y, r = std::sqrt(r2);
        const double core = Exp(-r2 / 0.01);
        const double glow = Exp(-r2 / 0.07);
        // Rays along the axes, thinner further out.
        const double rays = Exp(-(x * x) / 0.0025) * Exp(-std::fabs(y) / 0.35) + Exp(-(y * y) / 0.0025) * Exp(-std::fabs(x) / 0.35);
        const double halo = Exp(-r / 0.3);
        const Rgb c = Rgb{0.9, 1.0, 1.0} * core + Rgb{0.25, 0.65, 1.0} * (0.7 * glow) + Rgb{0.6, 0.8, 1.0} * (0.5 * rays) +
                      Rgb{0.55, 0.2, 0.9} * (0.3 * halo);
        return c * Edge(r);
    });
    return img;
}

}  // namespace datagen
