// What the fuzz targets share: each input written to a file of its own in
// memory-backed storage, so that loaders that take a path read it as a file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace fuzz {

// Writes the input to a file named after tag (one per process) and returns its path.
std::string WriteInput(const char* tag, const uint8_t* data, size_t size);

}  // namespace fuzz
