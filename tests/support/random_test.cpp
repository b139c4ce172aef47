// The generator's published values, seed handling and ranges. Every test runs
// on a saved copy of the calling thread's state and puts it back afterwards.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "support/random.h"

namespace {

class RandomTest : public ::testing::Test {
  protected:
    void SetUp() override { saved_ = current_random_state(); }
    void TearDown() override { current_random_state() = saved_; }

    // n draws through one variable holding `seed`, as the entry point seeds; with
    // `fresh`, from a generator that has never been seeded.
    static std::vector<double> sequence(std::int32_t seed, int n, bool fresh = true) {
        if (fresh) {
            current_random_state() = RandomState{};
        }
        std::vector<double> out;
        for (int i = 0; i < n; ++i) {
            out.push_back(random_uniform(seed));
        }
        return out;
    }

  private:
    RandomState saved_;
};

TEST_F(RandomTest, PublishedValues) {
    const std::vector<double> one = sequence(-1, 3), other = sequence(-12345, 3);
    const double published[2][3] = {{0.298227348, 0.715119168, 0.033021107},
                                    {0.86060666, 0.925464728, 0.418061483}};
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_NEAR(published[0][i], one[i], 1e-12);
        EXPECT_NEAR(published[1][i], other[i], 1e-12);
    }
}

// Only a negative value, or the first use, seeds; the variable is then set to 1.
// The entry point negates the seed, so seed 0 seeds only as the first use.
TEST_F(RandomTest, OnlyNegativeValuesOrTheFirstUseSeed) {
    current_random_state() = RandomState{};
    std::int32_t zero = 0;
    random_uniform(zero);
    EXPECT_EQ(1, zero);
    EXPECT_NE(sequence(-1, 20), sequence(0, 20));
    std::int32_t seed = -1;
    random_uniform(seed);
    EXPECT_EQ(1, seed);
    std::int32_t other = 777;
    EXPECT_NEAR(0.715119168, random_uniform(other), 1e-12);
    EXPECT_EQ(777, other);
    zero = 0;
    EXPECT_NEAR(0.033021107, random_uniform(zero), 1e-12);
}

constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();

// Only the magnitude of a seed matters; magnitudes above 161803398 are reduced
// modulo 161803399, in 64 bits so that the lowest 32-bit value has one.
TEST_F(RandomTest, SeedsOfTheSameReducedMagnitudeGiveTheSameSequence) {
    const std::int32_t same[][2] = {{-12345, 12345},         {12345, -12345},  {-1, 1},
                                    {-161803398, 161803398}, {161803399, 0},   {-161803399, 0},
                                    {161803400, 1},          {-161803400, 1},  {kMin, 44039461},
                                    {kMax, 44039460},        {-kMax, 44039460}};
    for (const auto& [seed, same_as] : same) {
        SCOPED_TRACE(seed);
        const std::vector<double> expected = sequence(same_as, 20);
        EXPECT_EQ(expected, sequence(seed, 20));
        if (seed < 0) {
            EXPECT_EQ(expected, sequence(seed, 20, false)) << "re-seeding a seeded generator";
        }
    }
}

TEST_F(RandomTest, ValuesAreMultiplesOfOneBillionthBelowOne) {
    for (const std::int32_t seed : {1, 0, 161803398, 161803399, kMax, kMin}) {
        SCOPED_TRACE(seed);
        for (const double u : sequence(seed, 2000)) {
            ASSERT_GE(u, 0.0);
            ASSERT_LE(u, 0.999999999);
            ASSERT_EQ(static_cast<double>(std::llround(u * 1e9)) * 1e-9, u);
        }
    }
}

TEST_F(RandomTest, RandomIndexStaysInRangeAndReachesBothEnds) {
    current_random_state() = RandomState{};
    const std::int32_t two = 2;
    // A first use through random_index seeds as seed 1: 0.298227348, 0.715119168.
    EXPECT_EQ(0, random_index(two));
    EXPECT_EQ(1, random_index(two));
    for (const std::int32_t n : {1, 2, 7}) {
        std::vector<int> counts(static_cast<std::size_t>(n), 0);
        for (int i = 0; i < 1000; ++i) {
            const std::int32_t k = random_index(n);
            ASSERT_TRUE(k >= 0 && k < n) << k << " of " << n;
            ++counts[static_cast<std::size_t>(k)];
        }
        EXPECT_GT(counts.front(), 0) << n;
        EXPECT_GT(counts.back(), 0) << n;
    }
}

} // namespace
