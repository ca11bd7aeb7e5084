// Drum and effect one-shots (see Drums.h): sine sweeps, filtered noise and
// metallic square clusters with exponential decays.
#include "Drums.h"

#include <algorithm>
#include <cmath>

#include "DetMath.h"
#include "Synth.h"

namespace datagen {

namespace {
size_t Len(double s) { return static_cast<size_t>(s * kRate); }

// Fades the last few milliseconds so nothing ends with a step.
void TailFade(Sample& s, double seconds)
{
    const size_t n = std::min(s.size(), Len(seconds));
    for (size_t i = 0; i < n; ++i) s[s.size() - 1 - i] *= static_cast<float>(static_cast<double>(i) / n);
}
}  // namespace

Sample MakeKick()
{
    Sample s(Len(0.55));
    double phase = 0.0;
    Noise noise(1);
    Svf click;
    click.Set(3000.0, 0.7);
    for (size_t i = 0; i < s.size(); ++i) {
        const double t = i / kRate;
        const double f = 46.0 + 135.0 * Exp(-t / 0.035) + 60.0 * Exp(-t / 0.006);
        phase += f / kRate;
        const double attack = Clamp(t / 0.0015, 0.0, 1.0);
        const double body = SineCycles(phase) * Exp(-t / 0.28) * attack;
        const double c = click.High(noise.Next()) * Exp(-t / 0.003) * 0.5;
        s[i] = static_cast<float>(Tanh(2.2 * (body + c)) * 0.95);
    }
    TailFade(s, 0.03);
    return s;
}

Sample MakeSnare()
{
    Sample s(Len(0.4));
    double p1 = 0.0, p2 = 0.0;
    Noise noise(2);
    Svf hp, lp;
    hp.Set(1200.0, 0.7);
    lp.Set(9000.0, 0.7);
    for (size_t i = 0; i < s.size(); ++i) {
        const double t = i / kRate;
        p1 += (185.0 + 40.0 * Exp(-t / 0.01)) / kRate;
        p2 += 330.0 / kRate;
        const double tone = (SineCycles(p1) + 0.6 * SineCycles(p2)) * Exp(-t / 0.05) * 0.45;
        const double n = lp.Low(hp.High(noise.Next())) * Exp(-t / 0.11);
        const double attack = Clamp(t / 0.001, 0.0, 1.0);
        s[i] = static_cast<float>(Tanh(1.5 * (tone + n)) * attack * 0.9);
    }
    TailFade(s, 0.03);
    return s;
}

Sample MakeClap()
{
    Sample s(Len(0.35));
    Noise noise(3);
    Svf bp;
    bp.Set(1300.0, 1.4);
    for (size_t i = 0; i < s.size(); ++i) {
        const double t = i / kRate;
        // Three quick bursts, then the room.
        double env = Exp(-t / 0.09) * 0.8;
        for (int b = 0; b < 3; ++b) {
            const double tb = t - b * 0.011;
            if (tb >= 0) env += Exp(-tb / 0.004) * Clamp(tb / 0.0005, 0.0, 1.0);
        }
        s[i] = static_cast<float>(bp.Band(noise.Next()) * env * 1.6);
    }
    TailFade(s, 0.03);
    return s;
}

Sample MakeHat(bool open)
{
    Sample s(Len(open ? 0.7 : 0.12));
    static const double freqs[6] = {205.3, 304.4, 369.6, 522.7, 540.0, 800.0};
    Square osc[6];
    Svf bp, hp;
    bp.Set(7100.0, 1.2);
    hp.Set(6000.0, 0.7);
    Noise noise(open ? 5 : 4);
    const double decay = open ? 0.3 : 0.035;
    for (size_t i = 0; i < s.size(); ++i) {
        const double t = i / kRate;
        double m = 0.0;
        for (int k = 0; k < 6; ++k) m += osc[k].Next(freqs[k] * 1.7 / kRate);
        m = m / 6.0 + 0.25 * noise.Next();
        const double attack = Clamp(t / 0.0008, 0.0, 1.0);
        s[i] = static_cast<float>(hp.High(bp.Band(m)) * Exp(-t / decay) * attack * 2.2);
    }
    TailFade(s, open ? 0.05 : 0.01);
    return s;
}

Sample MakeCrash()
{
    Sample s(Len(3.0));
    static const double freqs[6] = {311.0, 419.0, 563.0, 741.0, 892.0, 1190.0};
    Square osc[6];
    Svf hp, lp;
    hp.Set(3500.0, 0.6);
    lp.Set(12000.0, 0.7);
    Noise noise(6);
    for (size_t i = 0; i < s.size(); ++i) {
        const double t = i / kRate;
        double m = 0.0;
        for (int k = 0; k < 6; ++k) m += osc[k].Next(freqs[k] * 2.3 / kRate);
        m = 0.15 * m / 6.0 + noise.Next();
        const double env = Exp(-t / 0.9) * 0.8 + Exp(-t / 0.08) * 0.4;
        const double attack = Clamp(t / 0.002, 0.0, 1.0);
        s[i] = static_cast<float>(lp.Low(hp.High(m)) * env * attack * 0.55);
    }
    TailFade(s, 0.2);
    return s;
}

Sample MakeBoom()
{
    Sample s(Len(2.5));
    double phase = 0.0;
    for (size_t i = 0; i < s.size(); ++i) {
        const double t = i / kRate;
        phase += (38.0 + 60.0 * Exp(-t / 0.08)) / kRate;
        const double attack = Clamp(t / 0.003, 0.0, 1.0);
        s[i] = static_cast<float>(Tanh(1.8 * SineCycles(phase) * Exp(-t / 0.9) * attack) * 0.9);
    }
    TailFade(s, 0.1);
    return s;
}

Sample MakeTom(double hz)
{
    Sample s(Len(0.5));
    double phase = 0.0;
    for (size_t i = 0; i < s.size(); ++i) {
        const double t = i / kRate;
        phase += hz * (1.0 + 0.6 * Exp(-t / 0.03)) / kRate;
        const double attack = Clamp(t / 0.001, 0.0, 1.0);
        s[i] = static_cast<float>(Tanh(1.6 * SineCycles(phase) * Exp(-t / 0.18) * attack) * 0.8);
    }
    TailFade(s, 0.03);
    return s;
}

Sample MakeRiser(double seconds, unsigned seed)
{
    Sample s(Len(seconds));
    Noise noise(100 + seed);
    Svf bp;
    for (size_t i = 0; i < s.size(); ++i) {
        const double x = static_cast<double>(i) / s.size();
        if (i % 32 == 0) bp.Set(250.0 * Pow(40.0, x * x), 2.0);
        s[i] = static_cast<float>(bp.Band(noise.Next()) * x * x * 0.9);
    }
    TailFade(s, 0.01);
    return s;
}

Sample MakeWhoosh(double seconds, unsigned seed)
{
    Sample s(Len(seconds));
    Noise noise(200 + seed);
    Svf bp;
    for (size_t i = 0; i < s.size(); ++i) {
        const double x = static_cast<double>(i) / s.size();
        const double env = x < 0.25 ? Smoothstep(0.0, 0.25, x) : Smoothstep(1.0, 0.25, x);
        if (i % 32 == 0) bp.Set(400.0 + 5000.0 * env, 1.5);
        s[i] = static_cast<float>(bp.Band(noise.Next()) * env * 0.6);
    }
    return s;
}

}  // namespace datagen
