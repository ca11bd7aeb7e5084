// The bytes a stream is created from, shared by the BASS stand-ins of the
// desktop and of the browser: a copy of a caller's memory block or of a
// regular file's contents from an offset, for a length or to the end.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace stream_source {

// A regular file's bytes from `offset`, `length` of them or (0) all the rest.
// False, with nothing read, for a missing file, a FIFO or folder, an offset
// at or past the end, or more than a gigabyte.
bool ReadFileBytes(const std::string& path, uint64_t offset, uint64_t length, std::vector<unsigned char>& bytes);

// BASS_StreamCreateFile's source: `mem` true reads `length` bytes of memory
// at `file` + `offset`, else `file` names a file resolved as every data file
// is. False when there is nothing to read.
bool SourceBytes(bool mem, const void* file, uint64_t offset, uint64_t length, std::vector<unsigned char>& bytes);

}  // namespace stream_source
