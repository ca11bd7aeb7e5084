// The window-class registry, windows, the message queue and WindowProc
// dispatch of the Win32 stand-in. An HWND owns a surface of the windowing
// system (Display.h) when there is a screen; headless runs keep windows as
// plain records with the same queue.
#include <windows.h>

#include "Display.h"
#include "win32_host.h"

#include "call_log.h"
#include "win32_testing.h"

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
    display::Surface* surface;
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
    win32_host::KeyTaker keyTaker = nullptr;
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

// The window that shows a surface; input without one goes to the first window.
HWND WindowOf(display::Surface* surface)
{
    for (HWND w : S().windows)
        if (surface && w->surface == surface) return w;
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

void PostFromDisplay(display::Surface* surface, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_KEYDOWN && S().keyTaker && S().keyTaker(wParam, (lParam & 0x40000000) != 0)) return;
    Enqueue(WindowOf(surface), message, wParam, lParam);
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
    return IsWindow(window) ? display::SdlWindow(window->surface) : nullptr;
}

bool HasDisplay()
{
    return display::Available();
}

bool ClientSize(HWND window, int& width, int& height)
{
    if (!IsWindow(window)) return false;
    width = window->width;
    height = window->height;
    if (window->surface) display::Size(window->surface, width, height);
    return true;
}

void SetKeyTaker(KeyTaker taker)
{
    S().keyTaker = taker;
}

void PostToAllWindows(UINT message, WPARAM wParam, LPARAM lParam)
{
    for (HWND w : S().windows) Enqueue(w, message, wParam, lParam);
}

}  // namespace win32_host

display::Surface* display::SurfaceOfWindow(HWND window)
{
    return IsWindow(window) ? window->surface : nullptr;
}

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

    display::Surface* surface = nullptr;
    if (display::Available()) {
        surface = display::Create(lpWindowName ? lpWindowName : "", nWidth, nHeight, (dwExStyle & WS_EX_TOPMOST) != 0);
        if (!surface) return nullptr;
    }
    HWND window = new HWND__{it->second, it->first, lpWindowName ? lpWindowName : "", surface, nWidth, nHeight};
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
    display::Destroy(hWnd->surface);
    if (S().windows.empty() && S().cursorHidden) display::ShowCursor(true);
    if (S().windows.empty()) display::KeepScreenAwake(false);
    delete hWnd;
    return TRUE;
}

BOOL WINAPI ShowWindow(HWND hWnd, int nCmdShow)
{
    if (!IsWindow(hWnd)) return FALSE;
    if (hWnd->surface) {
        display::Show(hWnd->surface, nCmdShow != SW_HIDE);
        // The screen saver would blank a show that takes no input.
        if (nCmdShow != SW_HIDE) display::KeepScreenAwake(true);
    }
    return TRUE;
}

HWND WINAPI SetFocus(HWND hWnd)
{
    if (!IsWindow(hWnd)) return nullptr;
    display::Raise(hWnd->surface);
    return hWnd;
}

BOOL WINAPI PeekMessageA(MSG* lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax, UINT wRemoveMsg)
{
    display::Pump(PostFromDisplay);
    auto it = FindMessage(hWnd, wMsgFilterMin, wMsgFilterMax);
    if (it == S().queue.end()) return FALSE;
    if (lpMsg) *lpMsg = *it;
    if (wRemoveMsg & PM_REMOVE) S().queue.erase(it);
    return TRUE;
}

BOOL WINAPI GetMessageA(MSG* lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax)
{
    for (;;) {
        display::Pump(PostFromDisplay);
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
        display::Wait(100);
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
    display::ShowCursor(hCursor != nullptr);
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
