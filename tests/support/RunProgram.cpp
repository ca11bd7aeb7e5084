// Running built programs from tests (see RunProgram.h).
#include "RunProgram.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace run_program {

fs::path BuiltProgram(const std::string& name)
{
    const char* dir = std::getenv("BRALMOND_BINARY_DIR");
    return fs::path(dir ? dir : BRALMOND_BUILD_DIR) / name;
}

std::string CMakeCommand()
{
    return BRALMOND_CMAKE;
}

std::string AsAnOrdinaryUser()
{
    return ::geteuid() == 0 ? "setpriv --reuid=65534 --regid=65534 --clear-groups" : "";
}

Result Run(const fs::path& program, const std::string& arguments, const fs::path& dir, const std::string& prelude,
           const std::string& runner)
{
    const fs::path errFile = dir / ".stderr.txt";
    // The shell gives way to the program (exec), so that the process waited
    // for, and whose resources are counted, is the program itself.
    const std::string command = "cd '" + dir.string() + "' && " + (prelude.empty() ? "" : prelude + " && ") +
                                "exec " + runner + " '" + program.string() + "' " + arguments + " > /dev/null 2> '" +
                                errFile.string() + "' < /dev/null";
    Result result;
    const auto started = std::chrono::steady_clock::now();
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    int raw = 0;
    struct rusage usage {};
    if (pid > 0 && ::wait4(pid, &raw, 0, &usage) == pid) {
        if (WIFEXITED(raw)) result.status = WEXITSTATUS(raw);
        result.peakKilobytes = usage.ru_maxrss;
    }
    result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::ifstream err(errFile);
    std::stringstream text;
    text << err.rdbuf();
    result.stderrText = text.str();
    fs::remove(errFile);
    return result;
}

}  // namespace run_program
