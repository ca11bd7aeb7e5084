// Writer of the ".msh" mesh format: the tag "EMV", the vertex count and
// x, y, z floats per vertex, then the face count and three 32-bit indices per
// triangle, all little-endian. Used by the content generator and by the tests
// of the mesh loader.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace datagen {

// The file's bytes for the given vertices (3 floats each) and faces (3 indices each).
std::vector<uint8_t> EncodeMesh(const std::vector<float>& xyz, const std::vector<int32_t>& faces);

// Writes EncodeMesh's bytes to path; false if the file cannot be written.
bool WriteMesh(const std::string& path, const std::vector<float>& xyz, const std::vector<int32_t>& faces);

}  // namespace datagen
