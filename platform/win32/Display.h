// The windowing system under the Win32 stand-in's windows: an SDL window on
// the desktop (native/Display.cpp) or the page's canvas in a browser
// (web/Display.cpp). Window.cpp keeps the Win32 side (classes, HWNDs, the
// message queue) and asks this unit for what a screen does.
#pragma once

#include <windows.h>

struct SDL_Window;

namespace display {

// What a window shows on: an SDL window, or the page's canvas.
struct Surface;

// Whether there is a screen to show windows on.
bool Available();

// A hidden surface for a window of the system's size, made full screen or
// windowed as the run's options say; null when none can be made.
Surface* Create(const char* title, int width, int height, bool topmost);
void Destroy(Surface* surface);
void Show(Surface* surface, bool show);
void Raise(Surface* surface);
// The surface's size in screen units.
void Size(Surface* surface, int& width, int& height);
// The SDL window behind a surface (null in a browser).
SDL_Window* SdlWindow(Surface* surface);

void ShowCursor(bool show);
// Keeps the screen saver from blanking a show that takes no input.
void KeepScreenAwake(bool awake);

// Turns waiting input into window messages: keys, close requests, the mouse
// over a surface. post queues one message for the window of a surface.
using Poster = void (*)(Surface* surface, UINT message, WPARAM wParam, LPARAM lParam);
void Pump(Poster post);
// Waits up to milliseconds for input.
void Wait(int milliseconds);

// Shows a message box (MB_ICONERROR, MB_ICONWARNING or other) over owner or
// on its own; the text is on stderr already.
void ShowMessage(const char* caption, const char* text, UINT icon, Surface* owner);

// The surface of a Win32 window, or null (Window.cpp).
Surface* SurfaceOfWindow(HWND window);

}  // namespace display
