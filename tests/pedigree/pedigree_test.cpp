// One pedigree: its probability, expectation step, equivalence test and printout.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "pedigree/pedigree.h"
#include "tests/pedigree/sample_builder.h"

namespace {

using pedtest::AllCombinations;
using pedtest::frequency_sum;
using pedtest::kIndent;
using pedtest::Sample;
using pedtest::set_frequencies;

TEST(PedigreeProb, SingleHomozygousIndividualIsTheSquareOfItsHaplotypeFrequency) {
    Sample s("Z 0 0\nA\nA\n");
    s.complete();
    s.build();
    set_frequencies(s.haplotypes, [](std::int32_t) { return 0.3; });
    TPedigree& z = s.peds._pedigrees.at(0);
    ASSERT_EQ(1U, z._gen_comb.size());
    EXPECT_DOUBLE_EQ(0.09, z.calc_prob());
    EXPECT_DOUBLE_EQ(0.09, z._gen_comb[0]._prob);
}

TEST(PedigreeProb, DistinctGenotypesOfTwoUntypedParentsCountTwice) {
    Sample s("K P Q\n1\n2\n"); // P and Q absent: both parent records untyped
    s.complete();
    s.build();
    TPedigree& family = s.peds._pedigrees.at(0);
    set_frequencies(s.haplotypes,
                    [&](std::int32_t i) { return s.haplotypes[i] == s.hap("1") ? 0.3 : 0.7; });
    // Summed over ordered genotype pairs the child (1, 2) has probability 2pq;
    // the combinations hold unordered pairs.
    ASSERT_EQ(4U, family._gen_comb.size()); // (12, 11), (12, 12), (22, 11), (22, 12)
    EXPECT_DOUBLE_EQ(0.42, family.calc_prob());
}

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

TEST(PedigreeEquivalence, SameMultisetOfPhenotypesInAnyOrder) {
    // B is A with the parents swapped and the sibs reversed; C and D have the
    // same set of sib phenotypes but not the same multiset.
    Sample s("F 0 0\n1\n2\nM 0 0\n3\n3\nA1 F M\n1\n3\nA2 F M\n2\n3\n"
             "F2 0 0\n3\n3\nM2 0 0\n2\n1\nB2 F2 M2\n3\n2\nB1 F2 M2\n3\n1\n"
             "F3 0 0\n1\n2\nM3 0 0\n3\n3\nC1 F3 M3\n1\n3\nC2 F3 M3\n1\n3\nC3 F3 M3\n2\n3\n"
             "F4 0 0\n1\n2\nM4 0 0\n3\n3\nD1 F4 M4\n1\n3\nD2 F4 M4\n2\n3\nD3 F4 M4\n2\n3\n");
    s.peds.build_pedigree_structures(s.people);
    std::vector<TPedigree>& p = s.peds._pedigrees; // newest first: D, C, B, A
    TPedigree& a = p.at(3);
    TPedigree& b = p.at(2);
    TPedigree& c = p.at(1);
    TPedigree& d = p.at(0);
    EXPECT_TRUE(a.is_equivalent(b) && b.is_equivalent(a));
    EXPECT_FALSE(c.is_equivalent(d) || d.is_equivalent(c));
    EXPECT_FALSE(a.is_equivalent(c)); // two sibs against three
    EXPECT_FALSE(a.same_parents(b));
    EXPECT_TRUE(a.same_parents(TPedigree(a._parent2, a._parent1)));
}

// The two pseudo-haplotype lines of an individual in a printout.
std::string lines(const char* h1, const char* h2) {
    return kIndent + h1 + " \n" + kIndent + h2 + " \n\n";
}

const std::string kCombinationsTitle =
    "\nPossible genotypic combinations\n-------------------------------\n";

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
                  kCombinationsTitle + "Combination #1\n---------------\n\n" +
                  " 0.00015\nP1 : \nCompatible genotype\nA \nB \n---\n"
                  "P2 : \nCompatible genotype\nC \nD \n---\n"
                  "Segregation prob. : 0.015625\n"
                  "S1 : \n0\n\tA \n\tD \n"
                  "S2 : \n0\n\tA \n\tC \n"
                  "S3 : \n0\n\tB \n\tD \n\n",
              os.str());
}

TEST(PedigreePrintout, RepresentativeAndRedundantSingleIndividuals) {
    Sample s("Z 0 0\nA\nB\nY 0 0\nB\nA\n");
    s.complete();
    s.build(true);
    // Haplotypes in order of first appearance: B (from Y, read last), then A.
    set_frequencies(s.haplotypes, [](std::int32_t i) { return i == 0 ? 0.25 : 0.75; });
    TPedigree& representative = s.peds._pedigrees.at(0);
    representative.calc_prob();
    std::ostringstream os;
    os << representative << s.peds._pedigrees.at(1);
    EXPECT_EQ("Unique Pedigree: Obs. count = 2\nParent 1 id : Y 0 0\n" + lines("B", "A") +
                  kCombinationsTitle + "Combination #1\n---------------\n\n" +
                  " 0.375\nP1 : \nCompatible genotype\nB \nA \n---\n\n" +
                  "Pedigree is redundant\nParent 1 id : Z 0 0\n" + lines("A", "B") +
                  kCombinationsTitle,
              os.str());
}

} // namespace
