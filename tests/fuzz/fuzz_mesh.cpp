// Fuzz target: the ".msh" loader. Whatever the bytes, Load either fails with
// an empty mesh or gives counts and indices that the effects can trust.
#include "FuzzFiles.h"
#include "Mesh.h"

#include <cmath>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string path = fuzz::WriteInput("mesh.msh", data, size);
    Mesh mesh;
    if (!mesh.Load(path.c_str(), 0.0075f)) {
        if (mesh.vertexCount != 0 || mesh.faceCount != 0 || mesh.vertices || mesh.faces) __builtin_trap();
        return 0;
    }
    if (mesh.vertexCount < 0 || mesh.faceCount < 0) __builtin_trap();
    if ((mesh.vertexCount > 0) != (mesh.vertices != nullptr) || (mesh.faceCount > 0) != (mesh.faces != nullptr))
        __builtin_trap();
    for (int64_t i = 0; i < 3 * static_cast<int64_t>(mesh.faceCount); ++i)
        if (mesh.faces[i] < 0 || mesh.faces[i] >= mesh.vertexCount) __builtin_trap();
    // Every coordinate is read (a short file must not leave any unset).
    volatile float sum = 0.0f;
    for (int64_t i = 0; i < 3 * static_cast<int64_t>(mesh.vertexCount); ++i) sum = sum + mesh.vertices[i];
    return 0;
}
