// The arithmetic of a stream on a clock, shared by the BASS stand-in's calls
// and its sides: whole sample frames elapsed in a time, the frame reached
// from where the count began (wrapped when the stream loops, held at its end
// otherwise), and the gains of a volume and pan.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace stream_clock {

// Added before flooring a count of sample frames, so that an elapsed time
// whose product with the rate is an integer up to rounding (0.5 s at 44100 Hz
// as 22049.999999) counts that whole frame.
constexpr double kFrameEpsilon = 1e-6;

inline uint64_t ElapsedFrames(double seconds, double rate)
{
    if (!(seconds > 0.0)) return 0;
    return static_cast<uint64_t>(std::floor(seconds * rate + kFrameEpsilon));
}

// The position after `frame` frames counted (from the start of the sound) in
// a stream of `length` frames.
inline uint32_t Wrapped(uint64_t frame, uint64_t length, bool loop)
{
    if (loop) return length ? static_cast<uint32_t>(frame % length) : 0;
    return static_cast<uint32_t>(std::min<uint64_t>(frame, length));
}

// Gains in ten-thousandths for the left and right channel: the volume (0 to
// 100) times the pan's (-100 to 100) attenuation of the side it leans away from.
inline void Gains(int volume, int pan, int& left, int& right)
{
    left = volume * (pan > 0 ? 100 - pan : 100);
    right = volume * (pan < 0 ? 100 + pan : 100);
}

}  // namespace stream_clock
