// Reading a stream's source bytes from memory or from a data file.
#include "StreamSource.h"

#include "win32_host.h"

#include <algorithm>
#include <filesystem>
#include <fstream>

namespace stream_source {

namespace fs = std::filesystem;

bool ReadFileBytes(const std::string& path, uint64_t offset, uint64_t length, std::vector<unsigned char>& bytes)
{
    bytes.clear();
    std::error_code error;
    if (!fs::is_regular_file(path, error)) return false;
    uint64_t size = fs::file_size(path, error);
    if (error || offset >= size) return false;
    uint64_t available = size - offset;
    uint64_t count = length == 0 ? available : std::min(length, available);
    if (count > (1ull << 30)) return false;  // a gigabyte of MPEG audio is no soundtrack
    std::ifstream file(path, std::ios::binary);
    if (!file.seekg(static_cast<std::streamoff>(offset))) return false;
    bytes.resize(static_cast<size_t>(count));
    file.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(count));
    if (file.gcount() != static_cast<std::streamsize>(count)) {
        bytes.clear();
        return false;
    }
    return true;
}

bool SourceBytes(bool mem, const void* file, uint64_t offset, uint64_t length, std::vector<unsigned char>& bytes)
{
    bytes.clear();
    if (!file) return false;
    if (mem) {
        if (length == 0) return false;
        const auto* data = static_cast<const unsigned char*>(file) + offset;
        bytes.assign(data, data + length);
        return true;
    }
    return ReadFileBytes(win32_host::ResolvePath(static_cast<const char*>(file)), offset, length, bytes);
}

}  // namespace stream_source
