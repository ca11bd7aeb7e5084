// Writes 8-bit RGB pictures as PNG files with libpng.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace host {

// rgb holds width * height * 3 bytes, top row first. False with a message on
// stderr when the file cannot be written.
bool WritePng(const std::string& path, const std::vector<uint8_t>& rgb, int width, int height);

}  // namespace host
