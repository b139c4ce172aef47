#pragma once

#include "pedigree/compact_combinations.h"
#include "pedigree/likelihood_engine.h"

// The likelihood as a walk over every genotypic combination of each family:
// the combinations are built on the pedigrees' records, then walked in the
// packed copy (CompactCombinations) once every combination counts, else
// through the records themselves.
class ListedEngine : public LikelihoodEngine {
  public:
    void build(std::vector<TPedigree>& pedigrees, const BuildInput& in) override;
    std::int64_t likelihood(std::vector<TPedigree>& pedigrees, double& ln_l) override;
    std::int64_t probabilities(std::vector<TPedigree>& pedigrees) override;
    double last_ln_likelihood(const std::vector<TPedigree>& pedigrees) override;
    void expected_counts(TPopHaploDB& haplotypes, std::vector<TPedigree>& pedigrees) override;
    void activate_all(std::vector<TPedigree>& pedigrees) override;

    std::size_t n_terms() const override { return _compact.n_combinations(); }
    std::size_t bytes_per_term() const override { return kBytesPerCombination; }
    bool wants_pair_table() const override { return true; }
    double bytes_per_haplotype() const override { return 0.0; }

    bool runs_beside(const TPopHaploDB& haplotypes) const override;
    std::unique_ptr<Scratch> scratch() const override;
    bool run_em(Scratch& scratch, const std::vector<TPedigree>& pedigrees,
                std::vector<double>& frequencies, std::int32_t max_iterations, double tolerance,
                EmRun& run) const override;
    void commit(const Scratch& scratch, std::vector<TPedigree>& pedigrees) override;

    // What one stored combination costs: the record, its packed copy and the
    // growth slack of the arrays.
    static constexpr std::size_t kBytesPerCombination = 96;

  private:
    bool packed() const;
    // A pass over the packed combinations (`ln_l` may be null).
    std::int64_t packed_pass(std::vector<TPedigree>& pedigrees, double* ln_l);
    std::int64_t object_pass(std::vector<TPedigree>& pedigrees, double& ln_l);
    // Rebuilds the combinations the packed store released.
    void restore(std::vector<TPedigree>& pedigrees);

    CompactCombinations _compact;
    TPopHaploDB* _haplotypes = nullptr;
    TSmallGenDB* _shared = nullptr;
    std::int32_t _locus = -1;
    // The log-likelihood of the last pass, when it is already formed.
    bool _ln_l_formed = false;
    double _ln_l = 0.0;
};
