// Pitched instruments of the soundtrack. Each call renders one note (or one
// chord for the pad) into a bus, with optional sends to the reverb and the
// delay: a saw bass with a sub octave and a filter envelope, a wide
// detuned-saw pad, a plucked square/saw arpeggio voice, a saw lead with
// delayed vibrato, and an FM bell.
#pragma once

#include <vector>

#include "AudioBuffer.h"

namespace datagen {

struct Route {
    StereoBuffer* bus = nullptr;
    std::vector<float>* reverb = nullptr;  // mono send
    std::vector<float>* delay = nullptr;   // mono send
    double reverbSend = 0.0;
    double delaySend = 0.0;
};

// start and length in samples (fractional start allowed), note in MIDI.
void Bass(const Route& out, double start, double length, double note, double velocity);
void Pad(const Route& out, double start, double length, const std::vector<int>& notes, double velocity, double cutoffHz);
void Pluck(const Route& out, double start, double length, double note, double velocity, double pan, double brightness);
void Lead(const Route& out, double start, double length, double note, double velocity);
void Bell(const Route& out, double start, double note, double velocity, double pan);

}  // namespace datagen
