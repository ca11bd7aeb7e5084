// The subset of the BASS 1.x audio library that the demo calls, with BASS's
// names, signatures and flag values. Implemented in platform/bass (mpg123
// and SDL2 audio on the desktop, the browser's decoder and Web Audio in a
// page). Positions are 32-bit byte counts, as in BASS 1.x.
#pragma once

#include <windows.h>

typedef DWORD HSTREAM;
typedef uint64_t QWORD;

#define BASS_SAMPLE_8BITS 1
#define BASS_SAMPLE_MONO 2
#define BASS_SAMPLE_LOOP 4
#define BASS_MP3_SETPOS 0x20000

BOOL BASS_Init(int device, DWORD freq, DWORD flags, HWND win);
BOOL BASS_Start(void);
void BASS_Free(void);
HSTREAM BASS_StreamCreateFile(BOOL mem, void* file, DWORD offset, DWORD length, DWORD flags);
BOOL BASS_StreamPlay(HSTREAM handle, BOOL flush, DWORD flags);
void BASS_StreamFree(HSTREAM handle);
DWORD BASS_ChannelGetPosition(DWORD handle);
BOOL BASS_ChannelGetAttributes(DWORD handle, DWORD* freq, DWORD* volume, int* pan);
DWORD BASS_ChannelGetFlags(DWORD handle);
BOOL BASS_ChannelSetPosition(DWORD handle, DWORD pos);
BOOL BASS_ChannelSetAttributes(DWORD handle, int freq, int volume, int pan);
