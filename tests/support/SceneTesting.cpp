// The shared set-up of the scene tests (see SceneTesting.h).
#include "SceneTesting.h"

#include "MeshWriter.h"
#include "SceneData.h"
#include "runtime.h"

#include <cmath>
#include <fstream>

namespace fs = std::filesystem;

void SceneTest::SetUp()
{
    ShellDeviceTest::SetUp();
    // A millisecond a frame: the tests set the scene clock to any whole millisecond.
    runtime::CurrentOptions().fps = 1000.0;
    folder = scene_data::FreshFolder(::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(folder / "Data");
    previous = fs::current_path();
    fs::current_path(folder);
}

void SceneTest::TearDown()
{
    fs::current_path(previous);
    fs::remove_all(folder);
    ShellDeviceTest::TearDown();
}

const char* SceneTest::RenderAt(P_Part& scene, uint64_t ms, int elapsedMs)
{
    if (!started) {
        if (const char* message = scene.Render(0, 0.0f)) return message;
        started = true;
        startFrames = runtime::PresentedFrames();
    }
    const uint64_t target = startFrames + ms;
    EXPECT_GE(target, runtime::PresentedFrames()) << "the scene clock cannot go back";
    if (target > runtime::PresentedFrames()) runtime::AdvanceVirtualFramesForTesting(target - runtime::PresentedFrames());
    DrawRecorder recorder;
    const char* message = scene.Render(elapsedMs, 0.0f);
    calls = recorder.calls;
    return message;
}


void SceneTest::Hide(const std::string& name)
{
    fs::rename(fs::path("Data") / name, fs::path("Data") / (name + ".off"));
}

void SceneTest::Restore(const std::string& name)
{
    fs::rename(fs::path("Data") / (name + ".off"), fs::path("Data") / name);
}

namespace scene_data {

bool WriteTetrahedron(const fs::path& path, float size, int vertexCount, int faceCount)
{
    const float corners[4][3] = {{size, size, size}, {size, -size, -size}, {-size, size, -size}, {-size, -size, size}};
    const int32_t triangles[4][3] = {{0, 1, 2}, {0, 3, 1}, {0, 2, 3}, {1, 3, 2}};
    std::vector<float> xyz;
    for (int i = 0; i < vertexCount; ++i) xyz.insert(xyz.end(), corners[i % 4], corners[i % 4] + 3);
    std::vector<int32_t> faces;
    for (int i = 0; i < faceCount; ++i) faces.insert(faces.end(), triangles[i % 4], triangles[i % 4] + 3);
    return datagen::WriteMesh(path.string(), xyz, faces);
}

bool WriteMap(const fs::path& path, int byteCount, int8_t sample)
{
    std::ofstream file(path, std::ios::binary);
    file << std::string(static_cast<size_t>(byteCount), static_cast<char>(sample));
    return static_cast<bool>(file);
}

}  // namespace scene_data

bool NearMatrix(const D3DMATRIX& a, const D3DMATRIX& b, float tolerance)
{
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            if (!(std::fabs(a.m[r][c] - b.m[r][c]) <= tolerance)) return false;
    return true;
}
