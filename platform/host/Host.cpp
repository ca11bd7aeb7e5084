// The host's shared state: the run options, the clock behind GetTickCount
// (virtual in headless runs: exactly 1/fps of a second per presented frame),
// what happens after each presented frame (screenshots, the --until end) and
// whether an error box was shown.
#include "host.h"

#include "PngWriter.h"
#include "bass/bass_host.h"
#include "d3d8/d3d8_host.h"
#include "win32_host.h"

#include <windows.h>

#include <cmath>
#include <cstdio>
#include <ctime>

namespace host {

namespace {

struct State {
    Options options;
    uint64_t presentedFrames = 0;
    bool errorBoxShown = false;
    bool untilPosted = false;
    uint32_t tickOffset = 0;
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

void WriteDueShots(IDirect3DDevice8* device, double musicSeconds)
{
    for (Shot& shot : S().options.shots) {
        if (shot.written || musicSeconds < shot.seconds) continue;
        shot.written = true;
        std::vector<uint8_t> rgb;
        int width = 0, height = 0;
        if (!d3d8_host::ReadBackBuffer(device, rgb, width, height)) continue;
        const std::string path = S().options.outDir + "/shot-" + shot.text + ".png";
        if (!WritePng(path, rgb, width, height)) NoteErrorBox();
    }
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

uint32_t TickMilliseconds()
{
    uint64_t ms;
    if (S().options.headless) {
        // Whole milliseconds of the frames presented so far; the small bias
        // keeps 1000/60-style fractions from rounding down a whole millisecond.
        ms = static_cast<uint64_t>(std::floor(static_cast<double>(S().presentedFrames) * 1000.0 /
                                                  S().options.fps + 1e-6));
    } else {
        ms = MonotonicMilliseconds();
    }
    return static_cast<uint32_t>(ms) + S().tickOffset;
}

void OnFramePresented(IDirect3DDevice8* device)
{
    double musicSeconds = 0.0;
    if (bass_host::CurrentStreamSeconds(musicSeconds)) {
        WriteDueShots(device, musicSeconds);
        if (S().options.until >= 0.0 && musicSeconds >= S().options.until && !S().untilPosted) {
            // Ends the run the way the viewer would: with the Escape key.
            S().untilPosted = true;
            win32_host::PostToAllWindows(WM_KEYDOWN, VK_ESCAPE, 1);
        }
    }
    ++S().presentedFrames;
}

void NoteErrorBox()
{
    S().errorBoxShown = true;
}

bool ErrorBoxShown()
{
    return S().errorBoxShown;
}

void SetTickOffsetForTesting(uint32_t offset)
{
    S().tickOffset = offset;
}

void AdvanceVirtualFramesForTesting(uint64_t frames)
{
    S().presentedFrames += frames;
}

void ResetForTesting()
{
    S() = State{};
}

}  // namespace host
