// The exact Hardy-Weinberg test on tables worked out by hand, the maxima told
// apart by frequencies, and the side generator's independence.
#include "population/hardy_weinberg.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "population/maxima_tally.h"
#include "support/random.h"
#include "support/side_random.h"

namespace {

using Genotypes = std::vector<std::pair<std::int32_t, std::int32_t>>;

// Three individuals, three copies of each of two alleles: the tables are
// (AA, AB, BB) = (1, 1, 1) with probability 0.6 and (0, 3, 0) with 0.4.
TEST(HardyWeinberg, EnumeratesTheTablesOfTheAlleleCounts) {
    SideRandom random(1, kHardyWeinbergDraws);
    const HardyWeinbergTest mixed = hardy_weinberg_test({{0, 0}, {0, 1}, {1, 1}}, 2, random);
    EXPECT_NEAR(1.0, mixed.p_value, 1e-12);
    EXPECT_EQ(0, mixed.draws);
    const HardyWeinbergTest all_het = hardy_weinberg_test({{0, 1}, {1, 0}, {0, 1}}, 2, random);
    EXPECT_NEAR(0.4, all_het.p_value, 1e-12);
    EXPECT_DOUBLE_EQ(1.0, all_het.observed_heterozygosity);
    EXPECT_DOUBLE_EQ(0.5, all_het.expected_heterozygosity);
    EXPECT_EQ(3, all_het.individuals);
    EXPECT_EQ(2, all_het.alleles);
    // Alleles numbered but not seen take no part; one allele: one table.
    const HardyWeinbergTest fixed = hardy_weinberg_test({{4, 4}, {4, 4}}, 9, random);
    EXPECT_EQ(1, fixed.alleles);
    EXPECT_NEAR(1.0, fixed.p_value, 1e-12);
    EXPECT_DOUBLE_EQ(0.0, fixed.expected_heterozygosity);
    EXPECT_TRUE(std::isnan(hardy_weinberg_test({}, 0, random).p_value));
}

// Many alleles go to the draws: the P-value is reproducible from the stream,
// five homozygotes where two are expected lie inside the distribution, and
// homozygotes only far out in its tail.
TEST(HardyWeinberg, DrawsForManyAllelesFromTheirOwnStream) {
    Genotypes homozygotes;
    Genotypes mixed;
    for (std::int32_t a = 0; a < 60; ++a) {
        homozygotes.emplace_back(a, a);
        homozygotes.emplace_back(a, a);
        mixed.emplace_back(a, (a + 1) % 60);
        mixed.emplace_back(a, a < 5 ? a : (a + 2) % 60);
    }
    const RandomState before = current_random_state();
    SideRandom first(7, kHardyWeinbergDraws, 1, 0);
    SideRandom second(7, kHardyWeinbergDraws, 1, 0);
    const HardyWeinbergTest t = hardy_weinberg_test(mixed, 60, first);
    EXPECT_EQ(HardyWeinbergTest::kDraws, t.draws);
    EXPECT_EQ(t.p_value, hardy_weinberg_test(mixed, 60, second).p_value);
    EXPECT_GT(t.p_value, 0.0);
    EXPECT_LT(t.p_value, 1.0);
    EXPECT_EQ(0.0, hardy_weinberg_test(homozygotes, 60, first).p_value);
    EXPECT_EQ(before, current_random_state()); // the analysis's own stream untouched
}

TEST(SideRandom, StreamsDifferByPurposeAndIndex) {
    SideRandom a(5, kBootstrapReplicate, 0);
    SideRandom b(5, kBootstrapReplicate, 1);
    SideRandom c(5, kHardyWeinbergDraws, 0);
    SideRandom negated(-5, kBootstrapReplicate, 0);
    const std::uint64_t x = a.next();
    EXPECT_NE(x, b.next());
    EXPECT_NE(x, c.next());
    EXPECT_EQ(x, negated.next()); // s and -s give the same run
    for (int i = 0; i < 1000; ++i) {
        EXPECT_LT(a.below(3), 3U);
    }
}

// Runs whose frequencies agree within the tolerance reached one maximum,
// whatever their log-likelihoods; two maxima of equal height stay two.
TEST(MaximaTally, TellsMaximaApartByFrequencies) {
    MaximaTally tally;
    tally.add({0.5, 0.5}, true);
    tally.add({0.5004, 0.4996}, false);
    tally.add({0.2, 0.8}, false);
    EXPECT_EQ(2, tally.distinct());
    EXPECT_EQ(2, tally.best_starts());
    tally.add({0.2001, 0.7999}, true); // a later, higher run of the second maximum
    EXPECT_EQ(2, tally.best_starts());
    tally.add({0.9, 0.1}, true);
    EXPECT_EQ(3, tally.distinct());
    EXPECT_EQ(1, tally.best_starts());
    tally.clear();
    EXPECT_EQ(0, tally.distinct());
    EXPECT_EQ(0, tally.best_starts());
}

} // namespace
