// The frame loop and the timeline: pump one window message or render one
// frame, choose the scene from the music position, fade the music out at the
// end, present, and end on "Done", an error, a lost device or a quit request.
#include "Shell.h"

#include "P_Part.h"
#include "Show.h"
#include "Sound.h"
#include "Timer.h"

#include <bass.h>
#include <d3d8.h>
#include <windows.h>

const char* const g_endMarker = "Done";

namespace {

// The timeline's tests in order; a later match overwrites an earlier one, so
// each boundary belongs to the later scene.
void ApplyTimeline(float t)
{
    using show::kSceneStarts;
    if (t >= kSceneStarts[0] && t <= kSceneStarts[1]) g_currentScene = g_scenes[0];
    if (t >= kSceneStarts[1] && t <= kSceneStarts[2]) g_currentScene = g_scenes[1];
    if (t >= kSceneStarts[2] && t <= kSceneStarts[3]) g_currentScene = g_scenes[2];
    if (t >= kSceneStarts[3] && t <= kSceneStarts[4]) g_currentScene = g_scenes[3];
    if (t >= kSceneStarts[4] && t <= show::kFadeStart) g_currentScene = g_scenes[4];
    if (t >= show::kFadeStart && t <= show::kFadeEnd) {
        g_currentScene = nullptr;
        const int volume = static_cast<int>(100.0f - (t - show::kFadeStart) * 17.5f);
        BASS_ChannelSetAttributes(g_stream, -1, volume, -1);
    }
}

}  // namespace

void RenderFrame()
{
    float t = 0.0f;
    if (g_soundReady) {
        t = SoundGetSeconds();
        ApplyTimeline(t);
        if (t >= show::kEnd) {
            g_frameMessage = g_endMarker;
            return;
        }
    }

    if (g_currentScene) {
        const int ms = g_demoClock ? g_demoClock->ElapsedMs() : 0;
        g_frameMessage = g_currentScene->Render(ms, t);
        if (g_frameMessage) return;
    } else if (g_device) {
        g_device->Clear(0, nullptr, D3DCLEAR_TARGET, 0x00000000, 1.0f, 0);
    }

    if (g_device) {
        const HRESULT hr = g_device->Present(nullptr, nullptr, nullptr, nullptr);
        if (hr == D3DERR_DEVICELOST && g_device->TestCooperativeLevel() == D3DERR_DEVICENOTRESET)
            g_deviceLost = true;
    }
}

int RunFrameLoop()
{
    for (;;) {
        MSG msg;
        if (PeekMessageA(&msg, g_window, 0, 0, PM_NOREMOVE)) {
            GetMessageA(&msg, g_window, 0, 0);
            DispatchMessageA(&msg);
        } else {
            SendMessageA(g_window, WM_PAINT, 0, 0);
        }

        if (g_frameMessage) {
            if (g_frameMessage == g_endMarker) {
                SendMessageA(g_window, WM_CLOSE, 0, 0);
            } else {
                Shutdown();
                MessageBoxA(nullptr, g_frameMessage, show::kCaption, MB_ICONERROR);
                return 0;
            }
        }
        if (g_deviceLost) {
            Shutdown();
            MessageBoxA(nullptr,
                        "The Direct3D HAL device was lost. Recovery is not yet supported. Lost devices are caused "
                        "by for example pressing Ctrl-Alt-Delete or switching to other applications while in full "
                        "screen mode.",
                        show::kCaption, MB_ICONERROR);
            return 0;
        }
        if (g_quitRequested) {
            Shutdown();
            return 0;
        }
    }
}
