// The process's entry point in a browser. The page's address gives the
// options as the command line would (?headless&fps=60&until=45&shots=10,44
// reads as --headless --fps 60 --until 45 --shots 10,44); a live show waits
// for the click that lets the page make sound; then the system's WinMain
// runs, yielding to the browser once a frame, and the page is told how the
// show ended. The pointer over the picture shows the position bar, and a
// click on the bar moves the show there.
#include <windows.h>

#include "Capture.h"
#include "Keys.h"
#include "Options.h"
#include "PositionBar.h"
#include "TheShow.h"
#include "host.h"
#include "runtime.h"

#include <emscripten.h>
#include <emscripten/html5.h>

#include <algorithm>

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

// The page's data holds its meshes and maps gzipped as NAME.gz (see
// tools/webdata/pack_page_data.py): unpacks each into NAME with the
// browser's DecompressionStream, before the show opens any. 0 when one
// cannot be unpacked.
EM_ASYNC_JS(int, UnpackData, (const char* folder), {
    const dir = UTF8ToString(folder);
    try {
        for (const name of FS.readdir(dir)) {
            if (!name.endsWith('.gz')) continue;
            const packed = FS.readFile(dir + '/' + name);
            const stream = new Blob([packed]).stream().pipeThrough(new DecompressionStream('gzip'));
            FS.writeFile(dir + '/' + name.slice(0, -3), new Uint8Array(await new Response(stream).arrayBuffer()));
            FS.unlink(dir + '/' + name);
        }
        return 1;
    } catch (error) {
        console.error('the page could not unpack its data: ' + error);
        return 0;
    }
});

// Resolves when the page's start button is clicked (the page makes its
// AudioContext in that click).
EM_ASYNC_JS(void, WaitForStart, (), { await Module.started; });

EM_JS(void, TellPage, (int status, const char* text), {
    if (Module.showEnded) Module.showEnded(status, UTF8ToString(text));
});

// Where a point of the canvas (CSS pixels from its top left) lies in the
// show's picture, which fills the largest rectangle of its shape centred in
// the canvas: false outside it.
bool PicturePoint(double x, double y, double& pictureX, double& pictureY)
{
    double width = 0.0, height = 0.0;
    emscripten_get_element_css_size("#canvas", &width, &height);
    const host::ShowFacts& show = host::Show();
    const double scale = std::min(width / show.width, height / show.height);
    if (!(scale > 0.0)) return false;
    pictureX = (x - (width - show.width * scale) / 2.0) / scale;
    pictureY = (y - (height - show.height * scale) / 2.0) / scale;
    return pictureX >= 0.0 && pictureY >= 0.0 && pictureX <= show.width && pictureY <= show.height;
}

EM_BOOL OnPointer(int type, const EmscriptenMouseEvent* event, void*)
{
    double x = 0.0, y = 0.0, seconds = 0.0;
    const bool over = type != EMSCRIPTEN_EVENT_MOUSELEAVE && PicturePoint(event->targetX, event->targetY, x, y);
    host::SetPointerOverPicture(over);
    if (type == EMSCRIPTEN_EVENT_CLICK && over && host::PositionBarTarget(x, y, seconds)) host::RequestMove(seconds);
    return EM_FALSE;
}

void FollowThePointer()
{
    emscripten_set_mousemove_callback("#canvas", nullptr, EM_FALSE, OnPointer);
    emscripten_set_mouseleave_callback("#canvas", nullptr, EM_FALSE, OnPointer);
    emscripten_set_click_callback("#canvas", nullptr, EM_FALSE, OnPointer);
}

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
    if (!UnpackData(("/" + options.dataFolder).c_str())) {
        TellPage(1, "The page's data could not be unpacked.");
        return 1;
    }
    if (!options.headless) {
        WaitForStart();
        FollowThePointer();
    }

    char commandLine[] = "";
    WinMain(GetModuleHandleA(nullptr), nullptr, commandLine, SW_SHOW);
    host::PrintStats();
    const int status = runtime::ErrorBoxShown() || runtime::RunFailed() ? 1 : 0;
    TellPage(status, status ? "The show ended with an error." : "The show has ended.");
    return status;
}
