// The soundtrack's composition: a 120 BPM piece in A minor whose sections
// change exactly at the show's events, rendered to 44.1 kHz stereo floats
// (mixing, reverb, delay, levelling between sections, the closing fade and
// the peak limiter included).
#pragma once

#include <vector>

#include "AudioBuffer.h"

namespace datagen {

constexpr double kSongSeconds = 212.2;   // the show reads 210.45 s of it
constexpr double kSongCeiling = 0.776;   // -2.2 dBFS, room for the MP3's overshoot

struct ShowEvent {
    double seconds;
    const char* label;
    bool sceneChange;
};

// The show's events the music follows (for the preview's markers).
const std::vector<ShowEvent>& ShowEvents();

StereoBuffer RenderSong();

}  // namespace datagen
