// The ground floor of the platform: what every stand-in and the host share,
// owning its own state. The options of this run, the clock behind
// GetTickCount (virtual in headless runs: exactly 1/fps of a second per
// presented frame), and the run's error state for the exit status. It
// includes nothing of the stand-ins or the host.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace runtime {

struct Shot {
    std::string text;  // the time as written on the command line, used in the file name
    double seconds;    // music time of the shot
    bool written;
};

// A key of the viewer's pressed at a set time (--keys, for tests): the music
// time the show would have reached by then had no key been pressed (the
// start plus the seconds watched), and the Win32 virtual-key code.
struct KeyPress {
    double seconds;
    unsigned key;
};

// How textures are sampled: as the system set it, or forced better for every
// stage that samples a texture (as a graphics driver's control panel would).
enum class TextureFilter {
    AsSet,        // the system's own filters (the device's default: point sampling, top level only)
    Bilinear,     // linear within the nearest mip level
    Trilinear,    // linear within and between mip levels
    Anisotropic,  // trilinear with anisotropy (Options::anisotropy)
};

// The defaults describe a plain run: full screen, with sound, on the wall clock.
struct Options {
    bool headless = false;  // no window, no audio device, virtual clock, EGL rendering
    bool windowed = false;  // a window of the back buffer's size instead of full screen at the desktop size
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
    bool bestQuality = false; // --best: a smaller video at the cost of a slower capture
    bool stats = false;       // --stats: figures of the run on stderr at its end
    bool countPixels = false; // --count-pixels: the device counts the pixels its draws fill
    std::string framesDir;    // folder for numbered PNG frames and a WAV (--frames); empty: none
    // The folder that holds the show's data files, which its own "Data\..."
    // names are read from: a Data folder in the working folder unless the
    // host found (or --data named) another. The user's own paths (--out,
    // --capture, --frames) stay relative to the working folder.
    std::string dataFolder = "Data";
    // The picture's quality beyond the system's own, forced by the Direct3D
    // stand-in; without them every picture is as the system made it.
    int msaa = 0;         // samples a pixel of a multisampled picture (--msaa); 0: none
    int supersample = 1;  // the picture drawn this many times larger a side and reduced (--supersample)
    TextureFilter filter = TextureFilter::AsSet;  // --filter
    int anisotropy = 0;   // with TextureFilter::Anisotropic: the most samples along a texture's slant; 0: the device's most
    std::vector<KeyPress> keys;  // --keys, in time order; empty: none
};

// The options of this run: filled by the host's parser, read by everyone.
Options& CurrentOptions();

// Frames on the virtual clock: one per presented frame, plus the frames that a
// --start passes over; and the virtual time they add up to.
uint64_t PresentedFrames();
double VirtualSeconds();
void AdvanceFrame();
// Moves the virtual clock to a frame (the way to --start).
void SetVirtualFrame(uint64_t frame);

// Milliseconds of the clock behind GetTickCount: virtual in headless runs,
// monotonic wall time otherwise. Wraps like a 32-bit tick count.
uint32_t TickMilliseconds();
// Makes TickMilliseconds read `ms` now, by shifting the clock's offset (a
// live --start run moves its tick count with the stream it seeks).
void SetTickMilliseconds(uint32_t ms);

// Holds the tick count where it stands (the host's pause of a live run)
// until it is let go, when it counts on from there.
void HoldTickCount(bool hold);

// Error message boxes shown (MB_ICONERROR); the process exits with 1 if any.
void NoteErrorBox();
bool ErrorBoxShown();
// A failure of the port itself (a capture that could not be written, a start
// past the soundtrack's end); the process exits with 1.
void NoteRunFailed();
bool RunFailed();

// Why what the stand-ins were last asked for (a data file, the sound device)
// could not be had, in the system's words ("Data/Cred2.bmp: Permission
// denied"): noted when a file cannot be opened, read or decoded, cleared (an
// empty reason) when one is, and shown by an error message box after the
// system's own text.
void NoteFailureReason(const std::string& reason);
// The reason noted, which is then forgotten; empty when there is none.
std::string TakeFailureReason();

// Tests: every piece of state back to its start, with the options of a
// headless run (tests need no display and no sound device).
void ResetForTesting();
// An offset added to every tick count (to cross a 32-bit wrap), and frames
// on the virtual clock presented without a device.
void SetTickOffsetForTesting(uint32_t offset);
void AdvanceVirtualFramesForTesting(uint64_t frames);

}  // namespace runtime
