// Lattice noise for textures and terrain: gradient noise whose lattice wraps
// with a given period (so a texture made of it tiles), fractal sums of it,
// ridged noise and cellular (Worley) distances on a wrapped jittered grid.
// Coordinates are in lattice cells; a period of P cells repeats every P.
#pragma once

#include <cstdint>

namespace datagen {

// Gradient noise in about [-1, 1]; the lattice repeats every px by py cells.
double GradNoise(double x, double y, int px, int py, uint32_t seed);

// Sum over octaves i of 0.5^i * noise(2^i p), normalised to about [-1, 1].
// At octave i the period is (px, py) * 2^i, so the sum keeps the period.
double Fbm(double x, double y, int px, int py, int octaves, uint32_t seed);

// Ridged fractal in [0, 1]: (1 - |n|)^2, each octave weighted by the last.
double Ridged(double x, double y, int px, int py, int octaves, uint32_t seed);

// Distances to the nearest and second-nearest feature point of a g by g
// jittered grid over the unit square, wrapping. u, v in [0, 1).
struct Cells {
    double f1, f2;
    uint32_t id;  // hash of the nearest cell
};
Cells Worley(double u, double v, int g, uint32_t seed);

}  // namespace datagen
