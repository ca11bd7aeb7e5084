// Runs a built program of the project (bralmond, datagen) in a folder, as a
// user would from a shell, and collects its exit status and error output.
#pragma once

#include <filesystem>
#include <string>

namespace run_program {

struct Result {
    int status = -1;     // the exit status, or -1 when it did not exit normally
    std::string stderrText;
    long peakKilobytes = 0;  // the program's largest resident set
    double seconds = 0.0;    // wall time of the run
};

// The path of a program in the build folder (the build folder, or BRALMOND_BINARY_DIR when set).
std::filesystem::path BuiltProgram(const std::string& name);

// The cmake that configured the build (for installing it).
std::string CMakeCommand();

// Runs program with arguments (a shell-quoted string) in dir. A prelude is a
// shell command run first in the same shell ("ulimit -f 100"), and a runner
// a command the program is started through ("setpriv --reuid=65534 ...").
Result Run(const std::filesystem::path& program, const std::string& arguments, const std::filesystem::path& dir,
           const std::string& prelude = {}, const std::string& runner = {});

// A runner that starts the program as an unprivileged user (nobody) when
// the tests run as root, whom permissions do not stop; empty otherwise.
std::string AsAnOrdinaryUser();

}  // namespace run_program
