// Creates and keeps the process's OpenGL context. Headless: EGL through
// libepoxy on Mesa's surfaceless platform (no X or Wayland display needed),
// falling back to the default display and then to the first EGL device.
// Windowed: an SDL GL context on the window the Win32 stand-in created with
// SDL_WINDOW_OPENGL. No OpenGL call is made here; only the back end draws.
#include "GlContext.h"

#include "Presentation.h"

#include <SDL.h>
#include <epoxy/egl.h>

#include <cstdio>

namespace gl_context {

namespace {

struct Context {
    bool tried = false;
    bool ready = false;
    EGLDisplay display = EGL_NO_DISPLAY;
    EGLContext eglContext = EGL_NO_CONTEXT;
    SDL_GLContext sdlContext = nullptr;
    SDL_Window* sdlWindow = nullptr;
    int swapInterval = -1;
};

Context& Current()
{
    static Context context;
    return context;
}

bool HasExtension(const char* list, const char* name)
{
    if (!list) return false;
    const size_t length = SDL_strlen(name);
    for (const char* p = list; (p = SDL_strstr(p, name)) != nullptr; p += length) {
        const bool startOk = p == list || p[-1] == ' ';
        const bool endOk = p[length] == ' ' || p[length] == '\0';
        if (startOk && endOk) return true;
    }
    return false;
}

EGLDisplay OpenDisplay()
{
    const char* clientExtensions = eglQueryString(EGL_NO_DISPLAY, EGL_EXTENSIONS);
    if (HasExtension(clientExtensions, "EGL_MESA_platform_surfaceless")) {
        EGLDisplay display = eglGetPlatformDisplayEXT(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
        if (display != EGL_NO_DISPLAY && eglInitialize(display, nullptr, nullptr)) return display;
    }
    EGLDisplay display = eglGetDisplay(EGL_DEFAULT_DISPLAY);
    if (display != EGL_NO_DISPLAY && eglInitialize(display, nullptr, nullptr)) return display;
    if (HasExtension(clientExtensions, "EGL_EXT_device_enumeration") &&
        HasExtension(clientExtensions, "EGL_EXT_platform_device")) {
        EGLDeviceEXT devices[8];
        EGLint count = 0;
        if (eglQueryDevicesEXT(8, devices, &count)) {
            for (EGLint i = 0; i < count; ++i) {
                display = eglGetPlatformDisplayEXT(EGL_PLATFORM_DEVICE_EXT, devices[i], nullptr);
                if (display != EGL_NO_DISPLAY && eglInitialize(display, nullptr, nullptr)) return display;
            }
        }
    }
    return EGL_NO_DISPLAY;
}

bool CreateHeadless(Context& context)
{
    context.display = OpenDisplay();
    if (context.display == EGL_NO_DISPLAY) {
        std::fprintf(stderr, "d3d8: no EGL display could be opened for headless rendering\n");
        return false;
    }
    if (!eglBindAPI(EGL_OPENGL_API)) {
        std::fprintf(stderr, "d3d8: EGL has no desktop OpenGL\n");
        return false;
    }
    // Rendering goes to framebuffer objects only, so any OpenGL-capable
    // configuration will do; without one, a context with no configuration.
    const EGLint configAttributes[] = {EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT, EGL_NONE};
    EGLConfig config = nullptr;
    EGLint configCount = 0;
    if (!eglChooseConfig(context.display, configAttributes, &config, 1, &configCount) || configCount < 1)
        config = nullptr;
    const EGLint contextAttributes[] = {EGL_CONTEXT_MAJOR_VERSION, 3, EGL_CONTEXT_MINOR_VERSION, 3,
                                        EGL_CONTEXT_OPENGL_PROFILE_MASK, EGL_CONTEXT_OPENGL_CORE_PROFILE_BIT,
                                        EGL_NONE};
    context.eglContext = eglCreateContext(context.display, config, EGL_NO_CONTEXT, contextAttributes);
    if (context.eglContext == EGL_NO_CONTEXT) {
        std::fprintf(stderr, "d3d8: EGL could not create an OpenGL 3.3 core context (error 0x%x)\n", eglGetError());
        return false;
    }
    if (!eglMakeCurrent(context.display, EGL_NO_SURFACE, EGL_NO_SURFACE, context.eglContext)) {
        std::fprintf(stderr, "d3d8: EGL could not make the context current without a surface (error 0x%x)\n",
                     eglGetError());
        return false;
    }
    return true;
}

bool CreateOnWindow(Context& context, SDL_Window* window)
{
    presentation::SetSurfaceAttributes();
    context.sdlContext = SDL_GL_CreateContext(window);
    if (!context.sdlContext) {
        std::fprintf(stderr, "d3d8: SDL could not create an OpenGL 3.3 core context: %s\n", SDL_GetError());
        return false;
    }
    context.sdlWindow = window;
    return true;
}

}  // namespace

bool MakeCurrent(SDL_Window* window)
{
    Context& context = Current();
    if (!context.tried) {
        context.tried = true;
        context.ready = window ? CreateOnWindow(context, window) : CreateHeadless(context);
        return context.ready;
    }
    if (!context.ready) return false;
    if (context.sdlContext) {
        // The SDL context can move to another window of the same kind; with
        // no window it stays on the last one and draws offscreen only.
        if (window && window != context.sdlWindow) {
            if (SDL_GL_MakeCurrent(window, context.sdlContext) != 0) {
                std::fprintf(stderr, "d3d8: SDL could not move the context to a new window: %s\n", SDL_GetError());
                return false;
            }
            context.sdlWindow = window;
        }
        return true;
    }
    return eglMakeCurrent(context.display, EGL_NO_SURFACE, EGL_NO_SURFACE, context.eglContext) == EGL_TRUE;
}

bool OnWindow()
{
    return Current().sdlContext != nullptr;
}

void SwapWindow(SDL_Window* window, bool vsync)
{
    Context& context = Current();
    if (!context.sdlContext || !window || window != context.sdlWindow) return;
    const int interval = vsync ? 1 : 0;
    if (interval != context.swapInterval) {
        SDL_GL_SetSwapInterval(interval);
        context.swapInterval = interval;
    }
    SDL_GL_SwapWindow(window);
}

}  // namespace gl_context
