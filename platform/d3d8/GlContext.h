// The one OpenGL 3.3 core context of the process: EGL on Mesa with no display
// for headless runs, an SDL context on the device window otherwise. It lives
// until the process ends, so devices can come and go.
#pragma once

struct SDL_Window;

namespace gl_context {

// Makes the context current, creating it on first use: on `window` when it is
// not null (SDL), else headless (EGL, surfaceless). False, with the reason on
// stderr, when no OpenGL 3.3 core context can be had.
bool MakeCurrent(SDL_Window* window);

// Whether the context belongs to an SDL window (false when headless).
bool OnWindow();

// Shows the window's back buffer (SDL); swap interval 1 with vsync, else 0.
void SwapWindow(SDL_Window* window, bool vsync);

}  // namespace gl_context
