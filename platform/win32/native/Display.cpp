// The desktop's windowing system for the Win32 stand-in: SDL windows with
// OpenGL surfaces, SDL's events as Win32 messages, its message boxes.
#include "Display.h"

#include "runtime.h"

#include <SDL.h>

namespace display {

namespace {

SDL_Window* Sdl(Surface* surface)
{
    return reinterpret_cast<SDL_Window*>(surface);
}

Surface* Of(SDL_Window* window)
{
    return reinterpret_cast<Surface*>(window);
}

// The Win32 virtual-key code of an SDL key, or 0 for keys without one.
WPARAM VirtualKey(SDL_Keycode key)
{
    if (key >= SDLK_a && key <= SDLK_z) return static_cast<WPARAM>('A' + (key - SDLK_a));
    if (key >= SDLK_0 && key <= SDLK_9) return static_cast<WPARAM>('0' + (key - SDLK_0));
    if (key >= SDLK_F1 && key <= SDLK_F12) return static_cast<WPARAM>(VK_F1 + (key - SDLK_F1));
    switch (key) {
    case SDLK_ESCAPE: return VK_ESCAPE;
    case SDLK_RETURN: return VK_RETURN;
    case SDLK_SPACE: return VK_SPACE;
    case SDLK_BACKSPACE: return VK_BACK;
    case SDLK_TAB: return VK_TAB;
    case SDLK_LSHIFT: case SDLK_RSHIFT: return VK_SHIFT;
    case SDLK_LCTRL: case SDLK_RCTRL: return VK_CONTROL;
    case SDLK_LALT: case SDLK_RALT: return VK_MENU;
    case SDLK_PAUSE: return VK_PAUSE;
    case SDLK_PAGEUP: return VK_PRIOR;
    case SDLK_PAGEDOWN: return VK_NEXT;
    case SDLK_END: return VK_END;
    case SDLK_HOME: return VK_HOME;
    case SDLK_LEFT: return VK_LEFT;
    case SDLK_UP: return VK_UP;
    case SDLK_RIGHT: return VK_RIGHT;
    case SDLK_DOWN: return VK_DOWN;
    case SDLK_INSERT: return VK_INSERT;
    case SDLK_DELETE: return VK_DELETE;
    default: return 0;
    }
}

}  // namespace

bool Available()
{
    return SDL_WasInit(SDL_INIT_VIDEO) != 0;
}

Surface* Create(const char* title, int width, int height, bool topmost)
{
    // The window shows the device's picture through OpenGL (its surface
    // attributes are the Direct3D stand-in's, set before the show starts);
    // it stays hidden until ShowWindow, as a Win32 window without WS_VISIBLE.
    const runtime::Options& options = runtime::CurrentOptions();
    Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN | SDL_WINDOW_ALLOW_HIGHDPI;
    if (options.windowed) {
        if (options.outputWidth > 0 && options.outputHeight > 0) {
            width = options.outputWidth;
            height = options.outputHeight;
        }
        flags |= SDL_WINDOW_RESIZABLE;
    } else {
        // Full screen at the desktop's resolution: no display-mode change.
        // The window is made at that size too, so that it covers the
        // screen even where no window manager applies the full-screen state.
        flags |= SDL_WINDOW_FULLSCREEN_DESKTOP | SDL_WINDOW_BORDERLESS;
        SDL_DisplayMode desktop;
        if (SDL_GetDesktopDisplayMode(0, &desktop) == 0) {
            width = desktop.w;
            height = desktop.h;
        }
    }
    if (topmost) flags |= SDL_WINDOW_ALWAYS_ON_TOP;
    const int position = options.windowed ? SDL_WINDOWPOS_CENTERED : 0;
    SDL_Window* window = SDL_CreateWindow(title, position, position, width, height, flags);
    if (!window) SDL_Log("SDL_CreateWindow failed: %s", SDL_GetError());
    return Of(window);
}

void Destroy(Surface* surface)
{
    if (surface) SDL_DestroyWindow(Sdl(surface));
}

void Show(Surface* surface, bool show)
{
    if (!surface) return;
    if (show)
        SDL_ShowWindow(Sdl(surface));
    else
        SDL_HideWindow(Sdl(surface));
}

void Raise(Surface* surface)
{
    if (surface) SDL_RaiseWindow(Sdl(surface));
}

void Size(Surface* surface, int& width, int& height)
{
    if (surface) SDL_GetWindowSize(Sdl(surface), &width, &height);
}

SDL_Window* SdlWindow(Surface* surface)
{
    return Sdl(surface);
}

void ShowCursor(bool show)
{
    if (Available()) SDL_ShowCursor(show ? SDL_ENABLE : SDL_DISABLE);
}

void KeepScreenAwake(bool awake)
{
    if (!Available()) return;
    if (awake)
        SDL_DisableScreenSaver();
    else
        SDL_EnableScreenSaver();
}

// Waiting SDL events as the messages Windows would have sent: keys, the
// window manager's close request, the mouse.
void Pump(Poster post)
{
    if (!Available()) return;
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
        switch (event.type) {
        case SDL_KEYDOWN: {
            const WPARAM vk = VirtualKey(event.key.keysym.sym);
            if (vk) post(Of(SDL_GetWindowFromID(event.key.windowID)), WM_KEYDOWN, vk, event.key.repeat ? 0x40000000 : 1);
            break;
        }
        case SDL_KEYUP: {
            const WPARAM vk = VirtualKey(event.key.keysym.sym);
            if (vk) post(Of(SDL_GetWindowFromID(event.key.windowID)), WM_KEYUP, vk, static_cast<LPARAM>(0xC0000001));
            break;
        }
        case SDL_QUIT:
            post(nullptr, WM_SYSCOMMAND, SC_CLOSE, 0);
            break;
        case SDL_WINDOWEVENT:
            if (event.window.event == SDL_WINDOWEVENT_CLOSE)
                post(Of(SDL_GetWindowFromID(event.window.windowID)), WM_SYSCOMMAND, SC_CLOSE, 0);
            else if (event.window.event == SDL_WINDOWEVENT_ENTER)
                post(Of(SDL_GetWindowFromID(event.window.windowID)), WM_SETCURSOR, 0, 0);
            break;
        case SDL_MOUSEMOTION:
            post(Of(SDL_GetWindowFromID(event.motion.windowID)), WM_SETCURSOR, 0, 0);
            break;
        default: break;
        }
    }
}

void Wait(int milliseconds)
{
    SDL_WaitEventTimeout(nullptr, milliseconds);
}

void ShowMessage(const char* caption, const char* text, UINT icon, Surface* owner)
{
    if (!Available() || runtime::CurrentOptions().headless) return;
    const Uint32 flags = icon == MB_ICONERROR     ? SDL_MESSAGEBOX_ERROR
                         : icon == MB_ICONWARNING ? SDL_MESSAGEBOX_WARNING
                                                  : SDL_MESSAGEBOX_INFORMATION;
    SDL_ShowSimpleMessageBox(flags, caption, text, Sdl(owner));
}

}  // namespace display
