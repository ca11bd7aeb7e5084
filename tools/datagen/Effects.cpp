// Delay, reverb, ducking and limiter (see Effects.h).
#include "Effects.h"

#include <algorithm>
#include <cmath>
#include <deque>

#include "DetMath.h"
#include "Synth.h"

namespace datagen {

void PingPongDelay(const std::vector<float>& send, StereoBuffer& out, size_t delay, double feedback, double lowpassHz)
{
    const size_t n = out.Frames();
    std::vector<float> a(n, 0.0f), b(n, 0.0f);  // echo lines: a feeds b feeds a
    const double c = Exp(-kTwoPi * lowpassHz / kRate);
    double za = 0.0, zb = 0.0;
    for (size_t i = 0; i < n; ++i) {
        const double inA = i >= delay ? send[i - delay] + feedback * b[i - delay] : 0.0;
        const double inB = i >= delay ? feedback * a[i - delay] : 0.0;
        za = inA + (za - inA) * c;
        zb = inB + (zb - inB) * c;
        a[i] = static_cast<float>(za);
        b[i] = static_cast<float>(zb);
        out.Add(i, 0.85 * za + 0.15 * zb, 0.15 * za + 0.85 * zb);
    }
}

namespace {
struct Comb {
    std::vector<float> buf;
    size_t pos = 0;
    double store = 0.0;
    double Process(double x, double feedback, double damp)
    {
        const double y = buf[pos];
        store = y * (1.0 - damp) + store * damp;
        buf[pos] = static_cast<float>(x + store * feedback);
        if (++pos == buf.size()) pos = 0;
        return y;
    }
};
struct Allpass {
    std::vector<float> buf;
    size_t pos = 0;
    double Process(double x)
    {
        const double b = buf[pos];
        buf[pos] = static_cast<float>(x + b * 0.5);
        if (++pos == buf.size()) pos = 0;
        return b - x;
    }
};
}  // namespace

void Freeverb(const std::vector<float>& send, StereoBuffer& out, double room, double damping, double wet)
{
    static const size_t combs[8] = {1116, 1188, 1277, 1356, 1422, 1491, 1557, 1617};
    static const size_t allpasses[4] = {556, 441, 341, 225};
    const double feedback = room * 0.28 + 0.7;
    const double damp = damping * 0.4;
    for (int side = 0; side < 2; ++side) {
        const size_t spread = side == 0 ? 0 : 23;
        std::vector<Comb> cs(8);
        std::vector<Allpass> as(4);
        for (int k = 0; k < 8; ++k) cs[k].buf.assign(combs[k] + spread, 0.0f);
        for (int k = 0; k < 4; ++k) as[k].buf.assign(allpasses[k] + spread, 0.0f);
        std::vector<float>& dst = side == 0 ? out.l : out.r;
        for (size_t i = 0; i < out.Frames(); ++i) {
            const double x = send[i] * 0.015;
            double y = 0.0;
            for (Comb& c : cs) y += c.Process(x, feedback, damp);
            for (Allpass& a : as) y = a.Process(y);
            dst[i] += static_cast<float>(y * wet);
        }
    }
}

std::vector<float> DuckEnvelope(size_t frames, const std::vector<double>& kickFrames, double depth, double releaseS)
{
    std::vector<float> g(frames, 1.0f);
    std::vector<double> kicks = kickFrames;
    std::sort(kicks.begin(), kicks.end());
    // Each kick starts a dip of the given depth that recovers exponentially;
    // the dip fades in over 4 ms so the gain never steps, and until it has,
    // the previous kick's recovery still holds the level down.
    const double decay = Exp(-1.0 / (releaseS * kRate));
    const double fade = 0.004 * kRate;
    size_t k = 0;
    double cur = 0.0, prev = 0.0, since = 1e12;
    for (size_t i = 0; i < frames; ++i) {
        while (k < kicks.size() && kicks[k] <= i) {
            prev = std::fmax(prev, cur);
            cur = depth;
            since = i - kicks[k];
            ++k;
        }
        const double ramp = since < fade ? since / fade : 1.0;
        g[i] = static_cast<float>(1.0 - std::fmax(cur * ramp, prev));
        cur *= decay;
        prev *= decay;
        since += 1.0;
    }
    return g;
}

void Limit(StereoBuffer& buf, double ceiling, double lookaheadS, double releaseS)
{
    const size_t n = buf.Frames();
    const size_t la = static_cast<size_t>(lookaheadS * kRate);
    // Required gain per frame: ceiling / peak (at most 1).
    std::vector<double> need(n);
    for (size_t i = 0; i < n; ++i) {
        const double p = std::fmax(std::fabs(buf.l[i]), std::fabs(buf.r[i]));
        need[i] = p > ceiling ? ceiling / p : 1.0;
    }
    // Minimum over the window [i, i + la] (monotonic deque).
    std::vector<double> target(n);
    std::deque<size_t> q;
    size_t next = 0;
    for (size_t i = 0; i < n; ++i) {
        while (next < n && next <= i + la) {
            while (!q.empty() && need[q.back()] >= need[next]) q.pop_back();
            q.push_back(next++);
        }
        while (q.front() < i) q.pop_front();
        target[i] = need[q.front()];
    }
    // Release: follow drops at once, recover slowly. Then average over the
    // look-ahead window: every value averaged for frame i already looked at
    // frame i, so the average never exceeds what frame i needs, and the gain
    // falls in a smooth ramp instead of a step.
    const double rel = Exp(-1.0 / (releaseS * kRate));
    std::vector<double> env(n);
    double g = 1.0;
    for (size_t i = 0; i < n; ++i) {
        g = target[i] < g ? target[i] : target[i] + (g - target[i]) * rel;
        env[i] = g;
    }
    std::vector<double> gain(n);
    double sum = 0.0;
    for (size_t i = 0; i < n; ++i) {
        sum += env[i];
        if (i > la) sum -= env[i - la - 1];
        const size_t count = i < la ? i + 1 : la + 1;
        gain[i] = std::fmin(sum / count, need[i]);
    }
    for (size_t i = 0; i < n; ++i) {
        buf.l[i] = static_cast<float>(buf.l[i] * gain[i]);
        buf.r[i] = static_cast<float>(buf.r[i] * gain[i]);
    }
}

}  // namespace datagen
