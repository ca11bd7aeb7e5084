// The runtime's state (see runtime.h).
#include "runtime.h"

#include <string>

#include <cmath>
#include <ctime>

namespace runtime {

namespace {

struct State {
    Options options;
    uint64_t presentedFrames = 0;
    uint32_t tickOffset = 0;
    bool tickHeld = false;
    uint32_t heldTick = 0;
    bool errorBoxShown = false;
    bool runFailed = false;
    std::string fileProblem;
};

State& S()
{
    static State state;
    return state;
}

uint64_t MonotonicMilliseconds()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u;
}

// Milliseconds of the clock before the offset: virtual or wall time.
uint64_t ClockMilliseconds()
{
    if (!S().options.headless) return MonotonicMilliseconds();
    // Whole milliseconds of the frames presented so far; the small bias keeps
    // 1000/60-style fractions from rounding down a whole millisecond.
    return static_cast<uint64_t>(
        std::floor(static_cast<double>(S().presentedFrames) * 1000.0 / S().options.fps + 1e-6));
}

}  // namespace

Options& CurrentOptions()
{
    return S().options;
}

uint64_t PresentedFrames()
{
    return S().presentedFrames;
}

double VirtualSeconds()
{
    return static_cast<double>(S().presentedFrames) / S().options.fps;
}

void AdvanceFrame()
{
    ++S().presentedFrames;
}

void SetVirtualFrame(uint64_t frame)
{
    S().presentedFrames = frame;
}

uint32_t TickMilliseconds()
{
    if (S().tickHeld) return S().heldTick;
    return static_cast<uint32_t>(ClockMilliseconds()) + S().tickOffset;
}

void SetTickMilliseconds(uint32_t ms)
{
    S().heldTick = ms;
    S().tickOffset = ms - static_cast<uint32_t>(ClockMilliseconds());
}

void HoldTickCount(bool hold)
{
    if (hold == S().tickHeld) return;
    if (hold) S().heldTick = TickMilliseconds();
    S().tickHeld = hold;
    if (!hold) SetTickMilliseconds(S().heldTick);
}

void NoteErrorBox()
{
    S().errorBoxShown = true;
}

bool ErrorBoxShown()
{
    return S().errorBoxShown;
}

void NoteRunFailed()
{
    S().runFailed = true;
}

bool RunFailed()
{
    return S().runFailed;
}

void NoteFailureReason(const std::string& reason)
{
    S().fileProblem = reason;
}

std::string TakeFailureReason()
{
    std::string reason;
    reason.swap(S().fileProblem);
    return reason;
}

void ResetForTesting()
{
    S() = State{};
    S().options.headless = true;
}

void SetTickOffsetForTesting(uint32_t offset)
{
    S().tickOffset = offset;
}

void AdvanceVirtualFramesForTesting(uint64_t frames)
{
    S().presentedFrames += frames;
}

}  // namespace runtime
