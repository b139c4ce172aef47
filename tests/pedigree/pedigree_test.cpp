// One pedigree: its probability, expectation step, equivalence test, genotype
// databases, random transmission and printout.
#include <gtest/gtest.h>

#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "pedigree/pedigree.h"
#include "support/random.h"
#include "tests/pedigree/sample_builder.h"

namespace {

using pedtest::AllCombinations;
using pedtest::kIndent;
using pedtest::Sample;

TEST(PedigreeProb, SingleHomozygousIndividualIsTheSquareOfItsHaplotypeFrequency) {
    Sample s("Z 0 0\nA\nA\nY 0 0\nB\nB\n");
    s.complete();
    s.build();
    s.set_frequencies([&](std::int32_t i) { return s.haplotypes[i] == s.hap({"A"}) ? 0.3 : 0.7; });
    TPedigree& z = s.pedigree_of("Z");
    ASSERT_EQ(1U, z._gen_comb.size());
    EXPECT_DOUBLE_EQ(0.09, z.calc_prob());
    EXPECT_DOUBLE_EQ(0.09, z._prob);
    EXPECT_DOUBLE_EQ(0.09, z._gen_comb[0]._prob);
    EXPECT_DOUBLE_EQ(0.09, z._gen_comb[0]._parent1->_freq);
}

TEST(PedigreeProb, DistinctGenotypesOfTwoUntypedParentsCountTwice) {
    // P and Q are absent from the data: both parent records are untyped.
    Sample s("K P Q\n1\n2\n");
    s.complete();
    s.build();
    TPedigree& family = s.pedigree_of("K");
    ASSERT_TRUE(family.symmetric());
    s.set_frequencies([&](std::int32_t i) { return s.haplotypes[i] == s.hap({"1"}) ? 0.3 : 0.7; });
    // Summed over ordered genotype pairs the child (1, 2) has probability 2pq.
    EXPECT_DOUBLE_EQ(0.42, family.calc_prob());
    ASSERT_EQ(4U, family._gen_comb.size()); // (12, 11), (12, 12), (22, 11), (22, 12)
    for (const TGenotypicCombination& c : family._gen_comb) {
        const double pair = c._parent1->_freq * c._parent2->_freq * c._seg_prob;
        EXPECT_DOUBLE_EQ(c._parent1 == c._parent2 ? pair : 2 * pair, c._prob);
    }
}

class SingleDoubleHeterozygote : public ::testing::Test {
  protected:
    SingleDoubleHeterozygote() {
        s.complete();
        s.build();
        s.set_frequencies(pedtest::graded(s.haplotypes.size()));
    }
    TPedigree& z() { return s.pedigree_of("Z"); }
    double p(std::size_t c) const {
        const TPopHaplotype* h1 = c == 0 ? s.hap({"1", "a"}) : s.hap({"1", "b"});
        const TPopHaplotype* h2 = c == 0 ? s.hap({"2", "b"}) : s.hap({"2", "a"});
        return h2->_freq * 2.0 * h1->_freq;
    }

    Sample s{"Z 0 0\n1 a\n2 b\n"};
};

TEST_F(SingleDoubleHeterozygote, InactiveCombinationsCountOnlyWhileUseAllCombinationsIsOn) {
    ASSERT_EQ(2U, z()._gen_comb.size());
    ASSERT_EQ(s.hap({"1", "a"}), z()._gen_comb[0]._parent1->_hapl1);
    z()._gen_comb[1]._active = false;
    {
        AllCombinations off(false);
        EXPECT_DOUBLE_EQ(p(0), z().calc_prob());
        s.haplotypes.reset_frequencies();
        z().add_expected_counts();
        EXPECT_DOUBLE_EQ(1.0, z()._gen_comb[0]._post_prob);
        EXPECT_EQ(1.0, z()._gen_comb[1]._post_prob); // untouched
        EXPECT_DOUBLE_EQ(0.5, s.hap({"1", "a"})->_freq);
        EXPECT_EQ(0.0, s.hap({"1", "b"})->_freq);
    }
    s.set_frequencies(pedtest::graded(s.haplotypes.size()));
    {
        AllCombinations on(true);
        EXPECT_DOUBLE_EQ(p(0) + p(1), z().calc_prob());
        s.haplotypes.reset_frequencies();
        z().add_expected_counts();
        EXPECT_GT(s.hap({"1", "b"})->_freq, 0.0);
        EXPECT_DOUBLE_EQ(1.0, s.frequency_sum());
        EXPECT_FALSE(z()._gen_comb[1]._active); // flags are kept, not used
    }
    z().activate_all_combinations();
    EXPECT_TRUE(z()._gen_comb[1]._active);
}

TEST_F(SingleDoubleHeterozygote, TinyPosteriorDeactivatesAfterCountingOnce) {
    AllCombinations off(false);
    s.hap({"1", "b"})->_freq = 1e-12;
    z().calc_prob();
    s.haplotypes.reset_frequencies();
    z().add_expected_counts();
    EXPECT_TRUE(z()._gen_comb[0]._active);
    EXPECT_FALSE(z()._gen_comb[1]._active);
    EXPECT_LT(z()._gen_comb[1]._post_prob, 1e-10);
    EXPECT_GT(s.hap({"1", "b"})->_freq, 0.0);
    EXPECT_DOUBLE_EQ(1.0, s.frequency_sum());
}

TEST_F(SingleDoubleHeterozygote, ZeroProbabilitySetsPosteriorsToZeroAndAddsNothing) {
    pedtest::LogCapture log;
    s.set_frequencies([](std::int32_t) { return 0.0; });
    EXPECT_EQ(0.0, z().calc_prob());
    s.set_frequencies([](std::int32_t) { return 0.25; });
    z().add_expected_counts();
    for (const TGenotypicCombination& c : z()._gen_comb) {
        EXPECT_EQ(0.0, c._post_prob);
        EXPECT_TRUE(c._active);
    }
    EXPECT_EQ(1.0, s.frequency_sum());
    EXPECT_EQ("", log.str()); // combinations exist: not an incompatible pedigree
}

TEST(PedigreeEquivalence, SameMultisetOfPhenotypesInAnyOrder) {
    // The second family has the first one's parents swapped and its sibs reversed.
    Sample s("F 0 0\n1\n2\nM 0 0\n3\n3\nS1 F M\n1\n3\nS2 F M\n2\n3\n"
             "F2 0 0\n3\n3\nM2 0 0\n2\n1\nT2 F2 M2\n3\n2\nT1 F2 M2\n3\n1\n"
             "F3 0 0\n1\n2\nM3 0 0\n3\n3\nU1 F3 M3\n1\n3\nU2 F3 M3\n1\n3\nU3 F3 M3\n2\n3\n"
             "F4 0 0\n1\n2\nM4 0 0\n3\n3\nV1 F4 M4\n1\n3\nV2 F4 M4\n2\n3\nV3 F4 M4\n2\n3\n");
    s.peds.build_pedigree_structures(s.people);
    TPedigree& a = s.pedigree_of("S1");
    TPedigree& b = s.pedigree_of("T1");
    TPedigree& twice_first = s.pedigree_of("U1");
    TPedigree& twice_second = s.pedigree_of("V1");
    EXPECT_TRUE(a.is_equivalent(b));
    EXPECT_TRUE(b.is_equivalent(a));
    EXPECT_FALSE(twice_first.is_equivalent(twice_second));
    EXPECT_FALSE(twice_second.is_equivalent(twice_first));
    EXPECT_FALSE(a.is_equivalent(twice_first)); // two sibs against three
    EXPECT_FALSE(a.same_parents(b));
    TPedigree swapped(a._parent2, a._parent1);
    EXPECT_TRUE(a.same_parents(swapped));
}

TEST(PedigreeGenotypes, TypedParentGetsAFreshDatabaseEachRunUntypedTheSharedOne) {
    Sample s("F 0 0\n1 a\n2 b\nS F Q\n1 a\n2 a\n");
    s.complete();
    s.peds.build_pedigree_structures(s.people);
    TPedigree& family = s.pedigree_of("S");
    TParent& f = *family._parent1;
    TParent& q = *family._parent2;
    ASSERT_EQ(1, f._typed);
    ASSERT_EQ(0, q._typed);
    const std::int32_t all_loci = -1;
    family.hook_gen_db(s.genotypes, s.haplotypes, all_loci, 0);
    EXPECT_EQ(&s.genotypes, q._gen_db);
    TSmallGenDB* first = f._gen_db;
    ASSERT_EQ(2, first->size()); // the two phases of a double heterozygote
    EXPECT_EQ(s.hap({"1", "a"}), (*first)[0]._hapl1);
    EXPECT_EQ(s.hap({"2", "b"}), (*first)[0]._hapl2);
    EXPECT_EQ(s.hap({"1", "b"}), (*first)[1]._hapl1);
    EXPECT_EQ(s.hap({"2", "a"}), (*first)[1]._hapl2);

    // A run on locus 1 alone: one record of one-locus haplotypes.
    TPopHaploDB locus1;
    locus1.build_locus_haplotypes(s.alleles, 1);
    TSmallGenDB locus1_all;
    locus1_all.build_all_valid_gen(locus1);
    const std::int32_t second_locus = 1;
    family.hook_gen_db(locus1_all, locus1, second_locus, 0);
    ASSERT_NE(first, f._gen_db);
    ASSERT_EQ(1, f._gen_db->size());
    EXPECT_EQ("a", (*f._gen_db)[0]._hapl1->allele(0)->_name);
    EXPECT_EQ("b", (*f._gen_db)[0]._hapl2->allele(0)->_name);
    EXPECT_EQ(1, (*f._gen_db)[0]._hapl1->size());
    // The first run's combinations still point into its database.
    EXPECT_EQ(s.hap({"2", "a"}), (*first)[1]._hapl2);

    TPhenPed& sib = s.person("S");
    family.build_member_genotypes(s.haplotypes, all_loci);
    ASSERT_EQ(1U, sib._gen_list.size());
    EXPECT_EQ(s.hap({"1", "a"}), sib._gen_list[0]._hapl1);
    family.build_member_genotypes(locus1, second_locus);
    ASSERT_EQ(1U, sib._gen_list.size());
    EXPECT_EQ(locus1[0], sib._gen_list[0]._hapl1); // a
    EXPECT_EQ(locus1[0], sib._gen_list[0]._hapl2);
}

bool same_state(const RandomState& a, const RandomState& b) {
    return std::memcmp(a.table, b.table, sizeof a.table) == 0 && a.next == b.next &&
           a.next_lag == b.next_lag && a.seeded == b.seeded;
}

TEST(PedigreeTransmission, SingleIndividualChangesNothing) {
    Sample s("Z 0 0\n1 a\n2 b\n");
    s.peds.build_pedigree_structures(s.people);
    TPhenPed& z = s.person("Z");
    const TPopHaplotype* before[] = {z.pseudo_hapl(0), z.pseudo_hapl(1)};
    std::int32_t seed = -3;
    random_uniform(seed);
    const RandomState state = current_random_state();
    s.pedigree_of("Z").transmit_to_sibs();
    s.pedigree_of("Z").clear_untyped_parents();
    EXPECT_EQ(before[0], z.pseudo_hapl(0));
    EXPECT_EQ(before[1], z.pseudo_hapl(1));
    EXPECT_TRUE(same_state(state, current_random_state()));
}

TEST(PedigreeTransmission, EachSibGetsOneWholeHaplotypeOfEachParent) {
    std::string text = "F 0 0\n1 a\n2 b\n";
    for (int k = 1; k <= 8; ++k) {
        text += "S" + std::to_string(k) + " F Q\n1 a\n1 a\n";
    }
    Sample s(text);
    s.complete();
    s.peds.build_pedigree_structures(s.people);
    TPedigree& family = s.pedigree_of("S1");
    TPhenPed& f = s.person("F");
    TPhenPed& q = s.person("Q"); // absent: untyped record, given haplotypes here
    q.set_pseudo_hapl(*s.hap({"2", "a"}), 0);
    q.set_pseudo_hapl(*s.hap({"1", "b"}), 1);
    for (TPhenPed* parent : {&f, &q}) {
        parent->pseudo_hapl(0)->_freq = 0.7;
        parent->pseudo_hapl(1)->_freq = 0.7;
    }
    std::int32_t seed = -11;
    random_uniform(seed);
    family.transmit_to_sibs();
    bool passed[2][2] = {{false, false}, {false, false}};
    for (TPhenPed* sib : family._sibs) {
        for (int slot = 0; slot < 2; ++slot) {
            const TPhenPed& parent = slot == 0 ? f : q;
            const TPopHaplotype& got = *sib->pseudo_hapl(slot);
            EXPECT_EQ(0.0, got._freq);
            const bool first = got == *parent.pseudo_hapl(0);
            const bool second = got == *parent.pseudo_hapl(1);
            EXPECT_TRUE(first || second) << *sib->_id << " slot " << slot;
            passed[slot][0] = passed[slot][0] || first;
            passed[slot][1] = passed[slot][1] || second;
        }
    }
    EXPECT_TRUE(passed[0][0] && passed[0][1] && passed[1][0] && passed[1][1]);
    // The untyped parent keeps its haplotypes until the caller clears them.
    EXPECT_TRUE(q.typed());
    family.clear_untyped_parents();
    EXPECT_FALSE(q.typed());
    EXPECT_EQ(nullptr, q.pseudo_hapl(1));
    EXPECT_TRUE(f.typed());
}

TEST(PedigreePrintout, FamilyWithThreeSibsShowsTheStoredSibOrderInItsCombinations) {
    Sample s("F 0 0\nA\nB\nM 0 0\nC\nD\nSa F M\nA\nC\nSb F M\nA\nD\nSc F M\nB\nD\n");
    s.complete();
    s.build();
    s.set_frequencies([&](std::int32_t i) {
        const std::string& name = s.haplotypes[i]->allele(0)->_name;
        return name == "A" ? 0.1 : name == "B" ? 0.2 : name == "C" ? 0.3 : 0.4;
    });
    TPedigree& family = s.peds._pedigrees.at(0);
    family.calc_prob();
    std::ostringstream os;
    os << family;
    const std::string& i = kIndent;
    EXPECT_EQ("Unique Pedigree: Obs. count = 1\n"
              "Parent 1 id : F 0 0\n" +
                  i + "A \n" + i + "B \n\n" + "Parent 2 id : M 0 0\n" + i + "C \n" + i + "D \n\n" +
                  "Sib 1 id : Sa\n" + i + "A \n" + i + "C \n\n" + "Sib 2 id : Sb\n" + i + "A \n" +
                  i + "D \n\n" + "Sib 3 id : Sc\n" + i + "B \n" + i + "D \n\n" +
                  "\nPossible genotypic combinations\n-------------------------------\n"
                  "Combination #1\n---------------\n\n"
                  " 0.00015\nP1 : \nCompatible genotype\nA \nB \n---\n"
                  "P2 : \nCompatible genotype\nC \nD \n---\n"
                  "Segregation prob. : 0.015625\n"
                  "S1 : \n0\n\tA \n\tD \n"
                  "S2 : \n0\n\tA \n\tC \n"
                  "S3 : \n0\n\tB \n\tD \n"
                  "\n",
              os.str());
}

TEST(PedigreePrintout, RepresentativeAndRedundantSingleIndividuals) {
    Sample s("Z 0 0\nA\nB\nY 0 0\nB\nA\n");
    s.complete();
    s.build(true);
    // Haplotypes in order of first appearance: B (from Y, read last), then A.
    s.set_frequencies([](std::int32_t i) { return i == 0 ? 0.25 : 0.75; });
    TPedigree& representative = s.peds._pedigrees.at(0);
    TPedigree& redundant = s.peds._pedigrees.at(1);
    ASSERT_FALSE(redundant._unique);
    representative.calc_prob();
    std::ostringstream os;
    os << representative << redundant;
    const std::string header =
        "\nPossible genotypic combinations\n-------------------------------\n";
    EXPECT_EQ("Unique Pedigree: Obs. count = 2\n"
              "Parent 1 id : Y 0 0\n" +
                  kIndent + "B \n" + kIndent + "A \n\n" + header +
                  "Combination #1\n---------------\n\n"
                  " 0.375\nP1 : \nCompatible genotype\nB \nA \n---\n\n"
                  "Pedigree is redundant\n"
                  "Parent 1 id : Z 0 0\n" +
                  kIndent + "A \n" + kIndent + "B \n\n" + header,
              os.str());
}

} // namespace
