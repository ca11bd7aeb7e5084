// IDirect3D8: the adapters, their display modes and capabilities, device
// creation, and the test controls of d3d8_testing.h. One adapter by default,
// with the modes of a typical card, 16-bit depth and hardware transform and
// lighting.
#include "Device.h"
#include "GlBackend.h"
#include "Hooks.h"

#include "call_log.h"
#include "d3d8_testing.h"

#include <cstdarg>
#include <cstdio>
#include <set>
#include <string>

namespace d3d8_hooks {

size_t liveDevices = 0;
size_t liveResources = 0;

namespace {
constexpr DWORD kDefaultDevCaps = D3DDEVCAPS_HWTRANSFORMANDLIGHT | D3DDEVCAPS_PUREDEVICE;
}

Settings& Current()
{
    static Settings settings = [] {
        Settings s;
        s.modes = d3d8_testing::DefaultModes();
        s.devCaps = kDefaultDevCaps;
        return s;
    }();
    return settings;
}

}  // namespace d3d8_hooks

namespace d3d8_warn {

namespace {
std::set<std::string>& Seen()
{
    static std::set<std::string> seen;
    return seen;
}
}  // namespace

void Unsupported(const char* format, ...)
{
    char text[256];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof(text), format, args);
    va_end(args);
    if (Seen().insert(text).second) std::fprintf(stderr, "d3d8: %s is not supported\n", text);
}

size_t Count()
{
    return Seen().size();
}

}  // namespace d3d8_warn

namespace {

using d3d8_hooks::Current;

bool IsDisplayFormat(D3DFORMAT format)
{
    for (const D3DDISPLAYMODE& mode : Current().modes)
        if (mode.Format == format) return true;
    return false;
}

bool IsBackBufferFormatFor(D3DFORMAT display, D3DFORMAT backBuffer)
{
    return backBuffer == display || (display == D3DFMT_X8R8G8B8 && backBuffer == D3DFMT_A8R8G8B8) ||
           (display == D3DFMT_X1R5G5B5 && backBuffer == D3DFMT_A1R5G5B5);
}

class Direct3D8 final : public IDirect3D8 {
public:
    ULONG AddRef() override { return ++refs_; }

    ULONG Release() override
    {
        const ULONG left = --refs_;
        if (left == 0) {
            call_log::Record("IDirect3D8::Release");
            delete this;
        }
        return left;
    }

    UINT GetAdapterCount() override { return Current().adapterCount; }

    UINT GetAdapterModeCount(UINT adapter) override
    {
        return adapter < Current().adapterCount ? static_cast<UINT>(Current().modes.size()) : 0;
    }

    HRESULT EnumAdapterModes(UINT adapter, UINT mode, D3DDISPLAYMODE* pMode) override
    {
        if (adapter >= Current().adapterCount || mode >= Current().modes.size() || !pMode) return D3DERR_INVALIDCALL;
        *pMode = Current().modes[mode];
        return D3D_OK;
    }

    HRESULT CheckDeviceType(UINT adapter, D3DDEVTYPE type, D3DFORMAT displayFormat, D3DFORMAT backBufferFormat,
                            BOOL windowed) override
    {
        if (adapter >= Current().adapterCount) return D3DERR_INVALIDCALL;
        if (type != D3DDEVTYPE_HAL || !IsDisplayFormat(displayFormat)) return D3DERR_NOTAVAILABLE;
        return IsBackBufferFormatFor(displayFormat, backBufferFormat) ? D3D_OK : D3DERR_NOTAVAILABLE;
    }

    HRESULT CheckDeviceFormat(UINT adapter, D3DDEVTYPE type, D3DFORMAT adapterFormat, DWORD usage,
                              D3DRESOURCETYPE resourceType, D3DFORMAT checkFormat) override
    {
        if (adapter >= Current().adapterCount) return D3DERR_INVALIDCALL;
        if (type != D3DDEVTYPE_HAL || !IsDisplayFormat(adapterFormat)) return D3DERR_NOTAVAILABLE;
        if (usage & D3DUSAGE_DEPTHSTENCIL) {
            const bool depth16 = checkFormat == D3DFMT_D16 || checkFormat == D3DFMT_D16_LOCKABLE;
            return resourceType == D3DRTYPE_SURFACE && depth16 && Current().depth16 ? D3D_OK : D3DERR_NOTAVAILABLE;
        }
        if (usage & D3DUSAGE_RENDERTARGET) return D3DERR_NOTAVAILABLE;
        if (resourceType == D3DRTYPE_TEXTURE || resourceType == D3DRTYPE_SURFACE)
            return gl_backend::TextureFormatSupported(checkFormat) ? D3D_OK : D3DERR_NOTAVAILABLE;
        return D3DERR_NOTAVAILABLE;
    }

    HRESULT CheckDepthStencilMatch(UINT adapter, D3DDEVTYPE type, D3DFORMAT adapterFormat,
                                   D3DFORMAT renderTargetFormat, D3DFORMAT depthStencilFormat) override
    {
        if (adapter >= Current().adapterCount) return D3DERR_INVALIDCALL;
        if (type != D3DDEVTYPE_HAL || !IsDisplayFormat(adapterFormat)) return D3DERR_NOTAVAILABLE;
        if (!IsBackBufferFormatFor(adapterFormat, renderTargetFormat)) return D3DERR_NOTAVAILABLE;
        const bool depth16 = depthStencilFormat == D3DFMT_D16 || depthStencilFormat == D3DFMT_D16_LOCKABLE;
        return depth16 && Current().depth16 ? D3D_OK : D3DERR_NOTAVAILABLE;
    }

    HRESULT GetDeviceCaps(UINT adapter, D3DDEVTYPE type, D3DCAPS8* pCaps) override
    {
        if (adapter >= Current().adapterCount || !pCaps) return D3DERR_INVALIDCALL;
        if (type != D3DDEVTYPE_HAL || Current().failGetDeviceCaps) return D3DERR_NOTAVAILABLE;
        *pCaps = D3DCAPS8{};
        pCaps->DeviceType = D3DDEVTYPE_HAL;
        pCaps->AdapterOrdinal = adapter;
        pCaps->PresentationIntervals = D3DPRESENT_INTERVAL_IMMEDIATE | D3DPRESENT_INTERVAL_ONE;
        pCaps->DevCaps = Current().devCaps;
        pCaps->MaxTextureWidth = 4096;
        pCaps->MaxTextureHeight = 4096;
        pCaps->MaxTextureAspectRatio = 4096;
        pCaps->MaxTextureBlendStages = fixed_function::kMaxStages;
        pCaps->MaxSimultaneousTextures = fixed_function::kMaxStages;
        pCaps->MaxActiveLights = fixed_function::kMaxLights;
        pCaps->MaxPointSize = 1.0f;
        pCaps->MaxPrimitiveCount = d3d8_device::kMaxPrimitiveCount;
        pCaps->MaxVertexIndex = 0xFFFFFF;
        pCaps->MaxStreams = 1;
        pCaps->MaxStreamStride = 255;
        pCaps->MaxVertexW = 1e10f;
        return D3D_OK;
    }

    HRESULT CreateDevice(UINT adapter, D3DDEVTYPE type, HWND focusWindow, DWORD behaviourFlags,
                         D3DPRESENT_PARAMETERS* params, IDirect3DDevice8** ppDevice) override
    {
        call_log::Record("CreateDevice");
        if (!ppDevice) return D3DERR_INVALIDCALL;
        *ppDevice = nullptr;
        if (adapter >= Current().adapterCount || !params) return D3DERR_INVALIDCALL;
        if (type != D3DDEVTYPE_HAL || Current().failCreateDevice) return D3DERR_NOTAVAILABLE;
        if (params->EnableAutoDepthStencil && !(Current().depth16 && (params->AutoDepthStencilFormat == D3DFMT_D16 ||
                                                                      params->AutoDepthStencilFormat ==
                                                                          D3DFMT_D16_LOCKABLE)))
            return D3DERR_NOTAVAILABLE;
        return d3d8_device::Create(focusWindow, behaviourFlags, *params, ppDevice);
    }

private:
    ULONG refs_ = 1;
};

}  // namespace

IDirect3D8* WINAPI Direct3DCreate8(UINT SDKVersion)
{
    call_log::Record("Direct3DCreate8");
    if (SDKVersion != D3D_SDK_VERSION || Current().failCreate) return nullptr;
    return new Direct3D8();
}

namespace d3d8_testing {

std::vector<D3DDISPLAYMODE> DefaultModes()
{
    // Grouped by format, then by size, each size at the rates a CRT-era
    // card offers, as drivers list them.
    std::vector<D3DDISPLAYMODE> modes;
    const D3DFORMAT formats[] = {D3DFMT_R5G6B5, D3DFMT_X8R8G8B8};
    const UINT sizes[][2] = {{640, 480}, {800, 600}, {1024, 768}, {1280, 1024}};
    const UINT rates[] = {60, 70, 72, 75, 85};
    for (D3DFORMAT format : formats)
        for (const auto& size : sizes)
            for (UINT rate : rates) {
                if (size[0] == 1280 && rate > 75) continue;
                modes.push_back({size[0], size[1], rate, format});
            }
    return modes;
}

void SetAdapterCount(UINT count) { Current().adapterCount = count; }
void SetModes(const std::vector<D3DDISPLAYMODE>& modes) { Current().modes = modes; }
void SetDepth16Supported(bool supported) { Current().depth16 = supported; }
void SetDevCaps(DWORD devCaps) { Current().devCaps = devCaps; }
void FailDirect3DCreate(bool fail) { Current().failCreate = fail; }
void FailGetDeviceCaps(bool fail) { Current().failGetDeviceCaps = fail; }
void FailCreateDevice(bool fail) { Current().failCreateDevice = fail; }
void FailCreateTexture(bool fail) { Current().failCreateTexture = fail; }
void FailCreateVertexBuffer(bool fail) { Current().failCreateVertexBuffer = fail; }
void FailCreateIndexBuffer(bool fail) { Current().failCreateIndexBuffer = fail; }
void FailVertexBufferLock(bool fail) { Current().failVertexBufferLock = fail; }
void FailIndexBufferLock(bool fail) { Current().failIndexBufferLock = fail; }

void FailBufferLock(bool fail)
{
    Current().failVertexBufferLock = fail;
    Current().failIndexBufferLock = fail;
}

void SetDeviceLost(HRESULT cooperativeLevel) { Current().lostState = cooperativeLevel; }

size_t LiveDevices() { return d3d8_hooks::liveDevices; }
size_t LiveResources() { return d3d8_hooks::liveResources; }
size_t CompiledPrograms() { return gl_backend::ProgramCount(); }
size_t FramesInFlight() { return gl_backend::FramesInFlight(); }

void Reset()
{
    d3d8_hooks::Settings& settings = Current();
    settings = d3d8_hooks::Settings{};
    settings.modes = DefaultModes();
    settings.devCaps = d3d8_hooks::kDefaultDevCaps;
}

}  // namespace d3d8_testing
