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

// Runs program with arguments (a shell-quoted string) in dir.
Result Run(const std::filesystem::path& program, const std::string& arguments, const std::filesystem::path& dir);

}  // namespace run_program
