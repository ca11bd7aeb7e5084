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
    std::string caption;  // shown after the name; the picture's size if empty
};

// Shaded relief of a ".map" file, 4 pixels per sample; sign -1 shows a map
// that its scene turns upside down as it is seen.
Image TerrainPreview(const std::vector<uint8_t>& map, double sign);

// A shaded view of a mesh (3 floats per vertex, 3 indices per face), turned
// a little to show its shape. Faces are culled as the object effect culls
// them, so a face wound the wrong way shows as a hole.
Image MeshPreview(const std::vector<float>& xyz, const std::vector<int32_t>& faces);

Image ContactSheet(const std::vector<NamedImage>& items, const Font& font);

Image SoundPicture(const StereoBuffer& sound, const std::vector<ShowEvent>& events, const Font& font);

}  // namespace datagen
