// The three meshes of the show, built from code: Bol, an evenly sampled
// geodesic ball (also used as a particle cloud, one sprite per vertex);
// Hedra, a finely tessellated small stellated dodecahedron; Stekels, a ball
// with cone spikes. Faces are wound so that (p1 - p0) x (p2 - p0) points
// outwards, which shows them clockwise from outside as the object effect's
// counter-clockwise culling needs.
#pragma once

#include <cstdint>
#include <vector>

namespace datagen {

struct MeshData {
    std::vector<float> xyz;      // 3 floats per vertex
    std::vector<int32_t> faces;  // 3 indices per triangle
};

MeshData MakeBol();      // radius 133.3, 7842 vertices, 15680 faces
MeshData MakeHedra();    // outer radius 133
MeshData MakeStekels();  // core with spikes, outer radius about 80

}  // namespace datagen
