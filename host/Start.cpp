// The way to --start (see Start.h).
#include "Start.h"

#include "host.h"

#include "bass_host.h"
#include "runtime.h"
#include "win32_host.h"

#include <bass.h>
#include <windows.h>

#include <cmath>
#include <cstdio>
#include <vector>

namespace host {

namespace {

struct StartState {
    bool begun = false;
    bool reached = false;
    size_t nextStop = 0;
    std::vector<float> stops;  // first frames of scenes before the start, then the start
    uint32_t firstTick = 0;    // live runs: the tick count and music time of the first frame
    double firstMusic = 0.0;
};

StartState& S()
{
    static StartState state;
    return state;
}

// The music time that the system reads from the stream, as it computes it.
bool MusicSeconds(float& seconds)
{
    double value;
    if (!host::MusicSeconds(value)) return false;
    seconds = static_cast<float>(value);
    return true;
}

// Headless: the virtual clock goes frame by frame to the first frame whose
// music time has reached target, as a run from the beginning would present
// it. False when the music never gets there (it wraps or stops first).
bool MoveVirtualClock(float target, double musicNow)
{
    const double fps = runtime::CurrentOptions().fps;
    uint64_t frame = runtime::PresentedFrames();
    const uint64_t last = frame + static_cast<uint64_t>(std::ceil((target - musicNow + 1.0) * fps)) + 2;
    float previous = static_cast<float>(musicNow);
    while (frame < last) {
        runtime::SetVirtualFrame(++frame);
        float t;
        if (!MusicSeconds(t)) return false;
        if (t >= target) return true;
        if (t < previous) return false;
        previous = t;
    }
    return false;
}

// Live: seeks the stream to the first sample at which the system's reading
// has reached target, and sets the tick count to what it would read then.
bool SeekLive(float target)
{
    const DWORD stream = bass_host::CurrentStream();
    DWORD rate = 0;
    if (!stream || !BASS_ChannelGetAttributes(stream, &rate, nullptr, nullptr) || rate == 0) return false;
    const ShowFacts& show = Show();
    const int bytesPerSecond = show.bytesPerSecond(rate, BASS_ChannelGetFlags(stream));
    const uint64_t bytesPerFrame = static_cast<uint64_t>(bytesPerSecond) / rate;
    if (bytesPerFrame == 0) return false;
    uint64_t frame = static_cast<uint64_t>(std::ceil(static_cast<double>(target) * rate));
    while (frame * bytesPerFrame <= 0xFFFFFFFFull &&
           show.secondsOfPosition(static_cast<uint32_t>(frame * bytesPerFrame), bytesPerSecond) < target)
        ++frame;
    if (frame * bytesPerFrame > 0xFFFFFFFFull) return false;
    if (!BASS_ChannelSetPosition(stream, static_cast<DWORD>(frame * bytesPerFrame))) return false;
    const double ahead = (static_cast<double>(target) - S().firstMusic) * 1000.0;
    runtime::SetTickMilliseconds(S().firstTick + static_cast<uint32_t>(static_cast<int64_t>(std::llround(ahead))));
    return true;
}

void Begin(double musicSeconds)
{
    StartState& s = S();
    s.begun = true;
    s.firstTick = runtime::TickMilliseconds();
    s.firstMusic = musicSeconds;
    const float start = static_cast<float>(runtime::CurrentOptions().start);
    s.stops.clear();
    // The first scene's first frame is the run's own first frame.
    for (float sceneStart : Show().sceneStarts)
        if (sceneStart > musicSeconds && sceneStart < start) s.stops.push_back(sceneStart);
    s.stops.push_back(start);
}

}  // namespace

bool StartPending()
{
    return runtime::CurrentOptions().start > 0.0 && !S().reached;
}

void ContinueToStart(double musicSeconds)
{
    StartState& s = S();
    if (!s.begun) Begin(musicSeconds);
    if (s.nextStop >= s.stops.size()) return;
    const float target = s.stops[s.nextStop++];
    const bool sceneFrame = s.nextStop < s.stops.size();
    if (!sceneFrame) s.reached = true;
    const bool moved = runtime::CurrentOptions().headless ? MoveVirtualClock(target, musicSeconds) : SeekLive(target);
    if (!moved) {
        char text[160];
        std::snprintf(text, sizeof text, "the music never reaches %.3f seconds: --start %g is past the soundtrack's end.",
                      static_cast<double>(target), runtime::CurrentOptions().start);
        s.reached = true;
        FailRun(text);
        return;
    }
    // The scene's first frame, drawn by the system's own loop on its next pass.
    if (sceneFrame) win32_host::PostToAllWindows(WM_PAINT, 0, 0);
}

void ResetStart()
{
    S() = StartState{};
}

}  // namespace host
