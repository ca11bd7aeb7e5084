// What the host knows of the show it runs, handed to it by main from the
// show's own facts: the scenes' start times, the fade, the end, the soundtrack and the
// back buffer's size, and the show's arithmetic of music seconds. The host
// keeps no copy of these numbers of its own.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace host {

struct ShowFacts {
    std::vector<float> sceneStarts;  // music times at which the timeline changes scenes
    double fadeStart = 0.0;          // music time from which no scene is drawn and the music fades
    double end = 0.0;                // music time at which the show closes itself
    std::string soundtrack;          // the soundtrack's file, as the show names it
    int width = 0;                   // the back buffer's size
    int height = 0;
    // Bytes a second of a stream of this rate and flags word, and the music
    // time of a byte position, exactly as the show computes them.
    int (*bytesPerSecond)(uint32_t frequency, uint32_t flags) = nullptr;
    float (*secondsOfPosition)(uint32_t position, int bytesPerSecond) = nullptr;
    // Puts the scene of a slot (0 for the first) back as it was before its
    // first frame, loading it again through its own Init, so that it plays
    // again as from the beginning (a move back before where it has been):
    // null on success, else the scene's message.
    const char* (*restartScene)(int slot) = nullptr;
};

}  // namespace host
