// Instrument voices (see Voices.h).
#include "Voices.h"

#include <cmath>

#include "DetMath.h"
#include "Synth.h"

namespace datagen {

namespace {
// Writes one sample of a voice into the route's bus and sends.
void Emit(const Route& out, size_t i, double l, double r)
{
    if (i >= out.bus->Frames()) return;
    out.bus->Add(i, l, r);
    const double mono = 0.5 * (l + r);
    if (out.reverb) (*out.reverb)[i] += static_cast<float>(mono * out.reverbSend);
    if (out.delay) (*out.delay)[i] += static_cast<float>(mono * out.delaySend);
}

size_t First(double start) { return static_cast<size_t>(std::ceil(start)); }
}  // namespace

void Bass(const Route& out, double start, double length, double note, double velocity)
{
    const double f = MidiHz(note);
    Saw saw;
    double sub = 0.0;
    Svf lp;
    Adsr amp(0.003, 0.25, 0.75, 0.03);
    const size_t first = First(start);
    const size_t gate = first + static_cast<size_t>(length);
    for (size_t i = first;; ++i) {
        const double t = (i - start) / kRate;
        if (i == gate) amp.Release();
        const double a = amp.Next();
        if (amp.Done()) break;
        if ((i - first) % 16 == 0) lp.Set(180.0 + 1300.0 * Exp(-t / 0.09), 1.1);
        sub += f * 0.5 / kRate;
        const double x = lp.Low(saw.Next(f / kRate)) * 0.8 + SineCycles(sub) * 0.5;
        const double v = SoftClip(1.3 * x) * a * velocity;
        Emit(out, i, v, v);
    }
}

void Pad(const Route& out, double start, double length, const std::vector<int>& notes, double velocity, double cutoffHz)
{
    static const double detune[4] = {-0.17, -0.06, 0.07, 0.19};  // semitones
    static const double pans[4] = {-0.8, -0.3, 0.35, 0.8};
    struct Osc {
        Saw saw;
        double dt, gl, gr;
    };
    std::vector<Osc> osc;
    uint32_t k = 0;
    for (int n : notes)
        for (int d = 0; d < 4; ++d, ++k) {
            Osc o;
            o.dt = MidiHz(n + detune[d]) / kRate;
            PanGains(pans[d], o.gl, o.gr);
            o.saw.phase = (Hash32(k * 7919u + static_cast<uint32_t>(n)) & 0xffff) / 65536.0;
            osc.push_back(o);
        }
    Svf lpL, lpR;
    Adsr amp(0.9, 0.5, 0.85, 1.4);
    const size_t first = First(start);
    const size_t gate = first + static_cast<size_t>(length);
    const double norm = velocity / std::sqrt(static_cast<double>(osc.size()));
    for (size_t i = first;; ++i) {
        if (i == gate) amp.Release();
        const double a = amp.Next();
        if (amp.Done()) break;
        const double t = (i - start) / kRate;
        if ((i - first) % 32 == 0) {
            const double fc = cutoffHz * (1.0 + 0.25 * SineCycles(t * 0.15));
            lpL.Set(fc, 0.8);
            lpR.Set(fc * 1.03, 0.8);
        }
        double l = 0.0, r = 0.0;
        for (Osc& o : osc) {
            const double v = o.saw.Next(o.dt);
            l += v * o.gl;
            r += v * o.gr;
        }
        Emit(out, i, lpL.Low(l) * a * norm, lpR.Low(r) * a * norm);
    }
}

void Pluck(const Route& out, double start, double length, double note, double velocity, double pan, double brightness)
{
    const double f = MidiHz(note);
    Square sq;
    Saw saw;
    Svf lp;
    Adsr amp(0.002, 0.22, 0.0, 0.05);
    double gl, gr;
    PanGains(pan, gl, gr);
    const size_t first = First(start);
    const size_t gate = first + static_cast<size_t>(length);
    for (size_t i = first;; ++i) {
        if (i == gate) amp.Release();
        const double a = amp.Next();
        if (amp.Done() || (i > first + 100 && a < 1e-4)) break;
        const double t = (i - start) / kRate;
        if ((i - first) % 16 == 0) lp.Set(300.0 + brightness * 4200.0 * Exp(-t / 0.07), 1.8);
        const double x = lp.Low(0.6 * sq.Next(f / kRate) + 0.5 * saw.Next(f * 1.003 / kRate));
        const double v = x * a * velocity;
        Emit(out, i, v * gl, v * gr);
    }
}

void Lead(const Route& out, double start, double length, double note, double velocity)
{
    Saw a, b, c;
    c.phase = 0.37;
    Svf lp;
    Adsr amp(0.012, 0.3, 0.7, 0.12);
    const size_t first = First(start);
    const size_t gate = first + static_cast<size_t>(length);
    for (size_t i = first;; ++i) {
        if (i == gate) amp.Release();
        const double e = amp.Next();
        if (amp.Done()) break;
        const double t = (i - start) / kRate;
        // Vibrato fades in after a quarter second.
        const double vib = 0.18 * Smoothstep(0.25, 0.6, t) * SineCycles(t * 5.5);
        const double f = MidiHz(note + vib);
        if ((i - first) % 16 == 0) lp.Set(900.0 + 2600.0 * Exp(-t / 0.4) + 600.0, 1.2);
        const double va = a.Next(f * 0.9965 / kRate), vb = b.Next(f * 1.0035 / kRate), vc = c.Next(f * 0.5 / kRate);
        const double x = lp.Low(va + vb + 0.4 * vc) * e * velocity * 0.45;
        Emit(out, i, x, x);
    }
}

void Bell(const Route& out, double start, double note, double velocity, double pan)
{
    const double f = MidiHz(note);
    double pc = 0.0, pm = 0.0;
    double gl, gr;
    PanGains(pan, gl, gr);
    const size_t first = First(start);
    const size_t n = static_cast<size_t>(2.5 * kRate);
    for (size_t i = first; i < first + n; ++i) {
        const double t = (i - start) / kRate;
        pm += f * 3.5 / kRate;
        const double index = 2.2 * Exp(-t / 0.25);
        pc += f / kRate;
        const double env = Exp(-t / 0.7) * Clamp(t / 0.002, 0.0, 1.0) * Smoothstep(2.5, 2.2, t);
        const double v = SineCycles(pc + index * SineCycles(pm) / kTwoPi) * env * velocity;
        Emit(out, i, v * gl, v * gr);
    }
}

}  // namespace datagen
