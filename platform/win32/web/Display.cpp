// The windowing system under the Win32 stand-in in a browser: the page's
// canvas is the one surface, the page's keys become window messages, and a
// message box is shown on the page (and in the console). The page itself
// (index.html) keeps the canvas at 4:3 and toggles full screen.
#include "Display.h"

#include <emscripten.h>
#include <emscripten/html5.h>

#include <deque>
#include <string>

namespace display {

struct Surface {
    bool shown = false;
};

namespace {

struct Key {
    UINT message;
    WPARAM key;
    bool repeat;
};

std::deque<Key>& Keys()
{
    static std::deque<Key> keys;
    return keys;
}

// The Win32 virtual-key code of a key the page reports, by its code name.
WPARAM VirtualKey(const char* code)
{
    const std::string name = code;
    if (name == "Escape") return VK_ESCAPE;
    if (name == "Enter") return VK_RETURN;
    if (name == "Space") return VK_SPACE;
    if (name == "ArrowLeft") return VK_LEFT;
    if (name == "ArrowRight") return VK_RIGHT;
    if (name == "ArrowUp") return VK_UP;
    if (name == "ArrowDown") return VK_DOWN;
    if (name == "PageUp") return VK_PRIOR;
    if (name == "PageDown") return VK_NEXT;
    if (name == "Home") return VK_HOME;
    if (name == "End") return VK_END;
    if (name.size() == 4 && name.compare(0, 3, "Key") == 0) return static_cast<WPARAM>(name[3]);
    if (name.size() == 6 && name.compare(0, 5, "Digit") == 0) return static_cast<WPARAM>(name[5]);
    return 0;
}

EM_BOOL OnKey(int type, const EmscriptenKeyboardEvent* event, void*)
{
    const WPARAM key = VirtualKey(event->code);
    const UINT message = type == EMSCRIPTEN_EVENT_KEYDOWN ? UINT(WM_KEYDOWN) : UINT(WM_KEYUP);
    if (key) Keys().push_back({message, key, event->repeat != 0});
    // The page itself does nothing with these (no scrolling by the arrows or Space).
    return key == VK_ESCAPE || key == VK_SPACE || (key >= VK_PRIOR && key <= VK_DOWN);
}

void ListenToKeys()
{
    static bool listening = false;
    if (listening) return;
    listening = true;
    emscripten_set_keydown_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, nullptr, EM_FALSE, OnKey);
    emscripten_set_keyup_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, nullptr, EM_FALSE, OnKey);
}

EM_JS(void, SetPageCursor, (int show), {
    const canvas = document.getElementById('canvas');
    if (canvas) canvas.style.cursor = show ? 'default' : 'none';
});

EM_JS(void, KeepPageAwake, (int awake), {
    if (awake && navigator.wakeLock && !Module.wakeLock)
        navigator.wakeLock.request('screen').then(function(lock) { Module.wakeLock = lock; }).catch(function() {});
    if (!awake && Module.wakeLock) { Module.wakeLock.release(); Module.wakeLock = null; }
});

EM_JS(void, ShowOnPage, (const char* caption, const char* text, int error), {
    const message = UTF8ToString(caption) + ': ' + UTF8ToString(text);
    if (error) console.error(message); else console.warn(message);
    if (Module.showMessage) Module.showMessage(UTF8ToString(caption), UTF8ToString(text), !!error);
});

}  // namespace

bool Available()
{
    return true;
}

Surface* Create(const char*, int, int, bool)
{
    static Surface canvas;
    ListenToKeys();
    return &canvas;
}

void Destroy(Surface* surface)
{
    if (surface) surface->shown = false;
}

void Show(Surface* surface, bool show)
{
    if (surface) surface->shown = show;
}

void Raise(Surface*) {}

void Size(Surface*, int& width, int& height)
{
    double w = 0.0, h = 0.0;
    emscripten_get_element_css_size("#canvas", &w, &h);
    width = static_cast<int>(w);
    height = static_cast<int>(h);
}

SDL_Window* SdlWindow(Surface*)
{
    return nullptr;
}

void ShowCursor(bool show)
{
    SetPageCursor(show ? 1 : 0);
}

void KeepScreenAwake(bool awake)
{
    KeepPageAwake(awake ? 1 : 0);
}

void Pump(Poster post)
{
    static Surface* canvas = Create("", 0, 0, false);
    while (!Keys().empty()) {
        const Key key = Keys().front();
        Keys().pop_front();
        const LPARAM flags = key.message == WM_KEYUP ? static_cast<LPARAM>(0xC0000001) : key.repeat ? 0x40000000 : 1;
        post(canvas, key.message, key.key, flags);
    }
}

void Wait(int milliseconds)
{
    emscripten_sleep(static_cast<unsigned>(milliseconds));
}

void ShowMessage(const char* caption, const char* text, UINT icon, Surface*)
{
    ShowOnPage(caption, text, icon == MB_ICONERROR ? 1 : 0);
}

}  // namespace display
