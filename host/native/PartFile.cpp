// Hidden parts renamed when whole (see PartFile.h).
#include "PartFile.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace part_file {

std::string PartPathOf(const std::string& path)
{
    const size_t slash = path.find_last_of('/');
    const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    return folder + "." + name + ".part";
}

bool Open(const std::string& path, std::FILE*& file, std::string& error)
{
    file = std::fopen(PartPathOf(path).c_str(), "wb");
    if (!file) {
        error = "cannot open " + path + " for writing: " + std::strerror(errno);
        return false;
    }
    return true;
}

bool Commit(std::FILE*& file, const std::string& path, std::string& error)
{
    const std::string part = PartPathOf(path);
    const bool closed = std::fclose(file) == 0;
    file = nullptr;
    if (!closed || ::rename(part.c_str(), path.c_str()) != 0) {
        error = "cannot finish writing " + path + ": " + std::strerror(errno);
        ::unlink(part.c_str());
        return false;
    }
    return true;
}

void Abandon(std::FILE*& file, const std::string& path)
{
    if (file) std::fclose(file);
    file = nullptr;
    ::unlink(PartPathOf(path).c_str());
}

}  // namespace part_file
