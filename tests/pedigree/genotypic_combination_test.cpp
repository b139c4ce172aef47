// Genotypic combinations of a family: segregation factors, the stored order of
// the sib genotypes, which parent pairs are considered, and the printout.
#include <gtest/gtest.h>

#include <deque>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "pedigree/genotypic_combination.h"
#include "pedigree/pedigree.h"
#include "tests/pedigree/sample_builder.h"

namespace {

using pedtest::Sample;

// One locus with alleles a, b, c; haplotype database (a), (b), (c).
class OneLocus : public ::testing::Test {
  protected:
    OneLocus() {
        s.haplotypes.build_all_haplotypes(s.alleles);
        s.genotypes.build_all_valid_gen(s.haplotypes); // all six genotypes
        a = s.hap({"a"});
        b = s.hap({"b"});
        c = s.hap({"c"});
    }

    TSmallGen gen(TPopHaplotype* h1, TPopHaplotype* h2) const { return {h1, h2, true, 0.0}; }

    Sample s{"S 0 0\na\nb\nT 0 0\nc\nc\n"};
    TPopHaplotype* a = nullptr;
    TPopHaplotype* b = nullptr;
    TPopHaplotype* c = nullptr;
};

TEST_F(OneLocus, SegregationFactorIsTheProductOfMatchesOverFour) {
    float seg = -1.0F;
    // Parent 1 homozygous: the sib matches (a1, b1) and (a2, b1).
    const OffspringGenotypes homozygous(gen(a, a), gen(b, c));
    const TGenotype ab[] = {{a, b, 0.0}};
    ASSERT_TRUE(segregation_probability(homozygous, ab, seg));
    EXPECT_EQ(0.5F, seg);
    // (a, b) x (a, b) and a sib (b, a): matches (a, b) and (b, a).
    const OffspringGenotypes both_het(gen(a, b), gen(a, b));
    const TGenotype ba[] = {{b, a, 0.0}};
    ASSERT_TRUE(segregation_probability(both_het, ba, seg));
    EXPECT_EQ(0.5F, seg);
    const TGenotype three_sibs[] = {{b, a, 0.0}, {a, a, 0.0}, {b, b, 0.0}};
    ASSERT_TRUE(segregation_probability(both_het, three_sibs, seg));
    EXPECT_EQ(0.03125F, seg);
    const TGenotype all_four[] = {{a, b, 0.0}};
    ASSERT_TRUE(segregation_probability(OffspringGenotypes(gen(a, a), gen(b, b)), all_four, seg));
    EXPECT_EQ(1.0F, seg);
    // One sib that cannot arise rejects the whole sib combination.
    const TGenotype impossible[] = {{a, b, 0.0}, {c, a, 0.0}};
    EXPECT_FALSE(segregation_probability(both_het, impossible, seg));
}

// The stored order the recursive enumeration produces: every copy of a partial
// combination reverses it and the next sib's genotype goes to the front; the
// final stored copy reverses once more.
std::vector<std::int32_t> reversing_copies(std::int32_t n_sibs) {
    std::deque<std::int32_t> partial;
    for (std::int32_t k = 0; k < n_sibs; ++k) {
        std::deque<std::int32_t> copy(partial.rbegin(), partial.rend());
        copy.push_front(k);
        partial = copy;
    }
    return {partial.rbegin(), partial.rend()};
}

TEST_F(OneLocus, SibGenotypesAreStoredInTheOrderOfTheReversingCopies) {
    EXPECT_EQ((std::vector<std::int32_t>{0, 1}), reversing_copies(2));
    EXPECT_EQ((std::vector<std::int32_t>{1, 0, 2}), reversing_copies(3));       // b, a, c
    EXPECT_EQ((std::vector<std::int32_t>{2, 0, 1, 3}), reversing_copies(4));    // c, a, b, d
    EXPECT_EQ((std::vector<std::int32_t>{3, 1, 0, 2, 4}), reversing_copies(5)); // d, b, a, c, e
    for (std::int32_t n = 1; n <= 7; ++n) {
        // Sib k has the two genotypes (h_k, a) and (h_k, b): every stored slot
        // tells which sib and which of its genotypes it holds.
        std::vector<TPopHaplotype> own(static_cast<std::size_t>(n));
        std::vector<TGenotypeList> lists(static_cast<std::size_t>(n));
        std::vector<const TGenotypeList*> pointers;
        for (std::size_t k = 0; k < lists.size(); ++k) {
            lists[k].append({&own[k], a, 0.0});
            lists[k].append({&own[k], b, 0.0});
            pointers.push_back(&lists[k]);
        }
        TSibCombinationStore store;
        store.enumerate(pointers);
        ASSERT_EQ(1 << n, store.size());
        const std::vector<std::int32_t> order = reversing_copies(n);
        for (std::int32_t i = 0; i < store.size(); ++i) {
            const TSibGenotypicCombination combination = store[i];
            ASSERT_EQ(static_cast<std::size_t>(n), combination.size());
            for (std::int32_t p = 0; p < n; ++p) {
                const std::int32_t k = order[static_cast<std::size_t>(p)];
                // The first sib is the outermost loop, the last sib varies fastest.
                const bool second = ((i >> (n - 1 - k)) & 1) != 0;
                EXPECT_EQ(&own[static_cast<std::size_t>(k)],
                          combination[static_cast<std::size_t>(p)]._hapl1);
                EXPECT_EQ(second ? b : a, combination[static_cast<std::size_t>(p)]._hapl2);
            }
        }
    }
}

TEST_F(OneLocus, SibWithoutGenotypesGivesNoSibCombination) {
    TGenotypeList one;
    one.append({a, b, 0.0});
    TGenotypeList none;
    TSibCombinationStore store;
    store.enumerate({&one, &none, &one});
    EXPECT_EQ(0, store.size());
    store.enumerate({});
    EXPECT_EQ(0, store.size());
}

TEST_F(OneLocus, SingleIndividualGetsOneCombinationPerRecordCompatibleOrNot) {
    s.genotypes[1]._compatible = false;
    s.genotypes[4]._compatible = false;
    TParent alone{1, &s.person("S"), &s.genotypes, {}};
    TPedigree p(&alone, nullptr);
    p.create_genot_combination();
    ASSERT_EQ(6U, p._gen_comb.size());
    for (std::int32_t k = 0; k < 6; ++k) {
        const TGenotypicCombination& g = p._gen_comb[static_cast<std::size_t>(k)];
        EXPECT_EQ(&s.genotypes[k], g._parent1);
        EXPECT_EQ(nullptr, g._parent2);
        EXPECT_EQ(-1, g._sib_gens);
        EXPECT_EQ(1.0F, g._seg_prob);
        EXPECT_TRUE(g._active);
        EXPECT_EQ(0.0, g._prob);
        EXPECT_EQ(1.0, g._post_prob);
    }
}

TEST_F(OneLocus, FamilyWithASibWithoutGenotypesHasNoCombination) {
    TParent p1{0, &s.person("S"), &s.genotypes, {}};
    TParent p2{0, &s.person("T"), &s.genotypes, {}};
    TPedigree p(&p1, &p2);
    TPhenPed& sib = s.person("S");
    sib._gen_list.clear();
    p._sibs = {&sib};
    p.create_genot_combination();
    EXPECT_TRUE(p._gen_comb.empty());
}

using Pairs = std::vector<std::tuple<int, int, float>>;

class ParentPairs : public OneLocus {
  protected:
    // The (parent-1 record, parent-2 record, segregation) of every combination
    // of a family with one sib (a, b).
    Pairs pairs(TParent& p1, TParent& p2) {
        TPhenPed& sib = s.person("S");
        sib._gen_list.clear();
        sib._gen_list.append({a, b, 0.0});
        TPedigree p(&p1, &p2);
        p._sibs = {&sib};
        p.create_genot_combination();
        Pairs out;
        for (const TGenotypicCombination& g : p._gen_comb) {
            EXPECT_EQ(0, g._sib_gens);
            out.emplace_back(index(*p1._gen_db, g._parent1), index(*p2._gen_db, g._parent2),
                             g._seg_prob);
        }
        return out;
    }

    static int index(TSmallGenDB& db, const TSmallGen* g) {
        for (std::int32_t k = 0; k < db.size(); ++k) {
            if (&db[k] == g) {
                return k;
            }
        }
        return -1;
    }

    // aa, ba, bb
    void fill(TSmallGenDB& db) const {
        db.append(a, a);
        db.append(b, a);
        db.append(b, b);
    }
};

TEST_F(ParentPairs, TwoUntypedParentsConsiderEachUnorderedPairOnce) {
    TSmallGenDB shared;
    fill(shared);
    TParent u1{0, &s.person("S"), &shared, {}};
    TParent u2{0, &s.person("T"), &shared, {}};
    // Of the 3 x 4 / 2 = 6 pairs with j <= i, four can give the sib (a, b).
    EXPECT_EQ((Pairs{{1, 0, 0.5F}, {1, 1, 0.5F}, {2, 0, 1.0F}, {2, 1, 0.5F}}), pairs(u1, u2));
    shared[1]._compatible = false;
    EXPECT_EQ((Pairs{{2, 0, 1.0F}}), pairs(u1, u2));
}

TEST_F(ParentPairs, TypedAndUntypedParentConsiderEveryOrderedPair) {
    TSmallGenDB shared;
    TSmallGenDB own;
    fill(shared);
    fill(own);
    TParent typed{1, &s.person("S"), &own, {}};
    TParent untyped{0, &s.person("T"), &shared, {}};
    // All 3 x 3 pairs are considered; seven can give the sib (a, b).
    const Pairs all = {{0, 1, 0.5F}, {0, 2, 1.0F}, {1, 0, 0.5F}, {1, 1, 0.5F},
                       {1, 2, 0.5F}, {2, 0, 1.0F}, {2, 1, 0.5F}};
    EXPECT_EQ(all, pairs(typed, untyped));
    EXPECT_EQ(all, pairs(untyped, typed));
    own[0]._compatible = false;
    shared[2]._compatible = false;
    EXPECT_EQ((Pairs{{1, 0, 0.5F}, {1, 1, 0.5F}, {2, 0, 1.0F}, {2, 1, 0.5F}}),
              pairs(typed, untyped));
}

TEST_F(OneLocus, CombinationPrintout) {
    TSmallGen p1 = gen(a, a);
    TSmallGen p2 = gen(b, a);
    p2._compatible = false;
    TGenotypicCombination single;
    single._parent1 = &p1;
    single._prob = 0.09;
    std::ostringstream os;
    print_combination(os, single, {});
    EXPECT_EQ(" 0.09\nP1 : \nCompatible genotype\na \na \n---\n", os.str());

    const TGenotype sibs[] = {{a, b, 0.0}, {a, a, 0.25}};
    TGenotypicCombination family = single;
    family._parent2 = &p2;
    family._seg_prob = 0.125F;
    family._prob = 1.0 / 3.0;
    os.str("");
    print_combination(os, family, sibs);
    EXPECT_EQ(" 0.333333\nP1 : \nCompatible genotype\na \na \n---\n"
              "P2 : \nIncompatible genotype\nb \na \n---\n"
              "Segregation prob. : 0.125\n"
              "S1 : \n0\n\ta \n\tb \n"
              "S2 : \n0.25\n\ta \n\ta \n",
              os.str());
}

} // namespace
