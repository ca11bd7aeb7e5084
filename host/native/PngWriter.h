// Writes 8-bit RGB pictures as PNG files with libpng: the player's
// screenshots and frames, and the content generator's previews.
#pragma once

#include <cstdint>
#include <string>

// zlib's levels: 1 is quick and still small for rendered frames; -1 is
// zlib's own default.
constexpr int kFastPng = 1;
constexpr int kDefaultPng = -1;

// rgb holds width * height * 3 bytes, top row first (bottom row first with
// bottomUp, as OpenGL reads pictures back). False with a message in error
// when the file cannot be written.
bool WritePng(const std::string& path, const uint8_t* rgb, int width, int height, int compression,
              std::string& error, bool bottomUp = false);
