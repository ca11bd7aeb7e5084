// The settings behind d3d8_testing.h, read by the stand-in's objects, and the
// once-only warning for what the stand-in does not emulate.
#pragma once

#include <d3d8.h>

#include <cstddef>
#include <vector>

namespace d3d8_hooks {

struct Settings {
    UINT adapterCount = 1;
    std::vector<D3DDISPLAYMODE> modes;
    bool depth16 = true;
    DWORD devCaps = 0;
    bool failCreate = false;
    bool failGetDeviceCaps = false;
    bool failCreateDevice = false;
    bool failCreateTexture = false;
    bool failCreateVertexBuffer = false;
    bool failCreateIndexBuffer = false;
    bool failVertexBufferLock = false;
    bool failIndexBufferLock = false;
    HRESULT lostState = D3D_OK;
};

Settings& Current();

// Counters of live objects, kept by the objects themselves.
extern size_t liveDevices;
extern size_t liveResources;

}  // namespace d3d8_hooks

namespace d3d8_warn {

// Prints "d3d8: <what> is not supported" on stderr the first time a given
// text is seen; the stand-in calls it for any state, value or call it does not
// emulate, so that nothing is drawn silently wrong. printf-style.
void Unsupported(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Texts warned about so far (tests).
size_t Count();

}  // namespace d3d8_warn
