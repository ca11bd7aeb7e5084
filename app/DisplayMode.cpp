// The display-mode choice: the 800 by 600 mode of adapter 0 that can have a
// 16-bit depth buffer, preferring the lowest D3DFORMAT value.
#include "Shell.h"
#include "Show.h"

int ChooseDisplayMode(D3DDISPLAYMODE& chosen)
{
    const UINT count = g_direct3d->GetAdapterModeCount(0);
    bool found = false;
    D3DDISPLAYMODE best = {};
    for (int index = static_cast<int>(count) - 1;; --index) {
        D3DDISPLAYMODE mode;
        // The first call is made with count - 1 even when count is 0, so an
        // adapter without modes fails here.
        if (FAILED(g_direct3d->EnumAdapterModes(0, static_cast<UINT>(index), &mode))) return 1;
        if (mode.Width == show::kBackBufferWidth && mode.Height == show::kBackBufferHeight &&
            SUCCEEDED(g_direct3d->CheckDeviceType(0, D3DDEVTYPE_HAL, mode.Format, mode.Format, TRUE)) &&
            SUCCEEDED(g_direct3d->CheckDeviceFormat(0, D3DDEVTYPE_HAL, mode.Format, D3DUSAGE_DEPTHSTENCIL,
                                                    D3DRTYPE_SURFACE, D3DFMT_D16)) &&
            SUCCEEDED(g_direct3d->CheckDepthStencilMatch(0, D3DDEVTYPE_HAL, mode.Format, mode.Format, D3DFMT_D16))) {
            if (!found || static_cast<int>(mode.Format) < static_cast<int>(best.Format)) {
                found = true;
                best = mode;
            }
        }
        if (index <= 0) break;
    }
    if (!found) return 2;
    chosen = best;
    return 0;
}

