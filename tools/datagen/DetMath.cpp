// Reproducible elementary functions (see DetMath.h): range reduction and
// Taylor or atanh series evaluated with basic operations only.
#include "DetMath.h"

#include <cmath>

namespace datagen {

namespace {
// Sine on [-pi/2, pi/2]; the series' error there is below 1e-12.
double SinKernel(double r)
{
    const double r2 = r * r;
    double s = -1.0 / 1307674368000.0;  // -1/15!
    s = 1.0 / 6227020800.0 + r2 * s;
    s = -1.0 / 39916800.0 + r2 * s;
    s = 1.0 / 362880.0 + r2 * s;
    s = -1.0 / 5040.0 + r2 * s;
    s = 1.0 / 120.0 + r2 * s;
    s = -1.0 / 6.0 + r2 * s;
    s = 1.0 + r2 * s;
    return r * s;
}
}  // namespace

double Floor(double x) { return std::floor(x); }
double Fract(double x) { return x - std::floor(x); }
double Clamp(double x, double lo, double hi) { return x < lo ? lo : (x > hi ? hi : x); }
double Mix(double a, double b, double t) { return a + (b - a) * t; }

double Smoothstep(double e0, double e1, double x)
{
    const double t = Clamp((x - e0) / (e1 - e0), 0.0, 1.0);
    return t * t * (3.0 - 2.0 * t);
}

double Sin(double x)
{
    // Reduce to [-pi, pi] with 2*pi split in two pieces so the subtraction
    // stays accurate for the arguments the generator uses (|x| < 1e6).
    const double k = std::floor(x / kTwoPi + 0.5);
    const double hi = 6.28318530717958623200;
    const double lo = 2.44929359829470635445e-16;
    double r = (x - k * hi) - k * lo;
    // Fold [-pi, pi] into [-pi/2, pi/2]: sin(pi - r) = sin(r).
    if (r > kPi / 2) r = kPi - r;
    else if (r < -kPi / 2) r = -kPi - r;
    return SinKernel(r);
}

double Cos(double x) { return Sin(x + kPi / 2); }

double Tan(double x) { return Sin(x) / Cos(x); }

double Exp(double x)
{
    if (x < -700.0) return 0.0;
    if (x > 700.0) x = 700.0;
    const double ln2 = 0.69314718055994530942;
    const double k = std::floor(x / ln2 + 0.5);
    const double r = x - k * ln2;  // |r| <= ln2/2
    static constexpr double inv[15] = {0, 1.0, 1.0 / 2, 1.0 / 3, 1.0 / 4, 1.0 / 5, 1.0 / 6, 1.0 / 7, 1.0 / 8,
                                       1.0 / 9, 1.0 / 10, 1.0 / 11, 1.0 / 12, 1.0 / 13, 1.0 / 14};
    double s = 1.0;
    for (int n = 13; n >= 1; --n) s = 1.0 + r * s * inv[n];
    return std::ldexp(s, static_cast<int>(k));
}

double Log(double x)
{
    if (!(x > 0.0)) return -1e300;
    int e = 0;
    double m = std::frexp(x, &e);  // x = m * 2^e, m in [0.5, 1)
    if (m < 0.70710678118654752440) {
        m *= 2.0;
        e -= 1;
    }
    const double s = (m - 1.0) / (m + 1.0);
    const double s2 = s * s;
    double sum = 0.0;
    for (int n = 21; n >= 1; n -= 2) sum = 1.0 / n + s2 * sum;
    return 2.0 * s * sum + e * 0.69314718055994530942;
}

double Pow(double x, double y) { return Exp(y * Log(x)); }

double Tanh(double x)
{
    if (x > 20.0) return 1.0;
    if (x < -20.0) return -1.0;
    const double e = Exp(2.0 * x);
    return (e - 1.0) / (e + 1.0);
}

double SoftClip(double x)
{
    if (x > 3.0) return 1.0;
    if (x < -3.0) return -1.0;
    const double x2 = x * x;
    return x * (27.0 + x2) / (27.0 + 9.0 * x2);
}

double Atan2(double y, double x)
{
    // atan on [0, 1] by halving the angle twice and a short series.
    const double ax = std::fabs(x), ay = std::fabs(y);
    if (ax == 0.0 && ay == 0.0) return 0.0;
    const bool swap = ay > ax;
    double t = swap ? ax / ay : ay / ax;
    // atan(t) = 2 atan(t / (1 + sqrt(1 + t^2)))
    t = t / (1.0 + std::sqrt(1.0 + t * t));
    t = t / (1.0 + std::sqrt(1.0 + t * t));
    const double t2 = t * t;
    double s = 0.0;
    for (int n = 19; n >= 1; n -= 2) s = 1.0 / n - t2 * s;
    // the alternating recurrence above yields sum (-1)^k t^(2k) / (2k+1)
    double a = 4.0 * t * s;
    if (swap) a = kPi / 2 - a;
    if (x < 0) a = kPi - a;
    return y < 0 ? -a : a;
}

}  // namespace datagen
