// Genotypes as unordered pairs of database entries, and the two-place list.
#include <gtest/gtest.h>

#include "genetics/genotype.h"
#include "haplotype_text.h"

namespace {

class GenotypeTest : public ::testing::Test {
  protected:
    TAllele x_{"12", 0.5F}, y_{"A", 0.5F};
    TPopHaplotype a_ = hap(&x_, &y_), a_copy_ = a_, b_ = hap(&y_, &x_);
};

TEST_F(GenotypeTest, EqualityIsAnUnorderedPairOfIdentities) {
    EXPECT_TRUE((TGenotype{&a_, &b_, 0.25}) == (TGenotype{&b_, &a_, 0.75}));
    EXPECT_TRUE((TGenotype{&a_, &a_, 0.0}) == (TGenotype{&a_, &a_, 0.0}));
    EXPECT_FALSE((TGenotype{&a_, &a_, 0.0}) == (TGenotype{&a_, &b_, 0.0}));
    EXPECT_FALSE((TGenotype{&a_, &b_, 0.0}) == (TGenotype{&b_, &b_, 0.0}));
    ASSERT_TRUE(a_ == a_copy_);
    EXPECT_FALSE((TGenotype{&a_, &b_, 0.0}) == (TGenotype{&a_copy_, &b_, 0.0}));
}

TEST_F(GenotypeTest, ListHoldsTwoRefusesAThirdAndFindsByEquality) {
    TGenotypeList list;
    EXPECT_EQ(4294967295U, list.find(TGenotype{&a_, &b_, 0.0}));
    EXPECT_TRUE(list.append(TGenotype{&a_, &a_, 0.0}));
    EXPECT_TRUE(list.append(TGenotype{&a_, &b_, 0.0}));
    EXPECT_FALSE(list.append(TGenotype{&b_, &b_, 0.0}));
    ASSERT_EQ(2U, list.size());
    EXPECT_EQ(&a_, list[1]._hapl1);
    EXPECT_EQ(&b_, list[1]._hapl2);
    EXPECT_EQ(1U, list.find(TGenotype{&b_, &a_, 0.0}));
    EXPECT_EQ(0U, list.find(TGenotype{&a_, &a_, 0.0}));
    EXPECT_EQ(4294967295U, list.find(TGenotype{&b_, &b_, 0.0}));
    EXPECT_EQ(4294967295U, list.find(TGenotype{&a_copy_, &b_, 0.0}));
    list.clear();
    EXPECT_TRUE(list.empty());
    EXPECT_TRUE(list.append(TGenotype{&b_, &b_, 0.0}));
}

} // namespace
