// Capture of a headless run (see Capture.h). ffmpeg gets the raw frames
// through a pipe while the show renders, so encoding runs beside rendering;
// the sound is collected in a WAV file and added to the video when the show
// has ended, which keeps both exact without the two streams having to be
// interleaved into one pipe.
#include "Capture.h"

#include "Ffmpeg.h"
#include "PictureQueue.h"
#include "PartFile.h"
#include "PngWriter.h"
#include "Process.h"
#include "WavWriter.h"
#include "host.h"

#include "bass_host.h"
#include "d3d8_host.h"
#include "runtime.h"

#include <signal.h>
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <vector>

namespace host {

namespace {

using Clock = std::chrono::steady_clock;

// Progress updates a second, at most.
constexpr double kProgressInterval = 0.25;
// Frames whose pictures are still on their way back from the renderer while
// the next one is drawn; reading further behind only costs memory.
constexpr size_t kReadsBehind = 2;

struct CaptureState {
    bool active = false;
    bool failed = false;
    std::string videoPath;  // --capture: the video, and its temporary parts beside it
    const VideoFormat* format = nullptr;
    std::string ffmpeg;
    std::string silentVideoPath;
    std::string soundPath;
    std::string muxedPath;  // the finished video before it takes its name
    std::string encoderLog; // what ffmpeg says when it fails, told after the run's own message
    ChildProcess encoder;
    WavWriter videoSound;
    std::string framesDir;  // --frames: the pictures and their sound
    WavWriter framesSound;
    std::unique_ptr<PictureQueue> pictures;  // writes the pictures of --capture and --frames
    int width = 0;
    int height = 0;
    uint64_t frames = 0;    // frames taken (their sound is written at once)
    uint64_t pictured = 0;  // frames whose picture has been passed on
    double lastMusic = 0.0;
    Clock::time_point started;
    Clock::time_point lastProgress;
    bool progressShown = false;
    std::vector<uint8_t> rgb;
    std::vector<int16_t> sound;
};

CaptureState& S()
{
    static CaptureState state;
    return state;
}

std::string FolderOf(const std::string& path)
{
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string NameOf(const std::string& path)
{
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool IsFolder(const std::string& path)
{
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

double SecondsSince(Clock::time_point then)
{
    return std::chrono::duration<double>(Clock::now() - then).count();
}

void EndProgressLine()
{
    if (!S().progressShown) return;
    std::fputc('\n', stderr);
    S().progressShown = false;
}

void ShowProgress(bool force)
{
    CaptureState& s = S();
    const Clock::time_point now = Clock::now();
    if (!force && s.progressShown && std::chrono::duration<double>(now - s.lastProgress).count() < kProgressInterval)
        return;
    s.lastProgress = now;
    const double elapsed = SecondsSince(s.started);
    const double rate = elapsed > 0.0 ? static_cast<double>(s.frames) / elapsed : 0.0;
    const runtime::Options& options = runtime::CurrentOptions();
    const double end = options.until >= 0.0 ? std::min(options.until, Show().end) : Show().end;
    const double framesLeft = std::max(0.0, (end - s.lastMusic) * options.fps);
    const double left = rate > 0.0 ? framesLeft / rate : -1.0;
    std::fprintf(stderr, "\r%s", ProgressLine(s.frames, s.lastMusic, rate, left).c_str());
    std::fflush(stderr);
    s.progressShown = true;
}

void Fail(const std::string& message)
{
    S().failed = true;
    EndProgressLine();
    FailRun(message);
}

// The message followed by what ffmpeg wrote about its failure, one line
// each, so that the run's own line comes first and the encoder's reason
// after it.
std::string WithEncoderLog(std::string message)
{
    std::ifstream log(S().encoderLog);
    int lines = 0;
    for (std::string line; lines < 12 && std::getline(log, line);)
        if (!line.empty()) {
            message += "\n  ffmpeg: " + line;
            ++lines;
        }
    return message;
}

// Starts ffmpeg on the first picture, when its size is known.
bool StartEncoder(int width, int height)
{
    CaptureState& s = S();
    std::string message;
    const auto command = EncodeFramesCommand(s.ffmpeg, *s.format, width, height,
                                             runtime::CurrentOptions().fpsText, s.silentVideoPath,
                                             runtime::CurrentOptions().bestQuality);
    if (!StartProcess(command, true, s.encoder, message, s.encoderLog)) {
        Fail(message);
        return false;
    }
    return true;
}

// Writes one picture into ffmpeg's pipe and/or a PNG file; on the queue's
// thread, which the encoder's start comes before and its end after.
bool WritePicture(const Picture& picture, std::string& error)
{
    const CaptureState& s = S();
    if (s.encoder.input >= 0 && !WriteAll(s.encoder.input, picture.rgb.data(), picture.rgb.size())) {
        error = WithEncoderLog("ffmpeg stopped taking frames; the video is not complete.");
        return false;
    }
    return picture.path.empty() ||
           WritePng(picture.path, picture.rgb.data(), picture.width, picture.height, kFastPng, error, true);
}

// Passes on the oldest picture that has come back from the renderer (waiting
// for it when wait is set) to the queue that writes it. Pictures arrive
// bottom row first; ffmpeg and the PNG writer take them that way.
bool PassOnPicture(bool wait)
{
    CaptureState& s = S();
    int width = 0, height = 0;
    if (!d3d8_host::TakeReadBack(s.rgb, width, height, wait)) return false;
    if (s.failed) return true;
    if (s.pictured == 0) {
        s.width = width;
        s.height = height;
        if (!s.videoPath.empty() && !StartEncoder(width, height)) return true;
    } else if (width != s.width || height != s.height) {
        Fail("the size of the rendered frames changed during the capture.");
        return true;
    }
    std::string path;
    if (!s.framesDir.empty()) {
        char name[32];
        std::snprintf(name, sizeof name, "/frame-%06llu.png", static_cast<unsigned long long>(s.pictured));
        path = s.framesDir + name;
    }
    if (!s.pictures->Push(std::move(path), s.rgb, width, height)) {
        std::string error;
        s.pictures->Finish(error);
        Fail(error);
        return true;
    }
    ++s.pictured;
    return true;
}

// The capture's hidden parts: the video's and its sound's, the muxed video
// and ffmpeg's words. Also kept as plain C strings, for the signal handler.
std::vector<std::string> PartsOfTheVideo()
{
    const CaptureState& s = S();
    if (s.videoPath.empty()) return {};
    return {s.silentVideoPath, s.soundPath, part_file::PartPathOf(s.soundPath), s.muxedPath, s.encoderLog};
}

constexpr size_t kMaxParts = 6;
char g_parts[kMaxParts][4096];

void KeepPartsForTheSignalHandler()
{
    std::vector<std::string> parts = PartsOfTheVideo();
    if (!S().framesDir.empty()) parts.push_back(part_file::PartPathOf(S().framesDir + "/audio.wav"));
    for (size_t i = 0; i < kMaxParts; ++i) {
        const std::string part = i < parts.size() && parts[i].size() < sizeof g_parts[i] ? parts[i] : std::string();
        std::memcpy(g_parts[i], part.c_str(), part.size() + 1);
    }
}

void RemoveParts()
{
    for (const std::string& part : PartsOfTheVideo()) ::unlink(part.c_str());
}

// Parts that a capture killed outright (SIGKILL, a power cut) left in the
// frames folder: pictures and sound that never took their names.
void RemoveStalePartsOfFrames(const std::string& folder)
{
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        const bool picture = name.rfind(".frame-", 0) == 0 && name.size() > 9 &&
                             name.compare(name.size() - 9, 9, ".png.part") == 0;
        if (picture || name == ".audio.wav.part") ::unlink((folder + "/" + name).c_str());
    }
    ::closedir(dir);
}

// The signal that interrupted the capture (Ctrl-C's SIGINT, SIGTERM), or 0.
volatile std::sig_atomic_t g_interruption = 0;

extern "C" void OnInterruption(int signal)
{
    if (!g_interruption) {
        g_interruption = signal;
        return;
    }
    // A second one ends the process at once, as it would without a capture,
    // but not before the capture's hidden parts are gone.
    for (const char* part : g_parts)
        if (part[0]) ::unlink(part);
    static const char text[] = "\nbralmond: interrupted again; the capture is not finished and its parts are removed.\n";
    if (::write(STDERR_FILENO, text, sizeof text - 1) < 0) {
    }
    ::signal(signal, SIG_DFL);
    ::raise(signal);
}

// Until the capture is finished, an interruption ends it cleanly at the next
// frame instead of killing the process with its hidden parts left behind.
void CatchInterruptions()
{
    struct sigaction action {};
    action.sa_handler = OnInterruption;
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) ::sigaction(signal, &action, nullptr);
}

// Fails the capture once an interruption has come.
bool Interrupted()
{
    if (!g_interruption) return false;
    if (!S().failed) Fail(std::string("interrupted by ") + ::strsignal(g_interruption) + "; the capture is not finished.");
    return true;
}

}  // namespace

std::string ProgressLine(uint64_t frames, double musicSeconds, double framesPerSecond, double secondsLeft)
{
    char left[32] = "?";
    if (secondsLeft >= 0.0) {
        const long total = std::lround(secondsLeft);
        if (total >= 3600)
            std::snprintf(left, sizeof left, "%ld:%02ld:%02ld", total / 3600, total / 60 % 60, total % 60);
        else
            std::snprintf(left, sizeof left, "%ld:%02ld", total / 60, total % 60);
    }
    char line[160];
    std::snprintf(line, sizeof line, "frame %llu  music %.2f s  %.1f fps  %s left  ",
                  static_cast<unsigned long long>(frames), musicSeconds, framesPerSecond, left);
    return line;
}

bool PrepareCapture(const runtime::Options& options, std::string& message)
{
    ResetCapture();
    CaptureState& s = S();
    if (options.capturePath.empty() && options.framesDir.empty()) return true;
    if (!options.capturePath.empty()) {
        s.format = VideoFormatFor(options.capturePath);
        if (!s.format) {
            message = "--capture writes " + KnownVideoExtensions() + " files: " + options.capturePath;
            return false;
        }
        s.ffmpeg = FindOnPath("ffmpeg");
        if (s.ffmpeg.empty()) {
            message = "--capture needs ffmpeg, which is not on the PATH (install the Debian package ffmpeg).";
            return false;
        }
        const std::string folder = FolderOf(options.capturePath);
        if (!IsFolder(folder) || ::access(folder.c_str(), W_OK) != 0) {
            message = "cannot write the video into " + folder + ": " +
                      (IsFolder(folder) ? "the folder is not writable." : "no such folder.");
            return false;
        }
        if (IsFolder(options.capturePath)) {
            message = "cannot write the video " + options.capturePath + ": a folder has that name.";
            return false;
        }
        s.videoPath = options.capturePath;
        // The parts are hidden files beside the video, on the same disk; any
        // that a killed capture of the same name left behind go first.
        const std::string stem = (folder == "." ? std::string() : folder + "/") + "." + NameOf(s.videoPath);
        s.silentVideoPath = stem + ".video-part";
        s.soundPath = stem + ".sound-part.wav";
        s.muxedPath = stem + ".muxed-part";
        s.encoderLog = stem + ".ffmpeg-log";
        RemoveParts();
    }
    if (!options.framesDir.empty()) {
        if (!IsFolder(options.framesDir) && ::mkdir(options.framesDir.c_str(), 0777) != 0) {
            message = "cannot make the folder for --frames " + options.framesDir + ": " + std::strerror(errno);
            return false;
        }
        RemoveStalePartsOfFrames(options.framesDir);
        if (!OpenWav(s.framesSound, options.framesDir + "/audio.wav", bass_host::kPlayedAudioRate, 2, message))
            return false;
        s.framesDir = options.framesDir;
    }
    KeepPartsForTheSignalHandler();
    s.pictures = std::make_unique<PictureQueue>(WritePicture);
    // A dead ffmpeg shows as a failed write, not as a signal that ends the show.
    ::signal(SIGPIPE, SIG_IGN);
    g_interruption = 0;
    CatchInterruptions();
    s.active = true;
    s.started = s.lastProgress = Clock::now();
    return true;
}

void CaptureFrame(IDirect3DDevice8* device, double musicSeconds)
{
    CaptureState& s = S();
    if (!s.active || s.failed || Interrupted()) return;
    if (!d3d8_host::QueueReadBack(device)) {
        Fail("cannot read the rendered frame back.");
        return;
    }
    if (s.frames == 0) {
        s.started = Clock::now();
        std::string message;
        if (!s.videoPath.empty() &&
            !OpenWav(s.videoSound, s.soundPath, bass_host::kPlayedAudioRate, 2, message)) {
            Fail(message);
            return;
        }
    }
    // The sound from this frame's moment on the virtual clock to the next's,
    // taken now, while the streams play; the picture follows when it is back.
    const double fps = runtime::CurrentOptions().fps;
    const uint64_t frame = runtime::PresentedFrames();
    bass_host::RenderPlayedAudio(static_cast<double>(frame) / fps, static_cast<double>(frame + 1) / fps, s.sound);
    for (WavWriter* wav : {&s.videoSound, &s.framesSound}) {
        if (wav->file && !AppendWav(*wav, s.sound)) {
            Fail("cannot write the sound of the capture: " + wav->error + ".");
            return;
        }
    }
    ++s.frames;
    s.lastMusic = musicSeconds;
    while (d3d8_host::QueuedReadBacks() > kReadsBehind && PassOnPicture(true)) {
    }
    ShowProgress(false);
}

bool FinishCapture(std::string& message)
{
    CaptureState& s = S();
    if (!s.active) return true;
    // The pictures still on their way, in order.
    while (PassOnPicture(true)) {
    }
    if (s.pictures) {
        std::string error;
        if (!s.pictures->Finish(error) && !s.failed) {
            s.failed = true;
            message = error;
        }
    }
    if (s.frames > 0 && !s.failed) ShowProgress(true);
    EndProgressLine();
    s.active = false;
    bool ok = !s.failed;
    if (s.framesSound.file && !CloseWav(s.framesSound) && ok) {
        message = "cannot write " + s.framesDir + "/audio.wav: " + s.framesSound.error;
        ok = false;
    }
    if (!s.videoPath.empty()) {
        const bool soundOk = CloseWav(s.videoSound);
        if (s.encoder.pid > 0) {
            std::string why;
            const int status = WaitForProcess(s.encoder, why);
            if (status != 0 && ok) {
                message = WithEncoderLog("ffmpeg could not encode the video (" +
                                         (status < 0 ? why : "exit status " + std::to_string(status)) + ").");
                ok = false;
            }
        }
        if (ok && !soundOk) {
            message = "cannot write the sound of the capture to " + s.soundPath + ": " + s.videoSound.error;
            ok = false;
        }
        if (ok && s.frames == 0) {
            message = "no frame was rendered, so no video was written.";
            ok = false;
        }
        if (ok) {
            // The video takes its name only when it is whole, so that the
            // name never shows a half-written file.
            std::string why;
            const int status = RunProcess(
                AddSoundCommand(s.ffmpeg, *s.format, s.silentVideoPath, s.soundPath, s.muxedPath), why, s.encoderLog);
            if (status != 0 || g_interruption) {
                message = g_interruption ? std::string("interrupted by ") + ::strsignal(g_interruption) +
                                               "; the capture is not finished."
                                         : WithEncoderLog("ffmpeg could not write " + s.videoPath + " (" +
                                                          (status < 0 ? why : "exit status " + std::to_string(status)) +
                                                          ").");
                ok = false;
            } else if (::rename(s.muxedPath.c_str(), s.videoPath.c_str()) != 0) {
                message = "could not write " + s.videoPath + " (" + std::strerror(errno) + ").";
                ok = false;
            }
        }
        RemoveParts();
    }
    if (ok && s.frames > 0) {
        const double elapsed = SecondsSince(s.started);
        const double length = static_cast<double>(s.frames) / runtime::CurrentOptions().fps;
        std::fprintf(stderr, "Captured %llu frames (%.2f s) in %.1f s: %.1f frames a second, %.2f times real time.\n",
                     static_cast<unsigned long long>(s.frames), length, elapsed,
                     elapsed > 0.0 ? static_cast<double>(s.frames) / elapsed : 0.0,
                     elapsed > 0.0 ? length / elapsed : 0.0);
    }
    return ok;
}

int InterruptionSignal()
{
    return g_interruption;
}

void ResetCapture()
{
    CaptureState& s = S();
    if (s.pictures) {
        std::string ignored;
        s.pictures->Finish(ignored);
    }
    int w, h;
    while (d3d8_host::TakeReadBack(s.rgb, w, h, true)) {
    }
    if (s.encoder.pid > 0) {
        std::string ignored;
        WaitForProcess(s.encoder, ignored);
    }
    DiscardWav(s.videoSound);
    DiscardWav(s.framesSound);
    if (s.active) RemoveParts();
    s = CaptureState{};
}

}  // namespace host
