// Child processes of the host (see Process.h), with posix_spawn.
#include "Process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sstream>

extern char** environ;

namespace host {

std::string FindOnPath(const std::string& name)
{
    if (name.empty() || name.find('/') != std::string::npos) return {};
    const char* path = std::getenv("PATH");
    std::stringstream folders(path ? path : "/usr/local/bin:/usr/bin:/bin");
    std::string folder;
    while (std::getline(folders, folder, ':')) {
        // An empty entry of PATH means the working directory.
        const std::string candidate = (folder.empty() ? std::string(".") : folder) + "/" + name;
        struct stat st;
        if (::stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(candidate.c_str(), X_OK) == 0)
            return candidate;
    }
    return {};
}

bool StartProcess(const std::vector<std::string>& argv, bool pipe, ChildProcess& child, std::string& message,
                  const std::string& errorLog)
{
    child = ChildProcess{};
    if (argv.empty()) {
        message = "no program to start";
        return false;
    }
    std::vector<char*> args;
    for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);

    int ends[2] = {-1, -1};
    if (pipe && ::pipe2(ends, O_CLOEXEC) != 0) {
        message = std::string("cannot make a pipe: ") + std::strerror(errno);
        return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (pipe)
        posix_spawn_file_actions_adddup2(&actions, ends[0], STDIN_FILENO);
    else
        posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    if (!errorLog.empty())
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errorLog.c_str(), O_WRONLY | O_CREAT | O_APPEND,
                                         0644);
    const int error = posix_spawn(&child.pid, argv[0].c_str(), &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (pipe) ::close(ends[0]);
    if (error != 0) {
        if (pipe) ::close(ends[1]);
        child.pid = -1;
        message = "cannot start " + argv[0] + ": " + std::strerror(error);
        return false;
    }
    if (pipe) {
        // As much pipe as the system gives (a whole video frame where it can),
        // so that writing a frame seldom waits for the child to read.
        for (int size = 16 << 20; size >= (1 << 20); size /= 2)
            if (::fcntl(ends[1], F_SETPIPE_SZ, size) >= 0) break;
    }
    child.input = pipe ? ends[1] : -1;
    return true;
}

bool WriteAll(int fd, const void* data, size_t size)
{
    const char* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t written = ::write(fd, bytes, size);
        if (written < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        bytes += written;
        size -= static_cast<size_t>(written);
    }
    return true;
}

int WaitForProcess(ChildProcess& child, std::string& message)
{
    if (child.input >= 0) ::close(child.input);
    child.input = -1;
    if (child.pid <= 0) {
        message = "no process to wait for";
        return -1;
    }
    int status = 0;
    pid_t waited;
    do {
        waited = ::waitpid(child.pid, &status, 0);
    } while (waited < 0 && errno == EINTR);
    child.pid = -1;
    if (waited < 0) {
        message = std::string("cannot wait for a child process: ") + std::strerror(errno);
        return -1;
    }
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    message = std::string("killed by signal ") + std::to_string(WTERMSIG(status)) + " (" +
              strsignal(WTERMSIG(status)) + ")";
    return -1;
}

int RunProcess(const std::vector<std::string>& argv, std::string& message, const std::string& errorLog)
{
    ChildProcess child;
    if (!StartProcess(argv, false, child, message, errorLog)) return -1;
    return WaitForProcess(child, message);
}

}  // namespace host
