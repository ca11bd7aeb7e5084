// Running built programs from tests (see RunProgram.h).
#include "RunProgram.h"

#include <sys/wait.h>

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

Result Run(const fs::path& program, const std::string& arguments, const fs::path& dir)
{
    const fs::path errFile = dir / ".stderr.txt";
    const std::string command = "cd '" + dir.string() + "' && '" + program.string() + "' " + arguments +
                                " > /dev/null 2> '" + errFile.string() + "' < /dev/null";
    const int raw = std::system(command.c_str());
    Result result;
    if (raw != -1 && WIFEXITED(raw)) result.status = WEXITSTATUS(raw);
    std::ifstream err(errFile);
    std::stringstream text;
    text << err.rdbuf();
    result.stderrText = text.str();
    fs::remove(errFile);
    return result;
}

}  // namespace run_program
