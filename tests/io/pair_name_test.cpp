// Sample names that carry a pair of markers: written and read back, and the
// names of other shapes that must keep meaning nothing.
#include "io/pair_name.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(PairName, ReadsBackWhatItWritesFromTheEnd) {
    const std::string name = pair_sample_name("study: 2026", "HLA-A", "D6S:105");
    EXPECT_EQ("study: 2026: HLA-A x D6S:105", name);
    const std::optional<PairName> pair = read_pair_name(name);
    ASSERT_TRUE(pair);
    EXPECT_EQ("study: 2026", pair->panel);
    EXPECT_EQ("HLA-A", pair->marker_1);
    EXPECT_EQ("D6S:105", pair->marker_2);
    EXPECT_EQ("x", read_pair_name(": x x y")->marker_1);
}

TEST(PairName, OtherNamesCarryNoMarkers) {
    for (const char* name : {"Sample 1", "fam", "a: b", "a: b x", "a: x b", "a: b  x c", "a:b x c",
                             "a: b x c d", "a: b x b", "a: b\tx c", "a: b x c "}) {
        EXPECT_FALSE(read_pair_name(name)) << name;
    }
    EXPECT_FALSE(pair_marker_name_ok("HLA A"));
    EXPECT_FALSE(pair_marker_name_ok(""));
}

} // namespace
