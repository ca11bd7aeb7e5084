// What the other stand-ins need from the Win32 stand-in and the system never
// sees: the SDL window behind an HWND, and a reset of the window registry.
#pragma once

#include <windows.h>

struct SDL_Window;

namespace win32_host {

// The SDL window that shows an HWND, or null (headless runs have none).
SDL_Window* SdlWindowOf(HWND window);

// Whether the Win32 stand-in has SDL video (a display) to work with.
bool HasDisplay();

// Queues a message as if the system had posted it (the host ends a run this way).
void PostToAllWindows(UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace win32_host

#include <string>

namespace win32_host {

// Turns a Windows file name into the POSIX path that names the same file:
// `\` becomes `/`, and when the exact name does not exist each component is
// matched case-insensitively against the real directory entries.
std::string ResolvePath(const char* windowsPath);

}  // namespace win32_host
