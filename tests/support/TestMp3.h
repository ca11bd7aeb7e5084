// Short MP3 files for tests, encoded with LAME: a tone of a given length, rate
// and channel count, optionally stepping its pitch every second so that a
// piece of decoded audio tells which second of the file it came from. Long
// files stay cheap: LAME's lowest variable bitrate and fastest mode by default.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace test_mp3 {

struct Tone {
    double seconds = 1.0;
    int sampleRate = 44100;     // 8000 to 48000, one of the MPEG audio rates
    int channels = 2;           // 1 or 2
    double frequency = 440.0;   // Hz during the first second
    double frequencyStep = 0.0; // Hz added at each whole second: second n plays frequency + n * step
    double amplitude = 0.5;     // fraction of full scale
    int kbps = 0;               // constant bitrate; 0: variable at LAME's lowest quality (smallest)
    bool id3v2 = false;         // put an ID3v2 tag (with 2000 bytes of padding) in front of the audio
};

// The samples handed to the encoder, interleaved 16-bit.
std::vector<int16_t> ToneSamples(const Tone& tone);

// Encodes the tone into an MP3 file at path; false (with nothing left behind)
// when LAME refuses the settings or the file cannot be written. A 215-second
// soundtrack takes about 0.3 s as 22050 Hz mono and 0.8 s as 44100 Hz stereo:
//   WriteToneMp3("Data/Soundtrack.mp3", {.seconds = 215, .sampleRate = 22050, .channels = 1});
// With frequencyStep set, second n sounds at frequency + n * step, which
// MeasureFrequency on a piece of played audio turns back into its time.
bool WriteToneMp3(const std::string& path, const Tone& tone);

// The frequency in Hz of one channel of interleaved 16-bit audio, from the
// spacing of its upward zero crossings; 0 when there are fewer than two.
double MeasureFrequency(const int16_t* samples, size_t frames, int channels, int channel, int sampleRate);

// Root mean square of one channel, as a fraction of full scale.
double MeasureLevel(const int16_t* samples, size_t frames, int channels, int channel);

}  // namespace test_mp3
