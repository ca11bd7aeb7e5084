// Inside the BASS stand-in (the system never includes this): reading a file,
// decoding MPEG audio to 16-bit PCM with mpg123, and
// converting PCM to stereo at another rate with SDL's audio stream.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace bass_decode {

// Whole decoded file: interleaved signed 16-bit samples at the file's own rate.
struct Pcm {
    int rate = 0;
    int channels = 0;
    std::vector<int16_t> samples;
    size_t Frames() const { return channels > 0 ? samples.size() / channels : 0; }
};

// Reads length bytes from offset (length 0: to the end); false when the file
// is missing, unreadable or has nothing there.
bool ReadFileBytes(const std::string& path, uint64_t offset, uint64_t length, std::vector<unsigned char>& bytes);

// Decodes MPEG audio layers 1 to 3, mono or stereo, at any MPEG rate; ID3 tags
// are skipped and, where the encoder left a LAME tag, its delay and padding
// are removed. False when no audio frame is found or the result would not be
// addressable in 32-bit byte positions.
bool DecodeMpegAudio(const unsigned char* data, size_t size, Pcm& pcm);

// The same sound as interleaved 16-bit stereo at outRate, exactly
// round(frames * outRate / rate) frames long; false when SDL cannot convert.
bool ConvertToStereo(const Pcm& pcm, int outRate, std::vector<int16_t>& stereo);

}  // namespace bass_decode
