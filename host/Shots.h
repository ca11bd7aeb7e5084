// Where a screenshot goes: a PNG file in the --out folder on the desktop
// (native/Shot.cpp), PNG data handed to the page in a browser (web/Shot.cpp).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace host {

// rgb holds width * height pixels, top row first; name is the shot's time as
// written. False with a message in error when the shot cannot be kept.
bool SaveShot(const std::string& name, const std::vector<uint8_t>& rgb, int width, int height, std::string& error);

}  // namespace host
