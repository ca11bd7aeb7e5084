// The viewer's keys (see Keys.h).
#include "Keys.h"

#include "PositionBar.h"
#include "Start.h"
#include "host.h"

#include "bass_host.h"
#include "runtime.h"
#include "win32_host.h"

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <deque>

namespace host {

namespace {

using Clock = std::chrono::steady_clock;

// The bar stays this long after the last key.
constexpr double kBarSeconds = 2.5;

struct KeyInfo {
    unsigned key;
    const char* name;
    double move;  // seconds moved; 0 for Space and Home
};

const KeyInfo kKeys[] = {
    {VK_SPACE, "space", 0.0}, {VK_LEFT, "left", -5.0},       {VK_RIGHT, "right", 5.0},
    {VK_PRIOR, "pageup", -30.0}, {VK_NEXT, "pagedown", 30.0}, {VK_HOME, "home", 0.0},
};

const KeyInfo* Find(unsigned key)
{
    for (const KeyInfo& info : kKeys)
        if (info.key == key) return &info;
    return nullptr;
}

struct KeyState {
    std::deque<unsigned> pressed;  // taken from the window, not yet pressed
    bool moveRequested = false;    // the page's click on the bar
    double requestedSeconds = 0.0;
    size_t nextScripted = 0;       // the next of --keys
    bool watching = false;         // the first frame of the output has been seen
    double watchStart = 0.0;       // its music time
    uint64_t outputFrames = 0;
    Clock::time_point watchStartWall;
    bool paused = false;
    bool pointerOver = false;
    Clock::time_point barUntil;
    // A key whose outcome is told with --stats at the next frame shown.
    const char* told = nullptr;
    double toldFrom = 0.0;
};

KeyState& S()
{
    static KeyState state;
    return state;
}

bool TakeKey(WPARAM key, bool repeat)
{
    if (!Find(static_cast<unsigned>(key))) return false;
    // A held Space or Home would toggle or restart again and again.
    if (!(repeat && (key == VK_SPACE || key == VK_HOME))) S().pressed.push_back(static_cast<unsigned>(key));
    return true;
}

// The music time the show would have reached by this frame had no key been
// pressed: its start plus the seconds watched (frames on the virtual clock).
double WatchedSeconds()
{
    const KeyState& s = S();
    if (runtime::CurrentOptions().headless)
        return s.watchStart + static_cast<double>(s.outputFrames) / runtime::CurrentOptions().fps;
    return s.watchStart + std::chrono::duration<double>(Clock::now() - s.watchStartWall).count();
}

void SetPaused(bool paused)
{
    KeyState& s = S();
    if (s.paused == paused) return;
    s.paused = paused;
    // A headless run holds its virtual clock by not counting the frames.
    if (runtime::CurrentOptions().headless) return;
    bass_host::PauseCurrentStream(paused);
    runtime::HoldTickCount(paused);
}

// The farthest a move goes: the show's end, or the soundtrack's where it is shorter.
double LastMoveTarget()
{
    double length = 0.0;
    if (bass_host::CurrentStreamLength(length) && length < Show().end) return std::max(0.0, length - 0.05);
    return Show().end;
}

// Moves to seconds; true when the clock was moved.
bool Move(double seconds)
{
    const double target = std::clamp(seconds, 0.0, LastMoveTarget());
    if (MoveTo(target)) return true;
    std::fprintf(stderr, "bralmond: warning: the music cannot be moved to %.2f seconds.\n", target);
    return false;
}

// Presses one key after a frame that showed musicSeconds; true when it moved the clock.
bool Press(unsigned key, double musicSeconds)
{
    const KeyInfo* info = Find(key);
    if (!info) return false;
    KeyState& s = S();
    s.barUntil = Clock::now() + std::chrono::milliseconds(static_cast<int>(kBarSeconds * 1000));
    if (runtime::CurrentOptions().stats) {
        s.told = info->name;
        s.toldFrom = musicSeconds;
    }
    if (key == VK_SPACE) {
        SetPaused(!s.paused);
        return false;
    }
    return Move(key == VK_HOME ? 0.0 : musicSeconds + info->move);
}

// The next key due: the window's first, then those of --keys whose time has come.
bool NextKey(unsigned& key)
{
    KeyState& s = S();
    if (!s.pressed.empty()) {
        key = s.pressed.front();
        s.pressed.pop_front();
        return true;
    }
    const std::vector<runtime::KeyPress>& scripted = runtime::CurrentOptions().keys;
    if (s.nextScripted < scripted.size() && WatchedSeconds() >= scripted[s.nextScripted].seconds - 1e-9) {
        key = scripted[s.nextScripted++].key;
        return true;
    }
    return false;
}

}  // namespace

void InstallKeys()
{
    win32_host::SetKeyTaker(TakeKey);
}

bool KeysAfterFrame(double musicSeconds)
{
    KeyState& s = S();
    const bool headless = runtime::CurrentOptions().headless;
    if (!s.watching) {
        s.watching = true;
        s.watchStart = musicSeconds;
        s.watchStartWall = Clock::now();
    }
    if (s.told) {
        std::fprintf(stderr, "keys: %s at %.3f s of music, then %.3f s%s\n", s.told, s.toldFrom, musicSeconds,
                     s.paused ? " (paused)" : "");
        s.told = nullptr;
    }
    bool moved = false;
    if (s.moveRequested) {
        s.moveRequested = false;
        s.barUntil = Clock::now() + std::chrono::milliseconds(static_cast<int>(kBarSeconds * 1000));
        moved = Move(s.requestedSeconds);
    }
    unsigned key = 0;
    // One move at a time: a move that passes scenes takes frames of its own.
    while (!moved && NextKey(key)) moved = Press(key, musicSeconds);
    ++s.outputFrames;
    if (!headless) ShowPositionBar(s.paused || s.pointerOver || Clock::now() < s.barUntil, musicSeconds, s.paused);
    return !moved && !(headless && s.paused);
}

bool Paused()
{
    return S().paused;
}

void RequestMove(double seconds)
{
    S().moveRequested = true;
    S().requestedSeconds = seconds;
}

void SetPointerOverPicture(bool over)
{
    S().pointerOver = over;
}

unsigned KeyOfName(const std::string& name)
{
    for (const KeyInfo& info : kKeys)
        if (name == info.name) return info.key;
    return 0;
}

const char* NameOfKey(unsigned key)
{
    const KeyInfo* info = Find(key);
    return info ? info->name : "";
}

void ResetKeys()
{
    if (S().paused) SetPaused(false);
    S() = KeyState{};
    ShowPositionBar(false, 0.0, false);
}

}  // namespace host
