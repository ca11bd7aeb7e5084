// What each side of the BASS stand-in supplies to the calls that Bass.cpp
// writes once for both: decoding a stream's file, and the listener's output
// (an SDL audio device on the desktop, the page's Web Audio in a browser).
// Bass.cpp keeps every stream's state and position, the checks of every
// call, the clocks of the runs without an output and the captured sound; a
// side only decodes, makes sound and says how much of it has been heard.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

namespace bass_side {

// Decoded sound: interleaved signed 16-bit samples at the file's own rate.
struct Pcm {
    int rate = 0;
    int channels = 0;
    std::vector<int16_t> samples;
    size_t Frames() const { return channels > 0 ? samples.size() / channels : 0; }
    // A rate, a channel layout the stand-in plays and some sound.
    bool Complete() const { return rate > 0 && (channels == 1 || channels == 2) && Frames() > 0; }
};

// A stream's sound as its side decoded it. The side fills pcm.rate and
// pcm.channels, and frames: the whole frames known so far. pcm.samples holds
// them where the side keeps the sound in memory (the desktop); a side that
// keeps it elsewhere (the browser, in the page) leaves it empty. While
// `decoding` is set the rest is still coming, from a thread of the side's
// that adds it through AddDecoded; the sound stops that thread when it goes.
struct Sound {
    Pcm pcm;
    uint32_t frames = 0;
    bool decoding = false;
    std::atomic<bool> cancel{false};  // set when the sound goes: the decoding thread stops
    std::thread decoder;

    Sound() = default;
    Sound(const Sound&) = delete;
    Sound& operator=(const Sound&) = delete;
    ~Sound()
    {
        cancel = true;
        if (decoder.joinable()) decoder.join();
    }
};

// --- Decoding ----------------------------------------------------------------

// Decodes `bytes` as the sound of stream `handle`. With `whole` (a live
// output plays the stream) the call returns once all of it is decoded;
// otherwise it may return after the first piece, with `decoding` set. False
// when the bytes hold no sound the stand-in plays.
bool Decode(uint32_t handle, std::vector<unsigned char> bytes, bool whole, Sound& sound);

// The sound as interleaved 16-bit stereo at `rate`, exactly
// round(frames * rate / pcm.rate) frames long; false when the side cannot
// make it (it keeps no samples, or cannot convert).
bool ToStereo(const Sound& sound, int rate, std::vector<int16_t>& stereo);

// --- The listener's output ---------------------------------------------------

// Opens the output for BASS_Init: `device` -1 is the default, 0 and up a
// device by number, at `freq` where the output takes it. False, with the
// reason, when it cannot be opened.
bool OpenOutput(int device, uint32_t freq, std::string& reason);
// BASS_Start: what plays is heard from now on.
void StartOutput();
// Stops every voice and closes the output (BASS_Free).
void CloseOutput();
// The rate of the open output, 0 when none is open.
int OutputRate();

// A stream's voice on the open output. Play starts the sound at `frame`,
// looping or not, at a volume (0 to 100) and pan (-100 to 100); Continue
// changes only the loop of a playing voice, its heard count starting again
// now (at `frame`); SetLevels changes its volume and pan; Forget stops it and
// drops whatever the side kept of the stream (also for streams that never
// played, and on runs without an output).
void Play(uint32_t handle, const Sound& sound, uint32_t frame, bool loop, int volume, int pan);
void Continue(uint32_t handle, const Sound& sound, uint32_t frame, bool loop, int volume, int pan);
void SetLevels(uint32_t handle, int volume, int pan);
// Stop silences a voice and keeps the stream's sound for a later Play (a pause).
void Stop(uint32_t handle);
void Forget(uint32_t handle);
// Seconds of the voice's sound heard since its last Play or Continue (less
// than 0 while what it was given is still on its way); never less than the
// last reading.
double HeardSeconds(uint32_t handle);

}  // namespace bass_side

namespace bass_core {

// For a side's decoding thread: adds decoded samples to a sound (whole and
// half frames as they come), and ends its decoding, under the stand-in's
// lock, waking a call that waits for them. Written in Bass.cpp.
void AddDecoded(bass_side::Sound& sound, const std::vector<int16_t>& samples);
void EndDecoding(bass_side::Sound& sound);

}  // namespace bass_core
