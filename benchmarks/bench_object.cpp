// Times the processor's part of the per-frame work of the mesh object and
// the two ray-cast backdrops: the object's rebuild of the ball mesh
// Data/Bol.msh (7842 vertices) in each deformation mode, and the 4941 rays
// of the planes and of the tunnel (with and without its wobble). Run it from
// a folder that holds the generated Data/; without the ball the object's
// cases are skipped.
#include "E_Object.h"
#include "E_Planes.h"
#include "E_Tunnel.h"
#include "Mesh.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace {

const Mesh* Ball()
{
    static Mesh mesh;
    static const bool loaded = mesh.Load("Data\\Bol.msh", 0.0045f);
    return loaded ? &mesh : nullptr;
}

void RebuildBall(benchmark::State& state)
{
    const Mesh* ball = Ball();
    if (!ball) {
        state.SkipWithError("Data/Bol.msh is missing: run from a folder with the generated content");
        return;
    }
    const int mode = static_cast<int>(state.range(0));
    std::vector<ObjectVertex> vertices(ball->vertexCount);
    int t = 0;
    for (auto _ : state) {
        BuildObjectVertices(*ball, mode, t, vertices.data());
        benchmark::DoNotOptimize(vertices.data());
        t += 16;
    }
    state.SetItemsProcessed(state.iterations() * ball->vertexCount);
}
BENCHMARK(RebuildBall)->Arg(0)->Arg(1)->Arg(2)->Arg(3)->Arg(4)->Unit(benchmark::kMicrosecond);

struct Grid {
    float u[kRayGridPoints];
    float v[kRayGridPoints];
    uint8_t shade[kRayGridPoints];
};

void CastPlanes(benchmark::State& state)
{
    Grid grid;
    int t = 0;
    for (auto _ : state) {
        const D3DXMATRIX rotation = RotationXYZ(0.0f, 0.0001234f * t, 0.0f);
        CastPlaneRays(rotation, t, true, true, D3DXVECTOR3(0.0f, -4000.0f, 0.0f), grid.u, grid.v, grid.shade);
        benchmark::DoNotOptimize(grid.shade);
        t += 16;
    }
    state.SetItemsProcessed(state.iterations() * kRayGridPoints);
}
BENCHMARK(CastPlanes)->Unit(benchmark::kMicrosecond);

void CastTunnel(benchmark::State& state)
{
    const bool wobble = state.range(0) != 0;
    Grid grid;
    int t = 0;
    for (auto _ : state) {
        const float angle = 0.0003f * t;
        const D3DXMATRIX rotation = RotationXYZ(angle, angle, angle);
        CastTunnelRays(rotation, t, wobble, true, D3DXVECTOR3(0.0f, 1.5f, 1.0f), grid.u, grid.v, grid.shade);
        benchmark::DoNotOptimize(grid.shade);
        t += 16;
    }
    state.SetItemsProcessed(state.iterations() * kRayGridPoints);
}
BENCHMARK(CastTunnel)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
