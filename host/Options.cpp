// Parsing of the host's command-line options (see Options.h).
#include "Options.h"

#include "Ffmpeg.h"
#include "Keys.h"
#include "host.h"

#include <windows.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <initializer_list>
#include <sstream>

namespace host {

namespace {

// A finite decimal number and nothing else.
bool ParseNumber(const std::string& text, double& value)
{
    if (text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    value = std::strtod(text.c_str(), &end);
    return errno == 0 && end && *end == '\0' && std::isfinite(value);
}

// A frame rate: "60", "29.97" or a fraction such as "60000/1001".
bool ParseRate(const std::string& text, double& fps)
{
    const size_t slash = text.find('/');
    if (slash == std::string::npos) return ParseNumber(text, fps) && fps > 0.0 && fps <= 1000.0;
    double num, den;
    if (!ParseNumber(text.substr(0, slash), num) || !ParseNumber(text.substr(slash + 1), den) || den <= 0.0)
        return false;
    fps = num / den;
    return fps > 0.0 && fps <= 1000.0;
}

bool ParseSize(const std::string& text, int& width, int& height)
{
    const size_t x = text.find_first_of("xX");
    double w, h;
    if (x == std::string::npos || !ParseNumber(text.substr(0, x), w) || !ParseNumber(text.substr(x + 1), h))
        return false;
    if (w != std::floor(w) || h != std::floor(h) || w < 16 || h < 16 || w > 16384 || h > 16384) return false;
    width = static_cast<int>(w);
    height = static_cast<int>(h);
    return true;
}

bool ParseShots(const std::string& text, std::vector<runtime::Shot>& shots)
{
    std::stringstream list(text);
    std::string item;
    while (std::getline(list, item, ',')) {
        double seconds;
        if (!ParseNumber(item, seconds) || seconds < 0.0) return false;
        for (char c : item)
            if (c == '/' || c == '\\') return false;
        shots.push_back({item, seconds, false});
    }
    return !shots.empty() && text.back() != ',';
}

// A whole number that is one of `allowed`.
bool ParseChoice(const std::string& text, std::initializer_list<int> allowed, int& value)
{
    double number;
    if (!ParseNumber(text, number) || text.find_first_not_of("0123456789") != std::string::npos) return false;
    for (int choice : allowed)
        if (number == choice) {
            value = choice;
            return true;
        }
    return false;
}

// A texture filter level: "bilinear", "trilinear", "anisotropic" (the
// device's most) or "anisotropic=N".
bool ParseFilter(const std::string& text, runtime::Options& options)
{
    const std::string kAnisotropic = "anisotropic";
    if (text == "bilinear" || text == "trilinear") {
        options.filter = text == "bilinear" ? runtime::TextureFilter::Bilinear : runtime::TextureFilter::Trilinear;
        options.anisotropy = 0;
        return true;
    }
    if (text.compare(0, kAnisotropic.size(), kAnisotropic) != 0) return false;
    int anisotropy = 0;
    if (text.size() > kAnisotropic.size() &&
        (text[kAnisotropic.size()] != '=' ||
         !ParseChoice(text.substr(kAnisotropic.size() + 1), {2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16},
                      anisotropy)))
        return false;
    options.filter = runtime::TextureFilter::Anisotropic;
    options.anisotropy = anisotropy;
    return true;
}

// TIME:KEY,TIME:KEY,... with the keys' names of Keys.h, put in time order
// (keys of one time keep their order).
bool ParseKeys(const std::string& text, std::vector<runtime::KeyPress>& keys)
{
    std::stringstream list(text);
    std::string item;
    while (std::getline(list, item, ',')) {
        const size_t colon = item.find(':');
        double seconds;
        if (colon == std::string::npos || !ParseNumber(item.substr(0, colon), seconds) || seconds < 0.0) return false;
        const unsigned key = KeyOfName(item.substr(colon + 1));
        if (!key) return false;
        keys.push_back({seconds, key});
    }
    std::stable_sort(keys.begin(), keys.end(),
                     [](const runtime::KeyPress& a, const runtime::KeyPress& b) { return a.seconds < b.seconds; });
    return !keys.empty() && text.back() != ',';
}

}  // namespace

std::string UsageText()
{
    const std::string size = std::to_string(Show().width) + " by " + std::to_string(Show().height);
    return "Usage: bralmond [options]\n"
           "Plays the BRALMOND show. Its data is the Data folder in the working folder,\n"
           "else $XDG_DATA_HOME/bralmond/Data, else the installed share/bralmond/Data.\n"
           "\n"
           "  --windowed         play in a window of " + size + " instead of full screen\n"
           "  --headless         render without a window or sound device on a virtual clock\n"
           "  --fps N            frames per second of the virtual clock (default 60; 60000/1001 allowed)\n"
           "  --until SECONDS    end the run at this music time, as Escape would\n"
           "  --shots T1,T2,...  write the first frame at or after each music time T as shot-T.png\n"
           "  --out DIR          folder for the screenshots (default: the working directory)\n"
           "  --size WxH         render at this resolution; the picture keeps its 4:3 shape\n"
           "  --vsync            wait for the display's refresh when presenting\n"
           "  --start SECONDS    begin the show at this music time\n"
           "  --capture FILE     render every frame and the sound into a video (.mp4, .mkv or .webm)\n"
           "                     with ffmpeg; implies --headless\n"
           "  --best             with --capture: a smaller video, encoded more slowly\n"
           "  --stats            print the run's figures at its end: start-up, frames a second\n"
           "  --count-pixels     with --stats, the pixels the draws fill (slows the run)\n"
           "  --frames DIR       render every frame as DIR/frame-NNNNNN.png and the sound as\n"
           "                     DIR/audio.wav; implies --headless\n"
           "  --data DIR         read the show's data files from DIR instead\n"
           "  --keys T:KEY,...   press keys at these music times (as if nothing had been\n"
           "                     paused or moved): space, left, right, pageup, pagedown, home\n"
           "  --version          print the version\n"
           "  --help             show this text\n"
           "\n"
           "Picture quality (the show's own picture without them):\n"
           "  --msaa N           antialias edges with N samples a pixel (2, 4 or 8, as far as\n"
           "                     the graphics device allows)\n"
           "  --supersample N    render N times larger a side (2, 3 or 4) and reduce the picture\n"
           "  --filter [LEVEL]   filter textures: bilinear, trilinear, anisotropic (the default:\n"
           "                     the device's most) or anisotropic=N (N from 2 to 16)\n"
           "  --best-picture     for videos: --supersample 2 --filter anisotropic\n"
           "\n"
           "A capture starts at --start (default 0) and ends where the show ends or\n"
           "before the frame that reaches --until.\n"
           "\n"
           "Keys while the show plays: Space pauses and resumes, Left and Right move\n"
           "5 seconds back and on, Page Up and Page Down 30 seconds, Home goes back to\n"
           "the beginning, Escape ends the show. A bar shows the position for a moment.\n";
}

std::string VersionText()
{
    return std::string("bralmond ") + BRALMOND_VERSION + "\n";
}

ParseResult ParseOptions(int argc, char** argv, runtime::Options& options, std::string& message)
{
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= argc) {
                message = "Option " + arg + " needs a value.";
                return false;
            }
            out = argv[++i];
            return true;
        };
        // A folder's name: present and not empty.
        auto folder = [&](std::string& out) {
            std::string name;
            if (!value(name)) return false;
            if (name.empty()) {
                message = "Empty folder for " + arg + ".";
                return false;
            }
            out = name;
            return true;
        };
        std::string v;
        if (arg == "--help" || arg == "-h") return ParseResult::Help;
        if (arg == "--version") return ParseResult::Version;
        if (arg == "--windowed") {
            options.windowed = true;
        } else if (arg == "--headless") {
            options.headless = true;
        } else if (arg == "--vsync") {
            options.vsync = true;
        } else if (arg == "--fps") {
            if (!value(v)) return ParseResult::Error;
            if (!ParseRate(v, options.fps)) {
                message = "Invalid frame rate for --fps: " + v;
                return ParseResult::Error;
            }
            options.fpsText = v;
        } else if (arg == "--until") {
            if (!value(v)) return ParseResult::Error;
            if (!ParseNumber(v, options.until) || options.until < 0.0) {
                message = "Invalid time for --until: " + v;
                return ParseResult::Error;
            }
        } else if (arg == "--shots") {
            if (!value(v)) return ParseResult::Error;
            if (!ParseShots(v, options.shots)) {
                message = "Invalid list of times for --shots: " + v;
                return ParseResult::Error;
            }
        } else if (arg == "--out") {
            if (!folder(options.outDir)) return ParseResult::Error;
        } else if (arg == "--size") {
            if (!value(v)) return ParseResult::Error;
            if (!ParseSize(v, options.outputWidth, options.outputHeight)) {
                message = "Invalid size for --size (expected WIDTHxHEIGHT): " + v;
                return ParseResult::Error;
            }
        } else if (arg == "--start") {
            if (!value(v)) return ParseResult::Error;
            if (!ParseNumber(v, options.start) || options.start < 0.0) {
                message = "Invalid time for --start: " + v;
                return ParseResult::Error;
            }
        } else if (arg == "--capture") {
            if (!value(v)) return ParseResult::Error;
            if (!VideoFormatFor(v)) {
                message = "--capture writes " + KnownVideoExtensions() + " files; cannot tell the format of: " + v;
                return ParseResult::Error;
            }
            options.capturePath = v;
        } else if (arg == "--stats") {
            options.stats = true;
        } else if (arg == "--count-pixels") {
            options.countPixels = true;
            options.stats = true;
        } else if (arg == "--best") {
            options.bestQuality = true;
        } else if (arg == "--data") {
            if (!folder(options.dataFolder)) return ParseResult::Error;
        } else if (arg == "--msaa") {
            if (!value(v)) return ParseResult::Error;
            if (!ParseChoice(v, {2, 4, 8}, options.msaa)) {
                message = "Invalid number of samples for --msaa (2, 4 or 8): " + v;
                return ParseResult::Error;
            }
        } else if (arg == "--supersample") {
            if (!value(v)) return ParseResult::Error;
            if (!ParseChoice(v, {2, 3, 4}, options.supersample)) {
                message = "Invalid factor for --supersample (2, 3 or 4): " + v;
                return ParseResult::Error;
            }
        } else if (arg == "--filter" || arg.compare(0, 9, "--filter=") == 0) {
            // The level is optional: "--filter", "--filter trilinear" or "--filter=trilinear".
            if (arg != "--filter") {
                v = arg.substr(9);
            } else if (i + 1 < argc && argv[i + 1][0] != '-' && argv[i + 1][0] != '\0') {
                v = argv[++i];
            } else {
                v = "anisotropic";
            }
            if (!ParseFilter(v, options)) {
                message = "Invalid level for --filter (bilinear, trilinear, anisotropic or anisotropic=N with N from 2 "
                          "to 16): " + v;
                return ParseResult::Error;
            }
        } else if (arg == "--best-picture") {
            options.supersample = 2;
            options.filter = runtime::TextureFilter::Anisotropic;
            options.anisotropy = 0;
        } else if (arg == "--keys") {
            if (!value(v)) return ParseResult::Error;
            if (!ParseKeys(v, options.keys)) {
                message = "Invalid list for --keys (expected TIME:KEY,... with KEY one of space, left, right, "
                          "pageup, pagedown, home): " + v;
                return ParseResult::Error;
            }
        } else if (arg == "--frames") {
            if (!folder(options.framesDir)) return ParseResult::Error;
        } else {
            message = "Unknown option: " + arg;
            return ParseResult::Error;
        }
    }
    if (options.until >= 0.0 && options.start > 0.0 && options.until <= options.start) {
        message = "--until must come after --start.";
        return ParseResult::Error;
    }
    if (!options.keys.empty() && (!options.capturePath.empty() || !options.framesDir.empty())) {
        message = "--keys cannot be used with --capture or --frames: a capture plays the show straight through.";
        return ParseResult::Error;
    }
    if (!options.capturePath.empty() || !options.framesDir.empty()) options.headless = true;
    const auto spaces = std::count_if(options.keys.begin(), options.keys.end(),
                                      [](const runtime::KeyPress& k) { return k.key == VK_SPACE; });
    if (options.headless && spaces % 2 != 0) {
        message = "--keys leaves a headless run paused for ever: a space must resume it.";
        return ParseResult::Error;
    }
    if (!options.capturePath.empty()) {
        // 4:2:0 video has one colour sample for every two by two pixels.
        const int width = options.outputWidth > 0 ? options.outputWidth : Show().width;
        const int height = options.outputHeight > 0 ? options.outputHeight : Show().height;
        if (width % 2 != 0 || height % 2 != 0) {
            message = "--capture needs an even width and height: " + std::to_string(width) + "x" +
                      std::to_string(height);
            return ParseResult::Error;
        }
    }
    return ParseResult::Run;
}

}  // namespace host
