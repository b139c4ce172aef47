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
    // The likelihood pass of an EM iteration, and then the log-likelihood of
    // the last pass made, formed only when asked for: the EM needs it after
    // its last iteration only. Messages and values as calc_ln_likelihood.
    void calc_probabilities();
    double em_ln_likelihood();
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

    // The packed store, when EM runs over `haplotypes` can go through it
    // beside each other (CompactCombinations::run_em); else null.
    const CompactCombinations* packed_for(const TPopHaploDB& haplotypes) const;
    // Leaves the pedigrees' probabilities as the last pass of a run made
    // beside the database gave them.
    void commit_probabilities(const CompactCombinations::Workspace& w);

  private:
    void report_zero_probability(std::size_t i);
    // A pass over the packed combinations; false, after the message, when a
    // pedigree has zero probability.
    bool compact_pass(double* ln_l);
    double object_ln_likelihood();
    // Rebuilds the combinations the packed store released (all, or one pedigree).
    void restore_combinations();
    void build_summed_pedigrees(TPopHaploDB& haplotypes, TSmallGenDB& shared, std::int32_t locus,
                                char build_flag);

    // What the combinations were built with, to rebuild them.
    TSmallGenDB* _shared = nullptr;
    std::int32_t _locus = -1;

    // What the EM walks while every combination counts.
    CompactCombinations _compact;
    // The last pass's log-likelihood is still to be summed.
    bool _deferred_ln_l = false;
    // What the EM walks with `_fast`.
    SummedPedigrees _summed;
    TPopHaploDB* _haplotypes = nullptr;
};
