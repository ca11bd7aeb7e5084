// The show's facts as the host takes them: the one place on the port's side
// that reads the show's own header, for main and for the tests that run the
// host in process.
#pragma once

#include "ShowFacts.h"

#include "Show.h"  // the show's own facts, in app/

#include <iterator>

namespace host {

inline ShowFacts TheShow()
{
    ShowFacts s;
    s.sceneStarts.assign(std::begin(show::kSceneStarts), std::end(show::kSceneStarts));
    s.end = show::kEnd;
    s.soundtrack = show::kSoundtrack;
    s.width = static_cast<int>(show::kBackBufferWidth);
    s.height = static_cast<int>(show::kBackBufferHeight);
    s.bytesPerSecond = [](uint32_t frequency, uint32_t flags) { return show::BytesPerSecond(frequency, flags); };
    s.secondsOfPosition = [](uint32_t position, int bytesPerSecond) {
        return show::SecondsOfPosition(position, bytesPerSecond);
    };
    return s;
}

}  // namespace host
