// How the device's picture reaches the screen: the OpenGL attributes of the
// window surfaces and their context, the window's drawable size, the centred
// rectangle of the same aspect that the picture fills (the letterbox, also
// used inside a larger offscreen target) and the swap.
#pragma once

#include "GlBackend.h"

#include <d3d8.h>

#include <algorithm>
#include <cmath>

struct SDL_Window;

namespace presentation {

// The attributes of every window surface and of the OpenGL 3.3 core context
// made on it: double-buffered, no depth buffer of its own (the device draws
// offscreen). Set before windows are made, and again before the context.
void SetSurfaceAttributes();

// The largest rectangle of outerWidth by outerHeight, centred, that keeps the
// aspect of innerWidth by innerHeight.
inline gl_backend::Rect Letterbox(int outerWidth, int outerHeight, UINT innerWidth, UINT innerHeight)
{
    const double scale =
        std::min(static_cast<double>(outerWidth) / innerWidth, static_cast<double>(outerHeight) / innerHeight);
    gl_backend::Rect r;
    r.width = static_cast<int>(std::lround(innerWidth * scale));
    r.height = static_cast<int>(std::lround(innerHeight * scale));
    r.x = (outerWidth - r.width) / 2;
    r.y = (outerHeight - r.height) / 2;
    return r;
}

// Shows `picture` of the target in the window at the back buffer's aspect,
// black around it, and swaps (swap interval 1 with vsync, else 0). Nothing
// happens while the window has no drawable area.
void ToWindow(SDL_Window* window, const gl_backend::Target& target, const gl_backend::Rect& picture,
              UINT backBufferWidth, UINT backBufferHeight, bool vsync);

}  // namespace presentation
