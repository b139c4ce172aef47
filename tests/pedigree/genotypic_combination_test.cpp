// Genotypic combinations of a family: segregation factors, the stored order of
// the sib genotypes, which parent pairs are considered, and the printout.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "pedigree/genotypic_combination.h"
#include "pedigree/pedigree.h"
#include "tests/pedigree/sample_builder.h"

namespace {

// One locus with alleles a, b, c; haplotype database (a), (b), (c).
class OneLocus : public ::testing::Test {
  protected:
    OneLocus() {
        s.complete();
        a = s.hap("a");
        b = s.hap("b");
        c = s.hap("c");
    }

    static TSmallGen gen(TPopHaplotype* h1, TPopHaplotype* h2) { return {h1, h2, true, 0.0}; }

    // The combinations of a family of S and T over `db1` and `db2` whose one
    // sib has the genotypes `sib`.
    std::vector<TGenotypicCombination> combinations(std::int32_t typed1, TSmallGenDB& db1,
                                                    std::int32_t typed2, TSmallGenDB& db2,
                                                    const std::vector<TGenotype>& sib) {
        TParent p1{typed1, &s.person("S"), &db1, {}};
        TParent p2{typed2, &s.person("T"), &db2, {}};
        TPedigree p(&p1, &p2);
        TPhenPed& child = s.person("S");
        child._gen_list.clear();
        for (const TGenotype& g : sib) {
            child._gen_list.append(g);
        }
        p._sibs = {&child};
        p.create_genot_combination();
        return p._gen_comb;
    }

    pedtest::Sample s{"S 0 0\na\nb\nT 0 0\nc\nc\n"};
    TPopHaplotype* a = nullptr;
    TPopHaplotype* b = nullptr;
    TPopHaplotype* c = nullptr;
};

TEST_F(OneLocus, SegregationFactorIsTheProductOfMatchesOverFour) {
    // -1 when some sib's genotype cannot arise.
    const auto seg = [](const TSmallGen& p1, const TSmallGen& p2, std::vector<TGenotype> sibs) {
        double f = -1.0;
        return segregation_probability(OffspringGenotypes(p1, p2), sibs, f) ? f : -1.0;
    };
    // Parent 1 homozygous: the sib (a, b) matches (a1, b1) and (a2, b1).
    EXPECT_EQ(0.5, seg(gen(a, a), gen(b, c), {{a, b, 0.0}}));
    // (a, b) x (a, b) and a sib (b, a): matches (a, b) and (b, a).
    EXPECT_EQ(0.5, seg(gen(a, b), gen(a, b), {{b, a, 0.0}}));
    EXPECT_EQ(0.03125, seg(gen(a, b), gen(a, b), {{b, a, 0.0}, {a, a, 0.0}, {b, b, 0.0}}));
    EXPECT_EQ(1.0, seg(gen(a, a), gen(b, b), {{a, b, 0.0}}));
    EXPECT_EQ(-1.0, seg(gen(a, b), gen(a, b), {{a, b, 0.0}, {c, a, 0.0}}));
}

TEST(SegregationStep, SinglePrecisionWhileNormalThenDouble) {
    const double smallest_normal = std::numeric_limits<float>::min(); // 2^-126
    const struct {
        double seg;
        std::int32_t m;
        double expected;
    } cases[] = {{1.0, 4, 1.0},
                 {1.0, 1, 0.25},
                 {std::ldexp(1.0, -124), 1, smallest_normal},
                 {std::ldexp(1.0, -125), 1, std::ldexp(1.0, -127)},
                 // Where single precision had lost everything.
                 {std::ldexp(1.0, -148), 1, std::ldexp(1.0, -150)},
                 {std::ldexp(1.0, -600), 2, std::ldexp(1.0, -601)}};
    for (const auto& c : cases) {
        EXPECT_EQ(c.expected, segregation_step(c.seg, c.m)) << c.seg << " " << c.m;
    }
}

TEST_F(OneLocus, SibGenotypesAreStoredInTheOrderOfTheReversingCopies) {
    // The sib at each stored position: three sibs a, b, c are stored b, a, c.
    for (const std::vector<std::int32_t>& order :
         std::vector<std::vector<std::int32_t>>{{0, 1}, {1, 0, 2}, {2, 0, 1, 3}, {3, 1, 0, 2, 4}}) {
        const auto n = static_cast<std::int32_t>(order.size());
        // Sib k has the genotypes (h_k, a) and (h_k, b): a slot tells which
        // sib and which of its genotypes it holds.
        std::vector<TPopHaplotype> own(order.size());
        std::vector<TGenotypeList> lists(order.size());
        std::vector<const TGenotypeList*> pointers;
        for (std::size_t k = 0; k < lists.size(); ++k) {
            lists[k].append({&own[k], a, 0.0});
            lists[k].append({&own[k], b, 0.0});
            pointers.push_back(&lists[k]);
        }
        TSibCombinationStore store;
        store.enumerate(pointers);
        EXPECT_EQ(order, store.stored_sibs());
        ASSERT_EQ(1 << n, store.size());
        for (std::int32_t i = 0; i < store.size(); ++i) {
            for (std::int32_t p = 0; p < n; ++p) {
                const std::int32_t k = order[static_cast<std::size_t>(p)];
                const TGenotype& g = store[i][static_cast<std::size_t>(p)];
                // The first sib is the outermost loop, the last one varies fastest.
                EXPECT_EQ(&own[static_cast<std::size_t>(k)], g._hapl1);
                EXPECT_EQ(((i >> (n - 1 - k)) & 1) != 0 ? b : a, g._hapl2) << n << " sibs";
            }
        }
    }
}

TEST_F(OneLocus, SingleIndividualGetsOneCombinationPerRecordCompatibleOrNot) {
    s.genotypes[1]._compatible = false;
    TParent alone{1, &s.person("S"), &s.genotypes, {}};
    TPedigree p(&alone, nullptr);
    p.create_genot_combination();
    ASSERT_EQ(6U, p._gen_comb.size());
    for (std::int32_t k = 0; k < 6; ++k) {
        const TGenotypicCombination& g = p._gen_comb[static_cast<std::size_t>(k)];
        EXPECT_EQ(&s.genotypes[k], g._parent1);
        EXPECT_EQ(nullptr, g._parent2);
        EXPECT_EQ(-1, g._sib_gens);
        EXPECT_EQ(1.0, g._seg_prob);
    }
}

TEST_F(OneLocus, ParentPairsSymmetricWhenBothAreUntypedOrderedOtherwise) {
    TSmallGenDB shared;
    TSmallGenDB own;
    for (TSmallGenDB* db : {&shared, &own}) {
        db->append(a, a);
        db->append(b, a);
        db->append(b, b);
    }
    // (record of parent 1, record of parent 2, segregation) with one sib (a, b).
    using Pairs = std::vector<std::tuple<int, int, double>>;
    const auto pairs = [&](std::int32_t typed1, TSmallGenDB& db1, std::int32_t typed2,
                           TSmallGenDB& db2) {
        Pairs out;
        for (const TGenotypicCombination& g :
             combinations(typed1, db1, typed2, db2, {{a, b, 0.0}})) {
            out.emplace_back(g._parent1 == &db1[0]   ? 0
                             : g._parent1 == &db1[1] ? 1
                                                     : 2,
                             g._parent2 == &db2[0]   ? 0
                             : g._parent2 == &db2[1] ? 1
                                                     : 2,
                             g._seg_prob);
        }
        return out;
    };
    // Two untyped parents: of the 3 x 4 / 2 = 6 pairs with j <= i, four can
    // give the sib.
    const Pairs symmetric = {{1, 0, 0.5}, {1, 1, 0.5}, {2, 0, 1.0}, {2, 1, 0.5}};
    EXPECT_EQ(symmetric, pairs(0, shared, 0, shared));
    // Typed and untyped: all 3 x 3 pairs, seven of which can give the sib.
    const Pairs all = {{0, 1, 0.5}, {0, 2, 1.0}, {1, 0, 0.5}, {1, 1, 0.5},
                       {1, 2, 0.5}, {2, 0, 1.0}, {2, 1, 0.5}};
    EXPECT_EQ(all, pairs(1, own, 0, shared));
    EXPECT_EQ(all, pairs(0, shared, 1, own));
    // Incompatible records are left out.
    own[0]._compatible = false;
    shared[2]._compatible = false;
    EXPECT_EQ(symmetric, pairs(1, own, 0, shared));
    shared[1]._compatible = false;
    shared[2]._compatible = true;
    EXPECT_EQ((Pairs{{2, 0, 1.0}}), pairs(0, shared, 0, shared));
}

// A single individual's combination; a family's is in the pedigree printout test.
TEST_F(OneLocus, SingleIndividualCombinationPrintout) {
    TSmallGen p1 = gen(b, a);
    p1._compatible = false;
    TGenotypicCombination single;
    single._parent1 = &p1;
    single._prob = 0.09;
    std::ostringstream os;
    print_combination(os, single, {});
    EXPECT_EQ(" 0.09\nP1 : \nIncompatible genotype\nb \na \n---\n", os.str());
}

} // namespace
