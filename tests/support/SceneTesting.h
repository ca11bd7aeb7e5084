// The set-up that the tests of scenes 2 to 5 share: the headless device, a
// scene clock that moves a millisecond a frame, a fresh working folder with
// an empty Data folder, and frames rendered at chosen scene times with their
// draws recorded (DrawRecorder.h). Also small stand-ins for the scenes' meshes
// and terrain maps.
#pragma once

#include "DrawRecorder.h"
#include "EffectTesting.h"
#include "P_Part.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

class SceneTest : public ShellDeviceTest {
protected:
    void SetUp() override;
    void TearDown() override;
    // Renders scene when its own clock reads ms milliseconds, with elapsedMs
    // as the demo clock, and keeps the frame's draws in calls. The first call
    // starts the scene clock; later calls must not go back in time.
    const char* RenderAt(P_Part& scene, uint64_t ms, int elapsedMs = 0);
    // The last frame's layers ("begin grid object end", DrawRecorder::Layers).
    std::string Layers() const { return LayersOf(calls); }
    std::vector<RecordedCall> Of(const std::string& layer) const { return CallsOf(calls, layer); }
    // Moves a file under Data out of the way and back.
    void Hide(const std::string& name);
    void Restore(const std::string& name);

    std::filesystem::path folder, previous;
    std::vector<RecordedCall> calls;
    bool started = false;
    uint64_t startFrames = 0;
};

namespace scene_data {

// A tetrahedron of the given size as a ".msh" file, with its four vertices
// and faces repeated up to vertexCount and faceCount (at least four each).
bool WriteTetrahedron(const std::filesystem::path& path, float size, int vertexCount = 4, int faceCount = 4);

// A ".map" file of byteCount bytes, all the sample value.
bool WriteMap(const std::filesystem::path& path, int byteCount, int8_t sample);

}  // namespace scene_data

// Whether two matrices agree entry by entry within tolerance.
bool NearMatrix(const D3DMATRIX& a, const D3DMATRIX& b, float tolerance = 1e-5f);
