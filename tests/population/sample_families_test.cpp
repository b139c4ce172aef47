// The one count of families, singles and absent parents that the report, the
// tables, the converter and the check all print.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "population/sample_families.h"

namespace {

SampleDescription sample_of(const std::vector<std::vector<std::string>>& trios) {
    SampleDescription sample;
    for (const auto& t : trios) {
        sample.records.push_back({t[0], t[1], t[2], {"1", "1"}, 0});
    }
    return sample;
}

TEST(FamilyStructure, CountsAsTheLikelihoodSeesThePedigree) {
    // P and Q in either order are one family of three sibs (Q absent); D has
    // one unknown parent, so it has none: a single, and X is no absent parent;
    // P heads a family, so it is no single; G and H have a child of their own.
    const FamilyStructure s = family_structure(sample_of({{"P", "0", "0"},
                                                          {"C1", "P", "Q"},
                                                          {"C2", "Q", "P"},
                                                          {"C3", "P", "Q"},
                                                          {"D", "X", "0"},
                                                          {"E", "0", "0"},
                                                          {"K", "G", "H"}}));
    EXPECT_EQ((std::map<std::size_t, std::size_t>{{1, 1}, {3, 1}}), s.families_by_sibs);
    EXPECT_EQ(2U, s.families());
    EXPECT_EQ(2U, s.singles);
    EXPECT_EQ(3U, s.absent_parents);
}

} // namespace
