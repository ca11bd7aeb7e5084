// The Direct3D stand-in on a real window: an SDL OpenGL context on the
// window the Win32 stand-in made, Present blitting the offscreen picture into
// it, with the host's marks over it. Runs only where SDL finds a display (e.g. under xvfb-run); skipped in
// headless runs.
#include "TestDevice.h"

#include "d3d8_host.h"
#include "d3d8_testing.h"
#include "ShellTesting.h"
#include "host.h"
#include "win32_testing.h"
#include "win32_host.h"

#include <SDL.h>
#include <gtest/gtest.h>

namespace {

LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcA(window, message, wParam, lParam);
}

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) GTEST_SKIP() << "no display: " << SDL_GetError();
        d3d8_testing::Reset();
        ResetHost();
        runtime::CurrentOptions().headless = false;
        runtime::CurrentOptions().windowed = true;
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = Procedure;
        windowClass.lpszClassName = "D3D8WINDOWTEST";
        ASSERT_NE(RegisterClassA(&windowClass), 0);
        window = CreateWindowExA(0, "D3D8WINDOWTEST", "d3d8", WS_POPUP, 0, 0, 800, 600, nullptr, nullptr, nullptr,
                                 nullptr);
        ASSERT_NE(window, nullptr);
        if (!win32_host::SdlWindowOf(window))
            GTEST_SKIP() << "the " << SDL_GetCurrentVideoDriver() << " video driver makes no OpenGL windows";
        ShowWindow(window, SW_SHOW);
    }
    void TearDown() override
    {
        win32_testing::Reset();
        ResetHost();
        if (SDL_WasInit(SDL_INIT_VIDEO)) SDL_Quit();
    }
    HWND window = nullptr;
};

TEST_F(WindowTest, PresentShowsFramesInTheWindowAndKeepsTheOffscreenPicture)
{
    IDirect3D8* d3d = Direct3DCreate8(D3D_SDK_VERSION);
    ASSERT_NE(d3d, nullptr);
    D3DPRESENT_PARAMETERS params{};
    params.BackBufferWidth = 800;
    params.BackBufferHeight = 600;
    params.BackBufferFormat = D3DFMT_X8R8G8B8;
    params.SwapEffect = D3DSWAPEFFECT_COPY;
    params.hDeviceWindow = window;
    params.EnableAutoDepthStencil = TRUE;
    params.AutoDepthStencilFormat = D3DFMT_D16;
    IDirect3DDevice8* device = nullptr;
    ASSERT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, window, 0x50, &params, &device), D3D_OK);
    for (int frame = 0; frame < 3; ++frame) {
        ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xff2040c0, 1.0f, 0), D3D_OK);
        ASSERT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    }
    EXPECT_EQ(runtime::PresentedFrames(), 3u);
    // Presenting drew into the window, not into the offscreen target.
    EXPECT_EQ(PixelAt(device, 400, 300), 0x2040c0u);
    // Drawing after a present still lands in the offscreen target.
    ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xff00ff00, 1.0f, 0), D3D_OK);
    EXPECT_EQ(PixelAt(device, 10, 10), 0x00ff00u);
    // The host's marks over the shown picture (a white strip over its bottom
    // half) and a hidden present leave the offscreen picture alone, and the
    // hidden present still counts.
    d3d8_host::SetOverlay({{0, 300, 800, 300, 0xffffff}}, 800, 600);
    ASSERT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    d3d8_host::HidePresents(true);
    ASSERT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    d3d8_host::HidePresents(false);
    d3d8_host::SetOverlay({}, 800, 600);
    EXPECT_EQ(runtime::PresentedFrames(), 5u);
    EXPECT_EQ(PixelAt(device, 400, 450), 0x00ff00u);
    EXPECT_EQ(device->Release(), 0u);
    d3d->Release();
}

}  // namespace
