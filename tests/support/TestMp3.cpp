// Tone files for tests, encoded with LAME; see TestMp3.h.
#include "TestMp3.h"

#include <lame/lame.h>

#include <cmath>
#include <algorithm>
#include <cstdio>
#include <numbers>

namespace test_mp3 {

std::vector<int16_t> ToneSamples(const Tone& tone)
{
    size_t frames = static_cast<size_t>(std::llround(tone.seconds * tone.sampleRate));
    std::vector<int16_t> samples(frames * tone.channels);
    // The phase is carried from sample to sample so a pitch step makes no click.
    double phase = 0.0;
    for (size_t i = 0; i < frames; ++i) {
        double second = std::floor(static_cast<double>(i) / tone.sampleRate);
        double frequency = tone.frequency + tone.frequencyStep * second;
        auto value = static_cast<int16_t>(std::lround(std::sin(phase) * tone.amplitude * 32767.0));
        for (int c = 0; c < tone.channels; ++c) samples[i * tone.channels + c] = value;
        phase += 2.0 * std::numbers::pi * frequency / tone.sampleRate;
        if (phase > 2.0 * std::numbers::pi) phase -= 2.0 * std::numbers::pi;
    }
    return samples;
}

bool WriteToneMp3(const std::string& path, const Tone& tone)
{
    if (tone.channels < 1 || tone.channels > 2 || tone.seconds < 0.0 || tone.sampleRate <= 0) return false;
    lame_global_flags* lame = lame_init();
    if (!lame) return false;
    lame_set_in_samplerate(lame, tone.sampleRate);
    lame_set_out_samplerate(lame, tone.sampleRate);
    lame_set_num_channels(lame, tone.channels);
    lame_set_mode(lame, tone.channels == 1 ? MONO : JOINT_STEREO);
    if (tone.kbps > 0) {
        lame_set_brate(lame, tone.kbps);
    } else {
        // Variable rate at the lowest quality: a pure tone needs few bits, and
        // unlike a low constant rate it keeps room for the LAME tag.
        lame_set_VBR(lame, vbr_default);
        lame_set_VBR_quality(lame, 9.0f);
    }
    lame_set_quality(lame, 9);
    lame_set_bWriteVbrTag(lame, 1);  // the LAME tag lets the decoder drop the encoder's delay and padding
    if (tone.id3v2) {
        id3tag_init(lame);
        id3tag_add_v2(lame);
        id3tag_v2_only(lame);
        id3tag_set_title(lame, "Test tone");
        id3tag_set_pad(lame, 2000);
    }
    FILE* file = nullptr;
    bool ok = lame_init_params(lame) >= 0 && (file = std::fopen(path.c_str(), "w+b")) != nullptr;
    if (ok) {
        std::vector<int16_t> samples = ToneSamples(tone);
        const size_t frames = samples.size() / tone.channels;
        const size_t chunk = 8192;
        std::vector<unsigned char> mp3(chunk * 5 / 4 + 7200);
        for (size_t at = 0; ok && at < frames; at += chunk) {
            int n = static_cast<int>(std::min(chunk, frames - at));
            int written = tone.channels == 2
                ? lame_encode_buffer_interleaved(lame, samples.data() + at * 2, n, mp3.data(),
                                                 static_cast<int>(mp3.size()))
                : lame_encode_buffer(lame, samples.data() + at, samples.data() + at, n, mp3.data(),
                                     static_cast<int>(mp3.size()));
            ok = written >= 0 && std::fwrite(mp3.data(), 1, written, file) == static_cast<size_t>(written);
        }
        if (ok) {
            int written = lame_encode_flush(lame, mp3.data(), static_cast<int>(mp3.size()));
            ok = written >= 0 && std::fwrite(mp3.data(), 1, written, file) == static_cast<size_t>(written);
        }
        if (ok) lame_mp3_tags_fid(lame, file);
        ok = std::fclose(file) == 0 && ok;
    }
    lame_close(lame);
    if (!ok) std::remove(path.c_str());
    return ok;
}

double MeasureFrequency(const int16_t* samples, size_t frames, int channels, int channel, int sampleRate)
{
    long first = -1, last = -1, crossings = 0;
    for (size_t i = 1; i < frames; ++i) {
        if (samples[(i - 1) * channels + channel] < 0 && samples[i * channels + channel] >= 0) {
            if (first < 0) first = static_cast<long>(i);
            last = static_cast<long>(i);
            ++crossings;
        }
    }
    if (crossings < 2) return 0.0;
    return (crossings - 1) * static_cast<double>(sampleRate) / (last - first);
}

double MeasureLevel(const int16_t* samples, size_t frames, int channels, int channel)
{
    if (frames == 0) return 0.0;
    double sum = 0.0;
    for (size_t i = 0; i < frames; ++i) {
        double v = samples[i * channels + channel] / 32768.0;
        sum += v * v;
    }
    return std::sqrt(sum / frames);
}

}  // namespace test_mp3
