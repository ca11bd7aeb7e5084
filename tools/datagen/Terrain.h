// The two terrain maps: 64 by 64 signed samples stored column by column
// (byte 64 j + i is column j, row i); the landscape effect shows a sample h
// at height -h/4, so peaks are negative samples. Scape1 is flown over by
// scene 2's camera, Scape2 is seen upside down by scene 4's.
#pragma once

#include <cstdint>
#include <vector>

namespace datagen {

std::vector<uint8_t> MakeScape1();
std::vector<uint8_t> MakeScape2();

// The cameras that look at the maps, in the map's own frame (the land turns
// under them; both senses of rotation are covered): every eye position of
// scene 2's flight (scene times 15 to 71 s, 50 per second) and of scene 4.
struct EyeSample {
    double x, y, z;  // y is the height of the eye over the map's zero level
};
std::vector<EyeSample> Scene2Eyes();
std::vector<EyeSample> Scene4Eyes();  // heights as seen, the map turned over

// Lowest clearance of the eyes over the shown terrain (the highest of the
// four corners of the cell under each eye); sign -1 for a map seen upside
// down.
double MinClearance(const std::vector<uint8_t>& map, const std::vector<EyeSample>& eyes, double sign);

// Height in world units (-sample / 4, truncated as the effect does) at
// column j, row i of a map.
int TerrainHeight(const std::vector<uint8_t>& map, int j, int i);

}  // namespace datagen
