// Effects and mastering of the soundtrack: a ping-pong echo, a Freeverb
// reverb, the kick's ducking of bass and pads, and the look-ahead peak
// limiter that keeps the master under its ceiling.
#pragma once

#include <vector>

#include "AudioBuffer.h"

namespace datagen {

// Mono send in, stereo echoes out (added to out): delay in samples,
// feedback with a low-pass in the loop, alternating sides.
void PingPongDelay(const std::vector<float>& send, StereoBuffer& out, size_t delay, double feedback, double lowpassHz);

// Freeverb (8 parallel combs and 4 allpasses per side) of a mono send,
// added to out scaled by wet.
void Freeverb(const std::vector<float>& send, StereoBuffer& out, double room, double damping, double wet);

// Gain per frame: 1 - depth * exp(-t / release) after every kick time.
std::vector<float> DuckEnvelope(size_t frames, const std::vector<double>& kickFrames, double depth, double releaseS);

// Look-ahead limiter: the gain follows the peak of the next lookahead
// samples down at once and recovers with the release time, so no sample
// exceeds the ceiling (linear amplitude).
void Limit(StereoBuffer& buf, double ceiling, double lookaheadS, double releaseS);

}  // namespace datagen
