#pragma once

#include <cstdint>

// The subtractive lagged generator that every random step of the program draws
// from. Its state lives in one place per thread, so a worker thread can be handed
// a stream of its own (see `current_random_state`).
struct RandomState {
    std::int32_t table[56] = {};
    std::int32_t next = 0;
    std::int32_t next_lag = 0;
    bool seeded = false;

    bool operator==(const RandomState&) const = default;
};

// A uniform deviate in [0, 0.999999999], a multiple of 1e-9. A negative `seed`,
// or the first call ever, (re)builds the table from the seed's magnitude and sets
// `seed` to 1 so that passing the same variable again continues the sequence.
double random_uniform(std::int32_t& seed);

// A uniform integer in [0, n - 1]; never re-seeds.
std::int32_t random_index(const std::int32_t& n);

// The state used by the calling thread.
RandomState& current_random_state();
