// Child processes of the host (ffmpeg for captures): found on PATH, started
// with an argument vector and never through a shell, fed through a pipe and
// waited for.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <string>
#include <vector>

namespace host {

// The full path of an executable file called name in a folder of PATH (or of
// the usual system folders when PATH is unset); empty when there is none.
std::string FindOnPath(const std::string& name);

struct ChildProcess {
    pid_t pid = -1;
    int input = -1;  // the write end of the child's standard input, or -1
};

// Starts argv[0] (a path) with the arguments argv. With a pipe, the child's
// standard input is a pipe whose write end is child.input; otherwise it reads
// /dev/null. Standard output is shared with this process, and so is standard
// error unless errorLog names a file that the child's errors are added to.
// False with a message when the program cannot be started.
bool StartProcess(const std::vector<std::string>& argv, bool pipe, ChildProcess& child, std::string& message,
                  const std::string& errorLog = {});

// Writes all of data to fd, going on after interruptions; false when the
// reader has gone (the pipe is broken) or the write fails.
bool WriteAll(int fd, const void* data, size_t size);

// Closes the child's input and waits for it to end. Returns its exit status,
// or -1 when it was killed by a signal (message then names it).
int WaitForProcess(ChildProcess& child, std::string& message);

// Starts argv without input and waits for it: its exit status, or -1 when it
// could not be started or was killed (with a message).
int RunProcess(const std::vector<std::string>& argv, std::string& message, const std::string& errorLog = {});

}  // namespace host
