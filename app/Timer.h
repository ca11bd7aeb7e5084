// Timer: a millisecond clock over the system tick count. The shell owns one,
// the demo clock; every scene owns one of its own.
#pragma once

#include <windows.h>

class Timer {
public:
    Timer();

    void Reset();
    int ElapsedMs();
    float ElapsedSeconds();

private:
    void Update();

    [[maybe_unused]] bool paused;  // part of the clock's record; nothing pauses it
    DWORD startTick;
    DWORD elapsed;
};
