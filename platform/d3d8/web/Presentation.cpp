// Presentation in a browser: the canvas's drawing buffer follows its size on
// the page (in device pixels), the device's picture is blitted in at the
// back buffer's aspect with black bars, and the show then yields to the
// browser (the next animation frame, or at once in the page's deterministic
// mode), so that the page stays alive while the system's own loop runs.
#include "Presentation.h"

#include "runtime.h"

#include <emscripten.h>
#include <emscripten/html5.h>

#include <algorithm>
#include <cmath>

namespace presentation {

namespace {

EM_ASYNC_JS(void, WaitForAnimationFrame, (), { await new Promise(function(resolve) { requestAnimationFrame(resolve); }); });

}  // namespace

void SetSurfaceAttributes()
{
    // WebGL takes its attributes when the context is made (web/GlContext.cpp).
}

void ToWindow(SDL_Window*, const gl_backend::Target& target, const gl_backend::Rect& picture, UINT backBufferWidth,
              UINT backBufferHeight, bool)
{
    double cssWidth = 0.0, cssHeight = 0.0;
    emscripten_get_element_css_size("#canvas", &cssWidth, &cssHeight);
    const double ratio = emscripten_get_device_pixel_ratio();
    const int width = std::max(1, static_cast<int>(std::lround(cssWidth * ratio)));
    const int height = std::max(1, static_cast<int>(std::lround(cssHeight * ratio)));
    int current = 0, currentHeight = 0;
    emscripten_get_canvas_element_size("#canvas", &current, &currentHeight);
    if (current != width || currentHeight != height) emscripten_set_canvas_element_size("#canvas", width, height);
    const gl_backend::Rect destination = Letterbox(width, height, backBufferWidth, backBufferHeight);
    gl_backend::PresentToWindow(target, picture, destination, width, height);
    if (runtime::CurrentOptions().headless)
        emscripten_sleep(0);
    else
        WaitForAnimationFrame();
}

}  // namespace presentation
