// The window-class registry, windows, the message queue and WindowProc
// dispatch of the Win32 stand-in, with SDL2 behind them: SDL events become
// Win32 messages, an HWND owns an SDL window when there is a display, and
// headless runs keep windows as plain records with the same queue.
#include <windows.h>

#include "win32_host.h"

#include "runtime/runtime.h"
#include "testing/call_log.h"
#include "testing/win32_testing.h"

#include <SDL.h>
#include <strings.h>

#include <algorithm>
#include <deque>
#include <map>
#include <string>
#include <vector>

struct HWND__ {
    WNDCLASSA windowClass;
    std::string className;
    std::string title;
    SDL_Window* sdlWindow;
    int width, height;  // the size asked for, which a window without a display keeps
};

namespace {

struct CaseInsensitiveLess {
    bool operator()(const std::string& a, const std::string& b) const
    {
        return ::strcasecmp(a.c_str(), b.c_str()) < 0;
    }
};

struct State {
    std::map<std::string, WNDCLASSA, CaseInsensitiveLess> classes;
    std::vector<HWND> windows;
    std::deque<MSG> queue;
    bool failRegisterClass = false;
    bool failCreateWindow = false;
    bool cursorHidden = false;
};

State& S()
{
    static State state;
    return state;
}

bool IsWindow(HWND window)
{
    return window && std::find(S().windows.begin(), S().windows.end(), window) != S().windows.end();
}

HWND WindowOfSdl(Uint32 windowId)
{
    for (HWND w : S().windows)
        if (w->sdlWindow && SDL_GetWindowID(w->sdlWindow) == windowId) return w;
    return S().windows.empty() ? nullptr : S().windows.front();
}

void Enqueue(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (!window) return;
    MSG msg{};
    msg.hwnd = window;
    msg.message = message;
    msg.wParam = wParam;
    msg.lParam = lParam;
    msg.time = GetTickCount();
    S().queue.push_back(msg);
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

// Moves waiting SDL events into the message queue as the messages Windows
// would have sent: keys, the window manager's close request, the mouse.
void PumpSdlEvents()
{
    if (!win32_host::HasDisplay()) return;
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
        switch (event.type) {
        case SDL_KEYDOWN: {
            const WPARAM vk = VirtualKey(event.key.keysym.sym);
            if (vk) Enqueue(WindowOfSdl(event.key.windowID), WM_KEYDOWN, vk, event.key.repeat ? 0x40000000 : 1);
            break;
        }
        case SDL_KEYUP: {
            const WPARAM vk = VirtualKey(event.key.keysym.sym);
            if (vk) Enqueue(WindowOfSdl(event.key.windowID), WM_KEYUP, vk, static_cast<LPARAM>(0xC0000001));
            break;
        }
        case SDL_QUIT:
            if (!S().windows.empty()) Enqueue(S().windows.front(), WM_SYSCOMMAND, SC_CLOSE, 0);
            break;
        case SDL_WINDOWEVENT:
            if (event.window.event == SDL_WINDOWEVENT_CLOSE)
                Enqueue(WindowOfSdl(event.window.windowID), WM_SYSCOMMAND, SC_CLOSE, 0);
            else if (event.window.event == SDL_WINDOWEVENT_ENTER)
                Enqueue(WindowOfSdl(event.window.windowID), WM_SETCURSOR, 0, 0);
            break;
        case SDL_MOUSEMOTION:
            Enqueue(WindowOfSdl(event.motion.windowID), WM_SETCURSOR, 0, 0);
            break;
        default: break;
        }
    }
}

bool Matches(const MSG& msg, HWND filter, UINT minMsg, UINT maxMsg)
{
    if (filter && msg.hwnd != filter) return false;
    if (minMsg == 0 && maxMsg == 0) return true;
    return msg.message >= minMsg && msg.message <= maxMsg;
}

std::deque<MSG>::iterator FindMessage(HWND filter, UINT minMsg, UINT maxMsg)
{
    return std::find_if(S().queue.begin(), S().queue.end(),
                        [&](const MSG& m) { return Matches(m, filter, minMsg, maxMsg); });
}

}  // namespace

namespace win32_host {

SDL_Window* SdlWindowOf(HWND window)
{
    return IsWindow(window) ? window->sdlWindow : nullptr;
}

bool HasDisplay()
{
    return SDL_WasInit(SDL_INIT_VIDEO) != 0;
}

bool ClientSize(HWND window, int& width, int& height)
{
    if (!IsWindow(window)) return false;
    width = window->width;
    height = window->height;
    if (window->sdlWindow) SDL_GetWindowSize(window->sdlWindow, &width, &height);
    return true;
}

void PostToAllWindows(UINT message, WPARAM wParam, LPARAM lParam)
{
    for (HWND w : S().windows) Enqueue(w, message, wParam, lParam);
}

}  // namespace win32_host

namespace win32_testing {

void FailRegisterClass(bool fail) { S().failRegisterClass = fail; }
void FailCreateWindow(bool fail) { S().failCreateWindow = fail; }
bool CursorHidden() { return S().cursorHidden; }
size_t WindowCount() { return S().windows.size(); }
size_t ClassCount() { return S().classes.size(); }
size_t QueuedMessages() { return S().queue.size(); }

void Reset()
{
    while (!S().windows.empty()) DestroyWindow(S().windows.back());
    S().classes.clear();
    S().queue.clear();
    S().failRegisterClass = false;
    S().failCreateWindow = false;
    S().cursorHidden = false;
}

}  // namespace win32_testing

ATOM WINAPI RegisterClassA(const WNDCLASSA* lpWndClass)
{
    call_log::Record("RegisterClassA");
    if (S().failRegisterClass || !lpWndClass || !lpWndClass->lpszClassName || !lpWndClass->lpfnWndProc) return 0;
    const std::string name = lpWndClass->lpszClassName;
    if (S().classes.count(name)) return 0;  // already registered, as Windows refuses it
    S().classes[name] = *lpWndClass;
    return static_cast<ATOM>(0xC000 + S().classes.size());
}

BOOL WINAPI UnregisterClassA(LPCSTR lpClassName, HINSTANCE hInstance)
{
    call_log::Record("UnregisterClassA");
    if (!lpClassName) return FALSE;
    auto it = S().classes.find(lpClassName);
    if (it == S().classes.end()) return FALSE;
    for (HWND w : S().windows)
        if (::strcasecmp(w->className.c_str(), lpClassName) == 0) return FALSE;  // still in use
    S().classes.erase(it);
    return TRUE;
}

HWND WINAPI CreateWindowExA(DWORD dwExStyle, LPCSTR lpClassName, LPCSTR lpWindowName, DWORD dwStyle, int X, int Y,
                            int nWidth, int nHeight, HWND hWndParent, HMENU hMenu, HINSTANCE hInstance,
                            LPVOID lpParam)
{
    call_log::Record("CreateWindowExA");
    if (S().failCreateWindow || !lpClassName) return nullptr;
    auto it = S().classes.find(lpClassName);
    if (it == S().classes.end()) return nullptr;

    SDL_Window* sdlWindow = nullptr;
    if (win32_host::HasDisplay()) {
        // The window shows the device's picture through OpenGL (its surface
        // attributes are the Direct3D stand-in's, set before the show starts);
        // it stays hidden until ShowWindow, as a Win32 window without WS_VISIBLE.
        const runtime::Options& options = runtime::CurrentOptions();
        Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN | SDL_WINDOW_ALLOW_HIGHDPI;
        int width = nWidth, height = nHeight;
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
        if (dwExStyle & WS_EX_TOPMOST) flags |= SDL_WINDOW_ALWAYS_ON_TOP;
        const int position = options.windowed ? SDL_WINDOWPOS_CENTERED : 0;
        sdlWindow = SDL_CreateWindow(lpWindowName ? lpWindowName : "", position, position, width, height, flags);
        if (!sdlWindow) {
            SDL_Log("SDL_CreateWindow failed: %s", SDL_GetError());
            return nullptr;
        }
    }
    HWND window = new HWND__{it->second, it->first, lpWindowName ? lpWindowName : "", sdlWindow, nWidth, nHeight};
    S().windows.push_back(window);
    return window;
}

BOOL WINAPI DestroyWindow(HWND hWnd)
{
    call_log::Record("DestroyWindow");
    if (!IsWindow(hWnd)) return FALSE;
    SendMessageA(hWnd, WM_DESTROY, 0, 0);
    S().windows.erase(std::find(S().windows.begin(), S().windows.end(), hWnd));
    S().queue.erase(std::remove_if(S().queue.begin(), S().queue.end(), [&](const MSG& m) { return m.hwnd == hWnd; }),
                    S().queue.end());
    if (hWnd->sdlWindow) SDL_DestroyWindow(hWnd->sdlWindow);
    if (S().windows.empty() && S().cursorHidden && win32_host::HasDisplay()) SDL_ShowCursor(SDL_ENABLE);
    if (S().windows.empty() && win32_host::HasDisplay()) SDL_EnableScreenSaver();
    delete hWnd;
    return TRUE;
}

BOOL WINAPI ShowWindow(HWND hWnd, int nCmdShow)
{
    if (!IsWindow(hWnd)) return FALSE;
    if (hWnd->sdlWindow) {
        if (nCmdShow == SW_HIDE) {
            SDL_HideWindow(hWnd->sdlWindow);
        } else {
            SDL_ShowWindow(hWnd->sdlWindow);
            // The screen saver would blank a show that takes no input.
            SDL_DisableScreenSaver();
        }
    }
    return TRUE;
}

HWND WINAPI SetFocus(HWND hWnd)
{
    if (!IsWindow(hWnd)) return nullptr;
    if (hWnd->sdlWindow) SDL_RaiseWindow(hWnd->sdlWindow);
    return hWnd;
}

BOOL WINAPI PeekMessageA(MSG* lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax, UINT wRemoveMsg)
{
    PumpSdlEvents();
    auto it = FindMessage(hWnd, wMsgFilterMin, wMsgFilterMax);
    if (it == S().queue.end()) return FALSE;
    if (lpMsg) *lpMsg = *it;
    if (wRemoveMsg & PM_REMOVE) S().queue.erase(it);
    return TRUE;
}

BOOL WINAPI GetMessageA(MSG* lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax)
{
    for (;;) {
        PumpSdlEvents();
        auto it = FindMessage(hWnd, wMsgFilterMin, wMsgFilterMax);
        if (it != S().queue.end()) {
            MSG msg = *it;
            S().queue.erase(it);
            if (lpMsg) *lpMsg = msg;
            return msg.message == WM_QUIT ? FALSE : TRUE;
        }
        // Nothing can ever arrive without a display or an open window: report
        // an error rather than wait forever.
        if (!win32_host::HasDisplay() || (hWnd && !IsWindow(hWnd))) return -1;
        SDL_WaitEventTimeout(nullptr, 100);
    }
}

LRESULT WINAPI DispatchMessageA(const MSG* lpMsg)
{
    if (!lpMsg || !IsWindow(lpMsg->hwnd)) return 0;
    return lpMsg->hwnd->windowClass.lpfnWndProc(lpMsg->hwnd, lpMsg->message, lpMsg->wParam, lpMsg->lParam);
}

LRESULT WINAPI SendMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam)
{
    if (!IsWindow(hWnd)) return 0;
    return hWnd->windowClass.lpfnWndProc(hWnd, Msg, wParam, lParam);
}

BOOL WINAPI PostMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam)
{
    if (!IsWindow(hWnd)) return FALSE;
    Enqueue(hWnd, Msg, wParam, lParam);
    return TRUE;
}

LRESULT WINAPI DefWindowProcA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam)
{
    switch (Msg) {
    case WM_SYSCOMMAND:
        // The low four bits of the command are used by Windows itself.
        if ((wParam & 0xFFF0) == SC_CLOSE) SendMessageA(hWnd, WM_CLOSE, 0, 0);
        return 0;
    case WM_CLOSE:
        DestroyWindow(hWnd);
        return 0;
    default:
        return 0;
    }
}

BOOL WINAPI ValidateRect(HWND hWnd, const RECT* lpRect)
{
    return IsWindow(hWnd) ? TRUE : FALSE;
}

HCURSOR WINAPI LoadCursorA(HINSTANCE hInstance, LPCSTR lpCursorName)
{
    // Only the system's arrow exists; its handle is a token.
    static int arrow;
    return lpCursorName == IDC_ARROW ? reinterpret_cast<HCURSOR>(&arrow) : nullptr;
}

HCURSOR WINAPI SetCursor(HCURSOR hCursor)
{
    static HCURSOR current = nullptr;
    HCURSOR previous = current;
    current = hCursor;
    S().cursorHidden = hCursor == nullptr;
    if (win32_host::HasDisplay()) SDL_ShowCursor(hCursor ? SDL_ENABLE : SDL_DISABLE);
    return previous;
}

HGDIOBJ WINAPI GetStockObject(int i)
{
    static int stockObjects[20];
    return (i >= 0 && i < 20) ? &stockObjects[i] : nullptr;
}

HMODULE WINAPI GetModuleHandleA(LPCSTR lpModuleName)
{
    static int module;
    return lpModuleName ? nullptr : reinterpret_cast<HMODULE>(&module);
}
