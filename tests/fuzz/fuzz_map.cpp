// Fuzz target: the ".map" terrain loader of E_Scape, on the headless device.
// Whatever the bytes, Init either reports the unreadable map (the one marker
// text) or builds a landscape (the first few of which are drawn).
#include "E_Scape.h"
#include "FuzzFiles.h"
#include "SharedDevice.h"

#include "runtime.h"

#include <d3d8.h>

#include <cstdlib>

namespace {

IDirect3DDevice8* MakeDevice()
{
    runtime::ResetForTesting();  // headless
    IDirect3D8* d3d = Direct3DCreate8(D3D_SDK_VERSION);
    if (!d3d) return nullptr;
    D3DPRESENT_PARAMETERS params{};
    params.BackBufferWidth = 64;
    params.BackBufferHeight = 48;
    params.BackBufferFormat = D3DFMT_X8R8G8B8;
    params.SwapEffect = D3DSWAPEFFECT_COPY;
    params.EnableAutoDepthStencil = TRUE;
    params.AutoDepthStencilFormat = D3DFMT_D16;
    IDirect3DDevice8* device = nullptr;
    d3d->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, D3DCREATE_SOFTWARE_VERTEXPROCESSING, &params, &device);
    d3d->Release();
    return device;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static IDirect3DDevice8* device = MakeDevice();
    if (!device) std::abort();
    g_device = device;
    const std::string path = fuzz::WriteInput("terrain.map", data, size);
    E_Scape scape;
    const char* message = scape.Init(path.c_str(), 4);
    if (size < 4096) {
        if (message != E_Scape::terrFile) __builtin_trap();
        return 0;
    }
    if (message) __builtin_trap();
    // Drawing is left to the first inputs only: the renderer is slow, and the
    // landscape's buffers, once built, draw alike whatever their heights.
    static int drawn = 0;
    if (drawn < 16) {
        ++drawn;
        device->BeginScene();
        if (scape.Render(nullptr, D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(0, 20, -40))) __builtin_trap();
        device->EndScene();
    }
    return 0;
}
