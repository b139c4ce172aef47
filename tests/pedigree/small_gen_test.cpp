// The database of valid genotypes: its order, the compatibility test against a
// group of individuals (all loci or one), and the record printout.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "pedigree/small_gen.h"
#include "tests/pedigree/sample_builder.h"

namespace {

using pedtest::Sample;

TEST(SmallGenDB, BuildAllValidGenListsEveryUnorderedPairInTriangleOrder) {
    Sample s("X 0 0\nA\nB\nY 0 0\nC\nC\n");
    s.haplotypes.build_all_haplotypes(s.alleles);
    ASSERT_EQ(3, s.haplotypes.size());
    TSmallGenDB db;
    ASSERT_TRUE(db.build_all_valid_gen(s.haplotypes));
    ASSERT_TRUE(db.build_all_valid_gen(s.haplotypes)); // appended behind the first six
    const std::vector<std::pair<int, int>> order = {{0, 0}, {1, 0}, {1, 1}, {2, 0}, {2, 1}, {2, 2}};
    ASSERT_EQ(12, db.size());
    for (int k = 0; k < 12; ++k) {
        const auto [i, j] = order[static_cast<std::size_t>(k % 6)];
        EXPECT_EQ(s.haplotypes[i], db[k]._hapl1) << k;
        EXPECT_EQ(s.haplotypes[j], db[k]._hapl2) << k;
        EXPECT_TRUE(db[k]._compatible);
    }
}

TEST(SmallGenDB, EmptyHaplotypeDatabaseGivesNoRecords) {
    TPopHaploDB none;
    TSmallGenDB db;
    EXPECT_TRUE(db.build_all_valid_gen(none));
    EXPECT_EQ(0, db.size());
    db.check_compatibility({}, -1);
    db.set_all_compatible();
    EXPECT_EQ(0, db.size());
}

class Compatibility : public ::testing::Test {
  protected:
    Compatibility() {
        s.haplotypes.build_all_haplotypes(s.alleles);
        s.genotypes.build_all_valid_gen(s.haplotypes);
    }

    // The names of the two alleles of each genotype record at one locus.
    static std::set<std::string> names(const TSmallGen& g, int position) {
        return {g._hapl1->allele(position)->_name, g._hapl2->allele(position)->_name};
    }

    // Whether each record shares an allele with every individual at every locus.
    std::vector<bool> expected(const std::vector<std::set<std::string>>& people_locus0,
                               const std::vector<std::set<std::string>>& people_locus1) const {
        std::vector<bool> flags;
        for (std::int32_t k = 0; k < s.genotypes.size(); ++k) {
            bool fits = true;
            for (int l = 0; l < 2; ++l) {
                for (const auto& own : l == 0 ? people_locus0 : people_locus1) {
                    bool shared = false;
                    for (const std::string& a : names(s.genotypes[k], l)) {
                        shared = shared || own.count(a) != 0;
                    }
                    fits = fits && shared;
                }
            }
            flags.push_back(fits);
        }
        return flags;
    }

    std::int64_t n_compatible() const {
        const std::vector<bool> f = flags();
        return std::count(f.begin(), f.end(), true);
    }

    std::vector<bool> flags() const {
        std::vector<bool> out;
        for (std::int32_t k = 0; k < s.genotypes.size(); ++k) {
            out.push_back(s.genotypes[k]._compatible);
        }
        return out;
    }

    Sample s{"I1 0 0\n1 a\n2 a\nI2 0 0\n2 b\n3 a\n"};
};

TEST_F(Compatibility, AllLociEveryIndividualMustCarryOneOfTheGenotypesAllelesAtEachLocus) {
    TPhenPed* i1 = &s.person("I1");
    TPhenPed* i2 = &s.person("I2");
    ASSERT_EQ(21, s.genotypes.size());
    s.genotypes.check_compatibility({i1}, -1);
    EXPECT_EQ(expected({{"1", "2"}}, {{"a"}}), flags());
    EXPECT_EQ(13, n_compatible());

    s.genotypes.check_compatibility({i2, i1}, -1);
    EXPECT_EQ(expected({{"1", "2"}, {"2", "3"}}, {{"a"}, {"a", "b"}}), flags());
    EXPECT_EQ(11, n_compatible());

    // Never sets a flag again: only set_all_compatible does.
    s.genotypes.check_compatibility({}, -1);
    s.genotypes.check_compatibility({i2}, -1);
    EXPECT_EQ(expected({{"1", "2"}, {"2", "3"}}, {{"a"}, {"a", "b"}}), flags());
    s.genotypes.set_all_compatible();
    EXPECT_EQ(std::vector<bool>(21, true), flags());
}

TEST_F(Compatibility, OneLocusComparesPositionZeroOfTheRecordsWithThatLocusOfTheIndividuals) {
    TPhenPed* i1 = &s.person("I1");
    TPhenPed* i2 = &s.person("I2");
    for (std::int32_t locus : {0, 1}) {
        TPopHaploDB single;
        single.build_locus_haplotypes(s.alleles, locus);
        TSmallGenDB db;
        db.build_all_valid_gen(single);
        db.check_compatibility({i1, i2}, locus);
        std::vector<std::string> compatible;
        for (std::int32_t k = 0; k < db.size(); ++k) {
            if (db[k]._compatible) {
                compatible.push_back(db[k]._hapl1->allele(0)->_name +
                                     db[k]._hapl2->allele(0)->_name);
            }
        }
        // Locus 0: I1 carries 1, 2 and I2 carries 2, 3; locus 1: a, and a, b.
        const std::vector<std::string> want =
            locus == 0 ? std::vector<std::string>{"22", "32", "12", "13"} // allele order 2, 3, 1
                       : std::vector<std::string>{"ab", "aa"};            // allele order b, a
        EXPECT_EQ(want, compatible) << "locus " << locus;
    }
}

TEST(SmallGenPrintout, ShowsTheFlagAndBothHaplotypes) {
    Sample s("X 0 0\n1 a\n2 b\n");
    s.haplotypes.build_all_haplotypes(s.alleles);
    TSmallGen g{s.hap({"1", "a"}), s.hap({"2", "b"}), true, 0.0};
    std::ostringstream os;
    os << g;
    g._compatible = false;
    os << g << TSmallGen{nullptr, nullptr, false, 0.0};
    EXPECT_EQ("Compatible genotype\n1 a \n2 b \n---\n"
              "Incompatible genotype\n1 a \n2 b \n---\n"
              "Incompatible genotype\n\n---\n",
              os.str());
}

} // namespace
