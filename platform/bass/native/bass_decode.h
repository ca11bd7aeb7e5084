// The desktop side of the BASS stand-in's decoding (the system never
// includes this): MPEG audio to 16-bit PCM with mpg123, and PCM to stereo at
// another rate with SDL's audio stream.
#pragma once

#include "BassSide.h"

#include <cstddef>
#include <memory>
#include <cstdint>
#include <string>
#include <vector>

struct mpg123_handle_struct;
typedef struct mpg123_handle_struct mpg123_handle;

namespace bass_decode {

using bass_side::Pcm;

struct MemoryReader;

// MPEG audio decoded piece by piece, so that a stream can start playing while
// the rest of its file is still being decoded. It owns the file's bytes.
class MpegDecoder {
public:
    enum class Result { More, Done, Failed };

    explicit MpegDecoder(std::vector<unsigned char> bytes);
    ~MpegDecoder();
    MpegDecoder(const MpegDecoder&) = delete;
    MpegDecoder& operator=(const MpegDecoder&) = delete;

    // The next piece of sound (interleaved 16-bit, whole and half frames as
    // they come): More while there is more, Done with the last piece (which
    // may be empty), Failed when the bytes are no MPEG audio, or the sound
    // would not be addressable in 32-bit byte positions.
    Result Read(std::vector<int16_t>& samples);
    // Known after the first piece: the stream's own rate and channel count.
    int Rate() const { return rate_; }
    int Channels() const { return channels_; }
    // The length in frames that the headers promise (exact with a LAME tag), 0 when unknown.
    size_t ExpectedFrames() const;

private:
    Result Fail();

    std::vector<unsigned char> bytes_;
    mpg123_handle* handle_ = nullptr;
    std::unique_ptr<MemoryReader> reader_;
    bool open_ = false;
    bool finished_ = false;
    bool matches_ = true;  // the frames now decoded have the stream's first format
    int stalled_ = 0;      // errors in a row that neither read input nor gave sound
    int rate_ = 0;
    int channels_ = 0;
    uint64_t decodedBytes_ = 0;
};

// Decodes MPEG audio layers 1 to 3, mono or stereo, at any MPEG rate; ID3 tags
// are skipped and, where the encoder left a LAME tag, its delay and padding
// are removed. False when no audio frame is found or the result would not be
// addressable in 32-bit byte positions.
bool DecodeMpegAudio(const unsigned char* data, size_t size, Pcm& pcm);

// The same sound as interleaved 16-bit stereo at outRate, exactly
// round(frames * outRate / rate) frames long; false when SDL cannot convert.
bool ConvertToStereo(const Pcm& pcm, int outRate, std::vector<int16_t>& stereo);

}  // namespace bass_decode
