// Deterministic randomness for the content generator: the pcg32 generator,
// an integer hash for noise lattices, and seeds derived from asset names.
// Nothing here uses the standard library's distributions, whose output is
// not fixed by the language.
#pragma once

#include <cstdint>
#include <string_view>

namespace datagen {

// 32-bit integer hash (good avalanche), used to hash lattice points.
uint32_t Hash32(uint32_t x);
uint32_t Hash2(int32_t x, int32_t y, uint32_t seed);

// FNV-1a of a name, used to give every asset its own stream.
uint64_t SeedFromName(std::string_view name);

class Pcg32 {
public:
    explicit Pcg32(uint64_t seed, uint64_t stream = 0x14057b7ef767814fULL);
    explicit Pcg32(std::string_view name) : Pcg32(SeedFromName(name)) {}

    uint32_t Next();
    double Uniform();                       // [0, 1), 24 bits
    double Range(double lo, double hi);     // [lo, hi)
    int Int(int n);                         // [0, n)
    double Gauss();                         // approx. normal: sum of 4 uniforms

private:
    uint64_t state;
    uint64_t inc;
};

}  // namespace datagen
