// The bootstrap's units, its resampled samples and its percentiles.
#include "app/bootstrap.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>

namespace {

SampleDescription three_units() {
    SampleDescription s;
    s.name = "units";
    // A three-generation family with an absent grandparent, a single, and a
    // child with one unknown parent (a single too, apart from its parent).
    s.records = {{"P", "G1", "G2", {"1 a", "1 a"}, 3}, {"Q", "0", "0", {"2 b", "2 b"}, 0},
                 {"K", "P", "Q", {"1 a", "2 b"}, 0},   {"G1", "0", "0", {"1 a", "3 c"}, 0},
                 {"S", "0", "0", {"1 b", "2 a"}, 0},   {"H", "S", "0", {"1 b", "1 b"}, 0}};
    return s;
}

TEST(Bootstrap, UnitsAreFamiliesLinkedByDescentAndSingles) {
    const auto units = sample_units(three_units());
    ASSERT_EQ(3U, units.size());
    EXPECT_EQ((std::vector<std::size_t>{0, 1, 2, 3}), units[0]);
    EXPECT_EQ((std::vector<std::size_t>{4}), units[1]);
    EXPECT_EQ((std::vector<std::size_t>{5}), units[2]);
}

TEST(Bootstrap, AUnitDrawnTwiceGetsIdentifiersOfItsOwn) {
    const SampleDescription s = three_units();
    const SampleDescription r = resampled(s, sample_units(s), {0, 0, 1});
    ASSERT_EQ(9U, r.records.size());
    EXPECT_EQ(9, r.announced);
    std::set<std::string> ids;
    for (const SampleRecord& record : r.records) {
        EXPECT_TRUE(ids.insert(record.id).second) << record.id;
        EXPECT_EQ(0, record.line);
    }
    EXPECT_EQ("b1 K", r.records[6].id);
    EXPECT_EQ("b1 P", r.records[6].parent1);
    EXPECT_EQ("0", r.records[5].parent1); // unknown stays unknown
    EXPECT_EQ(s.records[2].allele_lines, r.records[6].allele_lines);
}

TEST(Bootstrap, PercentilesInterpolateBetweenNeighbours) {
    EXPECT_DOUBLE_EQ(0.1, percentile({0.1, 0.2, 0.3, 0.5, 0.9}, 0.0));
    EXPECT_DOUBLE_EQ(0.3, percentile({0.1, 0.2, 0.3, 0.5, 0.9}, 0.5));
    EXPECT_DOUBLE_EQ(0.8, percentile({0.1, 0.2, 0.3, 0.5, 0.9}, 0.9375));
    EXPECT_DOUBLE_EQ(4.0, percentile({4.0}, 0.975));
    EXPECT_TRUE(std::isnan(percentile({}, 0.5)));
}

} // namespace
