// The show's facts, each defined once: when its scenes begin, when the music
// fades and the show ends, the soundtrack's file, the back buffer's size, the
// window's caption and class, and the arithmetic that turns the stream's
// byte position into music seconds.
// The shell plays by them; the port's host is handed them by main.
#pragma once

#include <bass.h>
#include <windows.h>

namespace show {

// The music time at which each scene's window opens, scene 1 first.
constexpr float kSceneStarts[5] = {0.0f, 40.5f, 111.0f, 130.0f, 169.5f};
// No scene from here on; the music fades until kFadeEnd.
constexpr float kFadeStart = 204.45f;
constexpr float kFadeEnd = 210.45f;
// The show closes itself when the music reaches this.
constexpr float kEnd = 210.0f;

constexpr const char* kSoundtrack = "Data\\Soundtrack.mp3";

constexpr UINT kBackBufferWidth = 800;
constexpr UINT kBackBufferHeight = 600;

// The caption of the window and of every message box, and the window class.
constexpr const char* kCaption = "BRALMOND";
constexpr const char* kClassName = "KORVANTE";

// Bytes of decoded sound a second for a stream of this rate and flags word,
// whose BASS_SAMPLE_8BITS and BASS_SAMPLE_MONO bits decide its layout.
inline int BytesPerSecond(DWORD frequency, DWORD flags)
{
    const int channels = (flags & BASS_SAMPLE_MONO) ? 1 : 2;
    const int bytesPerSample = (flags & BASS_SAMPLE_8BITS) ? 1 : 2;
    return static_cast<int>(frequency) * channels * bytesPerSample;
}

// The music time of a byte position, in single precision as the shell reads it.
inline float SecondsOfPosition(DWORD position, int bytesPerSecond)
{
    return static_cast<float>(position) / static_cast<float>(bytesPerSecond);
}

}  // namespace show
