// Decoding for the BASS stand-in: MPEG audio to 16-bit PCM
// with mpg123, and rate and channel conversion with SDL's audio stream. No
// playback state lives here.
#include "bass_decode.h"

#include <SDL.h>
#include <mpg123.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>

namespace bass_decode {

// A memory reader for mpg123, so that a file can be decoded from a buffer
// with seeking (which the LAME tag's length information needs).
struct MemoryReader {
    const unsigned char* data;
    size_t size;
    size_t at;
};

namespace {

mpg123_ssize_t ReadMemory(void* handle, void* buffer, size_t count)
{
    auto* reader = static_cast<MemoryReader*>(handle);
    size_t n = std::min(count, reader->size - reader->at);
    std::memcpy(buffer, reader->data + reader->at, n);
    reader->at += n;
    return static_cast<mpg123_ssize_t>(n);
}

off_t SeekMemory(void* handle, off_t offset, int whence)
{
    auto* reader = static_cast<MemoryReader*>(handle);
    long long base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? static_cast<long long>(reader->at)
                                                                 : static_cast<long long>(reader->size);
    long long target = base + offset;
    if (whence != SEEK_SET && whence != SEEK_CUR && whence != SEEK_END) return -1;
    if (target < 0 || target > static_cast<long long>(reader->size)) return -1;
    reader->at = static_cast<size_t>(target);
    return static_cast<off_t>(target);
}

// Positions are 32-bit byte counts, so a decoded stream must stay below 4 GiB.
constexpr uint64_t kMaxDecodedBytes = 0xFFFFFFF0ull;

}  // namespace

MpegDecoder::MpegDecoder(std::vector<unsigned char> bytes) : bytes_(std::move(bytes))
{
    if (bytes_.empty()) return;
    static std::once_flag initialised;
    std::call_once(initialised, [] { mpg123_init(); });
    int error = MPG123_OK;
    handle_ = mpg123_new(nullptr, &error);
    if (!handle_) return;
    // Every rate, both channel layouts, always 16-bit: the file keeps its own
    // rate and channel count and only the sample format is fixed.
    mpg123_param(handle_, MPG123_ADD_FLAGS, MPG123_QUIET | MPG123_GAPLESS, 0);
    // A damaged stretch of any length is skipped to the next good frame, as
    // players do, rather than ending the sound there.
    mpg123_param(handle_, MPG123_RESYNC_LIMIT, -1, 0);
    mpg123_format_none(handle_);
    const long* rates = nullptr;
    size_t rateCount = 0;
    mpg123_rates(&rates, &rateCount);
    for (size_t i = 0; i < rateCount; ++i)
        mpg123_format(handle_, rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_SIGNED_16);
    reader_ = std::make_unique<MemoryReader>(MemoryReader{bytes_.data(), bytes_.size(), 0});
    open_ = mpg123_replace_reader_handle(handle_, ReadMemory, SeekMemory, nullptr) == MPG123_OK &&
            mpg123_open_handle(handle_, reader_.get()) == MPG123_OK;
}

MpegDecoder::~MpegDecoder()
{
    if (!handle_) return;
    mpg123_close(handle_);
    mpg123_delete(handle_);
}

MpegDecoder::Result MpegDecoder::Read(std::vector<int16_t>& samples)
{
    samples.clear();
    if (!open_ || finished_) return finished_ ? Result::Done : Result::Failed;
    unsigned char buffer[64 * 1024];
    for (;;) {
        size_t done = 0;
        const size_t before = reader_->at;
        const int result = mpg123_read(handle_, buffer, sizeof buffer, &done);
        if (result == MPG123_NEW_FORMAT) {
            long newRate = 0;
            int newChannels = 0, encoding = 0;
            mpg123_getformat(handle_, &newRate, &newChannels, &encoding);
            if (rate_ == 0) {
                rate_ = static_cast<int>(newRate);
                channels_ = newChannels;
            }
            // A frame of another format is damage that happens to look like
            // a header, or a second stream glued on: its sound is left out
            // and the stream goes on where its own format returns.
            matches_ = rate_ == newRate && channels_ == newChannels;
        }
        if (done > 0 && channels_ > 0 && matches_) {
            decodedBytes_ += done;
            if (decodedBytes_ > kMaxDecodedBytes) return Fail();
            const auto* data = reinterpret_cast<const int16_t*>(buffer);
            samples.assign(data, data + done / 2);
        }
        if (result == MPG123_DONE) {
            finished_ = true;
            return samples.empty() && decodedBytes_ == 0 ? Fail() : Result::Done;
        }
        if (result != MPG123_OK && result != MPG123_NEW_FORMAT) {
            // Damage before any audio means this is no MPEG audio file. After
            // good audio the decoder resynchronises on the next read; only
            // when it makes no progress at all does the sound end here.
            if (decodedBytes_ == 0) return Fail();
            stalled_ = (reader_->at == before && done == 0) ? stalled_ + 1 : 0;
            if (stalled_ > 2) {
                finished_ = true;
                return Result::Done;
            }
        } else {
            stalled_ = 0;
        }
        if (!samples.empty()) return Result::More;
    }
}

size_t MpegDecoder::ExpectedFrames() const
{
    const off_t length = handle_ ? mpg123_length(handle_) : -1;
    // A header's promise is believed only within what the file's size allows
    // (MPEG audio gives at most a few frames of sound a byte), so that a
    // damaged header cannot make the caller reserve gigabytes.
    if (length <= 0 || static_cast<uint64_t>(length) > bytes_.size() * 64ull ||
        static_cast<uint64_t>(length) * 4 > kMaxDecodedBytes)
        return 0;
    return static_cast<size_t>(length);
}

MpegDecoder::Result MpegDecoder::Fail()
{
    open_ = false;
    return Result::Failed;
}

bool DecodeMpegAudio(const unsigned char* data, size_t size, Pcm& pcm)
{
    pcm = Pcm();
    if (!data || size == 0) return false;
    MpegDecoder decoder(std::vector<unsigned char>(data, data + size));
    std::vector<int16_t> chunk;
    MpegDecoder::Result result;
    while ((result = decoder.Read(chunk)) == MpegDecoder::Result::More) {
        if (pcm.samples.empty()) {
            // The length the headers promise (exact with a LAME tag), so the
            // samples are not copied over and over while they grow.
            pcm.samples.reserve(decoder.ExpectedFrames() * decoder.Channels());
        }
        pcm.samples.insert(pcm.samples.end(), chunk.begin(), chunk.end());
    }
    pcm.samples.insert(pcm.samples.end(), chunk.begin(), chunk.end());
    pcm.rate = decoder.Rate();
    pcm.channels = decoder.Channels();
    if (result == MpegDecoder::Result::Failed || !pcm.Complete()) {
        pcm = Pcm();
        return false;
    }
    // Whole frames only: a trailing half frame of a stereo stream is dropped.
    pcm.samples.resize(pcm.Frames() * pcm.channels);
    return true;
}

bool ConvertToStereo(const Pcm& pcm, int outRate, std::vector<int16_t>& stereo)
{
    stereo.clear();
    if (pcm.rate <= 0 || outRate <= 0 || (pcm.channels != 1 && pcm.channels != 2)) return false;
    const size_t frames = pcm.Frames();
    const size_t wanted = static_cast<size_t>(std::llround(static_cast<double>(frames) * outRate / pcm.rate));
    SDL_AudioStream* stream =
        SDL_NewAudioStream(AUDIO_S16SYS, static_cast<Uint8>(pcm.channels), pcm.rate, AUDIO_S16SYS, 2, outRate);
    if (!stream) return false;
    stereo.reserve(wanted * 2 + 4096);
    std::vector<int16_t> chunk(64 * 1024);
    auto drain = [&] {
        for (;;) {
            int got = SDL_AudioStreamGet(stream, chunk.data(), static_cast<int>(chunk.size() * sizeof(int16_t)));
            if (got <= 0) break;
            stereo.insert(stereo.end(), chunk.begin(), chunk.begin() + got / sizeof(int16_t));
        }
    };
    bool ok = true;
    const size_t step = 32 * 1024;
    for (size_t at = 0; ok && at < frames; at += step) {
        size_t n = std::min(step, frames - at);
        ok = SDL_AudioStreamPut(stream, pcm.samples.data() + at * pcm.channels,
                                static_cast<int>(n * pcm.channels * sizeof(int16_t))) == 0;
        drain();
    }
    ok = ok && SDL_AudioStreamFlush(stream) == 0;
    drain();
    SDL_FreeAudioStream(stream);
    if (!ok) {
        stereo.clear();
        return false;
    }
    // The resampler's own rounding may leave a frame more or less; the loop
    // length must be exact, so trim or hold the last frame.
    size_t have = stereo.size() / 2;
    if (have < wanted) {
        int16_t left = have ? stereo[2 * have - 2] : 0, right = have ? stereo[2 * have - 1] : 0;
        stereo.resize(2 * have);
        for (size_t i = have; i < wanted; ++i) {
            stereo.push_back(left);
            stereo.push_back(right);
        }
    }
    stereo.resize(wanted * 2);
    return true;
}

}  // namespace bass_decode
