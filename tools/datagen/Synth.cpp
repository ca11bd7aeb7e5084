// Oscillators, filter, envelope (see Synth.h).
#include "Synth.h"

#include <cmath>

#include "DetMath.h"

namespace datagen {

double MidiHz(double note) { return 440.0 * Pow(2.0, (note - 69.0) / 12.0); }

double PolyBlep(double t, double dt)
{
    if (t < dt) {
        const double x = t / dt;
        return x + x - x * x - 1.0;
    }
    if (t > 1.0 - dt) {
        const double x = (t - 1.0) / dt;
        return x * x + x + x + 1.0;
    }
    return 0.0;
}

double Saw::Next(double dt)
{
    const double v = 2.0 * phase - 1.0 - PolyBlep(phase, dt);
    phase += dt;
    if (phase >= 1.0) phase -= 1.0;
    return v;
}

double Square::Next(double dt)
{
    double t2 = phase + 0.5;
    if (t2 >= 1.0) t2 -= 1.0;
    const double v = (phase < 0.5 ? 1.0 : -1.0) + PolyBlep(phase, dt) - PolyBlep(t2, dt);
    phase += dt;
    if (phase >= 1.0) phase -= 1.0;
    return v;
}

double SineCycles(double phase)
{
    static const std::vector<double> table = [] {
        std::vector<double> t(4097);
        for (int i = 0; i <= 4096; ++i) t[i] = Sin(kTwoPi * i / 4096.0);
        return t;
    }();
    const double p = (phase - std::floor(phase)) * 4096.0;
    const int i = static_cast<int>(p);
    const double f = p - i;
    return table[i] + (table[i + 1] - table[i]) * f;
}

void Svf::Set(double cutoffHz, double q)
{
    if (cutoffHz == lastFc && q == lastQ) return;
    lastFc = cutoffHz;
    lastQ = q;
    const double fc = Clamp(cutoffHz, 10.0, kRate * 0.45);
    const double g = Tan(kPi * fc / kRate);
    k = 1.0 / q;
    a1 = 1.0 / (1.0 + g * (g + k));
    a2 = g * a1;
    a3 = g * a2;
}

void Svf::Process(double x, double& low, double& band, double& high)
{
    const double v3 = x - ic2;
    const double v1 = a1 * ic1 + a2 * v3;
    const double v2 = ic2 + a2 * ic1 + a3 * v3;
    ic1 = 2.0 * v1 - ic1;
    ic2 = 2.0 * v2 - ic2;
    low = v2;
    band = v1;
    high = x - k * v1 - v2;
}

double Svf::Low(double x)
{
    double l, b, h;
    Process(x, l, b, h);
    return l;
}
double Svf::High(double x)
{
    double l, b, h;
    Process(x, l, b, h);
    return h;
}
double Svf::Band(double x)
{
    double l, b, h;
    Process(x, l, b, h);
    return b;
}

namespace {
// Coefficient of a one-pole that reaches the target (with overshoot ratio r)
// in n samples.
double Coef(double seconds, double ratio)
{
    const double n = std::fmax(1.0, seconds * kRate);
    return Exp(-Log((1.0 + ratio) / ratio) / n);
}
}  // namespace

Adsr::Adsr(double attackS, double decayS, double sustainLevel, double releaseS) : sustain(sustainLevel)
{
    const double ra = 0.3, rd = 0.0001;
    attackCoef = Coef(std::fmax(attackS, 0.002), ra);
    attackBase = (1.0 + ra) * (1.0 - attackCoef);
    decayCoef = Coef(decayS, rd);
    decayBase = (sustain - rd) * (1.0 - decayCoef);
    releaseCoef = Coef(std::fmax(releaseS, 0.02), rd);
    releaseBase = -rd * (1.0 - releaseCoef);
}

void Adsr::Release()
{
    if (stage < 3) stage = 3;
}

double Adsr::Next()
{
    switch (stage) {
    case 0:
        level = attackBase + level * attackCoef;
        if (level >= 1.0) {
            level = 1.0;
            stage = 1;
        }
        break;
    case 1:
        level = decayBase + level * decayCoef;
        if (level <= sustain) {
            level = sustain;
            stage = 2;
        }
        break;
    case 2:
        break;
    case 3:
        level = releaseBase + level * releaseCoef;
        if (level <= 0.0) {
            level = 0.0;
            stage = 4;
        }
        break;
    default:
        break;
    }
    return level;
}

}  // namespace datagen
