// Sound building blocks for the soundtrack: band-limited oscillators
// (PolyBLEP), the trapezoidal state-variable filter, one-pole envelopes and
// white noise, all deterministic (own sine and tangent, no libm).
#pragma once

#include <cstdint>
#include <vector>

#include "Random.h"

namespace datagen {

constexpr double kRate = 44100.0;

double MidiHz(double note);

// PolyBLEP residual for a discontinuity at phase 0 (t in [0, 1), dt = f / fs).
double PolyBlep(double t, double dt);

struct Saw {
    double phase = 0.0;
    double Next(double dt);
};

struct Square {
    double phase = 0.0;
    double Next(double dt);
};

// Sine from a 4096-entry table with linear interpolation (phase in cycles).
double SineCycles(double phase);

// Cytomic's linear trapezoidal SVF. Set the cutoff before processing; it
// caches its coefficients until the cutoff or resonance changes.
class Svf {
public:
    void Set(double cutoffHz, double q);
    // Returns low-, band- and high-pass outputs of one input sample.
    void Process(double x, double& low, double& band, double& high);
    double Low(double x);
    double High(double x);
    double Band(double x);

private:
    double a1 = 0, a2 = 0, a3 = 0, k = 1;
    double ic1 = 0, ic2 = 0;
    double lastFc = -1, lastQ = -1;
};

// Attack/decay/sustain/release envelope built from one-pole segments that
// aim past their target, so attacks are quick but never start with a step.
class Adsr {
public:
    Adsr(double attackS, double decayS, double sustain, double releaseS);
    void Release();
    double Next();
    bool Done() const { return stage == 4; }

private:
    double level = 0.0;
    int stage = 0;  // 0 attack, 1 decay, 2 sustain, 3 release, 4 done
    double attackCoef, attackBase, decayCoef, decayBase, releaseCoef, releaseBase, sustain;
};

// White noise in [-1, 1).
class Noise {
public:
    explicit Noise(uint64_t seed) : rng(seed) {}
    double Next() { return rng.Uniform() * 2.0 - 1.0; }

private:
    Pcg32 rng;
};

}  // namespace datagen
