// MessageBoxA and GetTickCount of the Win32 stand-in. A message box always
// writes its caption and text to stderr, and shows the windowing system's
// message box when there is a screen; the tick count comes from the runtime's
// clock.
#include <windows.h>

#include "Display.h"
#include "win32_host.h"

#include "runtime.h"
#include "call_log.h"

#include <cstdio>
#include <string>

int WINAPI MessageBoxA(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType)
{
    const char* caption = lpCaption ? lpCaption : "Error";
    const char* text = lpText ? lpText : "";
    if (call_log::Enabled()) call_log::Record(std::string("MessageBoxA ") + caption + ": " + text);
    std::fprintf(stderr, "%s: %s\n", caption, text);
    const UINT icon = uType & 0xF0;
    // The system's own text stands as it is; the reason, where a stand-in
    // knows one, follows it on stderr.
    const std::string reason = icon == MB_ICONERROR ? runtime::TakeFailureReason() : std::string();
    if (!reason.empty()) std::fprintf(stderr, "%s: the reason: %s\n", caption, reason.c_str());
    std::fflush(stderr);

    if (icon == MB_ICONERROR) runtime::NoteErrorBox();
    display::ShowMessage(caption, text, icon, display::SurfaceOfWindow(hWnd));
    return IDOK;
}

DWORD WINAPI GetTickCount(void)
{
    return runtime::TickMilliseconds();
}
