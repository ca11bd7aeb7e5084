// The moves to a music time (see Start.h).
#include "Start.h"

#include "host.h"

#include "bass_host.h"
#include "d3d8_host.h"
#include "runtime.h"
#include "win32_host.h"

#include <bass.h>
#include <windows.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

namespace host {

namespace {

struct MoveState {
    bool firstSeen = false;
    uint32_t firstTick = 0;     // live runs: the tick count and music time of the first frame
    double firstMusic = 0.0;
    DWORD firstVolume = 100;    // the stream's volume then, before any fade
    // By scene: the music time of the last frame presented of it since it
    // began (or began again); negative while it has not been drawn.
    std::vector<double> latest;
    size_t nextStop = 0;
    std::vector<float> stops;   // first frames of scenes not drawn before the target, then the target
};

MoveState& S()
{
    static MoveState state;
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

// The scene the timeline draws at music time t (each boundary the later
// scene's, none from the fade on), or -1.
int SceneAt(double t)
{
    const ShowFacts& show = Show();
    if (t >= show.fadeStart || show.sceneStarts.empty() || t < show.sceneStarts.front()) return -1;
    int scene = 0;
    for (size_t i = 0; i < show.sceneStarts.size(); ++i)
        if (t >= show.sceneStarts[i]) scene = static_cast<int>(i);
    return scene;
}

// Headless: the virtual clock goes to the first frame whose music time has
// reached target, as a run from the beginning would present it; backwards
// first to a frame before it. False, with the clock where it was, when the
// music never gets there (it wraps or stops first).
bool MoveVirtualClock(float target)
{
    const double fps = runtime::CurrentOptions().fps;
    const uint64_t original = runtime::PresentedFrames();
    uint64_t frame = original;
    float t;
    if (!MusicSeconds(t)) return false;
    while (t >= target && frame > 0) {
        const uint64_t back = static_cast<uint64_t>(std::ceil((t - target) * fps)) + 2;
        frame = back < frame ? frame - back : 0;
        runtime::SetVirtualFrame(frame);
        if (!MusicSeconds(t)) break;
    }
    const uint64_t last = frame + static_cast<uint64_t>(std::ceil((target - t + 1.0) * fps)) + 2;
    float previous = t;
    while (frame < last) {
        runtime::SetVirtualFrame(++frame);
        if (!MusicSeconds(t)) break;
        if (t >= target) return true;
        if (t < previous) break;
        previous = t;
    }
    runtime::SetVirtualFrame(original);
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

bool MoveClock(float target)
{
    return runtime::CurrentOptions().headless ? MoveVirtualClock(target) : SeekLive(target);
}

// Before the fade the music plays at the volume it began with; a move back
// out of the fade restores it, as the show sets it only while fading.
void RestoreVolume(float target)
{
    const DWORD stream = bass_host::CurrentStream();
    DWORD volume = 0;
    if (target >= Show().fadeStart || !stream || !BASS_ChannelGetAttributes(stream, nullptr, &volume, nullptr)) return;
    if (volume != S().firstVolume) BASS_ChannelSetAttributes(stream, -1, static_cast<int>(S().firstVolume), -101);
}

}  // namespace

void NoteFrameShown(double musicSeconds)
{
    MoveState& s = S();
    if (!s.firstSeen) {
        s.firstSeen = true;
        s.firstTick = runtime::TickMilliseconds();
        s.firstMusic = musicSeconds;
        const DWORD stream = bass_host::CurrentStream();
        if (stream) BASS_ChannelGetAttributes(stream, nullptr, &s.firstVolume, nullptr);
        s.latest.assign(Show().sceneStarts.size(), -1.0);
    }
    const int scene = SceneAt(musicSeconds);
    if (scene >= 0) s.latest[scene] = musicSeconds;
}

bool MovePending()
{
    return S().nextStop < S().stops.size();
}

bool MoveTo(double target)
{
    MoveState& s = S();
    const float to = static_cast<float>(target);
    s.stops.clear();
    s.nextStop = 0;
    // The target first, so that a move the music cannot make changes nothing.
    if (!MoveClock(to)) return false;
    // A scene keeps what it has set up on its way (a light switched on stays
    // on), so one that has played past the target begins again and is drawn
    // from its first frame, as a run from the beginning would have it.
    const ShowFacts& show = Show();
    s.latest.resize(show.sceneStarts.size(), -1.0);
    for (size_t i = 0; i < s.latest.size(); ++i) {
        if (s.latest[i] <= to) continue;
        s.latest[i] = -1.0;
        if (!show.restartScene) continue;
        if (const char* message = show.restartScene(static_cast<int>(i))) {
            FailRun(std::string("a scene could not begin again: ") + message);
            return true;
        }
    }
    for (size_t i = 0; i < show.sceneStarts.size(); ++i)
        if (show.sceneStarts[i] < to && s.latest[i] < 0.0) s.stops.push_back(show.sceneStarts[i]);
    s.stops.push_back(to);
    if (s.stops.size() == 1) {
        s.stops.clear();
        RestoreVolume(to);
        return true;
    }
    // The scenes' first frames on the way are drawn, not shown.
    d3d8_host::HidePresents(true);
    ContinueMove();
    return true;
}

void ContinueMove()
{
    MoveState& s = S();
    if (s.nextStop >= s.stops.size()) return;
    const float target = s.stops[s.nextStop++];
    const bool sceneFrame = s.nextStop < s.stops.size();
    // (The target itself was reached once, so a move cannot fail here.)
    const bool moved = MoveClock(target);
    if (!moved || !sceneFrame) {
        s.stops.clear();
        s.nextStop = 0;
        d3d8_host::HidePresents(false);
        if (moved) RestoreVolume(target);
        return;
    }
    // The scene's first frame, drawn by the system's own loop on its next pass.
    win32_host::PostToAllWindows(WM_PAINT, 0, 0);
}

void ResetStart()
{
    S() = MoveState{};
    d3d8_host::HidePresents(false);
}

}  // namespace host
