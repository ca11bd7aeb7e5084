// The reset of the shell and the stand-ins between tests (see ShellTesting.h).
#include "ShellTesting.h"

#include "Shell.h"
#include "Sound.h"
#include "bass_testing.h"
#include "call_log.h"
#include "d3d8_testing.h"
#include "TheShow.h"
#include "host.h"
#include "win32_testing.h"

#include <algorithm>
#include <iterator>

void ResetHost()
{
    host::Install(host::TheShow());
    host::ResetForTesting();
    call_log::Enable(true);
}

void ResetShellState()
{
    g_direct3d = nullptr;
    g_window = nullptr;
    g_windowClassRegistered = false;
    g_deviceCaps = {};
    g_device = nullptr;
    std::fill(std::begin(g_scenes), std::end(g_scenes), nullptr);
    g_currentScene = nullptr;
    g_frameMessage = nullptr;
    g_quitRequested = false;
    g_deviceLost = false;
    g_soundReady = false;
    g_demoClock = nullptr;
    g_stream = 0;
    win32_testing::Reset();
    d3d8_testing::Reset();
    bass_testing::Reset();
    ResetHost();
    call_log::Take();
}
