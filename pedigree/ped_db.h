#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "genetics/haplotype.h"
#include "pedigree/likelihood_engine.h"
#include "pedigree/parent.h"
#include "pedigree/pedigree.h"
#include "pedigree/phen_ped.h"
#include "pedigree/small_gen.h"

// The pedigrees of one sample, their parent records and the sample
// log-likelihood, evaluated by the engine it owns.
class TPedDB {
  public:
    // The engine that lists every combination serves the step-by-step
    // users (the data tool, the tests); an analysis names its own.
    TPedDB();
    explicit TPedDB(EngineKind engine);
    TPedDB(const TPedDB&) = delete;
    TPedDB& operator=(const TPedDB&) = delete;
    ~TPedDB();

    // Replaces the engine; before building only.
    void set_engine(std::unique_ptr<LikelihoodEngine> engine);
    const LikelihoodEngine& engine() const { return *_engine; }

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
    // Free each pedigree's combination records once the engine holds its
    // own copy (they are rebuilt when needed). The analysis turns this on to
    // save memory; off, the records stay as built.
    bool _release_combinations = false;
    // Say once on standard error when the terms are so many that another
    // engine would serve much better (the analysis turns this on).
    bool _notice_large = false;
    std::vector<TPedigree> _pedigrees;
    TParentDB _parents;
    double _ln_likelihood = 0.0;
    std::int32_t _n_maxima = 0;
    // EM iterations run on this database (for the work counters).
    std::int64_t _em_iterations = 0;

    // Terms the engine stores (combinations or configurations).
    std::size_t n_compact_combinations() const { return _engine->n_terms(); }

    // Whether EM runs over `haplotypes` can go beside the database (see
    // LikelihoodEngine::run_em).
    bool runs_beside(const TPopHaploDB& haplotypes) const {
        return _engine->runs_beside(haplotypes);
    }
    // Leaves the pedigrees as the last pass of a run made beside the
    // database left them.
    void commit_probabilities(const LikelihoodEngine::Scratch& scratch) {
        _engine->commit(scratch, _pedigrees);
    }

  private:
    void report_zero_probability(std::size_t i);
    // The message of a pedigree whose terms outgrow the memory limit.
    [[noreturn]] void report_limit(const LikelihoodEngine::LimitExceeded& e) const;

    std::unique_ptr<LikelihoodEngine> _engine;
    // The last pass's log-likelihood is still to be formed.
    bool _deferred_ln_l = false;
};
