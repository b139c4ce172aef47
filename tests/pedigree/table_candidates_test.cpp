// The genotypes of a parent who may carry any pair of haplotypes are listed
// from its sibs' haplotypes, by position in the table of all pairs. Those
// combinations must be the ones that walking the whole table gives: same
// order, same parents' genotypes, same sib genotypes and segregation
// probabilities. The walk is what a table of the same records gets when it
// is not known to be the whole table (a plain list of records).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "pedigree/ped_db.h"
#include "tests/pedigree/sample_builder.h"

namespace {

using pedtest::Sample;

struct Family {
    std::string parent1, parent2;
    std::vector<std::string> sibs;
};

// Families over two loci of four alleles: founders typed or absent from the
// file, parents with several partners, a third generation whose parents are
// children of the second, and a few singles. Every child gets one haplotype
// of each parent, so that the families are consistent.
std::string generated_sample(std::uint32_t seed, double absent_share) {
    std::mt19937 random(seed);
    auto pick = [&](std::size_t n) { return static_cast<std::size_t>(random() % n); };
    using Haplotype = std::pair<int, int>;
    using Genotype = std::pair<Haplotype, Haplotype>;
    auto haplotype = [&] {
        return Haplotype{static_cast<int>(pick(4)), static_cast<int>(pick(4))};
    };
    auto line = [](const Haplotype& h) {
        return std::to_string(h.first) + " b" + std::to_string(h.second) + "\n";
    };
    struct Person {
        std::string id, parent1 = "0", parent2 = "0";
        Genotype genotype;
        bool absent = false;
    };
    std::vector<Person> people;
    for (int f = 0; f < 8; ++f) {
        const Genotype g{haplotype(), haplotype()};
        const bool absent = std::uniform_real_distribution<double>(0, 1)(random) < absent_share;
        people.push_back({"F" + std::to_string(f), "0", "0", g, absent});
    }
    auto child = [&](std::size_t a, std::size_t b, const std::string& id) {
        const Genotype& ga = people[a].genotype;
        const Genotype& gb = people[b].genotype;
        const Genotype g{pick(2) == 0 ? ga.first : ga.second, pick(2) == 0 ? gb.first : gb.second};
        people.push_back({id, people[a].id, people[b].id, g, false});
    };
    // Second generation: founder pairs, some founders with two partners.
    for (int k = 0; k < 6; ++k) {
        const std::size_t a = pick(8);
        const std::size_t b = (a + 1 + pick(7)) % 8;
        const std::size_t sibs = 1 + pick(3);
        for (std::size_t s = 0; s < sibs; ++s) {
            child(a, b, "C" + std::to_string(k) + "_" + std::to_string(s));
        }
    }
    // Third generation: a child of the second with a founder or another child.
    const std::size_t second = people.size();
    for (int k = 0; k < 3; ++k) {
        const std::size_t a = 8 + pick(second - 8);
        const std::size_t b = pick(2) == 0 ? pick(8) : 8 + pick(second - 8);
        if (a != b) {
            child(a, b, "G" + std::to_string(k));
        }
    }
    for (int k = 0; k < 3; ++k) {
        people.push_back({"S" + std::to_string(k), "0", "0", {haplotype(), haplotype()}, false});
    }
    std::shuffle(people.begin(), people.end(), random);
    std::string text;
    for (const Person& p : people) {
        if (!p.absent) {
            text += p.id + " " + p.parent1 + " " + p.parent2 + "\n" + line(p.genotype.first) +
                    line(p.genotype.second);
        }
    }
    return text;
}

// Builds the sample's combinations, with a shared table known to be whole or
// a plain list of the same records.
void build(Sample& s, bool whole, std::int32_t locus, TPopHaploDB& locus_haplotypes,
           TSmallGenDB& locus_genotypes) {
    s.people.add_missing_parents();
    s.alleles.add_to_all_loci(TAllele{"#", 1.0F});
    s.haplotypes.build_all_haplotypes(s.alleles);
    TPopHaploDB& haplotypes = locus < 0 ? s.haplotypes : locus_haplotypes;
    TSmallGenDB& table = locus < 0 ? s.genotypes : locus_genotypes;
    if (locus >= 0) {
        locus_haplotypes.build_locus_haplotypes(s.alleles, locus);
    }
    if (whole) {
        table.build_all_valid_gen(haplotypes);
    } else {
        for (std::int32_t i = 0; i < haplotypes.size(); ++i) {
            for (std::int32_t j = 0; j <= i; ++j) {
                table.append(haplotypes[i], haplotypes[j]);
            }
        }
    }
    ASSERT_EQ(whole, table.whole_table());
    s.peds.build_pedigree_structures(s.people);
    s.peds.normalise_weights();
    s.peds.build_all_genotypic_combinations(haplotypes, table, locus, 0);
}

std::string pair_of(const TSmallGen* g) {
    return g == nullptr
               ? "-"
               : std::to_string(g->_hapl1->_index) + "/" + std::to_string(g->_hapl2->_index);
}

// Every stored combination, one line each.
std::vector<std::string> listing(const TPedDB& peds) {
    std::vector<std::string> out;
    for (const TPedigree& p : peds._pedigrees) {
        out.emplace_back("pedigree");
        for (const TGenotypicCombination& c : p._gen_comb) {
            std::string text = pair_of(c._parent1) + " x " + pair_of(c._parent2) + " seg " +
                               std::to_string(c._seg_prob) + " sibs";
            for (const TGenotype& g : p.sib_genotypes(c)) {
                text +=
                    " " + std::to_string(g._hapl1->_index) + "/" + std::to_string(g._hapl2->_index);
            }
            out.push_back(text);
        }
    }
    return out;
}

TEST(TableCandidates, SameCombinationsAsTheWalkOverTheWholeTable) {
    std::size_t families_with_untyped_parents = 0;
    std::size_t combinations = 0;
    for (const double absent : {0.0, 0.4, 1.0}) {
        for (std::uint32_t seed = 1; seed <= 12; ++seed) {
            const std::string text = generated_sample(seed, absent);
            for (const std::int32_t locus : {-1, 0, 1}) {
                SCOPED_TRACE(text + "locus " + std::to_string(locus));
                Sample listed(text);
                Sample walked(text);
                TPopHaploDB listed_locus, walked_locus;
                TSmallGenDB listed_table, walked_table;
                build(listed, true, locus, listed_locus, listed_table);
                build(walked, false, locus, walked_locus, walked_table);
                const std::vector<std::string> expected = listing(walked.peds);
                EXPECT_EQ(expected, listing(listed.peds));
                combinations += expected.size();
                for (const TPedigree& p : listed.peds._pedigrees) {
                    families_with_untyped_parents +=
                        p._parent2 != nullptr &&
                        (p._parent1->_typed == 0 || p._parent2->_typed == 0);
                }
            }
        }
    }
    // The cases are not vacuous.
    EXPECT_GT(families_with_untyped_parents, 100U);
    EXPECT_GT(combinations, 10000U);
}

} // namespace
