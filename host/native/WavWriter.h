// A WAV file written as the sound arrives: 16-bit PCM, its header's sizes
// filled in when it is closed.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace host {

struct WavWriter {
    std::FILE* file = nullptr;
    int rate = 0;
    int channels = 0;
    uint64_t dataBytes = 0;
    bool failed = false;
};

// Creates path with an empty data chunk; false with a message when the file
// cannot be made.
bool OpenWav(WavWriter& wav, const std::string& path, int rate, int channels, std::string& message);

// Appends interleaved samples; false once a write failed.
bool AppendWav(WavWriter& wav, const std::vector<int16_t>& samples);

// Writes the final sizes into the header and closes the file; false when any
// write failed. A closed writer may be closed again.
bool CloseWav(WavWriter& wav);

}  // namespace host
