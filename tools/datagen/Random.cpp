// pcg32, lattice hashing and name seeds (see Random.h).
#include "Random.h"

namespace datagen {

uint32_t Hash32(uint32_t x)
{
    x ^= x >> 16;
    x *= 0x7feb352dU;
    x ^= x >> 15;
    x *= 0x846ca68bU;
    x ^= x >> 16;
    return x;
}

uint32_t Hash2(int32_t x, int32_t y, uint32_t seed)
{
    return Hash32(static_cast<uint32_t>(x) ^ Hash32(static_cast<uint32_t>(y) ^ Hash32(seed)));
}

uint64_t SeedFromName(std::string_view name)
{
    uint64_t h = 0xcbf29ce484222325ULL;
    for (char c : name) {
        h ^= static_cast<uint8_t>(c);
        h *= 0x100000001b3ULL;
    }
    return h;
}

Pcg32::Pcg32(uint64_t seed, uint64_t stream) : state(0), inc((stream << 1) | 1)
{
    Next();
    state += seed;
    Next();
}

uint32_t Pcg32::Next()
{
    const uint64_t old = state;
    state = old * 6364136223846793005ULL + inc;
    const uint32_t xorshifted = static_cast<uint32_t>(((old >> 18) ^ old) >> 27);
    const uint32_t rot = static_cast<uint32_t>(old >> 59);
    return (xorshifted >> rot) | (xorshifted << ((32 - rot) & 31));
}

double Pcg32::Uniform() { return (Next() >> 8) * (1.0 / 16777216.0); }

double Pcg32::Range(double lo, double hi) { return lo + (hi - lo) * Uniform(); }

int Pcg32::Int(int n) { return n <= 0 ? 0 : static_cast<int>(Uniform() * n); }

double Pcg32::Gauss()
{
    const double s = Uniform() + Uniform() + Uniform() + Uniform();
    return (s - 2.0) * 1.7320508075688772;  // unit variance
}

}  // namespace datagen
