// Test-only controls of the Direct3D stand-in: other adapters and mode lists,
// missing depth support, calls that fail, a lost device, and counts of live
// objects. The system never sees this header.
#pragma once

#include <d3d8.h>

#include <cstddef>
#include <vector>

namespace d3d8_testing {

// The modes the adapter offers unless told otherwise: 640x480 to 1280x1024 in
// R5G6B5 and X8R8G8B8, 800x600 at several refresh rates.
std::vector<D3DDISPLAYMODE> DefaultModes();

void SetAdapterCount(UINT count);
// Every adapter then offers exactly these modes, in this order; display
// formats are the formats that occur in the list.
void SetModes(const std::vector<D3DDISPLAYMODE>& modes);
// Whether D3DFMT_D16 depth buffers are offered (CheckDeviceFormat and
// CheckDepthStencilMatch, and CreateDevice with an automatic D16 buffer).
void SetDepth16Supported(bool supported);
// The DevCaps that GetDeviceCaps reports.
void SetDevCaps(DWORD devCaps);

// While set, the call fails: Direct3DCreate8 returns null, the others an
// error HRESULT and nothing is created.
void FailDirect3DCreate(bool fail);
void FailGetDeviceCaps(bool fail);
void FailCreateDevice(bool fail);
void FailCreateTexture(bool fail);
void FailCreateVertexBuffer(bool fail);
void FailCreateIndexBuffer(bool fail);
void FailVertexBufferLock(bool fail);
void FailIndexBufferLock(bool fail);
void FailBufferLock(bool fail);  // both kinds

// Makes every device lost: Present then returns D3DERR_DEVICELOST and shows
// nothing, TestCooperativeLevel returns `cooperativeLevel`
// (D3DERR_DEVICELOST or D3DERR_DEVICENOTRESET). D3D_OK ends the loss.
void SetDeviceLost(HRESULT cooperativeLevel);

// Objects alive now: devices (until their last reference, internal ones of
// their resources included) and resources (textures, vertex and index buffers).
size_t LiveDevices();
size_t LiveResources();
// Fixed-function programs compiled in this process so far.
size_t CompiledPrograms();
// Presented frames the renderer has not been seen to finish yet.
size_t FramesInFlight();

// Puts every control above back to its default.
void Reset();

}  // namespace d3d8_testing
