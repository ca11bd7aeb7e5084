// The host's watch over presented frames (see host.h): each one is taken to
// --start or a viewer's move when one is pending, shown to the test observer,
// written as a due screenshot and a captured frame, ends the run at --until,
// and then has the viewer's keys pressed (Keys.h).
#include "host.h"

#include "Capture.h"
#include "Keys.h"
#include "Shots.h"
#include "Start.h"

#include "bass_host.h"
#include "d3d8_host.h"
#include "win32_host.h"

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>

namespace host {

namespace {

// A headless run whose clock is this far past the show's end, or past
// --until, has looped.
const double kPastTheEndSeconds = 90.0;
const double kPastUntilSeconds = 60.0;

using Clock = std::chrono::steady_clock;

struct State {
    ShowFacts show;
    bool untilPosted = false;
    bool startTaken = false;  // the first frame with music has begun any --start
    FrameObserver observer;
    Clock::time_point installed = Clock::now();  // about when the process started
    bool lengthChecked = false;                   // the soundtrack's length was held against the run's end
    bool showStarted = false;                     // the first frame of the show was presented
    Clock::time_point firstFrame;
    uint64_t firstFrameNumber = 0;
};

State& S()
{
    static State state;
    return state;
}

void WriteDueShots(IDirect3DDevice8* device, double musicSeconds)
{
    for (runtime::Shot& shot : runtime::CurrentOptions().shots) {
        if (shot.written || musicSeconds < shot.seconds) continue;
        shot.written = true;
        std::vector<uint8_t> rgb;
        int width = 0, height = 0;
        if (!d3d8_host::ReadBackBuffer(device, rgb, width, height)) continue;
        std::string error;
        if (!SaveShot(shot.text, rgb, width, height, error)) FailRun(error);
    }
}

// Once the soundtrack's length is known (it is decoded while the show
// starts): a soundtrack too short for the music to reach the run's end (the
// show's, or --until) loops back to the first scene before it. A live
// viewer is warned and the show plays on, looping as it was made to; a
// headless run, which nobody can end, fails at once rather than after
// minutes of frames. True when it failed the run.
bool MusicFallsShortOfTheEnd()
{
    double length = 0.0;
    if (S().lengthChecked || !bass_host::CurrentStreamLength(length)) return false;
    S().lengthChecked = true;
    const runtime::Options& options = runtime::CurrentOptions();
    const double end = options.until >= 0.0 ? std::min(options.until, S().show.end) : S().show.end;
    // A start past the soundtrack's end is told by the way to --start.
    if (length > end || options.start >= length) return false;
    char text[384];
    std::snprintf(text, sizeof text, "%s plays %.2f seconds and loops before the music reaches %s (%g seconds)",
                  S().show.soundtrack.c_str(), length, end < S().show.end ? "--until" : "the show's end", end);
    if (!options.headless) {
        std::fprintf(stderr, "bralmond: warning: %s; the show starts again from its beginning there.\n", text);
        return false;
    }
    FailRun(std::string(text) + "; a run without a viewer would never end.");
    return true;
}

// The present observer: true when the frame counts on the runtime's clock.
bool OnFramePresented(IDirect3DDevice8* device)
{
    const runtime::Options& options = runtime::CurrentOptions();
    if (MusicFallsShortOfTheEnd()) return true;
    double musicSeconds = 0.0;
    if (MusicSeconds(musicSeconds)) {
        NoteFrameShown(musicSeconds);
        if (!S().startTaken) {
            S().startTaken = true;
            if (options.start > 0.0 && !MoveTo(options.start)) {
                char text[160];
                std::snprintf(text, sizeof text,
                              "the music never reaches %.3f seconds: --start %g is past the soundtrack's end.",
                              options.start, options.start);
                FailRun(text);
                return true;
            }
            // The first frame is one of the output unless the run moves on to --start.
            if (options.start > 0.0) return !options.headless;
        }
        if (MovePending()) {
            // A frame on the way to a music time: part of no output. A
            // headless clock is moved rather than advanced.
            ContinueMove();
            return !options.headless;
        }
        if (!S().showStarted) {
            S().showStarted = true;
            S().firstFrame = Clock::now();
            S().firstFrameNumber = runtime::PresentedFrames();
        }
        if (S().observer) S().observer(device, musicSeconds);
        WriteDueShots(device, musicSeconds);
        if (options.until >= 0.0 && musicSeconds >= options.until && !S().untilPosted) {
            // Ends the run the way the viewer would: with the Escape key. The
            // frame that reaches --until is not part of a capture, so that a
            // capture from 0 to 3 seconds holds 3 seconds.
            S().untilPosted = true;
            win32_host::PostToAllWindows(WM_KEYDOWN, VK_ESCAPE, 1);
        } else if (!S().untilPosted && !runtime::RunFailed()) {
            CaptureFrame(device, musicSeconds);
        }
        if (!S().untilPosted && !KeysAfterFrame(musicSeconds)) return false;
    }
    // A soundtrack shorter than the show loops back to the first scene, so the
    // show never reaches its end. A live viewer presses Escape; a headless run
    // has nobody to do so, and stops once its clock is well past the show.
    const double limit = std::max(S().show.end + kPastTheEndSeconds, options.until + kPastUntilSeconds);
    const double after = static_cast<double>(runtime::PresentedFrames() + 1) / options.fps;
    if (options.headless && !runtime::RunFailed() && after > limit) {
        char text[256];
        std::snprintf(text, sizeof text, "the show did not end after %d seconds; is %s shorter than the show (%g seconds)?",
                      static_cast<int>(limit), S().show.soundtrack.c_str(), S().show.end);
        FailRun(text);
    }
    return true;
}

}  // namespace

void Install(const ShowFacts& show)
{
    S().show = show;
    S().installed = Clock::now();
    d3d8_host::SetPresentObserver(OnFramePresented);
    InstallKeys();
}

const ShowFacts& Show()
{
    return S().show;
}

bool MusicSeconds(double& seconds)
{
    uint32_t position = 0, frequency = 0, flags = 0;
    const ShowFacts& show = S().show;
    if (!show.secondsOfPosition || !bass_host::CurrentStreamPosition(position, frequency, flags)) return false;
    const int bytesPerSecond = show.bytesPerSecond(frequency, flags);
    if (bytesPerSecond <= 0) return false;
    seconds = show.secondsOfPosition(position, bytesPerSecond);
    return true;
}

void FailRun(const std::string& message)
{
    std::fprintf(stderr, "bralmond: %s\n", message.c_str());
    if (runtime::RunFailed()) return;
    runtime::NoteRunFailed();
    win32_host::PostToAllWindows(WM_KEYDOWN, VK_ESCAPE, 1);
}

void PrintStats()
{
    const runtime::Options& options = runtime::CurrentOptions();
    if (!options.stats && !options.countPixels) return;
    if (!S().showStarted) {
        std::fprintf(stderr, "stats: the show presented no frame\n");
        return;
    }
    const double startUp = std::chrono::duration<double>(S().firstFrame - S().installed).count();
    const double seconds = std::chrono::duration<double>(Clock::now() - S().firstFrame).count();
    const uint64_t frames = runtime::PresentedFrames() - S().firstFrameNumber;
    std::fprintf(stderr, "stats: start-up to the first frame %.3f s; %llu frames in %.2f s, %.1f finished frames a second",
                 startUp, static_cast<unsigned long long>(frames), seconds,
                 seconds > 0.0 ? static_cast<double>(frames) / seconds : 0.0);
    if (options.countPixels) {
        uint64_t pixels = 0, counted = 0;
        d3d8_host::PixelsFilled(pixels, counted);
        std::fprintf(stderr, "; %.3f Mpix filled a frame",
                     counted ? static_cast<double>(pixels) / static_cast<double>(counted) / 1e6 : 0.0);
    }
    std::fputc('\n', stderr);
}

void SetFrameObserverForTesting(FrameObserver observer)
{
    S().observer = std::move(observer);
}

void ResetForTesting()
{
    S().untilPosted = false;
    S().startTaken = false;
    S().lengthChecked = false;
    S().showStarted = false;
    S().observer = nullptr;
    runtime::ResetForTesting();
    ResetStart();
    ResetKeys();
    ResetCapture();
}

}  // namespace host
