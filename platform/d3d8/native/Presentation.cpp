// Presentation of the device's picture (see Presentation.h).
#include "Presentation.h"

#include "GlContext.h"

#include <SDL.h>

#include <algorithm>
#include <cmath>

namespace presentation {

void SetSurfaceAttributes()
{
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 0);
}

void ToWindow(SDL_Window* window, const gl_backend::Target& target, const gl_backend::Rect& picture,
              UINT backBufferWidth, UINT backBufferHeight, bool vsync)
{
    if (!window) return;
    int width = 0, height = 0;
    SDL_GL_GetDrawableSize(window, &width, &height);
    if (width <= 0 || height <= 0) return;
    const gl_backend::Rect destination = Letterbox(width, height, backBufferWidth, backBufferHeight);
    gl_backend::PresentToWindow(target, picture, destination, width, height);
    gl_context::SwapWindow(window, vsync);
}

}  // namespace presentation
