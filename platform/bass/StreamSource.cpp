// Reading a stream's source bytes from memory or from a data file.
#include "StreamSource.h"

#include "win32_host.h"

#include "runtime.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace stream_source {

namespace fs = std::filesystem;

bool ReadFileBytes(const std::string& path, uint64_t offset, uint64_t length, std::vector<unsigned char>& bytes)
{
    bytes.clear();
    // Each refusal keeps its reason for the error message that follows it.
    const auto refuse = [&](const std::string& why) {
        bytes.clear();
        runtime::NoteFailureReason(path + ": " + why);
        return false;
    };
    std::error_code error;
    const fs::file_status status = fs::status(path, error);
    if (!fs::exists(status)) return refuse(std::strerror(ENOENT));
    if (fs::is_directory(status)) return refuse("is a folder");
    if (!fs::is_regular_file(status)) return refuse("is not a plain file");
    uint64_t size = fs::file_size(path, error);
    if (error) return refuse(error.message());
    if (offset >= size) return refuse("holds nothing from where the sound should start");
    uint64_t available = size - offset;
    uint64_t count = length == 0 ? available : std::min(length, available);
    if (count > (1ull << 30)) return refuse("is larger than a gigabyte");  // no soundtrack is
    std::ifstream file(path, std::ios::binary);
    if (!file) return refuse(std::strerror(errno ? errno : EACCES));
    if (!file.seekg(static_cast<std::streamoff>(offset))) return refuse("cannot be read");
    bytes.resize(static_cast<size_t>(count));
    file.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(count));
    if (file.gcount() != static_cast<std::streamsize>(count)) return refuse("cannot be read whole");
    runtime::NoteFailureReason({});
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
