// Files that take their final name only when they are whole: written under a
// hidden name beside it (DIR/.NAME.part, on the same disk) and renamed once
// complete, so that a full disk, a size limit or an interruption never leaves
// a half-written file under the final name, and a user's older file of that
// name stays as it was until the new one is complete.
#pragma once

#include <cstdio>
#include <string>

namespace part_file {

// The hidden name a file is written under before it takes path.
std::string PartPathOf(const std::string& path);

// Opens path's part for writing; false with a message (and the system's
// reason) when it cannot be made.
bool Open(const std::string& path, std::FILE*& file, std::string& error);

// Closes the part and gives it path's name; false with a message (and the
// reason) when the close or the rename fails, the part then removed.
bool Commit(std::FILE*& file, const std::string& path, std::string& error);

// Closes and removes the part of a file that will not be finished.
void Abandon(std::FILE*& file, const std::string& path);

}  // namespace part_file
