#pragma once

#include "pedigree/likelihood_engine.h"
#include "pedigree/summed_pedigrees.h"

// The likelihood summed over the haplotypes each parent passes on
// (SummedPedigrees): no genotype of an absent parent is listed. The
// combinations of a pedigree are built only to print a message about it.
class SummedEngine : public LikelihoodEngine {
  public:
    void build(std::vector<TPedigree>& pedigrees, const BuildInput& in) override;
    std::int64_t likelihood(std::vector<TPedigree>& pedigrees, double& ln_l) override;
    void expected_counts(TPopHaploDB& haplotypes, std::vector<TPedigree>& pedigrees) override;

    std::size_t n_terms() const override { return _summed.n_configurations(); }
    std::size_t bytes_per_term() const override { return SummedPedigrees::kBytesPerConfiguration; }
    // Four numbers per haplotype in the workspaces.
    double bytes_per_haplotype() const override { return 4.0 * sizeof(double); }

    bool runs_beside(const TPopHaploDB& haplotypes) const override;
    std::unique_ptr<Scratch> scratch() const override;
    bool run_em(Scratch& scratch, const std::vector<TPedigree>& pedigrees,
                std::vector<double>& frequencies, std::int32_t max_iterations, double tolerance,
                EmRun& run) const override;

  private:
    SummedPedigrees _summed;
    TPopHaploDB* _haplotypes = nullptr;
    TSmallGenDB* _shared = nullptr;
    std::int32_t _locus = -1;
};
