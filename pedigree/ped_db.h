#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "genetics/haplotype.h"
#include "pedigree/compact_combinations.h"
#include "pedigree/parent.h"
#include "pedigree/pedigree.h"
#include "pedigree/phen_ped.h"
#include "pedigree/small_gen.h"
#include "pedigree/summed_pedigrees.h"

// The pedigrees of one sample, their parent records and the sample log-likelihood.
class TPedDB {
  public:
    TPedDB() = default;
    TPedDB(const TPedDB&) = delete;
    TPedDB& operator=(const TPedDB&) = delete;

    void build_pedigree_structures(TPhenPedDB& db);
    void find_redundant_pedigrees();
    void normalise_weights();
    void build_all_genotypic_combinations(TPopHaploDB& haplotypes, TSmallGenDB& shared,
                                          std::int32_t locus, char build_flag);
    double calc_ln_likelihood();
    void add_expected_counts(TPopHaploDB& haplotypes);
    void activate_all_combinations();

    // Name of the sample, for messages.
    std::string _sample_name;
    // Free each pedigree's combination records once the packed store holds
    // them (they are rebuilt when needed). The analysis turns this on to save
    // memory; off, the records stay as built.
    bool _release_combinations = false;
    // Sum each pedigree over the haplotypes its parents pass on
    // (SummedPedigrees) instead of listing its genotypic combinations: the
    // same likelihood, much less work when parents are absent. Set before
    // building.
    bool _fast = false;
    // Say once on standard error when the combinations are so many that
    // `_fast` would serve much better (the analysis turns this on).
    bool _suggest_fast = false;
    std::vector<TPedigree> _pedigrees;
    TParentDB _parents;
    double _ln_likelihood = 0.0;
    std::int32_t _n_maxima = 0;
    // EM iterations run on this database (for the work counters).
    std::int64_t _em_iterations = 0;

    // Combinations stored, or configurations with `_fast`.
    std::size_t n_compact_combinations() const {
        return _fast ? _summed.n_configurations() : _compact.n_combinations();
    }

  private:
    void report_zero_probability(std::size_t i);
    // Rebuilds the combinations the packed store released (all, or one pedigree).
    void restore_combinations();
    void build_summed_pedigrees(TPopHaploDB& haplotypes, TSmallGenDB& shared, std::int32_t locus,
                                char build_flag);

    // What the combinations were built with, to rebuild them.
    TSmallGenDB* _shared = nullptr;
    std::int32_t _locus = -1;

    // What the EM walks while every combination counts.
    CompactCombinations _compact;
    // What the EM walks with `_fast`.
    SummedPedigrees _summed;
    TPopHaploDB* _haplotypes = nullptr;
};
