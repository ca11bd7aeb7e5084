// A WAV file written as the sound arrives: 16-bit PCM, its header's sizes
// filled in when it is closed. It is written under a hidden part name and
// takes its own name only when it is whole.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace host {

struct WavWriter {
    std::FILE* file = nullptr;
    std::string path;  // the name it takes when whole
    int rate = 0;
    int channels = 0;
    uint64_t dataBytes = 0;
    bool failed = false;
    std::string error;  // why it failed: the system's reason
};

// Creates path with an empty data chunk; false with a message when the file
// cannot be made.
bool OpenWav(WavWriter& wav, const std::string& path, int rate, int channels, std::string& message);

// Appends interleaved samples; false once a write failed.
bool AppendWav(WavWriter& wav, const std::vector<int16_t>& samples);

// Writes the final sizes into the header, closes the file and gives it its
// name; false when any write failed (the part is then removed, and error
// says why). A closed writer may be closed again.
bool CloseWav(WavWriter& wav);

// Closes the file without giving it its name, and removes the part.
void DiscardWav(WavWriter& wav);

}  // namespace host
