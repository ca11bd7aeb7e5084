// One-shot sounds of the soundtrack, rendered once as mono samples and then
// placed wherever the arrangement wants them: kick, snare, clap, closed and
// open hats, crash, a low impact boom, and noise risers and sweeps whose
// length the arrangement chooses.
#pragma once

#include <vector>

namespace datagen {

using Sample = std::vector<float>;

Sample MakeKick();
Sample MakeSnare();
Sample MakeClap();
Sample MakeHat(bool open);
Sample MakeCrash();
Sample MakeBoom();
Sample MakeTom(double hz);
// Noise rising in pitch and level for the given seconds, ending at full.
Sample MakeRiser(double seconds, unsigned seed);
// Noise swell that rises for a quarter of its length then fades (a fly-by).
Sample MakeWhoosh(double seconds, unsigned seed);

}  // namespace datagen
