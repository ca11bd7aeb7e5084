// CreateFileA, ReadFile, GetFileSize and CloseHandle over POSIX files, and the
// translation of Windows file names (backslashes, any letter case) to paths.
#include <windows.h>

#include "win32_host.h"

#include "runtime.h"

#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <mutex>
#include <set>
#include <string>

namespace {

struct FileHandle {
    int fd;
};

// Live handles, so that a stale or foreign HANDLE is refused rather than used.
std::set<FileHandle*>& LiveHandles()
{
    static std::set<FileHandle*> handles;
    return handles;
}
std::mutex& HandlesMutex()
{
    static std::mutex m;
    return m;
}

FileHandle* Lookup(HANDLE handle)
{
    std::lock_guard<std::mutex> lock(HandlesMutex());
    auto* file = static_cast<FileHandle*>(handle);
    return LiveHandles().count(file) ? file : nullptr;
}

bool Exists(const std::string& path)
{
    struct stat st;
    return ::stat(path.c_str(), &st) == 0;
}

// The entry of directory dir whose name equals name ignoring case, or "".
std::string MatchEntry(const std::string& dir, const std::string& name)
{
    DIR* d = ::opendir(dir.empty() ? "." : dir.c_str());
    if (!d) return {};
    std::string found;
    while (dirent* entry = ::readdir(d)) {
        if (::strcasecmp(entry->d_name, name.c_str()) == 0) {
            found = entry->d_name;
            break;
        }
    }
    ::closedir(d);
    return found;
}

}  // namespace

namespace win32_host {

std::string ResolvePath(const char* windowsPath)
{
    if (!windowsPath) return {};
    std::string path(windowsPath);
    for (char& c : path)
        if (c == '\\') c = '/';
    // The show's data folder, wherever the run found it.
    const std::string& data = runtime::CurrentOptions().dataFolder;
    if (data != "Data" && path.size() > 5 && ::strncasecmp(path.c_str(), "Data/", 5) == 0)
        path = data + path.substr(4);
    if (path.empty() || Exists(path)) return path;

    // Walk the components, keeping each exact match and otherwise taking the
    // directory entry that differs only in letter case.
    std::string resolved = path[0] == '/' ? "/" : "";
    size_t start = path[0] == '/' ? 1 : 0;
    while (start <= path.size()) {
        size_t end = path.find('/', start);
        if (end == std::string::npos) end = path.size();
        std::string component = path.substr(start, end - start);
        if (!component.empty()) {
            std::string candidate = resolved + component;
            if (!Exists(candidate) && component != "." && component != "..") {
                std::string match = MatchEntry(resolved, component);
                if (match.empty()) return path;  // nothing matches: let the caller fail on the plain name
                candidate = resolved + match;
            }
            resolved = candidate;
            if (end < path.size()) resolved += '/';
        }
        start = end + 1;
    }
    return resolved;
}

}  // namespace win32_host

HANDLE WINAPI CreateFileA(LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                          LPSECURITY_ATTRIBUTES lpSecurityAttributes, DWORD dwCreationDisposition,
                          DWORD dwFlagsAndAttributes, HANDLE hTemplateFile)
{
    if (!lpFileName) return INVALID_HANDLE_VALUE;
    const bool read = (dwDesiredAccess & GENERIC_READ) != 0;
    const bool write = (dwDesiredAccess & GENERIC_WRITE) != 0;
    int flags = read && write ? O_RDWR : write ? O_WRONLY : O_RDONLY;
    switch (dwCreationDisposition) {
    case OPEN_EXISTING: break;
    case CREATE_NEW: flags |= O_CREAT | O_EXCL; break;
    case CREATE_ALWAYS: flags |= O_CREAT | O_TRUNC; break;
    default: return INVALID_HANDLE_VALUE;
    }
    const std::string path = win32_host::ResolvePath(lpFileName);
    // Only plain files are files here: a folder, a FIFO or a device in a
    // file's place is refused as a missing file would be. The file is opened
    // without blocking and checked before anything is read, so that a FIFO
    // with no writer cannot hang the open or the first read.
    // A failure's reason is kept for the error message that follows it.
    const int fd = ::open(path.c_str(), flags | O_CLOEXEC | O_NONBLOCK, 0644);
    if (fd < 0) {
        runtime::NoteFailureReason(path + ": " + std::strerror(errno));
        return INVALID_HANDLE_VALUE;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
        runtime::NoteFailureReason(path + (S_ISDIR(st.st_mode) ? ": is a folder" : ": is not a plain file"));
        ::close(fd);
        return INVALID_HANDLE_VALUE;
    }
    runtime::NoteFailureReason({});
    auto* file = new FileHandle{fd};
    std::lock_guard<std::mutex> lock(HandlesMutex());
    LiveHandles().insert(file);
    return file;
}

BOOL WINAPI ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead, LPDWORD lpNumberOfBytesRead,
                     LPOVERLAPPED lpOverlapped)
{
    if (lpNumberOfBytesRead) *lpNumberOfBytesRead = 0;
    FileHandle* file = Lookup(hFile);
    if (!file || (!lpBuffer && nNumberOfBytesToRead > 0)) return FALSE;
    // Like Windows, a read that reaches the end of the file succeeds with fewer bytes.
    DWORD total = 0;
    auto* out = static_cast<char*>(lpBuffer);
    while (total < nNumberOfBytesToRead) {
        const ssize_t n = ::read(file->fd, out + total, nNumberOfBytesToRead - total);
        if (n < 0) {
            if (errno == EINTR) continue;
            return FALSE;
        }
        if (n == 0) break;
        total += static_cast<DWORD>(n);
    }
    if (lpNumberOfBytesRead) *lpNumberOfBytesRead = total;
    return TRUE;
}

DWORD WINAPI GetFileSize(HANDLE hFile, LPDWORD lpFileSizeHigh)
{
    FileHandle* file = Lookup(hFile);
    struct stat st;
    if (!file || ::fstat(file->fd, &st) != 0) return INVALID_FILE_SIZE;
    const uint64_t size = static_cast<uint64_t>(st.st_size);
    if (lpFileSizeHigh) *lpFileSizeHigh = static_cast<DWORD>(size >> 32);
    return static_cast<DWORD>(size);
}

BOOL WINAPI CloseHandle(HANDLE hObject)
{
    FileHandle* file = Lookup(hObject);
    if (!file) return FALSE;
    {
        std::lock_guard<std::mutex> lock(HandlesMutex());
        LiveHandles().erase(file);
    }
    ::close(file->fd);
    delete file;
    return TRUE;
}
