// Pictures for judging the content at a glance: a contact sheet of every
// texture (with its name) and shaded previews of the terrain maps, and a
// picture of the soundtrack (waveform and spectrogram) with the show's
// events marked.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "AudioBuffer.h"
#include "Image.h"
#include "Song.h"

namespace datagen {

class Font;

struct NamedImage {
    std::string name;
    Image image;
};

// Shaded relief of a ".map" file, 4 pixels per sample; sign -1 shows a map
// that its scene turns upside down as it is seen.
Image TerrainPreview(const std::vector<uint8_t>& map, double sign);

Image ContactSheet(const std::vector<NamedImage>& items, const Font& font);

Image SoundPicture(const StereoBuffer& sound, const std::vector<ShowEvent>& events, const Font& font);

}  // namespace datagen
