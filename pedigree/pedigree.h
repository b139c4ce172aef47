#pragma once

#include <atomic>
#include <cstdint>
#include <ostream>
#include <vector>

#include "genetics/haplotype.h"
#include "pedigree/genotypic_combination.h"
#include "pedigree/parent.h"
#include "pedigree/phen_ped.h"
#include "pedigree/small_gen.h"

// While on, every combination counts in the likelihood and the expectation
// step whatever its active flag. Turned on by the analysis, never off.
extern std::atomic<bool> UseAllCombinations;

// Thrown when a family's combinations would outgrow the memory limit.
struct CombinationLimitExceeded {
    bool sib_combinations; // the sibs' genotype combinations alone are too many
    double count;          // how many were needed (at least)
};

// A nuclear family (two parent records and its sibs) or a single individual
// (one parent record, no sibs): the unit of the likelihood.
class TPedigree {
  public:
    TPedigree(TParent* parent1, TParent* parent2) : _parent1(parent1), _parent2(parent2) {}

    bool same_parents(const TPedigree& other) const;
    bool is_equivalent(const TPedigree& other) const;

    void hook_gen_db(TSmallGenDB& shared, TPopHaploDB& haplotypes, const std::int32_t& locus,
                     char build_flag);
    void mark_compatible_parent_genotypes(const std::int32_t& locus);
    void build_member_genotypes(TPopHaploDB& haplotypes, const std::int32_t& locus);
    void create_genot_combination();
    double calc_prob();
    void add_expected_counts();
    void activate_all_combinations();
    // Passes one haplotype of each parent to every sib, drawn at random.
    void transmit_to_sibs();

    bool symmetric() const {
        return _parent1->_typed == 0 && _parent2 != nullptr && _parent2->_typed == 0;
    }
    TSibGenotypicCombination sib_genotypes(const TGenotypicCombination& c) const {
        return c._sib_gens < 0 ? TSibGenotypicCombination{} : _sib_comb[c._sib_gens];
    }

    TParent* _parent1;
    TParent* _parent2;
    // Most recently added first.
    std::vector<TPhenPed*> _sibs;
    double _obs_weight = 1.0;
    std::vector<TGenotypicCombination> _gen_comb;
    TSibCombinationStore _sib_comb;
    double _prob = 0.0;
    bool _unique = true;
    std::int32_t _obs_count = 1;
    // Most combinations `create_genot_combination` may store (memory limit).
    std::size_t _combination_limit = static_cast<std::size_t>(-1);
    // The genotype databases the combinations were built against (a typed
    // parent heading several families gets one per family).
    TSmallGenDB* _gen_db1 = nullptr;
    TSmallGenDB* _gen_db2 = nullptr;
    // The combinations were handed to the packed store and released here; they
    // are built again when something needs them.
    bool _released = false;

    // Frees the combinations (the packed store has a copy).
    void release_combinations();
    // Builds released combinations again, identical to the first time.
    void restore_combinations(TSmallGenDB& shared, const std::int32_t& locus);
};

std::ostream& operator<<(std::ostream& os, const TPedigree& p);

// Hardy-Weinberg probability of a genotype under the current haplotype frequencies.
inline double genotype_probability(const TSmallGen& g) {
    const double f1 = g._hapl1->_freq;
    if (g._hapl1 == g._hapl2) {
        return f1 * f1;
    }
    return g._hapl2->_freq * 2.0 * f1;
}
