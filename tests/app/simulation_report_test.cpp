// The simulated likelihood-ratio test: the counting rule at its edges. Whole
// runs are pinned in fixtures_test, and the example's 500 simulated samples in
// outputs_test (2 at least as large as the observed ratio).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>

#include "app/simulation.h"

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kFloatMax = 3.4028234663852886e+38;

TEST(SimulationTally, ValidBelowFloatMaxAndTiesCountInTheTail) {
    const struct {
        double equilibrium, ratio, observed;
        std::int32_t valid;
        double tail;
    } cases[] = {{-20.0, 6.02520111, 6.02520111, 1, 1.0}, // a tie counts
                 {-20.0, 9.5, 6.0, 1, 1.0},
                 {-20.0, std::nextafter(6.0, 0.0), 6.0, 1, 0.0},
                 // A zero-probability pedigree leaves the floor value, which is valid.
                 {-kFloatMax, 2 * kFloatMax, 6.0, 1, 1.0},
                 {kNaN, 100.0, 6.0, 0, 0.0},
                 {kFloatMax, 100.0, 6.0, 0, 0.0},
                 {1.0e39, 100.0, 6.0, 0, 0.0},
                 {std::numeric_limits<double>::infinity(), 100.0, 6.0, 0, 0.0},
                 {std::nextafter(kFloatMax, 0.0), 1.0, 6.0, 1, 0.0}};
    // One tally for all: each case must add to what the earlier ones left.
    SimulationTally tally;
    std::int32_t valid = 0;
    double tail = 0.0;
    for (const auto& c : cases) {
        tally.add(c.equilibrium, c.ratio, c.observed);
        valid += c.valid;
        tail += c.tail;
        EXPECT_EQ(valid, tally.valid) << c.equilibrium << " " << c.ratio;
        EXPECT_EQ(tail, tally.tail) << c.equilibrium << " " << c.ratio;
    }
}

} // namespace
