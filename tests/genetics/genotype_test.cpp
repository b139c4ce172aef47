// Genotypes as unordered pairs of database entries, and the two-place list.
#include <gtest/gtest.h>

#include <sstream>

#include "genetics/genotype.h"

namespace {

class GenotypeTest : public ::testing::Test {
  protected:
    GenotypeTest() {
        a_.append(&x_);
        a_.append(&y_);
        a_copy_ = a_;
        b_.append(&y_);
        b_.append(&x_);
    }

    TAllele x_{"12", 0.5F}, y_{"A", 0.5F};
    TPopHaplotype a_, a_copy_, b_;
};

TEST_F(GenotypeTest, EqualityIsAnUnorderedPairOfIdentities) {
    EXPECT_TRUE((TGenotype{&a_, &b_, 0.0}) == (TGenotype{&b_, &a_, 0.0}));
    EXPECT_TRUE((TGenotype{&a_, &a_, 0.0}) == (TGenotype{&a_, &a_, 0.0}));
    EXPECT_FALSE((TGenotype{&a_, &a_, 0.0}) == (TGenotype{&a_, &b_, 0.0}));
    EXPECT_FALSE((TGenotype{&a_, &b_, 0.0}) == (TGenotype{&b_, &b_, 0.0}));
    // Same content, other object.
    ASSERT_TRUE(a_ == a_copy_);
    EXPECT_FALSE((TGenotype{&a_, &b_, 0.0}) == (TGenotype{&a_copy_, &b_, 0.0}));
    EXPECT_TRUE((TGenotype{&a_, &b_, 0.25}) == (TGenotype{&a_, &b_, 0.75}));
}

TEST_F(GenotypeTest, PrintsFrequencyThenTheTwoHaplotypes) {
    std::ostringstream os;
    os << TGenotype{&a_, &b_, 0.0};
    EXPECT_EQ("0\n\t12 A \n\tA 12 \n", os.str());
    std::ostringstream fixed;
    fixed.setf(std::ios::fixed, std::ios::floatfield);
    fixed.precision(2);
    fixed << TGenotype{&b_, &b_, 0.5};
    EXPECT_EQ("0.50\n\tA 12 \n\tA 12 \n", fixed.str());
}

TEST_F(GenotypeTest, ListHoldsTwoAndRefusesAThird) {
    TGenotypeList list;
    EXPECT_TRUE(list.empty());
    EXPECT_TRUE(list.append(TGenotype{&a_, &b_, 0.0}));
    EXPECT_TRUE(list.append(TGenotype{&b_, &b_, 0.0}));
    EXPECT_FALSE(list.append(TGenotype{&a_, &a_, 0.0}));
    ASSERT_EQ(2U, list.size());
    EXPECT_EQ(&a_, list[0]._hapl1);
    EXPECT_EQ(&b_, list[0]._hapl2);
    EXPECT_EQ(&b_, list[1]._hapl1);
    EXPECT_EQ(&b_, list[1]._hapl2);
    list.clear();
    EXPECT_EQ(0U, list.size());
    EXPECT_TRUE(list.append(TGenotype{&a_, &a_, 0.0}));
    EXPECT_EQ(1U, list.size());
}

TEST_F(GenotypeTest, FindGivesTheFirstEqualOrAllBitsSet) {
    TGenotypeList list;
    EXPECT_EQ(4294967295U, list.find(TGenotype{&a_, &b_, 0.0}));
    list.append(TGenotype{&a_, &a_, 0.0});
    list.append(TGenotype{&a_, &b_, 0.0});
    EXPECT_EQ(1U, list.find(TGenotype{&b_, &a_, 0.0}));
    EXPECT_EQ(0U, list.find(TGenotype{&a_, &a_, 0.0}));
    EXPECT_EQ(4294967295U, list.find(TGenotype{&b_, &b_, 0.0}));
    EXPECT_EQ(4294967295U, list.find(TGenotype{&a_copy_, &b_, 0.0}));
}

} // namespace
