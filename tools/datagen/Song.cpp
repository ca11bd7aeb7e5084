// Arrangement and mixdown of the soundtrack (see Song.h). Positions are in
// beats (one beat = 22050 samples at 120 BPM) from the start of the music;
// every section below starts on the beat of the show event it belongs to.
#include "Song.h"

#include <algorithm>
#include <cmath>

#include "DetMath.h"
#include "Drums.h"
#include "Effects.h"
#include "Random.h"
#include "Synth.h"
#include "Voices.h"

namespace datagen {

const std::vector<ShowEvent>& ShowEvents()
{
    static const std::vector<ShowEvent> events = {
        {0.0, "scene 1", true},       {7.5, "card 1", false},       {15.0, "card 2", false},
        {22.5, "title", false},       {28.5, "title backs", false}, {39.0, "title rush", false},
        {40.5, "scene 2", true},      {55.5, "terrain", false},     {75.5, "picture", false},
        {90.25, "blob", false},       {111.0, "scene 3", true},     {120.5, "tunnel", false},
        {127.0, "fade", false},       {130.0, "scene 4", true},     {138.0, "object", false},
        {146.0, "picture", false},    {163.0, "camera rises", false}, {169.5, "scene 5", true},
        {189.0, "blob", false},       {198.5, "fade", false},       {204.45, "music fades", true},
        {210.0, "end", true},
    };
    return events;
}

namespace {
constexpr double kBeat = 22050.0;
constexpr double kMasterGain = 0.34;

struct Chord {
    int bass;
    std::vector<int> pad;
};
const Chord kAm{45, {57, 60, 64, 67}};
const Chord kF{41, {57, 60, 64, 65}};
const Chord kC{48, {55, 60, 62, 64}};
const Chord kG{43, {55, 59, 62, 67}};
const Chord kDm{38, {57, 60, 62, 65}};
const Chord kE{40, {56, 59, 62, 64}};
const Chord kEm{40, {55, 59, 64, 67}};
using Progression = std::vector<Chord>;
const Progression kP1{kAm, kF, kC, kG};
const Progression kP2{kAm, kDm, kF, kE};
const Progression kP3{kDm, kAm, kE, kAm};
const Progression kP4{kF, kG, kEm, kAm};

struct Note {
    double beat, length;
    int note;
};
const std::vector<Note> kMelodyA = {
    {0, 1.5, 76}, {1.5, 0.5, 74}, {2, 1, 72}, {3, 1, 74}, {4, 1.5, 72}, {5.5, 0.5, 69}, {6, 1, 72}, {7, 1, 76},
    {8, 2, 79}, {10, 1, 76}, {11, 1, 74}, {12, 3, 74}, {15, 1, 71}, {16, 1, 76}, {17, 1, 79}, {18, 2, 81},
    {20, 1.5, 77}, {21.5, 0.5, 76}, {22, 2, 72}, {24, 1, 76}, {25, 1, 74}, {26, 1, 72}, {27, 1, 74},
    {28, 2, 71}, {30, 2, 74}};
const std::vector<Note> kMelodyB = {
    {0, 1, 69}, {1, 1, 72}, {2, 1, 76}, {3, 1, 81}, {4, 2, 77}, {6, 1, 76}, {7, 1, 74}, {8, 1.5, 72},
    {9.5, 0.5, 74}, {10, 2, 76}, {12, 2, 68}, {14, 1, 71}, {15, 1, 76}, {16, 1, 81}, {17, 1, 79},
    {18, 1, 76}, {19, 1, 72}, {20, 2, 74}, {22, 1, 77}, {23, 1, 81}, {24, 1.5, 79}, {25.5, 0.5, 77},
    {26, 2, 76}, {28, 3, 80}, {31, 1, 76}};
const std::vector<Note> kMelodyC = {
    {0, 1, 72}, {1, 1, 77}, {2, 2, 76}, {4, 1, 74}, {5, 1, 79}, {6, 2, 74}, {8, 1, 71}, {9, 1, 74},
    {10, 2, 76}, {12, 3, 72}, {15, 1, 76}, {16, 1, 81}, {17, 1, 79}, {18, 2, 77}, {20, 1, 79},
    {21, 1, 74}, {22, 2, 71}, {24, 1, 76}, {25, 1, 79}, {26, 1, 83}, {27, 1, 79}, {28, 4, 81}};

enum class Groove { Light, Full, HalfTime, Break, Hats };
enum class BassStyle { Long, Offbeat, Rolling };

class Arranger {
public:
    explicit Arranger(size_t frames)
        : main(frames), ducked(frames), reverb(frames, 0.0f), delay(frames, 0.0f),
          kick(MakeKick()), snare(MakeSnare()), clap(MakeClap()), closedHat(MakeHat(false)),
          openHat(MakeHat(true)), crash(MakeCrash()), boom(MakeBoom()), tomHi(MakeTom(160.0)), tomLo(MakeTom(105.0))
    {
    }

    // --- one-shots ---------------------------------------------------------
    void Hit(const Sample& s, double beat, double gain, double pan, double reverbSend, double maxBeats = 0.0)
    {
        const double start = beat * kBeat;
        const size_t first = static_cast<size_t>(std::ceil(start));
        size_t len = s.size();
        size_t fade = 0;
        if (maxBeats > 0.0) {
            const size_t cut = static_cast<size_t>(maxBeats * kBeat);
            if (cut < len) {
                len = cut;
                fade = static_cast<size_t>(0.006 * kRate);  // choke without a click
            }
        }
        double gl, gr;
        PanGains(pan, gl, gr);
        for (size_t k = 0; k < len && first + k < main.Frames(); ++k) {
            double v = s[k] * gain;
            if (fade && k + fade >= len) v *= static_cast<double>(len - k) / fade;
            main.Add(first + k, v * gl, v * gr);
            reverb[first + k] += static_cast<float>(v * reverbSend);
        }
    }
    void Kick(double beat, double gain = 1.0)
    {
        Hit(kick, beat, 0.9 * gain, 0.0, 0.02);
        kicks.push_back(beat * kBeat);
    }
    void Snare(double beat, double gain = 1.0) { Hit(snare, beat, 0.5 * gain, 0.05, 0.3); }
    void Clap(double beat, double gain = 1.0) { Hit(clap, beat, 0.42 * gain, -0.1, 0.35); }
    void Hat(double beat, double gain, bool open, double maxBeats = 0.0)
    {
        Hit(open ? openHat : closedHat, beat, (open ? 0.2 : 0.28) * gain, 0.3, 0.05, maxBeats);
    }
    void Crash(double beat, double gain = 1.0) { Hit(crash, beat, 0.42 * gain, -0.25, 0.3); }
    void Boom(double beat, double gain = 1.0)
    {
        Hit(boom, beat, 0.7 * gain, 0.0, 0.15);
        kicks.push_back(beat * kBeat);
    }
    void Impact(double beat, double gain = 1.0)
    {
        Crash(beat, gain);
        Boom(beat, gain);
    }
    // The crash played backwards, so that it swells into the given beat.
    void Swell(double beat, double beats, double gain)
    {
        const size_t n = std::min(crash.size(), static_cast<size_t>(beats * kBeat));
        Sample s(n);
        for (size_t k = 0; k < n; ++k) s[k] = crash[n - 1 - k] * static_cast<float>(k) / n;
        Hit(s, beat - static_cast<double>(n) / kBeat, gain, 0.2, 0.4);
    }
    void Riser(double from, double to, double gain)
    {
        const Sample s = MakeRiser((to - from) * 0.5, static_cast<unsigned>(from));
        Hit(s, from, gain, 0.0, 0.4);
    }
    void Whoosh(double beat, double seconds, double gain, double pan)
    {
        const Sample s = MakeWhoosh(seconds, static_cast<unsigned>(beat));
        Hit(s, beat, gain, pan, 0.5);
    }

    // A snare roll that speeds up from 8ths to 16ths to 32nds and swells.
    void Roll(double from, double to, double gain)
    {
        const double len = to - from;
        double b = from;
        while (b < to - 1e-9) {
            const double x = (b - from) / len;
            Snare(b, gain * (0.25 + 0.75 * x * x));
            b += x < 0.5 ? 0.5 : (x < 0.8 ? 0.25 : 0.125);
        }
    }

    void Toms(double from, double to)
    {
        for (double b = from; b < to - 1e-9; b += 0.25) {
            const double x = (b - from) / (to - from);
            Hit(x < 0.5 ? tomHi : tomLo, b, 0.5 + 0.3 * x, x < 0.5 ? 0.4 : -0.4, 0.2);
        }
    }

    // Drum pattern over [from, to), bars anchored at from.
    void Drums(double from, double to, Groove g, double gain = 1.0)
    {
        for (double bar = from; bar < to - 1e-9; bar += 4.0) {
            for (int s = 0; s < 16; ++s) {
                const double b = bar + s * 0.25;
                if (b >= to - 1e-9) break;
                const bool beat = s % 4 == 0, offbeat = s % 4 == 2;
                switch (g) {
                case Groove::Light:
                    if (beat) Kick(b, gain);
                    if (offbeat) Hat(b, 0.8 * gain, false);
                    break;
                case Groove::Full:
                    if (beat) Kick(b, gain);
                    if (s == 4 || s == 12) {
                        Clap(b, gain);
                        Snare(b, 0.6 * gain);
                    }
                    if (offbeat) Hat(b, 0.9 * gain, true, 0.25);
                    else Hat(b, (beat ? 0.55 : 0.4) * gain, false);
                    break;
                case Groove::HalfTime:
                    if (s == 0 || s == 10 || (s == 3 && static_cast<int>((bar - from) / 4.0) % 2 == 1)) Kick(b, gain);
                    if (s == 8) {
                        Snare(b, 1.1 * gain);
                        Clap(b, 0.7 * gain);
                    }
                    if (s % 2 == 0) Hat(b, (offbeat ? 0.7 : 0.45) * gain, false);
                    if (s == 14) Hat(b, 0.6 * gain, true, 0.5);
                    break;
                case Groove::Break:
                    if (s == 0 || s == 6 || s == 11) Kick(b, gain);
                    if (s == 4 || s == 12) Snare(b, 1.0 * gain);
                    if (s == 15 || s == 7) Snare(b, 0.25 * gain);
                    Hat(b, (s % 2 == 0 ? 0.6 : 0.35) * gain, false);
                    break;
                case Groove::Hats:
                    if (offbeat) Hat(b, 0.6 * gain, false);
                    if (s % 2 == 1) Hat(b, 0.25 * gain, false);
                    break;
                }
            }
        }
    }

    // --- pitched voices ------------------------------------------------------
    Route Dry() { return {&main, &reverb, &delay, 0.0, 0.0}; }

    // Chords of a progression, each lasting span beats, anchored at anchor
    // (the first chord may start before it, at from).
    template <typename F>
    void ForChords(double from, double to, double anchor, const Progression& p, double span, F f)
    {
        int idx = 0;
        for (double c = anchor; c < to - 1e-9; c += span, ++idx) {
            const double start = std::max(from, c);
            const double end = std::min(to, c + span);
            if (end <= start) continue;
            f(p[idx % p.size()], start, end, idx);
        }
    }

    void Pads(double from, double to, double anchor, const Progression& p, double span, double gain, double cutoff)
    {
        ForChords(from, to, anchor, p, span, [&](const Chord& c, double s, double e, int) {
            Pad({&ducked, &reverb, nullptr, 0.55, 0.0}, s * kBeat, (e - s) * kBeat, c.pad, 0.3 * gain, cutoff);
        });
    }

    void BassLine(double from, double to, double anchor, const Progression& p, double span, BassStyle style, double gain)
    {
        const Route r{&ducked, nullptr, nullptr, 0.0, 0.0};
        ForChords(from, to, anchor, p, span, [&](const Chord& c, double s, double e, int) {
            switch (style) {
            case BassStyle::Long:
                Bass(r, s * kBeat, (e - s) * kBeat - 0.02 * kRate, c.bass, 0.5 * gain);
                break;
            case BassStyle::Offbeat:
                for (double b = std::floor(s) + 0.5; b < e; b += 1.0)
                    if (b >= s) Bass(r, b * kBeat, 0.4 * kBeat, c.bass + (static_cast<int>(b) % 4 == 3 ? 12 : 0), 0.5 * gain);
                break;
            case BassStyle::Rolling:
                for (double b = std::floor(s); b < e; b += 1.0)
                    for (int k = 1; k < 4; ++k) {
                        const double nb = b + k * 0.25;
                        if (nb >= s && nb < e) Bass(r, nb * kBeat, 0.2 * kBeat, c.bass + (k == 2 ? 12 : 0), (k == 2 ? 0.42 : 0.5) * gain);
                    }
                break;
            }
        });
    }

    // 16th-note arpeggio over the chord tones an octave above the pads,
    // up and down, accented 3-3-2.
    void Arp(double from, double to, double anchor, const Progression& p, double span, double gain, double bright0,
             double bright1, double step = 0.25)
    {
        static const int order[8] = {0, 1, 2, 3, 4, 3, 2, 1};
        const Route r{&main, &reverb, &delay, 0.35, 0.35};
        ForChords(from, to, anchor, p, span, [&](const Chord& c, double s, double e, int) {
            int k = 0;
            for (double b = s; b < e - 1e-9; b += step, ++k) {
                const int i = order[k % 8];
                const int note = i == 4 ? c.pad[0] + 24 : c.pad[i] + 12;
                const double accent = (k % 8 == 0 || k % 8 == 3 || k % 8 == 6) ? 1.0 : 0.65;
                const double x = (b - from) / (to - from);
                Pluck(r, b * kBeat, step * 0.8 * kBeat, note, 0.2 * gain * accent, (k % 2 ? 0.45 : -0.45),
                      Mix(bright0, bright1, x));
            }
        });
    }

    void Melody(const std::vector<Note>& notes, double at, double until, int transpose, double gain)
    {
        const Route r{&main, &reverb, &delay, 0.45, 0.3};
        for (const Note& n : notes) {
            if (at + n.beat >= until) break;
            const double len = std::min(n.length, until - at - n.beat);
            Lead(r, (at + n.beat) * kBeat, len * 0.92 * kBeat, n.note + transpose, 0.55 * gain);
        }
    }

    // Chord stabs that ring into the echo (scene 3's echoing object).
    void Stabs(double from, double to, const Progression& p, double gain)
    {
        const Route r{&main, &reverb, &delay, 0.4, 0.75};
        ForChords(from, to, from, p, 4.0, [&](const Chord& c, double s, double, int) {
            for (int n : c.pad) Pluck(r, (s + 0.75) * kBeat, 0.3 * kBeat, n + 12, 0.16 * gain, 0.0, 0.7);
        });
    }

    void Chime(double beat, int note, double gain, double pan)
    {
        Bell({&main, &reverb, &delay, 0.8, 0.4}, beat * kBeat, note, 0.22 * gain, pan);
    }

    StereoBuffer main, ducked;
    std::vector<float> reverb, delay;
    std::vector<double> kicks;

private:
    Sample kick, snare, clap, closedHat, openHat, crash, boom, tomHi, tomLo;
};

void Compose(Arranger& a)
{
    // Scene 1 (beats 0-81): space. Pads from the first beat (bars counted
    // from beat 1, so beat 81 starts a bar), an arpeggio from the first card,
    // bass from the second, drums from the title.
    const Progression intro{kAm, kF, kC, kG, kAm, kF, kC, kG, kAm, kE};
    a.Boom(0, 0.3);
    a.Chime(0, 69, 0.8, 0.0);
    a.Pads(0, 81, 1, intro, 8, 1.3, 1400);
    for (double card : {15.0, 30.0}) {
        a.Chime(card, card == 15.0 ? 76 : 81, 1.0, card == 15.0 ? -0.4 : 0.4);
        a.Chime(card + 0.75, card == 15.0 ? 81 : 88, 0.6, card == 15.0 ? 0.4 : -0.4);
        a.Whoosh(card, 4.0, 0.3, card == 15.0 ? -0.3 : 0.3);
    }
    a.Arp(15, 81, 1, intro, 8, 0.8, 0.15, 0.7);
    // Stars: sparse bell notes of the A minor pentatonic over the opening
    // and the breakdown.
    Pcg32 rng("Soundtrack.mp3 bells");
    static const int pentatonic[7] = {69, 72, 74, 76, 79, 81, 84};
    for (double b = 3; b < 45; b += 4) a.Chime(b + 0.5 * rng.Int(6), pentatonic[rng.Int(7)], 0.35, rng.Range(-0.7, 0.7));
    for (double b = 153; b < 171; b += 4) a.Chime(b + 0.5 * rng.Int(6), pentatonic[rng.Int(7)] + 12, 0.25, rng.Range(-0.7, 0.7));
    a.BassLine(30, 45, 1, intro, 8, BassStyle::Long, 0.8);
    a.Impact(45);                                    // the title card
    a.BassLine(45, 77, 1, intro, 8, BassStyle::Offbeat, 1.0);
    a.Drums(45, 57, Groove::Hats);
    a.Crash(57, 0.6);                                // the title backs away
    a.Drums(57, 77, Groove::Light);
    for (double b = 65; b < 77; b += 2) a.Clap(b + 1, 0.8);
    // The title's rush (78) on a two-bar build into scene 2.
    a.Riser(73, 81, 0.6);
    a.Swell(81, 3, 0.6);
    a.Roll(77, 81, 1.0);
    for (double b = 77; b < 80.9; b += 1) a.Kick(b, 0.9);
    a.BassLine(77, 81, 1, intro, 8, BassStyle::Rolling, 0.9);

    // Scene 2 (81-222).
    a.Impact(81);
    a.Drums(81, 109, Groove::Full);
    a.Pads(81, 111, 81, kP2, 4, 1.0, 2000);
    a.BassLine(81, 111, 81, kP2, 4, BassStyle::Rolling, 1.0);
    a.Arp(81, 111, 81, kP2, 4, 1.0, 0.5, 0.8);
    a.Roll(109, 111, 0.8);
    a.Kick(109);

    a.Impact(111, 0.8);                              // terrain flight
    a.Drums(111, 149, Groove::Full);
    a.Pads(111, 151, 111, kP1, 4, 0.9, 2200);
    a.BassLine(111, 151, 111, kP1, 4, BassStyle::Offbeat, 1.0);
    a.Melody(kMelodyA, 111, 143, 0, 1.0);
    a.Arp(143, 151, 111, kP1, 4, 1.1, 0.6, 1.0);
    a.Toms(149, 151);

    a.Impact(151, 0.6);                              // picture: breakdown
    a.Pads(151, 180.5, 151, kP2, 4, 1.3, 2600);
    a.BassLine(151, 180.5, 151, kP2, 4, BassStyle::Long, 0.9);
    a.Drums(151, 172.5, Groove::Hats, 0.8);
    a.Melody(kMelodyB, 151, 175, 0, 0.8);
    a.Arp(159, 180.5, 151, kP2, 4, 0.8, 0.3, 0.9);
    a.Riser(172.5, 180.5, 0.7);
    a.Roll(176.5, 180.5, 1.0);

    // The blob appears on the half beat: an anticipated downbeat.
    a.Impact(180.5);
    const Progression blob{kAm, kF, kC, kG};
    a.Pads(180.5, 222, 181, blob, 4, 0.9, 2400);
    a.BassLine(180.5, 217, 181, blob, 4, BassStyle::Rolling, 1.0);
    Bass({&a.ducked, nullptr, nullptr, 0, 0}, 180.5 * kBeat, 0.4 * kBeat, 45, 0.5);
    a.Drums(181, 217, Groove::Full);
    a.Melody(kMelodyA, 181, 213, 12, 0.8);
    a.Arp(181, 217, 181, blob, 4, 0.8, 0.5, 0.9);
    a.Riser(213, 222, 0.7);
    a.Swell(222, 3, 0.6);
    a.Roll(217, 221, 1.0);
    for (double b = 217; b < 221; b += 1) a.Kick(b);

    // Scene 3 (222-260): the echoing spiky object, half time.
    a.Impact(222);
    a.Drums(222, 238, Groove::HalfTime);
    a.Pads(222, 241, 222, kP3, 4, 1.0, 1600);
    a.BassLine(222, 238, 222, kP3, 4, BassStyle::Long, 1.1);
    a.Stabs(222, 238, kP3, 1.0);
    a.Toms(238, 241);
    a.Riser(237, 241, 0.5);

    a.Impact(241);                                   // the double tunnel
    a.Drums(241, 254, Groove::Break);
    a.Pads(241, 254, 241, kP1, 4, 0.8, 3000);
    a.BassLine(241, 254, 241, kP1, 4, BassStyle::Rolling, 1.0);
    a.Arp(241, 254, 241, kP1, 4, 1.1, 0.8, 1.0);

    a.Crash(254, 0.7);                               // fade to black
    a.Pads(254, 262, 254, {kAm}, 8, 1.2, 1200);
    a.BassLine(254, 259, 254, {kAm}, 8, BassStyle::Long, 0.8);
    a.Arp(254, 260, 254, {kAm}, 8, 0.6, 0.6, 0.1);

    // Scene 4 (260-339): the landscape fades in, the object, the picture.
    a.Chime(260, 72, 0.7, -0.3);
    a.Pads(260, 292, 260, kP4, 4, 1.3, 1800);
    a.BassLine(260, 276, 260, kP4, 4, BassStyle::Long, 0.9);
    a.Arp(260, 276, 260, kP4, 4, 0.7, 0.2, 0.6);
    a.Drums(268, 276, Groove::Hats, 0.7);
    a.Impact(276, 0.7);                              // the object swings in
    a.Drums(276, 292, Groove::Light);
    a.BassLine(276, 292, 260, kP4, 4, BassStyle::Offbeat, 1.0);
    a.Arp(276, 292, 260, kP4, 4, 0.9, 0.6, 0.8);
    a.Impact(292);                                   // the picture
    a.Drums(292, 324, Groove::Full);
    a.Pads(292, 326, 292, kP4, 4, 1.0, 2400);
    a.BassLine(292, 331, 292, kP4, 4, BassStyle::Rolling, 1.0);
    a.Melody(kMelodyC, 292, 324, 0, 1.0);
    a.Arp(292, 331, 292, kP4, 4, 0.7, 0.6, 0.9);
    a.Toms(324, 326);
    a.Crash(326, 0.6);                               // the camera rises
    a.Drums(326, 331, Groove::Full);
    a.Pads(326, 339, 326, {kF, kG, kE, kE}, 4, 1.0, 2600);
    a.Riser(331, 339, 0.7);
    a.Swell(339, 3, 0.7);
    a.Roll(335, 339, 1.0);
    for (double b = 331; b < 339; b += 1) a.Kick(b, 0.8);

    // Scene 5 (339-409): the climax, then the blob and the end.
    a.Impact(339, 1.1);
    a.Drums(339, 375, Groove::Full);
    a.Pads(339, 378, 339, kP2, 4, 1.0, 3000);
    a.BassLine(339, 375, 339, kP2, 4, BassStyle::Rolling, 1.0);
    a.Melody(kMelodyB, 339, 371, 12, 0.8);
    a.Melody(kMelodyB, 339, 371, 0, 0.5);
    a.Arp(339, 378, 339, kP2, 4, 0.8, 0.7, 1.0);
    a.Toms(375, 378);
    a.Kick(375);

    a.Impact(378, 0.7);                              // clouds fade, the blob
    a.Pads(378, 397, 378, kP1, 4, 1.3, 2200);
    a.BassLine(378, 397, 378, kP1, 4, BassStyle::Offbeat, 0.9);
    a.Drums(378, 397, Groove::Hats, 0.8);
    a.Arp(378, 397, 378, kP1, 4, 0.9, 0.8, 0.5);
    a.Melody(kMelodyA, 378, 394, 0, 0.7);

    a.Boom(397, 0.6);                                // fade to black
    a.Chime(397, 81, 0.9, 0.0);
    a.Chime(398, 76, 0.6, -0.4);
    a.Chime(399, 72, 0.5, 0.4);
    a.Chime(400, 69, 0.5, 0.0);
    a.Pads(397, 420, 397, {kAm}, 23, 1.3, 1300);
    a.BassLine(397, 420, 397, {kAm}, 23, BassStyle::Long, 0.8);
    a.Arp(397, 409, 397, {kAm}, 12, 0.7, 0.5, 0.1, 0.5);
}

// Evens out the sections' loudness part of the way towards a common level.
void LevelSections(StereoBuffer& mix)
{
    const std::vector<ShowEvent>& ev = ShowEvents();
    std::vector<double> bounds;
    for (const ShowEvent& e : ev)
        if (e.seconds < 204.45) bounds.push_back(e.seconds * kRate);
    bounds.push_back(204.45 * kRate);
    std::vector<double> gains;
    const double target = 0.16;
    for (size_t s = 0; s + 1 < bounds.size(); ++s) {
        const size_t a = static_cast<size_t>(bounds[s]), b = static_cast<size_t>(bounds[s + 1]);
        // The opening fades in from nothing; measure its second half only.
        const size_t from = s == 0 ? (a + b) / 2 : a;
        double sum = 0.0;
        for (size_t i = from; i < b; ++i) sum += 0.5 * (mix.l[i] * mix.l[i] + mix.r[i] * mix.r[i]);
        const double rms = std::sqrt(sum / std::max<size_t>(1, b - from));
        gains.push_back(rms > 1e-6 ? Clamp(Pow(target / rms, 0.6), 0.6, 2.0) : 1.0);
    }
    gains.push_back(gains.back());
    const size_t ramp = static_cast<size_t>(0.05 * kRate);
    for (size_t i = 0; i < mix.Frames(); ++i) {
        size_t s = 0;
        while (s + 1 < bounds.size() && i >= bounds[s + 1]) ++s;
        double g = gains[std::min(s, gains.size() - 1)];
        // Ramp from the previous section's gain over 50 ms.
        if (s > 0 && i < bounds[s] + ramp) g = Mix(gains[s - 1], g, (i - bounds[s]) / ramp);
        mix.l[i] = static_cast<float>(mix.l[i] * g);
        mix.r[i] = static_cast<float>(mix.r[i] * g);
    }
}
}  // namespace

StereoBuffer RenderSong()
{
    const size_t frames = static_cast<size_t>(kSongSeconds * kRate);
    Arranger a(frames);
    Compose(a);

    StereoBuffer mix(frames);
    const std::vector<float> duck = DuckEnvelope(frames, a.kicks, 0.6, 0.12);
    for (size_t i = 0; i < frames; ++i) {
        mix.l[i] = a.main.l[i] + a.ducked.l[i] * duck[i];
        mix.r[i] = a.main.r[i] + a.ducked.r[i] * duck[i];
    }
    // Dotted-eighth echo and the room.
    PingPongDelay(a.delay, mix, 16538, 0.42, 3200.0);
    Freeverb(a.reverb, mix, 0.85, 0.5, 1.0);

    // Remove any offset below hearing (a one-pole high-pass at 20 Hz).
    const double c = Exp(-kTwoPi * 20.0 / kRate);
    double pl = 0.0, pr = 0.0, ol = 0.0, orr = 0.0;
    for (size_t i = 0; i < frames; ++i) {
        const double xl = mix.l[i], xr = mix.r[i];
        ol = c * (ol + xl - pl);
        orr = c * (orr + xr - pr);
        pl = xl;
        pr = xr;
        mix.l[i] = static_cast<float>(ol);
        mix.r[i] = static_cast<float>(orr);
    }

    // Bring the mix down to a level the limiter only has to touch at peaks.
    for (size_t i = 0; i < frames; ++i) {
        mix.l[i] = static_cast<float>(mix.l[i] * kMasterGain);
        mix.r[i] = static_cast<float>(mix.r[i] * kMasterGain);
    }
    LevelSections(mix);

    // The show fades the music out from 204.45 s; it is silent by 210.16 s.
    for (size_t i = 0; i < frames; ++i) {
        const double t = i / kRate;
        if (t < 204.45) continue;
        const double x = Clamp((t - 204.45) / (210.16 - 204.45), 0.0, 1.0);
        const double g = 0.5 + 0.5 * Cos(kPi * x);
        mix.l[i] = static_cast<float>(mix.l[i] * g);
        mix.r[i] = static_cast<float>(mix.r[i] * g);
    }
    Limit(mix, kSongCeiling, 0.005, 0.15);
    return mix;
}

}  // namespace datagen
