// The input files of the fuzz targets (see FuzzFiles.h).
#include "FuzzFiles.h"

#include <unistd.h>

#include <cstdio>
#include <filesystem>

namespace fuzz {

std::string WriteInput(const char* tag, const uint8_t* data, size_t size)
{
    namespace fs = std::filesystem;
    const fs::path folder = fs::exists("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
    const std::string path = (folder / ("bralmond-fuzz-" + std::to_string(::getpid()) + "-" + tag)).string();
    if (FILE* file = std::fopen(path.c_str(), "wb")) {
        if (size) std::fwrite(data, 1, size, file);
        std::fclose(file);
    }
    return path;
}

}  // namespace fuzz
