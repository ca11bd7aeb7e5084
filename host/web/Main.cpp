// The process's entry point in a browser. The page's address gives the
// options as the command line would (?headless&fps=60&until=45&shots=10,44
// reads as --headless --fps 60 --until 45 --shots 10,44); a live show waits
// for the click that lets the page make sound; then the system's WinMain
// runs, yielding to the browser once a frame, and the page is told how the
// show ended.
#include <windows.h>

#include "Capture.h"
#include "Options.h"
#include "TheShow.h"
#include "host.h"
#include "runtime.h"

#include <emscripten.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

namespace {

// The address's parameters as command-line words, one a line.
EM_JS(char*, PageArguments, (), {
    const words = [];
    new URLSearchParams(window.location.search).forEach(function(value, key) {
        words.push('--' + key);
        if (value !== "") words.push(value);
    });
    return allocateUTF8(words.join("\n"));
});

// Resolves when the page's start button is clicked (the page makes its
// AudioContext in that click).
EM_ASYNC_JS(void, WaitForStart, (), { await Module.started; });

EM_JS(void, TellPage, (int status, const char* text), {
    if (Module.showEnded) Module.showEnded(status, UTF8ToString(text));
});

}  // namespace

// The music time of the show now, as the show reads it (negative before the
// music plays): for the page and its tests.
extern "C" EMSCRIPTEN_KEEPALIVE double bralmond_music_seconds()
{
    double seconds = 0.0;
    return host::MusicSeconds(seconds) ? seconds : -1.0;
}

int main()
{
    host::Install(host::TheShow());
    std::vector<std::string> words = {"bralmond"};
    char* arguments = PageArguments();
    std::istringstream lines(arguments);
    std::free(arguments);
    for (std::string word; std::getline(lines, word);) words.push_back(word);
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());

    runtime::Options& options = runtime::CurrentOptions();
    std::string message;
    if (host::ParseOptions(static_cast<int>(argv.size()), argv.data(), options, message) != host::ParseResult::Run) {
        TellPage(2, ("the page's address has options the show does not take: " + message).c_str());
        return 2;
    }
    if (!host::PrepareCapture(options, message)) {
        TellPage(2, message.c_str());
        return 2;
    }
    if (!options.headless) WaitForStart();

    char commandLine[] = "";
    WinMain(GetModuleHandleA(nullptr), nullptr, commandLine, SW_SHOW);
    host::PrintStats();
    const int status = runtime::ErrorBoxShown() || runtime::RunFailed() ? 1 : 0;
    TellPage(status, status ? "The show ended with an error." : "The show has ended.");
    return status;
}
