// The Direct3D object: creation, adapters, display modes, format checks,
// capabilities and device creation, each test control of d3d8_testing.h,
// the lost-device protocol and the call log of the calls whose order matters.
#include "TestDevice.h"

#include "call_log.h"
#include "d3d8_testing.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

class AdapterTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        d3d8_testing::Reset();
        call_log::Take();
        d3d = Direct3DCreate8(D3D_SDK_VERSION);
        ASSERT_NE(d3d, nullptr);
    }
    void TearDown() override
    {
        if (d3d) d3d->Release();
        d3d8_testing::Reset();
    }
    D3DPRESENT_PARAMETERS ShellParameters(D3DFORMAT format = D3DFMT_X8R8G8B8)
    {
        D3DPRESENT_PARAMETERS p{};
        p.BackBufferWidth = 800;
        p.BackBufferHeight = 600;
        p.BackBufferFormat = format;
        p.SwapEffect = D3DSWAPEFFECT_COPY;
        p.EnableAutoDepthStencil = TRUE;
        p.AutoDepthStencilFormat = D3DFMT_D16;
        p.FullScreen_PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
        return p;
    }
    std::vector<D3DDISPLAYMODE> Modes(UINT adapter = 0)
    {
        std::vector<D3DDISPLAYMODE> modes;
        const UINT count = d3d->GetAdapterModeCount(adapter);
        for (UINT i = 0; i < count; ++i) {
            D3DDISPLAYMODE mode{};
            EXPECT_EQ(d3d->EnumAdapterModes(adapter, i, &mode), D3D_OK);
            modes.push_back(mode);
        }
        return modes;
    }
    IDirect3D8* d3d = nullptr;
};

// --- Creation and adapters ----------------------------------------------------

TEST(Direct3DCreateTest, OnlyTheDirectX8SdkVersionIsAccepted)
{
    d3d8_testing::Reset();
    EXPECT_EQ(Direct3DCreate8(119), nullptr);
    IDirect3D8* d3d = Direct3DCreate8(120);
    ASSERT_NE(d3d, nullptr);
    EXPECT_EQ(d3d->AddRef(), 2u);
    EXPECT_EQ(d3d->Release(), 1u);
    EXPECT_EQ(d3d->Release(), 0u);
}

TEST(Direct3DCreateTest, FailureHookMakesCreationReturnNull)
{
    d3d8_testing::Reset();
    d3d8_testing::FailDirect3DCreate(true);
    EXPECT_EQ(Direct3DCreate8(D3D_SDK_VERSION), nullptr);
    d3d8_testing::Reset();
    IDirect3D8* d3d = Direct3DCreate8(D3D_SDK_VERSION);
    ASSERT_NE(d3d, nullptr);
    d3d->Release();
}

TEST_F(AdapterTest, OneAdapterByDefaultAndMoreOnRequest)
{
    EXPECT_EQ(d3d->GetAdapterCount(), 1u);
    d3d8_testing::SetAdapterCount(2);
    EXPECT_EQ(d3d->GetAdapterCount(), 2u);
    EXPECT_GT(d3d->GetAdapterModeCount(1), 0u);
    EXPECT_EQ(d3d->GetAdapterModeCount(2), 0u);
}

TEST_F(AdapterTest, DefaultModesOffer800By600InBothFormatsAtSeveralRates)
{
    const std::vector<D3DDISPLAYMODE> modes = Modes();
    for (D3DFORMAT format : {D3DFMT_X8R8G8B8, D3DFMT_R5G6B5}) {
        std::vector<UINT> rates;
        for (const D3DDISPLAYMODE& m : modes)
            if (m.Width == 800 && m.Height == 600 && m.Format == format) rates.push_back(m.RefreshRate);
        EXPECT_GE(rates.size(), 3u) << "format " << format;
        std::sort(rates.begin(), rates.end());
        EXPECT_EQ(std::unique(rates.begin(), rates.end()), rates.end()) << "a rate listed twice";
    }
    // Other sizes too.
    EXPECT_TRUE(std::any_of(modes.begin(), modes.end(), [](const D3DDISPLAYMODE& m) { return m.Width == 1024; }));
    EXPECT_TRUE(std::any_of(modes.begin(), modes.end(), [](const D3DDISPLAYMODE& m) { return m.Width == 640; }));
}

TEST_F(AdapterTest, EnumeratingPastTheEndFails)
{
    D3DDISPLAYMODE mode{};
    const UINT count = d3d->GetAdapterModeCount(0);
    EXPECT_EQ(d3d->EnumAdapterModes(0, count, &mode), D3DERR_INVALIDCALL);
    EXPECT_EQ(d3d->EnumAdapterModes(1, 0, &mode), D3DERR_INVALIDCALL);
    EXPECT_EQ(d3d->EnumAdapterModes(0, 0, nullptr), D3DERR_INVALIDCALL);
}

TEST_F(AdapterTest, AnotherModeListIsReportedInItsOrder)
{
    const std::vector<D3DDISPLAYMODE> list = {{800, 600, 60, D3DFMT_R5G6B5}, {800, 600, 75, D3DFMT_A8R8G8B8}};
    d3d8_testing::SetModes(list);
    const std::vector<D3DDISPLAYMODE> modes = Modes();
    ASSERT_EQ(modes.size(), 2u);
    EXPECT_EQ(modes[1].RefreshRate, 75u);
    EXPECT_EQ(modes[1].Format, D3DFMT_A8R8G8B8);
    // The formats of the list are the display formats the checks accept.
    EXPECT_EQ(d3d->CheckDeviceType(0, D3DDEVTYPE_HAL, D3DFMT_A8R8G8B8, D3DFMT_A8R8G8B8, TRUE), D3D_OK);
    EXPECT_EQ(d3d->CheckDeviceType(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, D3DFMT_X8R8G8B8, TRUE), D3DERR_NOTAVAILABLE);
    d3d8_testing::SetModes({});
    EXPECT_EQ(d3d->GetAdapterModeCount(0), 0u);
    D3DDISPLAYMODE mode{};
    EXPECT_EQ(d3d->EnumAdapterModes(0, static_cast<UINT>(-1), &mode), D3DERR_INVALIDCALL);
}

// --- Format checks -----------------------------------------------------------

TEST_F(AdapterTest, DeviceTypeChecksAcceptHalWithMatchingFormats)
{
    EXPECT_EQ(d3d->CheckDeviceType(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, D3DFMT_X8R8G8B8, TRUE), D3D_OK);
    EXPECT_EQ(d3d->CheckDeviceType(0, D3DDEVTYPE_HAL, D3DFMT_R5G6B5, D3DFMT_R5G6B5, FALSE), D3D_OK);
    EXPECT_EQ(d3d->CheckDeviceType(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, D3DFMT_A8R8G8B8, FALSE), D3D_OK);
    EXPECT_EQ(d3d->CheckDeviceType(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, D3DFMT_R5G6B5, TRUE), D3DERR_NOTAVAILABLE);
    EXPECT_EQ(d3d->CheckDeviceType(0, D3DDEVTYPE_REF, D3DFMT_X8R8G8B8, D3DFMT_X8R8G8B8, TRUE), D3DERR_NOTAVAILABLE);
    EXPECT_EQ(d3d->CheckDeviceType(0, D3DDEVTYPE_HAL, D3DFMT_P8, D3DFMT_P8, TRUE), D3DERR_NOTAVAILABLE);
    EXPECT_EQ(d3d->CheckDeviceType(3, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, D3DFMT_X8R8G8B8, TRUE), D3DERR_INVALIDCALL);
}

TEST_F(AdapterTest, Depth16IsOfferedUnlessSwitchedOff)
{
    for (D3DFORMAT format : {D3DFMT_X8R8G8B8, D3DFMT_R5G6B5}) {
        EXPECT_EQ(d3d->CheckDeviceFormat(0, D3DDEVTYPE_HAL, format, D3DUSAGE_DEPTHSTENCIL, D3DRTYPE_SURFACE, D3DFMT_D16),
                  D3D_OK);
        EXPECT_EQ(d3d->CheckDepthStencilMatch(0, D3DDEVTYPE_HAL, format, format, D3DFMT_D16), D3D_OK);
    }
    // Only 16-bit depth exists.
    EXPECT_EQ(d3d->CheckDeviceFormat(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, D3DUSAGE_DEPTHSTENCIL, D3DRTYPE_SURFACE,
                                     D3DFMT_D24S8),
              D3DERR_NOTAVAILABLE);
    d3d8_testing::SetDepth16Supported(false);
    EXPECT_EQ(d3d->CheckDeviceFormat(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, D3DUSAGE_DEPTHSTENCIL, D3DRTYPE_SURFACE,
                                     D3DFMT_D16),
              D3DERR_NOTAVAILABLE);
    EXPECT_EQ(d3d->CheckDepthStencilMatch(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, D3DFMT_X8R8G8B8, D3DFMT_D16),
              D3DERR_NOTAVAILABLE);
    D3DPRESENT_PARAMETERS params = ShellParameters();
    IDirect3DDevice8* device = nullptr;
    EXPECT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, D3DCREATE_HARDWARE_VERTEXPROCESSING, &params, &device),
              D3DERR_NOTAVAILABLE);
    EXPECT_EQ(device, nullptr);
}

TEST_F(AdapterTest, TextureFormatsTheDeviceCanCreate)
{
    for (D3DFORMAT format : {D3DFMT_A8R8G8B8, D3DFMT_X8R8G8B8, D3DFMT_R5G6B5, D3DFMT_A1R5G5B5, D3DFMT_A4R4G4B4})
        EXPECT_EQ(d3d->CheckDeviceFormat(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, 0, D3DRTYPE_TEXTURE, format), D3D_OK)
            << "format " << format;
    EXPECT_EQ(d3d->CheckDeviceFormat(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, 0, D3DRTYPE_TEXTURE, D3DFMT_P8),
              D3DERR_NOTAVAILABLE);
}

// --- Capabilities -------------------------------------------------------------

TEST_F(AdapterTest, CapsReportHardwareTransformAndLightingOnAPureDevice)
{
    D3DCAPS8 caps{};
    ASSERT_EQ(d3d->GetDeviceCaps(0, D3DDEVTYPE_HAL, &caps), D3D_OK);
    EXPECT_EQ(caps.DeviceType, D3DDEVTYPE_HAL);
    EXPECT_NE(caps.DevCaps & D3DDEVCAPS_HWTRANSFORMANDLIGHT, 0u);
    EXPECT_NE(caps.DevCaps & D3DDEVCAPS_PUREDEVICE, 0u);
    EXPECT_GE(caps.MaxActiveLights, 1u);
    EXPECT_GE(caps.MaxTextureWidth, 256u);
    EXPECT_NE(caps.PresentationIntervals & D3DPRESENT_INTERVAL_IMMEDIATE, 0u);
}

TEST_F(AdapterTest, CapsHooksChangeOrFailTheReport)
{
    d3d8_testing::SetDevCaps(D3DDEVCAPS_HWTRANSFORMANDLIGHT);
    D3DCAPS8 caps{};
    ASSERT_EQ(d3d->GetDeviceCaps(0, D3DDEVTYPE_HAL, &caps), D3D_OK);
    EXPECT_EQ(caps.DevCaps, static_cast<DWORD>(D3DDEVCAPS_HWTRANSFORMANDLIGHT));
    d3d8_testing::FailGetDeviceCaps(true);
    EXPECT_NE(d3d->GetDeviceCaps(0, D3DDEVTYPE_HAL, &caps), D3D_OK);
    EXPECT_EQ(d3d->GetDeviceCaps(0, D3DDEVTYPE_HAL, nullptr), D3DERR_INVALIDCALL);
}

// --- Device creation ------------------------------------------------------------

TEST_F(AdapterTest, CreateDeviceFillsInTheBackBufferCount)
{
    D3DPRESENT_PARAMETERS params = ShellParameters();
    IDirect3DDevice8* device = nullptr;
    ASSERT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, 0x50, &params, &device), D3D_OK);
    ASSERT_NE(device, nullptr);
    EXPECT_EQ(params.BackBufferCount, 1u);
    EXPECT_EQ(params.BackBufferWidth, 800u);
    EXPECT_EQ(device->TestCooperativeLevel(), D3D_OK);
    EXPECT_EQ(device->Release(), 0u);
}

TEST_F(AdapterTest, CreateDeviceRefusesBadArgumentsAndTheFailureHook)
{
    D3DPRESENT_PARAMETERS params = ShellParameters();
    IDirect3DDevice8* device = reinterpret_cast<IDirect3DDevice8*>(1);
    EXPECT_EQ(d3d->CreateDevice(1, D3DDEVTYPE_HAL, nullptr, 0x50, &params, &device), D3DERR_INVALIDCALL);
    EXPECT_EQ(device, nullptr);
    EXPECT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, 0x50, nullptr, &device), D3DERR_INVALIDCALL);
    EXPECT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_REF, nullptr, 0x50, &params, &device), D3DERR_NOTAVAILABLE);
    params.AutoDepthStencilFormat = D3DFMT_D24S8;
    EXPECT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, 0x50, &params, &device), D3DERR_NOTAVAILABLE);
    params = ShellParameters();
    d3d8_testing::FailCreateDevice(true);
    EXPECT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, 0x50, &params, &device), D3DERR_NOTAVAILABLE);
    EXPECT_EQ(device, nullptr);
    EXPECT_EQ(d3d8_testing::LiveDevices(), 0u);
}

TEST_F(AdapterTest, ResetPutsEveryControlBack)
{
    d3d8_testing::SetAdapterCount(3);
    d3d8_testing::SetModes({{640, 480, 60, D3DFMT_R5G6B5}});
    d3d8_testing::SetDepth16Supported(false);
    d3d8_testing::FailGetDeviceCaps(true);
    d3d8_testing::FailCreateDevice(true);
    d3d8_testing::SetDeviceLost(D3DERR_DEVICENOTRESET);
    d3d8_testing::Reset();
    EXPECT_EQ(d3d->GetAdapterCount(), 1u);
    EXPECT_EQ(d3d->GetAdapterModeCount(0), d3d8_testing::DefaultModes().size());
    EXPECT_EQ(d3d->CheckDepthStencilMatch(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, D3DFMT_X8R8G8B8, D3DFMT_D16), D3D_OK);
    D3DCAPS8 caps{};
    EXPECT_EQ(d3d->GetDeviceCaps(0, D3DDEVTYPE_HAL, &caps), D3D_OK);
    D3DPRESENT_PARAMETERS params = ShellParameters();
    IDirect3DDevice8* device = nullptr;
    ASSERT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, 0x50, &params, &device), D3D_OK);
    EXPECT_EQ(device->TestCooperativeLevel(), D3D_OK);
    device->Release();
}

// --- Lost device ------------------------------------------------------------------

TEST_F(AdapterTest, LostDeviceFailsPresentAndReportsItsState)
{
    D3DPRESENT_PARAMETERS params = ShellParameters();
    IDirect3DDevice8* device = nullptr;
    ASSERT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, 0x50, &params, &device), D3D_OK);
    EXPECT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);

    d3d8_testing::SetDeviceLost(D3DERR_DEVICELOST);
    EXPECT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3DERR_DEVICELOST);
    EXPECT_EQ(device->TestCooperativeLevel(), D3DERR_DEVICELOST);

    d3d8_testing::SetDeviceLost(D3DERR_DEVICENOTRESET);
    EXPECT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3DERR_DEVICELOST);
    EXPECT_EQ(device->TestCooperativeLevel(), D3DERR_DEVICENOTRESET);

    d3d8_testing::SetDeviceLost(D3D_OK);
    EXPECT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    EXPECT_EQ(device->Release(), 0u);
}

// --- Call log -------------------------------------------------------------------

// The calls of a short life of a device: start-up, one frame, shutdown.
void RunOneFrame()
{
    IDirect3D8* d3d = Direct3DCreate8(D3D_SDK_VERSION);
    ASSERT_NE(d3d, nullptr);
    D3DPRESENT_PARAMETERS params{};
    params.BackBufferWidth = 800;
    params.BackBufferHeight = 600;
    params.BackBufferFormat = D3DFMT_X8R8G8B8;
    params.EnableAutoDepthStencil = TRUE;
    params.AutoDepthStencilFormat = D3DFMT_D16;
    IDirect3DDevice8* device = nullptr;
    ASSERT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, 0x50, &params, &device), D3D_OK);
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
    device->BeginScene();
    device->EndScene();
    device->Present(nullptr, nullptr, nullptr, nullptr);
    device->AddRef();
    device->Release();  // not the last reference: not recorded
    device->Release();
    d3d->Release();
}

TEST(CallLogTest, StartUpFrameAndShutdownAreRecordedInOrder)
{
    d3d8_testing::Reset();
    call_log::Enable(true);
    call_log::Take();
    RunOneFrame();
    const std::vector<std::string> expected = {"Direct3DCreate8", "CreateDevice",  "Clear",
                                               "BeginScene",      "EndScene",      "Present",
                                               "IDirect3DDevice8::Release",        "IDirect3D8::Release"};
    EXPECT_EQ(call_log::Take(), expected);
}

TEST(CallLogTest, ARunThatNoTestRecordsLeavesTheLogEmpty)
{
    d3d8_testing::Reset();
    call_log::Enable(false);
    call_log::Take();
    RunOneFrame();
    EXPECT_TRUE(call_log::Take().empty());
    call_log::Enable(true);
}

}  // namespace
