#include "support/side_random.h"

#include <initializer_list>

namespace {

std::uint64_t split_mix(std::uint64_t& x) {
    std::uint64_t z = (x += 0x9e3779b97f4a7c15ULL);
    z = (z ^ (z >> 30U)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27U)) * 0x94d049bb133111ebULL;
    return z ^ (z >> 31U);
}

std::uint64_t rotl(std::uint64_t x, unsigned k) {
    return (x << k) | (x >> (64U - k));
}

} // namespace

SideRandom::SideRandom(std::int64_t seed, std::uint64_t purpose, std::uint64_t index1,
                       std::uint64_t index2) {
    // Every input is mixed in turn, so neighbouring indices give unrelated streams.
    // The magnitude, as the run's own generator takes it: s and -s give the same run.
    std::uint64_t x =
        seed < 0 ? 0 - static_cast<std::uint64_t>(seed) : static_cast<std::uint64_t>(seed);
    for (std::uint64_t v : {purpose, index1, index2}) {
        x = split_mix(x) ^ v;
    }
    for (std::uint64_t& s : _s) {
        s = split_mix(x);
    }
}

std::uint64_t SideRandom::next() {
    const std::uint64_t result = rotl(_s[1] * 5U, 7U) * 9U;
    const std::uint64_t t = _s[1] << 17U;
    _s[2] ^= _s[0];
    _s[3] ^= _s[1];
    _s[1] ^= _s[2];
    _s[0] ^= _s[3];
    _s[2] ^= t;
    _s[3] = rotl(_s[3], 45U);
    return result;
}

std::uint64_t SideRandom::below(std::uint64_t n) {
    // Rejection keeps every value equally likely.
    const std::uint64_t limit = -n % n;
    for (;;) {
        const std::uint64_t r = next();
        if (r >= limit) {
            return r % n;
        }
    }
}
