// What the other stand-ins and the host need from the Win32 stand-in and the
// system never sees: the SDL window behind an HWND and its size, the keys the
// host takes for itself, posting a message as the system would, and the mapping of Windows file names.
#pragma once

#include <windows.h>

struct SDL_Window;

namespace win32_host {

// The SDL window that shows an HWND, or null (headless runs have none).
SDL_Window* SdlWindowOf(HWND window);

// Whether the Win32 stand-in has SDL video (a display) to work with.
bool HasDisplay();

// The client area of a window: its SDL window's size, or the size it was
// created with when it has none. False for a window that does not exist.
bool ClientSize(HWND window, int& width, int& height);

// The host's own keys: a key pressed in a window is offered to the taker
// (its virtual-key code, and whether it is a repeat of a key held down)
// before it is queued for the system; a key the taker returns true for never
// reaches the window's procedure. Null offers nothing.
using KeyTaker = bool (*)(WPARAM key, bool repeat);
void SetKeyTaker(KeyTaker taker);

// Queues a message as if the system had posted it (the host ends a run this way).
void PostToAllWindows(UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace win32_host

#include <string>

namespace win32_host {

// Turns a Windows file name into the POSIX path that names the same file:
// `\` becomes `/`, a name in the show's "Data" folder is read from the run's
// data folder (runtime::Options::dataFolder), and when the exact name does
// not exist each component is matched case-insensitively against the real
// directory entries.
std::string ResolvePath(const char* windowsPath);

}  // namespace win32_host
