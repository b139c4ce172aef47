#pragma once

#include <cstdint>

// A generator for the extras (the exact tests' draws, the bootstrap) that
// never touches the stream of `random_uniform`: the report, console and log
// of a run stay the same whatever extras are asked for. Each use gets its own
// stream, derived from the run's seed and what it is for (a sample, a locus,
// a replicate), so its draws do not depend on which thread makes them.
class SideRandom {
  public:
    SideRandom(std::int64_t seed, std::uint64_t purpose, std::uint64_t index1 = 0,
               std::uint64_t index2 = 0);

    std::uint64_t next();
    // Uniform in [0, n) for n > 0.
    std::uint64_t below(std::uint64_t n);

  private:
    std::uint64_t _s[4] = {};
};

// Purposes of the side streams.
enum SidePurpose : std::uint64_t { kHardyWeinbergDraws = 1, kBootstrapReplicate = 2 };
