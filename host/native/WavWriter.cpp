// WAV output (see WavWriter.h). The file is little-endian, as is every
// machine the port runs on, so samples are written as they lie in memory.
#include "WavWriter.h"

#include "PartFile.h"

#include <cerrno>
#include <cstring>

namespace host {

namespace {

void Put32(unsigned char* at, uint32_t value)
{
    for (int i = 0; i < 4; ++i) at[i] = static_cast<unsigned char>(value >> (8 * i));
}

void Put16(unsigned char* at, uint16_t value)
{
    at[0] = static_cast<unsigned char>(value);
    at[1] = static_cast<unsigned char>(value >> 8);
}

// The 44-byte header of a PCM file with dataBytes of samples. Sizes over
// what 32 bits hold are written as the largest value (over six hours of
// stereo at 44100 Hz, far beyond any show).
void Header(unsigned char* h, int rate, int channels, uint64_t dataBytes)
{
    const uint32_t data = dataBytes > 0xFFFFFFFFull - 36 ? 0xFFFFFFFFu - 36 : static_cast<uint32_t>(dataBytes);
    std::memcpy(h, "RIFF", 4);
    Put32(h + 4, 36 + data);
    std::memcpy(h + 8, "WAVEfmt ", 8);
    Put32(h + 16, 16);
    Put16(h + 20, 1);  // PCM
    Put16(h + 22, static_cast<uint16_t>(channels));
    Put32(h + 24, static_cast<uint32_t>(rate));
    Put32(h + 28, static_cast<uint32_t>(rate * channels * 2));
    Put16(h + 32, static_cast<uint16_t>(channels * 2));
    Put16(h + 34, 16);
    std::memcpy(h + 36, "data", 4);
    Put32(h + 40, data);
}

// Marks the writer failed with the system's reason for the write that failed.
void Failed(WavWriter& wav)
{
    if (!wav.failed) wav.error = std::strerror(errno ? errno : EIO);
    wav.failed = true;
}

}  // namespace

bool OpenWav(WavWriter& wav, const std::string& path, int rate, int channels, std::string& message)
{
    wav = WavWriter{};
    if (!part_file::Open(path, wav.file, message)) return false;
    wav.path = path;
    wav.rate = rate;
    wav.channels = channels;
    unsigned char header[44];
    Header(header, rate, channels, 0);
    if (std::fwrite(header, sizeof header, 1, wav.file) != 1) Failed(wav);
    return true;
}

bool AppendWav(WavWriter& wav, const std::vector<int16_t>& samples)
{
    if (!wav.file || wav.failed) return false;
    if (!samples.empty() && std::fwrite(samples.data(), sizeof(int16_t), samples.size(), wav.file) != samples.size())
        Failed(wav);
    wav.dataBytes += samples.size() * sizeof(int16_t);
    return !wav.failed;
}

bool CloseWav(WavWriter& wav)
{
    if (!wav.file) return !wav.failed;
    unsigned char header[44];
    Header(header, wav.rate, wav.channels, wav.dataBytes);
    if (!wav.failed && (std::fflush(wav.file) != 0 || std::fseek(wav.file, 0, SEEK_SET) != 0 ||
                        std::fwrite(header, sizeof header, 1, wav.file) != 1))
        Failed(wav);
    if (wav.failed) {
        part_file::Abandon(wav.file, wav.path);
        return false;
    }
    std::string message;
    if (!part_file::Commit(wav.file, wav.path, message)) {
        wav.failed = true;
        wav.error = message;
    }
    return !wav.failed;
}

void DiscardWav(WavWriter& wav)
{
    if (wav.file) part_file::Abandon(wav.file, wav.path);
}

}  // namespace host
