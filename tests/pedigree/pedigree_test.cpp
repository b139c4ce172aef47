// One pedigree: its probability, expectation step and printout.
// Probabilities of whole families are checked by brute force in ped_db_test.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "pedigree/pedigree.h"
#include "tests/pedigree/sample_builder.h"

namespace {

using pedtest::AllCombinations;
using pedtest::frequency_sum;
using pedtest::kIndent;
using pedtest::Sample;
using pedtest::set_frequencies;

// Z has two combinations, the phases (1a, 2b) and (1b, 2a).
class SingleDoubleHeterozygote : public ::testing::Test {
  protected:
    SingleDoubleHeterozygote() {
        s.complete();
        s.build();
        set_frequencies(s.haplotypes);
    }
    TPedigree& z() { return s.peds._pedigrees.at(0); }
    double f(const std::string& names) const { return s.hap(names)->_freq; }

    Sample s{"Z 0 0\n1 a\n2 b\n"};
};

TEST_F(SingleDoubleHeterozygote, InactiveCombinationsCountOnlyWhileUseAllCombinationsIsOn) {
    const double first = 2.0 * f("1 a") * f("2 b");
    const double second = 2.0 * f("1 b") * f("2 a");
    z()._gen_comb[1]._active = false;
    {
        AllCombinations off(false);
        EXPECT_DOUBLE_EQ(first, z().calc_prob());
        s.haplotypes.reset_frequencies();
        z().add_expected_counts();
        EXPECT_EQ(1.0, z()._gen_comb[1]._post_prob); // untouched
        EXPECT_DOUBLE_EQ(0.5, f("1 a"));
        EXPECT_EQ(0.0, f("1 b"));
    }
    set_frequencies(s.haplotypes);
    {
        AllCombinations on(true);
        EXPECT_DOUBLE_EQ(first + second, z().calc_prob());
        s.haplotypes.reset_frequencies();
        z().add_expected_counts();
        EXPECT_DOUBLE_EQ(0.5 * second / (first + second), f("1 b"));
        EXPECT_FALSE(z()._gen_comb[1]._active); // flags are kept, not used
    }
    z().activate_all_combinations();
    EXPECT_TRUE(z()._gen_comb[1]._active);
}

TEST_F(SingleDoubleHeterozygote, TinyPosteriorDeactivatesAfterCountingOnce) {
    AllCombinations off(false);
    s.hap("1 b")->_freq = 1e-12;
    z().calc_prob();
    s.haplotypes.reset_frequencies();
    z().add_expected_counts();
    EXPECT_TRUE(z()._gen_comb[0]._active);
    EXPECT_FALSE(z()._gen_comb[1]._active);
    EXPECT_GT(f("1 b"), 0.0);
}

TEST_F(SingleDoubleHeterozygote, ZeroProbabilitySetsPosteriorsToZeroAndAddsNothing) {
    pedtest::LogCapture log;
    set_frequencies(s.haplotypes, [](std::int32_t) { return 0.0; });
    EXPECT_EQ(0.0, z().calc_prob());
    set_frequencies(s.haplotypes, [](std::int32_t) { return 0.25; });
    z().add_expected_counts();
    for (const TGenotypicCombination& c : z()._gen_comb) {
        EXPECT_EQ(0.0, c._post_prob);
        EXPECT_TRUE(c._active);
    }
    EXPECT_EQ(1.0, frequency_sum(s.haplotypes));
    EXPECT_EQ("", log.str()); // combinations exist: not an incompatible pedigree
}

// The two pseudo-haplotype lines of an individual in a printout.
std::string lines(const char* h1, const char* h2) {
    return kIndent + h1 + " \n" + kIndent + h2 + " \n\n";
}

TEST(PedigreePrintout, FamilyWithThreeSibsShowsTheStoredSibOrderInItsCombinations) {
    Sample s("F 0 0\nA\nB\nM 0 0\nC\nD\nSa F M\nA\nC\nSb F M\nA\nD\nSc F M\nB\nD\n");
    s.complete();
    s.build();
    set_frequencies(s.haplotypes, [&](std::int32_t i) {
        return 0.1 * (1 + s.haplotypes[i]->allele(0)->_name[0] - 'A'); // A 0.1 ... D 0.4
    });
    TPedigree& family = s.peds._pedigrees.at(0);
    family.calc_prob();
    std::ostringstream os;
    os << family;
    EXPECT_EQ("Unique Pedigree: Obs. count = 1\nParent 1 id : F 0 0\n" + lines("A", "B") +
                  "Parent 2 id : M 0 0\n" + lines("C", "D") + "Sib 1 id : Sa\n" + lines("A", "C") +
                  "Sib 2 id : Sb\n" + lines("A", "D") + "Sib 3 id : Sc\n" + lines("B", "D") +
                  "\nPossible genotypic combinations\n-------------------------------\n"
                  "Combination #1\n---------------\n\n"
                  " 0.00015\nP1 : \nCompatible genotype\nA \nB \n---\n"
                  "P2 : \nCompatible genotype\nC \nD \n---\n"
                  "Segregation prob. : 0.015625\n"
                  "S1 : \n0\n\tA \n\tD \n"
                  "S2 : \n0\n\tA \n\tC \n"
                  "S3 : \n0\n\tB \n\tD \n\n",
              os.str());
}

} // namespace
