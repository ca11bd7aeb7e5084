// The process's entry point: hands the show's facts to the host, reads the
// options, sets SDL up for a window (or nothing, for a headless run),
// prepares a capture, runs the system's WinMain, finishes the capture and turns the outcome into an exit
// status: 0 for a normal end, 1 after an error box or a failed capture, 2 for
// a bad command line.
#include <windows.h>

#include "d3d8_host.h"
#include "Capture.h"
#include "DataFolder.h"
#include "Options.h"
#include "TheShow.h"
#include "host.h"
#include "runtime.h"

#include <SDL.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>

int main(int argc, char** argv)
{
    host::BackTheHeapWithLargePages();
    // A file-size limit makes a write fail (EFBIG) with its message and exit
    // status 1, instead of killing the player silently halfway through a file.
    ::signal(SIGXFSZ, SIG_IGN);
    // The show's facts come from the show itself; the host keeps no copy of its own.
    host::Install(host::TheShow());
    runtime::Options& options = runtime::CurrentOptions();
    std::string message;
    switch (host::ParseOptions(argc, argv, options, message)) {
    case host::ParseResult::Help:
        std::fputs(host::UsageText().c_str(), stdout);
        return 0;
    case host::ParseResult::Version:
        std::fputs(host::VersionText().c_str(), stdout);
        return 0;
    case host::ParseResult::Error:
        std::fprintf(stderr, "bralmond: %s\nTry 'bralmond --help'.\n", message.c_str());
        return 2;
    case host::ParseResult::Run:
        break;
    }
    if (!options.shots.empty()) {
        // Found before the first frame rather than when the first shot is due.
        struct stat st;
        const char* problem = ::stat(options.outDir.c_str(), &st) != 0 ? "does not exist"
                              : !S_ISDIR(st.st_mode)                     ? "is not a folder"
                              : ::access(options.outDir.c_str(), W_OK | X_OK) != 0 ? "is not writable"
                                                                                    : nullptr;
        if (problem) {
            std::fprintf(stderr, "bralmond: the folder for --out %s: %s\n", problem, options.outDir.c_str());
            return 2;
        }
    }

    if (!host::FindDataFolder(options, message)) {
        std::fprintf(stderr, "bralmond: %s\n", message.c_str());
        return options.dataFolder != "Data" ? 2 : 1;
    }

    if (!host::PrepareCapture(options, message)) {
        std::fprintf(stderr, "bralmond: %s\n", message.c_str());
        return 1;
    }

    if (!options.headless) {
        SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
        SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "0");
        // SDL falls back to drivers that show nothing (offscreen, dummy) when
        // no display can be reached; a show that nobody can see is refused,
        // unless those drivers were asked for by name.
        const char* asked = SDL_getenv("SDL_VIDEODRIVER");
        const bool initialised = SDL_Init(SDL_INIT_VIDEO | SDL_INIT_EVENTS) == 0;
        const char* driver = initialised ? SDL_GetCurrentVideoDriver() : nullptr;
        const bool invisible = driver && (SDL_strcmp(driver, "offscreen") == 0 || SDL_strcmp(driver, "dummy") == 0) &&
                               !(asked && SDL_strcasecmp(asked, driver) == 0);
        if (!initialised || invisible) {
            std::fprintf(stderr, "bralmond: cannot open a display (%s). Use --headless to render without one.\n",
                         initialised ? "no display is reachable" : SDL_GetError());
            SDL_Quit();
            return 1;
        }
        d3d8_host::PrepareWindowSurfaces();
    }

    char commandLine[] = "";
    WinMain(GetModuleHandleA(nullptr), nullptr, commandLine, SW_SHOW);

    SDL_Quit();
    host::PrintStats();
    if (!host::FinishCapture(message)) {
        if (!message.empty()) std::fprintf(stderr, "bralmond: %s\n", message.c_str());
        return host::InterruptionSignal() ? 128 + host::InterruptionSignal() : 1;
    }
    return runtime::ErrorBoxShown() || runtime::RunFailed() ? 1 : 0;
}
