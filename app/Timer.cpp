// Timer: elapsed time since the last reset, read from GetTickCount.
#include "Timer.h"

Timer::Timer() : paused(false), startTick(0), elapsed(0)
{
    Reset();
    Update();
}

void Timer::Reset()
{
    startTick = GetTickCount();
}

void Timer::Update()
{
    // Unsigned subtraction gives the right difference across a tick-count wrap.
    elapsed = GetTickCount() - startTick;
}

int Timer::ElapsedMs()
{
    Update();
    return static_cast<int>(elapsed);
}

float Timer::ElapsedSeconds()
{
    Update();
    return static_cast<float>(static_cast<int>(elapsed)) * 0.001f;
}
