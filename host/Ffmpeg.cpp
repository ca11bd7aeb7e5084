// Video formats and ffmpeg command lines of a capture (see Ffmpeg.h).
#include "Ffmpeg.h"

#include <algorithm>
#include <cctype>
#include <thread>

namespace host {

namespace {

// H.264 for the MP4 and Matroska files, in 4:2:0 so that every player takes
// it, tagged as BT.709 after converting with that matrix, so that players
// show the colours that were rendered. The ultrafast preset leaves the
// renderer most of a small machine, so that a capture runs at three quarters
// of the headless speed on two cores (medium, with --best, makes a file of
// about half the size at 0.6 times the speed); quality 18 keeps the loss out of sight.
const std::vector<std::string> kH264 = {"-c:v", "libx264", "-preset", "ultrafast", "-crf", "18"};
const std::vector<std::string> kH264Best = {"-c:v", "libx264", "-preset", "medium", "-crf", "18"};
const std::vector<std::string> kVp9 = {"-c:v", "libvpx-vp9", "-crf", "30", "-b:v", "0",
                                       "-row-mt", "1", "-deadline", "good", "-cpu-used", "5"};
const std::vector<std::string> kVp9Best = {"-c:v", "libvpx-vp9", "-crf", "30", "-b:v", "0",
                                           "-row-mt", "1", "-deadline", "good", "-cpu-used", "2"};

const VideoFormat kFormats[] = {
    {".mp4", "mp4", kH264, kH264Best, {"-c:a", "aac", "-b:a", "192k"}},
    {".mkv", "matroska", kH264, kH264Best, {"-c:a", "flac"}},
    {".webm", "webm", kVp9, kVp9Best, {"-c:a", "libopus", "-b:a", "160k"}},
};

std::vector<std::string> Quiet(const std::string& ffmpeg)
{
    // Only ffmpeg's errors reach the terminal: the capture prints its own
    // progress line.
    return {ffmpeg, "-hide_banner", "-nostats", "-loglevel", "error", "-y"};
}

// ffmpeg's name for a file: with the "file:" protocol, so that a name that
// starts with a dash or holds a colon is still taken as a file name.
std::string FileArgument(const std::string& path)
{
    return "file:" + path;
}

}  // namespace

const VideoFormat* VideoFormatFor(const std::string& path)
{
    const size_t slash = path.find_last_of('/');
    const size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return nullptr;
    std::string extension = path.substr(dot);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    // A name that is only an extension (".mp4") names no file.
    if (dot == 0 || dot == slash + 1) return nullptr;
    for (const VideoFormat& format : kFormats)
        if (extension == format.extension) return &format;
    return nullptr;
}

std::string KnownVideoExtensions()
{
    std::string list;
    for (const VideoFormat& format : kFormats) list += (list.empty() ? "" : ", ") + std::string(format.extension);
    return list;
}

std::vector<std::string> EncodeFramesCommand(const std::string& ffmpeg, const VideoFormat& format, int width,
                                             int height, const std::string& rate, const std::string& output,
                                             bool best)
{
    std::vector<std::string> args = Quiet(ffmpeg);
    const std::vector<std::string> input = {"-f", "rawvideo", "-pix_fmt", "rgb24", "-video_size",
                                            std::to_string(width) + "x" + std::to_string(height),
                                            "-framerate", rate, "-i", "pipe:0", "-an"};
    args.insert(args.end(), input.begin(), input.end());
    const std::vector<std::string>& codec = best ? format.bestVideoCodec : format.videoCodec;
    args.insert(args.end(), codec.begin(), codec.end());
    // The encoder shares the processor with the renderer, which keeps two
    // cores busy: it gets the rest, and one thread where there is no rest
    // (its threads would only take turns with the renderer's, and each
    // costs some work of its own).
    const unsigned cores = std::thread::hardware_concurrency();
    args.insert(args.end(), {"-threads", std::to_string(cores > 2 ? cores - 2 : 1)});
    // The frames arrive bottom row first, as the renderer reads them back.
    const std::vector<std::string> picture = {"-vf", "vflip,scale=out_color_matrix=bt709:out_range=tv",
                                              "-pix_fmt", "yuv420p", "-colorspace", "bt709",
                                              "-color_primaries", "bt709", "-color_trc", "bt709",
                                              "-color_range", "tv", "-f", format.muxer, FileArgument(output)};
    args.insert(args.end(), picture.begin(), picture.end());
    return args;
}

std::vector<std::string> AddSoundCommand(const std::string& ffmpeg, const VideoFormat& format,
                                         const std::string& videoPath, const std::string& wavPath,
                                         const std::string& output)
{
    std::vector<std::string> args = Quiet(ffmpeg);
    const std::vector<std::string> inputs = {"-nostdin", "-i", FileArgument(videoPath), "-i", FileArgument(wavPath),
                                             "-map", "0:v:0", "-map", "1:a:0", "-c:v", "copy"};
    args.insert(args.end(), inputs.begin(), inputs.end());
    args.insert(args.end(), format.audioCodec.begin(), format.audioCodec.end());
    if (std::string(format.muxer) == "mp4") {
        // The index at the front, so that a player can start before the end arrives.
        args.push_back("-movflags");
        args.push_back("+faststart");
    }
    args.insert(args.end(), {"-f", format.muxer, FileArgument(output)});
    return args;
}

}  // namespace host
