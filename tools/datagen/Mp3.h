// The soundtrack's file format: 16-bit PCM quantisation, MP3 encoding with
// LAME (CBR 192 kbit/s, joint stereo, 44.1 kHz) and decoding with mpg123 for
// checks and previews.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "AudioBuffer.h"

namespace datagen {

// Interleaved 16-bit samples: clamp(floor(32767 x + 0.5)).
std::vector<int16_t> ToPcm16(const StereoBuffer& buf);

bool EncodeMp3(const std::vector<int16_t>& interleaved, std::vector<uint8_t>& mp3, std::string& error);

// Decodes a whole MP3 held in memory to interleaved 16-bit stereo samples;
// rate receives the sample rate. False with a message on damaged input.
bool DecodeMp3(const std::vector<uint8_t>& mp3, std::vector<int16_t>& interleaved, long& rate, int& channels,
               std::string& error);

}  // namespace datagen
