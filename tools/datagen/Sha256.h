// SHA-256 digest, used to make sure the font the text cards are drawn with is
// exactly the one their look was made for.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace datagen {

// Lower-case hexadecimal digest of the bytes.
std::string Sha256Hex(const std::vector<uint8_t>& bytes);

}  // namespace datagen
