// Writing generated files into the data folder without ever replacing a file
// that is already there, unless asked to (a user who owns the original data
// keeps it there and the show uses it).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace datagen {

enum class WriteOutcome { Written, Kept, Failed };

// Creates dir (and its parents) if needed; false with a message if it cannot.
bool PrepareFolder(const std::string& dir, std::string& error);

bool FileExists(const std::string& path);

// Writes bytes to dir/name. Without force an existing file is kept
// (the check and the creation are one atomic step); with force it is
// replaced through a temporary file and a rename.
WriteOutcome WriteAsset(const std::string& dir, const std::string& name, const std::vector<uint8_t>& bytes,
                        bool force, std::string& error);

}  // namespace datagen
