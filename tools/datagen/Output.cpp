// No-overwrite file output (see Output.h).
#include "Output.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

namespace datagen {

namespace {
bool WriteAll(int fd, const std::vector<uint8_t>& bytes)
{
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}
}  // namespace

bool PrepareFolder(const std::string& dir, std::string& error)
{
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (ec || !std::filesystem::is_directory(dir)) {
        error = "cannot create folder " + dir + ": " + (ec ? ec.message() : "not a folder");
        return false;
    }
    if (::access(dir.c_str(), W_OK) != 0) {
        error = "folder " + dir + " is not writable: " + std::strerror(errno);
        return false;
    }
    return true;
}

bool FileExists(const std::string& path)
{
    std::error_code ec;
    return std::filesystem::exists(path, ec);
}

WriteOutcome WriteAsset(const std::string& dir, const std::string& name, const std::vector<uint8_t>& bytes,
                        bool force, std::string& error)
{
    const std::string path = dir + "/" + name;
    if (!force) {
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
        if (fd < 0) {
            if (errno == EEXIST) return WriteOutcome::Kept;
            error = "cannot create " + path + ": " + std::strerror(errno);
            return WriteOutcome::Failed;
        }
        const bool ok = WriteAll(fd, bytes);
        const bool closed = ::close(fd) == 0;
        if (!ok || !closed) {
            error = "cannot write " + path + ": " + std::strerror(errno);
            ::unlink(path.c_str());
            return WriteOutcome::Failed;
        }
        return WriteOutcome::Written;
    }
    const std::string tmp = path + ".tmp";
    const int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) {
        error = "cannot create " + tmp + ": " + std::strerror(errno);
        return WriteOutcome::Failed;
    }
    const bool ok = WriteAll(fd, bytes);
    const bool closed = ::close(fd) == 0;
    if (!ok || !closed || std::rename(tmp.c_str(), path.c_str()) != 0) {
        error = "cannot write " + path + ": " + std::strerror(errno);
        ::unlink(tmp.c_str());
        return WriteOutcome::Failed;
    }
    return WriteOutcome::Written;
}

}  // namespace datagen
