// The show's facts as the host takes them: the one place on the port's side
// that reads the show's own headers (its facts, and its scenes for their
// restart), for main and for the tests that run the host in process.
#pragma once

#include "ShowFacts.h"

#include "P_Part.h"
#include "Shell.h"
#include "Show.h"  // the show's own facts, in app/

#include <iterator>

namespace host {

inline ShowFacts TheShow()
{
    ShowFacts s;
    s.sceneStarts.assign(std::begin(show::kSceneStarts), std::end(show::kSceneStarts));
    s.fadeStart = show::kFadeStart;
    s.end = show::kEnd;
    s.soundtrack = show::kSoundtrack;
    s.width = static_cast<int>(show::kBackBufferWidth);
    s.height = static_cast<int>(show::kBackBufferHeight);
    s.bytesPerSecond = [](uint32_t frequency, uint32_t flags) { return show::BytesPerSecond(frequency, flags); };
    s.secondsOfPosition = [](uint32_t position, int bytesPerSecond) {
        return show::SecondsOfPosition(position, bytesPerSecond);
    };
    s.restartScene = [](int slot) -> const char* {
        if (slot < 0 || slot >= static_cast<int>(std::size(g_scenes)) || !g_scenes[slot]) return nullptr;
        return g_scenes[slot]->Init();
    };
    return s;
}

}  // namespace host
