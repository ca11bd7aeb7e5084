// The shell's process-wide state and its operations: start-up and shutdown,
// the window procedure and the frame loop. The device itself is declared in
// SharedDevice.h, the header the lower rooms include.
#pragma once

#include "SharedDevice.h"

#include <d3d8.h>
#include <windows.h>

class P_Part;
class Timer;

extern IDirect3D8* g_direct3d;
extern HWND g_window;
extern bool g_windowClassRegistered;
extern D3DCAPS8 g_deviceCaps;
extern P_Part* g_scenes[5];
extern P_Part* g_currentScene;
extern const char* g_frameMessage;
extern bool g_quitRequested;
extern bool g_deviceLost;
extern bool g_soundReady;
extern Timer* g_demoClock;

// The constant whose identity marks the normal end of the show.
extern const char* const g_endMarker;

// The 800 by 600 mode with a usable 16-bit depth buffer and the lowest
// D3DFORMAT value on adapter 0 of g_direct3d; among equal formats the one with
// the highest mode index (whose refresh rate chosen reports, although the
// device runs at the default rate). Returns 0 when found, 1 when the enumeration
// failed, 2 when no mode fits.
int ChooseDisplayMode(D3DDISPLAYMODE& chosen);

void Shutdown();
LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void RenderFrame();
int RunFrameLoop();
