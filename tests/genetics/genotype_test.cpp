// Genotypes as unordered pairs of database entries, and the two-place list.
#include <gtest/gtest.h>

#include "genetics/genotype.h"
#include "haplotype_text.h"

namespace {

// `find` goes through the genotype's equality: an unordered pair of entry
// identities, the weight aside; an equal copy of an entry is another entry.
TEST(GenotypeList, HoldsTwoRefusesAThirdAndFindsByUnorderedIdentity) {
    TAllele x{"12", 0.5F}, y{"A", 0.5F};
    TPopHaplotype a = hap(&x, &y), a_copy = a, b = hap(&y, &x);
    ASSERT_TRUE(a == a_copy);
    TGenotypeList list;
    EXPECT_EQ(4294967295U, list.find(TGenotype{&a, &b, 0.0}));
    EXPECT_TRUE(list.append(TGenotype{&a, &a, 0.0}));
    EXPECT_TRUE(list.append(TGenotype{&a, &b, 0.25}));
    EXPECT_FALSE(list.append(TGenotype{&b, &b, 0.0}));
    ASSERT_EQ(2U, list.size());
    EXPECT_EQ(&a, list[1]._hapl1);
    EXPECT_EQ(&b, list[1]._hapl2);
    EXPECT_EQ(1U, list.find(TGenotype{&b, &a, 0.75}));
    EXPECT_EQ(0U, list.find(TGenotype{&a, &a, 0.0}));
    EXPECT_EQ(4294967295U, list.find(TGenotype{&b, &b, 0.0}));
    EXPECT_EQ(4294967295U, list.find(TGenotype{&a_copy, &b, 0.0}));
    list.clear();
    EXPECT_TRUE(list.empty());
    EXPECT_TRUE(list.append(TGenotype{&b, &b, 0.0}));
}

} // namespace
