// Writer of the ".msh" mesh format (see MeshWriter.h).
#include "MeshWriter.h"

#include <cstdio>
#include <cstring>

namespace datagen {

namespace {
void PutU32(std::vector<uint8_t>& out, uint32_t v)
{
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
}  // namespace

std::vector<uint8_t> EncodeMesh(const std::vector<float>& xyz, const std::vector<int32_t>& faces)
{
    std::vector<uint8_t> out = {'E', 'M', 'V'};
    PutU32(out, static_cast<uint32_t>(xyz.size() / 3));
    for (size_t i = 0; i < xyz.size() / 3 * 3; ++i) {
        uint32_t bits;
        std::memcpy(&bits, &xyz[i], 4);
        PutU32(out, bits);
    }
    PutU32(out, static_cast<uint32_t>(faces.size() / 3));
    for (size_t i = 0; i < faces.size() / 3 * 3; ++i) PutU32(out, static_cast<uint32_t>(faces[i]));
    return out;
}

bool WriteMesh(const std::string& path, const std::vector<float>& xyz, const std::vector<int32_t>& faces)
{
    const std::vector<uint8_t> bytes = EncodeMesh(xyz, faces);
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && ok;
}

}  // namespace datagen
