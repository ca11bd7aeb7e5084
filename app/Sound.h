// The soundtrack player: one looping MP3 stream over BASS whose playback
// position, in seconds, is the show's master clock.
#pragma once

#include <windows.h>

extern DWORD g_stream;

bool SoundInit(HWND window);
void SoundFree();
bool SoundPlayFile(const char* path);
int SoundBytesPerSecond();
float SoundGetSeconds();
BOOL SoundSeek(float seconds);
