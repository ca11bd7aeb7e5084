// The host's shared state: the run options, the clock behind GetTickCount
// (virtual in headless runs: exactly 1/fps of a second per presented frame),
// what happens after each presented frame (the way to --start, screenshots,
// captured frames, the --until end) and whether an error box was shown or the
// run failed.
#include "host.h"

#include "Capture.h"
#include "PngWriter.h"
#include "Start.h"
#include "bass/bass_host.h"
#include "d3d8/d3d8_host.h"
#include "win32_host.h"

#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>

namespace host {

namespace {

// The show ends at 210 seconds of music; a headless run this long has looped.
const double kHeadlessLimitSeconds = 300.0;

struct State {
    Options options;
    uint64_t presentedFrames = 0;
    bool errorBoxShown = false;
    bool runFailed = false;
    bool untilPosted = false;
    uint32_t tickOffset = 0;
    FrameObserver observer;
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

void SetVirtualFrame(uint64_t frame)
{
    S().presentedFrames = frame;
}

namespace {

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

uint32_t TickMilliseconds()
{
    return static_cast<uint32_t>(ClockMilliseconds()) + S().tickOffset;
}

void SetTickMilliseconds(uint32_t ms)
{
    S().tickOffset = ms - static_cast<uint32_t>(ClockMilliseconds());
}

void OnFramePresented(IDirect3DDevice8* device)
{
    double musicSeconds = 0.0;
    if (bass_host::CurrentStreamSeconds(musicSeconds)) {
        if (StartPending()) {
            // A frame on the way to the start: part of no output. A headless
            // clock is moved rather than advanced.
            if (!S().options.headless) ++S().presentedFrames;
            ContinueToStart(musicSeconds);
            return;
        }
        if (S().observer) S().observer(device, musicSeconds);
        WriteDueShots(device, musicSeconds);
        if (S().options.until >= 0.0 && musicSeconds >= S().options.until && !S().untilPosted) {
            // Ends the run the way the viewer would: with the Escape key. The
            // frame that reaches --until is not part of a capture, so that a
            // capture from 0 to 3 seconds holds 3 seconds.
            S().untilPosted = true;
            win32_host::PostToAllWindows(WM_KEYDOWN, VK_ESCAPE, 1);
        } else if (!S().untilPosted && !S().runFailed) {
            CaptureFrame(device, musicSeconds);
        }
    }
    ++S().presentedFrames;
    // A soundtrack shorter than the show loops back to the first scene, so the
    // show never reaches its end. A live viewer presses Escape; a headless run
    // has nobody to do so, and stops once its clock is well past the show.
    const double limit = std::max(kHeadlessLimitSeconds, S().options.until + 60.0);
    if (S().options.headless && !S().runFailed && VirtualSeconds() > limit)
        FailRun("the show did not end after " + std::to_string(static_cast<int>(limit)) +
                " seconds; is Data\\Soundtrack.mp3 shorter than the show (210 seconds)?");
}

void NoteErrorBox()
{
    S().errorBoxShown = true;
}

bool ErrorBoxShown()
{
    return S().errorBoxShown;
}

void FailRun(const std::string& message)
{
    std::fprintf(stderr, "bralmond: %s\n", message.c_str());
    if (S().runFailed) return;
    S().runFailed = true;
    win32_host::PostToAllWindows(WM_KEYDOWN, VK_ESCAPE, 1);
}

bool RunFailed()
{
    return S().runFailed;
}

void SetTickOffsetForTesting(uint32_t offset)
{
    S().tickOffset = offset;
}

void AdvanceVirtualFramesForTesting(uint64_t frames)
{
    S().presentedFrames += frames;
}

void SetFrameObserverForTesting(FrameObserver observer)
{
    S().observer = std::move(observer);
}

void ResetForTesting()
{
    S() = State{};
    ResetStart();
    ResetCapture();
}

}  // namespace host
