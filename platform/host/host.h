// Services of the host that the stand-ins share, outside the system's view:
// the run options, the virtual clock of headless runs, the hook that runs
// after every presented frame, and the record of error boxes and failures for
// the exit status. The defaults describe a headless run, so tests need no
// set-up.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct IDirect3DDevice8;

namespace host {

struct Shot {
    std::string text;  // the time as written on the command line, used in the file name
    double seconds;    // music time of the shot
    bool written;
};

struct Options {
    bool headless = true;   // no window, no audio device, virtual clock, EGL rendering
    bool windowed = false;  // an 800 by 600 window instead of full screen at the desktop size
    double fps = 60.0;      // virtual frames per second of a headless run
    std::string fpsText = "60";  // the rate as written ("60000/1001"), for ffmpeg
    double until = -1.0;    // music time at which the run ends as Escape would; negative: never
    std::vector<Shot> shots;
    std::string outDir = ".";
    int outputWidth = 0;    // size of the offscreen target; 0 means the back buffer's size
    int outputHeight = 0;
    bool vsync = false;
    double start = 0.0;       // music time at which the show begins (--start)
    std::string capturePath;  // video file to write (--capture); empty: none
    std::string framesDir;    // folder for numbered PNG frames and a WAV (--frames); empty: none
};

// The options of this run; tests change them before they create a device.
Options& CurrentOptions();

// Frames on the virtual clock: one per presented frame, plus the frames that a
// --start passes over; and the virtual time they add up to (headless).
uint64_t PresentedFrames();
double VirtualSeconds();
// Moves the virtual clock to a frame (the --start run uses it).
void SetVirtualFrame(uint64_t frame);
// Milliseconds of the clock behind GetTickCount: virtual in headless runs,
// monotonic wall time otherwise. Wraps like a 32-bit tick count.
uint32_t TickMilliseconds();

// Makes TickMilliseconds read `ms` now, by shifting the clock's offset (a
// live --start run moves its tick count with the stream it seeks).
void SetTickMilliseconds(uint32_t ms);

// Called by the device after each Present that showed a frame: takes the
// --start run to its start, writes due screenshots and captured frames, ends
// the run at --until, advances the virtual clock.
void OnFramePresented(IDirect3DDevice8* device);

// Error message boxes shown (MB_ICONERROR); the process exits with 1 if any.
void NoteErrorBox();
bool ErrorBoxShown();

// A failure of the host itself (a capture that could not be written, a start
// past the soundtrack's end): prints the message on stderr, ends the run as
// Escape would, and makes the process exit with 1.
void FailRun(const std::string& message);
bool RunFailed();

// Puts every piece of host state back to its defaults (tests).
void ResetForTesting();

}  // namespace host

namespace host {

// Test controls of the clock: an offset added to every tick count (to cross a
// 32-bit wrap), and presenting frames on the virtual clock without a device.
void SetTickOffsetForTesting(uint32_t offset);
void AdvanceVirtualFramesForTesting(uint64_t frames);

// Called for every frame of the run's output (after a --start has been
// reached), with the music time it shows; null removes it.
using FrameObserver = std::function<void(IDirect3DDevice8* device, double musicSeconds)>;
void SetFrameObserverForTesting(FrameObserver observer);

}  // namespace host
