// The fill rate that bounds the show's frame rate on this machine: layers of
// full-screen textured quads added onto each other, the kind of pixel the
// particle clouds and flashes fill, at 800x600 and 1600x1200 on the headless
// device, counting only frames the renderer has finished. scripts/bench.sh
// divides it by each scene's pixels a frame.
#include "EffectTesting.h"
#include "Quads.h"
#include "SharedDevice.h"
#include "TestDevice.h"

#include "runtime.h"

#include <benchmark/benchmark.h>

#include <cstdio>

namespace {

constexpr int kLayers = 16;

void AdditiveFill(benchmark::State& state)
{
    runtime::ResetForTesting();
    const UINT width = static_cast<UINT>(state.range(0)), height = static_cast<UINT>(state.range(1));
    g_device = CreateTestDevice(width, height);
    if (!g_device) {
        state.SkipWithError("no headless device");
        return;
    }
    // A soft sprite like the particles', dim so that the sum stays below white.
    IDirect3DTexture8* sprite = MakeTexture(g_device, 64, 64, [](UINT x, UINT y) {
        const int dx = static_cast<int>(x) - 32, dy = static_cast<int>(y) - 32;
        const uint32_t v = static_cast<uint32_t>(dx * dx + dy * dy < 1024 ? 12 : 4);
        return 0xFF000000u | v << 16 | v << 8 | v;
    });
    const D3DXCOLOR white(1.0f, 1.0f, 1.0f, 1.0f);
    for (auto _ : state) {
        g_device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
        g_device->BeginScene();
        for (int layer = 0; layer < kLayers; ++layer)
            DrawOverlayQuad(sprite, 800.0f, 600.0f, 0.0f, 0.0f, 800.0f, 600.0f, white, true, false);
        g_device->EndScene();
        // At most two frames stay in flight: the loop runs at the rate of finished frames.
        g_device->Present(nullptr, nullptr, nullptr, nullptr);
    }
    state.SetItemsProcessed(state.iterations() * kLayers * static_cast<int64_t>(width) * height);
    sprite->Release();
    g_device->Release();
    g_device = nullptr;
}
BENCHMARK(AdditiveFill)->Args({800, 600})->Args({1600, 1200})->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
