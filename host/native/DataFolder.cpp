// The search for the show's data folder (see DataFolder.h).
#include "DataFolder.h"

#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

namespace host {

namespace {

bool IsFolder(const std::string& path)
{
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// A Data folder in the working folder, in any letter case (as the show's
// own names are matched).
bool HasDataHere()
{
    if (IsFolder("Data")) return true;
    DIR* dir = ::opendir(".");
    if (!dir) return false;
    bool found = false;
    while (const dirent* entry = ::readdir(dir))
        if (::strcasecmp(entry->d_name, "Data") == 0 && IsFolder(entry->d_name)) found = true;
    ::closedir(dir);
    return found;
}

// The running program's own path, or empty.
std::string ProgramPath()
{
    char buffer[4096];
    const ssize_t length = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (length <= 0) return {};
    return std::string(buffer, static_cast<size_t>(length));
}

}  // namespace

std::vector<std::string> DataFolderCandidates(const std::string& program)
{
    std::vector<std::string> places = {"Data"};
    const char* xdg = std::getenv("XDG_DATA_HOME");
    const char* home = std::getenv("HOME");
    if (xdg && xdg[0] == '/')
        places.push_back(std::string(xdg) + "/bralmond/Data");
    else if (home && home[0])
        places.push_back(std::string(home) + "/.local/share/bralmond/Data");
    // An installed program's data: PREFIX/share/bralmond/Data beside PREFIX/bin.
    const size_t slash = program.find_last_of('/');
    if (slash != std::string::npos) {
        const std::string bin = program.substr(0, slash);
        const size_t up = bin.find_last_of('/');
        if (up != std::string::npos) places.push_back(bin.substr(0, up) + "/share/bralmond/Data");
    }
    return places;
}

bool FindDataFolder(runtime::Options& options, std::string& message)
{
    if (options.dataFolder != "Data") {
        if (IsFolder(options.dataFolder)) return true;
        message = "the folder for --data does not exist: " + options.dataFolder;
        return false;
    }
    const std::vector<std::string> places = DataFolderCandidates(ProgramPath());
    if (HasDataHere()) return true;
    for (const std::string& place : places) {
        if (IsFolder(place)) {
            options.dataFolder = place;
            return true;
        }
    }
    message = "no data for the show: there is no Data folder in the working folder";
    for (size_t i = 1; i < places.size(); ++i) message += ", nor " + places[i];
    message += ". Make the data with bralmond-datagen --out DIR (build/datagen in a source tree) and name "
               "it with --data DIR, or install the show.";
    return false;
}

}  // namespace host
