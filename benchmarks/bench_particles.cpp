// Times the particle system's per-draw rebuild of 8000 sprites in each
// deformation mode, on the headless device (the vertex buffer lock and the
// upload included, the draw too since it is part of every Render).
#include "E_Particles.h"
#include "Mesh.h"
#include "SceneData.h"
#include "Shell.h"
#include "TestDevice.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <vector>

namespace {

struct Fixture {
    Fixture()
    {
        g_device = CreateTestDevice(800, 600);
        const std::filesystem::path dir = scene_data::FreshFolder("bench");
        scene_data::WriteBallMesh(dir / "ball.msh", 8000, 133.3f);
        mesh.Load((dir / "ball.msh").c_str(), 0.0075f);
        std::filesystem::remove_all(dir);
        particles.Init();
        particles.SetMesh(&mesh);
    }
    Mesh mesh;
    E_Particles particles;
};

Fixture& Shared()
{
    static Fixture fixture;
    return fixture;
}

void RenderEightThousand(benchmark::State& state)
{
    Fixture& f = Shared();
    f.particles.SetDeformMode(static_cast<int>(state.range(0)));
    int t = 0;
    for (auto _ : state) {
        f.particles.SetRotationX(0.0001f * t);
        const char* message = f.particles.Render(nullptr, t, D3DXVECTOR3(2, 2, 13), D3DXCOLOR(0.25f, 0.25f, 0.25f, 0.25f));
        benchmark::DoNotOptimize(message);
        t += 16;
    }
    state.SetItemsProcessed(state.iterations() * 8000);
}
BENCHMARK(RenderEightThousand)->Arg(0)->Arg(1)->Arg(2)->Arg(3)->Unit(benchmark::kMicrosecond);

void RebuildEightThousand(benchmark::State& state)
{
    // The processor's part of every draw: 8000 sprites deformed, rotated and
    // placed into memory, without the device.
    const Mesh& mesh = Shared().mesh;
    const int mode = static_cast<int>(state.range(0));
    std::vector<unsigned char> vertices(8000 * 4 * 24);
    std::vector<D3DXVECTOR3> points(8000);
    D3DXMATRIX rotation;
    int t = 0;
    for (auto _ : state) {
        D3DXMatrixRotationX(&rotation, 0.0001f * t);
        DeformParticles(mesh, mode, t, points.data());
        BuildParticleQuads(points.data(), mesh.vertexCount, rotation, D3DXVECTOR3(2, 2, 13), 0x40404040,
                           vertices.data());
        benchmark::DoNotOptimize(vertices.data());
        t += 16;
    }
    state.SetItemsProcessed(state.iterations() * 8000);
}
BENCHMARK(RebuildEightThousand)->Arg(0)->Arg(1)->Arg(2)->Arg(3)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
