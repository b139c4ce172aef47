#include "support/random.h"

namespace {

constexpr std::int32_t kModulus = 1000000000;
constexpr std::int32_t kSeedOffset = 161803398;
constexpr double kScale = 1.0e-9;

thread_local RandomState state;

void seed_table(RandomState& s, std::int32_t value) {
    s.seeded = true;
    // The magnitude is taken in 64 bits so that the lowest 32-bit value works;
    // magnitudes beyond the offset would drive the table out of range, so they
    // are folded back into it first.
    std::int64_t magnitude = value < 0 ? -static_cast<std::int64_t>(value) : value;
    if (magnitude > kSeedOffset) {
        magnitude %= static_cast<std::int64_t>(kSeedOffset) + 1;
    }
    std::int32_t mj = (kSeedOffset - static_cast<std::int32_t>(magnitude)) % kModulus;
    s.table[55] = mj;
    std::int32_t mk = 1;
    for (std::int32_t i = 1; i <= 54; ++i) {
        const std::int32_t ii = (21 * i) % 55;
        s.table[ii] = mk;
        mk = mj - mk;
        if (mk < 0) {
            mk += kModulus;
        }
        mj = s.table[ii];
    }
    for (int pass = 0; pass < 4; ++pass) {
        for (std::int32_t i = 1; i <= 55; ++i) {
            s.table[i] -= s.table[1 + (i + 30) % 55];
            if (s.table[i] < 0) {
                s.table[i] += kModulus;
            }
        }
    }
    s.next = 0;
    s.next_lag = 31;
}

} // namespace

RandomState& current_random_state() {
    return state;
}

double random_uniform(std::int32_t& seed) {
    RandomState& s = state;
    if (seed < 0 || !s.seeded) {
        seed_table(s, seed);
        seed = 1;
    }
    if (++s.next == 56) {
        s.next = 1;
    }
    if (++s.next_lag == 56) {
        s.next_lag = 1;
    }
    std::int32_t mk = s.table[s.next] - s.table[s.next_lag];
    if (mk < 0) {
        mk += kModulus;
    }
    s.table[s.next] = mk;
    return static_cast<double>(mk) * kScale;
}

std::int32_t random_index(const std::int32_t& n) {
    std::int32_t one = 1;
    const double u = random_uniform(one);
    const auto k = static_cast<std::int32_t>(u * n);
    return k < n ? k : n - 1;
}
