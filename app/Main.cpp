// The program's entry point and its end: start-up in its fixed order (the
// Direct3D object, the window, the display-mode choice, the device, the
// sound system, the scenes, the soundtrack, the demo clock), the window
// procedure, and the one Shutdown that every exit path runs.
#include "Shell.h"

#include "P_Part.h"
#include "Scenes.h"
#include "Show.h"
#include "Sound.h"
#include "Timer.h"

#include <d3d8.h>
#include <windows.h>

IDirect3D8* g_direct3d = nullptr;
HWND g_window = nullptr;
bool g_windowClassRegistered = false;
D3DCAPS8 g_deviceCaps = {};
IDirect3DDevice8* g_device = nullptr;
P_Part* g_scenes[5] = {};
P_Part* g_currentScene = nullptr;
const char* g_frameMessage = nullptr;
bool g_quitRequested = false;
bool g_deviceLost = false;
bool g_soundReady = false;
Timer* g_demoClock = nullptr;

namespace {

int Fail(const char* message)
{
    Shutdown();
    MessageBoxA(nullptr, message, show::kCaption, MB_ICONERROR);
    return 0;
}

}  // namespace

void Shutdown()
{
    for (int slot = 4; slot >= 0; --slot) {
        if (g_scenes[slot]) delete g_scenes[slot];
    }
    if (g_demoClock) delete g_demoClock;
    if (g_soundReady) SoundFree();
    if (g_device) g_device->Release();
    if (g_window) DestroyWindow(g_window);
    if (g_windowClassRegistered) UnregisterClassA(show::kClassName, GetModuleHandleA(nullptr));
    if (g_direct3d) g_direct3d->Release();
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_PAINT:
        RenderFrame();
        ValidateRect(window, nullptr);
        return 0;
    case WM_CLOSE:
        g_quitRequested = true;
        return 0;
    case WM_SETCURSOR:
        SetCursor(nullptr);
        return 0;
    case WM_SYSCOMMAND:
        switch (wParam) {
        case SC_SIZE: case SC_MOVE: case SC_MINIMIZE: case SC_MAXIMIZE: case SC_NEXTWINDOW:
        case SC_PREVWINDOW: case SC_VSCROLL: case SC_HSCROLL: case SC_MOUSEMENU: case SC_KEYMENU:
        case SC_RESTORE: case SC_TASKLIST: case SC_SCREENSAVE: case SC_HOTKEY: case SC_DEFAULT:
        case SC_MONITORPOWER: case SC_CONTEXTHELP:
            return 0;
        default:
            return DefWindowProcA(window, message, wParam, lParam);
        }
    case WM_KEYDOWN:
        if (wParam == VK_ESCAPE) {
            SendMessageA(window, WM_CLOSE, 0, 0);
            return 0;
        }
        return DefWindowProcA(window, message, wParam, lParam);
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR, int)
{
    g_direct3d = Direct3DCreate8(D3D_SDK_VERSION);
    if (!g_direct3d) return Fail("Unable to create a Direct3D 8.0 object. Is DirectX 8.0 properly installed?");

    if (g_direct3d->GetAdapterCount() > 1)
        MessageBoxA(nullptr,
                    "Multiple graphics adapter are not properly supported yet. The default graphics adapter "
                    "will be used.",
                    show::kCaption, MB_ICONWARNING);

    WNDCLASSA windowClass = {};
    windowClass.style = CS_OWNDC;
    windowClass.lpfnWndProc = WindowProc;
    windowClass.cbClsExtra = 0;
    windowClass.cbWndExtra = 0;
    windowClass.hInstance = hInstance;
    windowClass.hIcon = nullptr;
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    windowClass.lpszMenuName = nullptr;
    windowClass.lpszClassName = show::kClassName;
    if (!RegisterClassA(&windowClass)) return Fail("Can not register window class.");
    g_windowClassRegistered = true;

    g_window = CreateWindowExA(WS_EX_TOPMOST, show::kClassName, show::kCaption, WS_POPUP, 0, 0, show::kBackBufferWidth,
                               show::kBackBufferHeight, nullptr, nullptr,
                               hInstance, nullptr);
    if (!g_window) return Fail("Can not create a window.");

    D3DDISPLAYMODE mode = {};
    switch (ChooseDisplayMode(mode)) {
    case 1:
        return Fail("Could not retrieve information about the default graphics adapter's available display modes.");
    case 2:
        return Fail("Could not find a display mode with the requested specifications on your default graphics "
                    "adapter. Does your default graphics adapter support hardware accelerated rendering using a "
                    "16 bit Z buffer at all?");
    default:
        break;
    }

    if (FAILED(g_direct3d->GetDeviceCaps(0, D3DDEVTYPE_HAL, &g_deviceCaps)))
        return Fail("Unable to retrieve information about the default graphics adapter's Direct3D HAL "
                    "capabilities.");

    DWORD behaviour = D3DCREATE_SOFTWARE_VERTEXPROCESSING;
    if (g_deviceCaps.DevCaps & D3DDEVCAPS_HWTRANSFORMANDLIGHT) {
        behaviour = (g_deviceCaps.DevCaps & D3DDEVCAPS_PUREDEVICE)
                        ? (D3DCREATE_HARDWARE_VERTEXPROCESSING | D3DCREATE_PUREDEVICE)
                        : D3DCREATE_MIXED_VERTEXPROCESSING;
    }

    D3DPRESENT_PARAMETERS parameters = {};
    parameters.BackBufferWidth = mode.Width;
    parameters.BackBufferHeight = mode.Height;
    parameters.BackBufferFormat = mode.Format;
    parameters.BackBufferCount = 0;
    parameters.MultiSampleType = D3DMULTISAMPLE_NONE;
    parameters.SwapEffect = D3DSWAPEFFECT_COPY;
    parameters.hDeviceWindow = g_window;
    parameters.Windowed = FALSE;
    parameters.EnableAutoDepthStencil = TRUE;
    parameters.AutoDepthStencilFormat = D3DFMT_D16;
    parameters.Flags = 0;
    parameters.FullScreen_RefreshRateInHz = 0;
    parameters.FullScreen_PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
    if (FAILED(g_direct3d->CreateDevice(0, D3DDEVTYPE_HAL, g_window, behaviour, &parameters, &g_device)))
        return Fail("Could not create a Direct3D HAL device.");

    ShowWindow(g_window, SW_SHOW);
    SetFocus(g_window);

    RenderFrame();

    if (!SoundInit(g_window)) return Fail("Can not initiate BASS sound system.");
    g_soundReady = true;

    for (int slot = 0; slot < 5; ++slot) {
        g_scenes[slot] = CreateScene(slot);
        if (!g_scenes[slot]) continue;
        if (const char* message = g_scenes[slot]->Init()) return Fail(message);
    }

    if (!SoundPlayFile(show::kSoundtrack)) return Fail("Can not play audio stream. Is Data\\Soundtrack.mp3 missing?");
    SoundSeek(0.0f);

    g_demoClock = new Timer();

    return RunFrameLoop();
}
