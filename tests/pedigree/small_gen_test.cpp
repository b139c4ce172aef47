// The database of valid genotypes: its order and the compatibility test against
// a group of individuals (all loci or one).
#include <gtest/gtest.h>

#include <string>

#include "pedigree/small_gen.h"
#include "tests/pedigree/sample_builder.h"

namespace {

using pedtest::Sample;

// "h1/h2" for every record, or only for the compatible ones.
std::string listing(const TSmallGenDB& db, bool compatible_only) {
    std::string out;
    for (std::int32_t k = 0; k < db.size(); ++k) {
        if (db[k]._compatible || !compatible_only) {
            out += (out.empty() ? "" : " ") + pedtest::names(*db[k]._hapl1) + "/" +
                   pedtest::names(*db[k]._hapl2);
        }
    }
    return out;
}

TEST(SmallGenDB, BuildAllValidGenListsEveryUnorderedPairInTriangleOrder) {
    Sample s("X 0 0\nA\nB\nY 0 0\nC\nC\n"); // haplotypes C, A, B
    s.haplotypes.build_all_haplotypes(s.alleles);
    ASSERT_TRUE(s.genotypes.build_all_valid_gen(s.haplotypes));
    EXPECT_EQ("C/C A/C A/A B/C B/A B/B", listing(s.genotypes, true));
}

// Locus 0 alleles in order 2, 3, 1 (I1 carries 1, 2; I2 carries 2, 3); locus 1
// alleles b, a (I1 carries a; I2 carries a, b).
class Compatibility : public ::testing::Test {
  protected:
    Compatibility() { s.complete(); }
    Sample s{"I1 0 0\n1 a\n2 a\nI2 0 0\n2 b\n3 a\n"};
};

TEST_F(Compatibility, AllLociEveryIndividualMustShareAnAlleleAtEachLocus) {
    ASSERT_EQ(21, s.genotypes.size());
    // I2 rules out the last two of I1's, which lack 2 and 3 at locus 0.
    const std::string with_both = "2 a/2 b 2 a/2 a 3 b/2 a 3 a/2 b 3 a/2 a 1 b/2 a 1 b/3 a "
                                  "1 a/2 b 1 a/2 a 1 a/3 b 1 a/3 a";
    s.genotypes.check_compatibility({&s.person("I1")}, -1);
    EXPECT_EQ(with_both + " 1 a/1 b 1 a/1 a", listing(s.genotypes, true));
    s.genotypes.check_compatibility({&s.person("I2"), &s.person("I1")}, -1);
    EXPECT_EQ(with_both, listing(s.genotypes, true));
    // Never sets a flag again: only set_all_compatible does.
    s.genotypes.check_compatibility({}, -1);
    EXPECT_EQ(with_both, listing(s.genotypes, true));
    s.genotypes.set_all_compatible();
    EXPECT_EQ(listing(s.genotypes, false), listing(s.genotypes, true));
}

TEST_F(Compatibility, OneLocusComparesTheRecordsWithThatLocusOfTheIndividuals) {
    for (std::int32_t locus : {0, 1}) {
        TPopHaploDB single;
        single.build_locus_haplotypes(s.alleles, locus);
        TSmallGenDB db;
        db.build_all_valid_gen(single);
        db.check_compatibility({&s.person("I1"), &s.person("I2")}, locus);
        EXPECT_EQ(locus == 0 ? "2/2 3/2 1/2 1/3" : "a/b a/a", listing(db, true));
    }
}

} // namespace
