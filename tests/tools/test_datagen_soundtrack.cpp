// Tests of the soundtrack: the synthesis blocks (band-limited oscillators,
// click-free envelopes, filter, ducking, limiter) and the finished piece,
// which is rendered and encoded once for this program: it decodes to at
// least 212 s of 44.1 kHz stereo with its peak under -1 dBFS, its sections
// are about equally loud, it is silent after the show's fade, it has no
// clicks, and the same samples come out every time.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>

#include "DetMath.h"
#include "Effects.h"
#include "Mp3.h"
#include "Song.h"
#include "Synth.h"

using namespace datagen;

namespace {
struct Rendered {
    StereoBuffer song;
    std::vector<int16_t> pcm;
    std::vector<uint8_t> mp3;
    std::vector<int16_t> decoded;
    long rate = 0;
    int channels = 0;
    std::string error;
};

const Rendered& Piece()
{
    static const Rendered r = [] {
        Rendered x;
        x.song = RenderSong();
        x.pcm = ToPcm16(x.song);
        if (EncodeMp3(x.pcm, x.mp3, x.error)) DecodeMp3(x.mp3, x.decoded, x.rate, x.channels, x.error);
        return x;
    }();
    return r;
}

double RmsDb(const StereoBuffer& b, double from, double to)
{
    const size_t a = static_cast<size_t>(from * kRate), e = static_cast<size_t>(to * kRate);
    double sum = 0.0;
    for (size_t i = a; i < e; ++i) sum += 0.5 * (double(b.l[i]) * b.l[i] + double(b.r[i]) * b.r[i]);
    return 10.0 * std::log10(sum / (e - a) + 1e-20);
}

// Clicks: samples whose second difference stands far out of the second
// differences around them (10 ms each side) — an isolated discontinuity,
// unlike the steady roughness of noise or bright tones.
size_t CountClicks(const StereoBuffer& b)
{
    size_t clicks = 0;
    const size_t half = 441;
    for (const std::vector<float>* ch : {&b.l, &b.r}) {
        const std::vector<float>& x = *ch;
        std::vector<double> d2(x.size(), 0.0);
        for (size_t i = 2; i < x.size(); ++i) d2[i] = double(x[i]) - 2.0 * x[i - 1] + x[i - 2];
        double sum = 0.0;  // running sum of squares over [i - half, i + half]
        for (size_t i = 0; i < std::min(x.size(), half); ++i) sum += d2[i] * d2[i];
        size_t last = 0;
        for (size_t i = 0; i < x.size(); ++i) {
            if (i + half < x.size()) sum += d2[i + half] * d2[i + half];
            if (i > half) sum -= d2[i - half - 1] * d2[i - half - 1];
            const double rms = std::sqrt(std::fmax(sum, 0.0) / (2 * half + 1));
            const double a = std::fabs(d2[i]);
            if (a > 0.05 && a > 12.0 * rms && (clicks == 0 || i > last + 3)) {
                ++clicks;
                last = i;
            }
        }
    }
    return clicks;
}

// Energy of a signal at frequency hz (single DFT bin), normalised.
double Tone(const std::vector<double>& x, double hz)
{
    std::complex<double> s(0, 0);
    for (size_t i = 0; i < x.size(); ++i) s += x[i] * std::polar(1.0, -2.0 * 3.14159265358979 * hz * i / kRate);
    return std::abs(s) / x.size();
}
}  // namespace

TEST(Synth, PolyBlepSawHasLessAliasingThanANaiveSaw)
{
    // A 3 kHz saw: its 9th harmonic (27 kHz) folds to 17.1 kHz. The
    // band-limited saw puts far less energy there than the naive one.
    const double f = 3000.0, dt = f / kRate;
    std::vector<double> blep(8192), naive(8192);
    Saw saw;
    double phase = 0.0;
    for (size_t i = 0; i < blep.size(); ++i) {
        blep[i] = saw.Next(dt);
        naive[i] = 2.0 * phase - 1.0;
        phase += dt;
        if (phase >= 1.0) phase -= 1.0;
    }
    const double alias = 27000.0 - (27000.0 - 22050.0) * 2.0;  // 17100 Hz
    EXPECT_LT(Tone(blep, alias), 0.5 * Tone(naive, alias));
    // The fundamental is unchanged.
    EXPECT_NEAR(Tone(blep, f), Tone(naive, f), 0.1 * Tone(naive, f));
}

TEST(Synth, EnvelopeStartsAtZeroRisesSmoothlyAndReleasesToSilence)
{
    Adsr env(0.01, 0.1, 0.5, 0.05);
    double prev = 0.0, maxStep = 0.0;
    for (int i = 0; i < 4410; ++i) {
        const double v = env.Next();
        maxStep = std::fmax(maxStep, std::fabs(v - prev));
        prev = v;
    }
    EXPECT_NEAR(prev, 0.5, 0.01);  // at the sustain level after 100 ms
    EXPECT_LT(maxStep, 0.01);      // no step: the attack takes 10 ms
    env.Release();
    int n = 0;
    while (!env.Done() && n < 44100) {
        const double v = env.Next();
        maxStep = std::fmax(maxStep, std::fabs(v - prev));
        prev = v;
        ++n;
    }
    EXPECT_TRUE(env.Done());
    EXPECT_EQ(prev, 0.0);
    EXPECT_GT(n, static_cast<int>(0.02 * kRate));  // a release of at least 20 ms
    EXPECT_LT(maxStep, 0.01);
}

TEST(Synth, LowPassPassesLowTonesAndCutsHighOnes)
{
    std::vector<double> low(8192), high(8192);
    Svf a, b;
    a.Set(1000.0, 0.707);
    b.Set(1000.0, 0.707);
    for (size_t i = 0; i < low.size(); ++i) {
        low[i] = a.Low(Sin(2.0 * kPi * 200.0 * i / kRate));
        high[i] = b.Low(Sin(2.0 * kPi * 8000.0 * i / kRate));
    }
    EXPECT_GT(Tone(low, 200.0), 0.45);   // about unity gain (a sine's bin is 0.5)
    EXPECT_LT(Tone(high, 8000.0), 0.01);  // -36 dB or more at three octaves up
}

TEST(Effects, LimiterKeepsPeaksUnderTheCeilingAndLeavesQuietSoundAlone)
{
    StereoBuffer b(44100);
    for (size_t i = 0; i < b.Frames(); ++i) {
        const double s = Sin(2.0 * kPi * 440.0 * i / kRate);
        const double amp = i > 20000 && i < 21000 ? 1.8 : 0.3;
        b.l[i] = static_cast<float>(amp * s);
        b.r[i] = static_cast<float>(-amp * s);
    }
    const StereoBuffer before = b;
    Limit(b, 0.7, 0.005, 0.1);
    double peak = 0.0;
    for (size_t i = 0; i < b.Frames(); ++i) peak = std::fmax(peak, std::fmax(std::fabs(b.l[i]), std::fabs(b.r[i])));
    EXPECT_LE(peak, 0.7 + 1e-6);
    for (size_t i = 0; i < 10000; ++i) ASSERT_EQ(b.l[i], before.l[i]);  // well before the loud burst
}

TEST(Effects, DuckingDipsAfterEachKickAndRecovers)
{
    const std::vector<float> g = DuckEnvelope(44100, {1000.0, 30000.0}, 0.6, 0.12);
    EXPECT_EQ(g[999], 1.0f);
    EXPECT_NEAR(g[1000 + 200], 0.42, 0.01);  // down by the depth 4.5 ms after the kick
    EXPECT_GT(g[1000 + 20000], 0.95f);      // recovered
    double maxStep = 0.0;
    for (size_t i = 1; i < g.size(); ++i) maxStep = std::fmax(maxStep, std::fabs(g[i] - g[i - 1]));
    EXPECT_LT(maxStep, 0.01);  // the dip fades in, no click
}

// The finished piece is checked in one case, since ctest runs every case in
// a process of its own and rendering it takes seconds.
TEST(Soundtrack, FinishedPieceIsLongUnclippedBalancedAndClean)
{
    const Rendered& r = Piece();
    ASSERT_TRUE(r.error.empty()) << r.error;
    {
        SCOPED_TRACE("decoded: at least 212 s of 44.1 kHz stereo, peak under -1 dBFS, about 190 kbit/s");
        EXPECT_EQ(r.rate, 44100);
        EXPECT_EQ(r.channels, 2);
        EXPECT_GE(r.decoded.size() / 2.0 / r.rate, 212.0);
        int peak = 0;
        for (int16_t s : r.decoded) peak = std::max(peak, std::abs(static_cast<int>(s)));
        EXPECT_LT(20.0 * std::log10(peak / 32768.0), -1.0);
        const double kbps = r.mp3.size() * 8.0 / (r.decoded.size() / 2.0 / r.rate) / 1000.0;
        EXPECT_NEAR(kbps, 192.0, 8.0);
    }
    const StereoBuffer& s = r.song;
    {
        SCOPED_TRACE("sections between the show's events about equally loud");
        // The opening's first bars fade in and the closing fade is left out.
        const double bounds[] = {22.5, 40.5, 55.5, 75.5, 90.25, 111.0, 120.5, 127.0, 130.0, 138.0, 146.0, 169.5, 189.0, 198.5};
        double lo = 1e9, hi = -1e9;
        for (size_t k = 0; k + 1 < std::size(bounds); ++k) {
            const double db = RmsDb(s, bounds[k], bounds[k + 1]);
            lo = std::fmin(lo, db);
            hi = std::fmax(hi, db);
        }
        EXPECT_LT(hi - lo, 8.0);
        EXPECT_GT(lo, -30.0);
    }
    {
        SCOPED_TRACE("music from the start, silence after the show's fade");
        EXPECT_GT(RmsDb(s, 0.5, 5.0), -40.0);
        EXPECT_LT(RmsDb(s, 210.2, 212.0), -90.0);
    }
    {
        SCOPED_TRACE("no clicks");
        EXPECT_EQ(CountClicks(s), 0u);
    }
}

TEST(Soundtrack, ClickDetectorFindsASingleStep)
{
    StereoBuffer b(44100);
    for (size_t i = 0; i < b.Frames(); ++i) b.l[i] = b.r[i] = static_cast<float>(0.3 * Sin(2.0 * kPi * 220.0 * i / kRate));
    EXPECT_EQ(CountClicks(b), 0u);
    for (size_t i = 20000; i < b.Frames(); ++i) b.l[i] += 0.2f;  // a DC step: a click
    EXPECT_EQ(CountClicks(b), 1u);
}

TEST(Soundtrack, SameSamplesAndBytesEveryTime)
{
    const Rendered& r = Piece();
    const std::vector<int16_t> again = ToPcm16(RenderSong());
    EXPECT_TRUE(again == r.pcm);
    // The encoder gives the same bytes for the same samples.
    std::vector<int16_t> excerpt(r.pcm.begin(), r.pcm.begin() + 2 * 441000);
    std::vector<uint8_t> a, b;
    std::string error;
    ASSERT_TRUE(EncodeMp3(excerpt, a, error));
    ASSERT_TRUE(EncodeMp3(excerpt, b, error));
    EXPECT_EQ(a, b);
}

TEST(Mp3, DecoderRefusesGarbage)
{
    std::vector<uint8_t> junk(5000);
    for (size_t i = 0; i < junk.size(); ++i) junk[i] = static_cast<uint8_t>(i * 7 + 3);
    std::vector<int16_t> out;
    long rate = 0;
    int channels = 0;
    std::string error;
    const bool ok = DecodeMp3(junk, out, rate, channels, error);
    EXPECT_TRUE(!ok || out.empty());
}
