// The video files a capture can write, chosen by the file's extension, and
// the ffmpeg command lines that make them: one that encodes raw RGB frames
// read from standard input, one that adds the soundtrack to the encoded video.
#pragma once

#include <string>
#include <vector>

namespace host {

struct VideoFormat {
    const char* extension;  // with its dot, lower case
    const char* muxer;      // ffmpeg's name of the container
    std::vector<std::string> videoCodec;      // ffmpeg's options for the picture
    std::vector<std::string> bestVideoCodec;  // the same, slower, for a smaller file
    std::vector<std::string> audioCodec;  // and for the sound
};

// The format for a file name, by its extension in any case; null when the
// extension is not one of KnownVideoExtensions.
const VideoFormat* VideoFormatFor(const std::string& path);

// The extensions that --capture accepts, for messages: ".mp4, .mkv, .webm".
std::string KnownVideoExtensions();

// ffmpeg reading width by height RGB frames, bottom row first, at rate
// (ffmpeg's syntax: "60", "29.97", "60000/1001") from its standard input and
// writing the encoded video, without sound, to output; with best, the
// format's slower settings for a smaller file.
std::vector<std::string> EncodeFramesCommand(const std::string& ffmpeg, const VideoFormat& format, int width,
                                             int height, const std::string& rate, const std::string& output,
                                             bool best = false);

// ffmpeg copying the video of videoPath and encoding the sound of wavPath
// into output.
std::vector<std::string> AddSoundCommand(const std::string& ffmpeg, const VideoFormat& format,
                                         const std::string& videoPath, const std::string& wavPath,
                                         const std::string& output);

}  // namespace host
