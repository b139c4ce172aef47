#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "genetics/haplotype.h"
#include "pedigree/likelihood_engine.h"

class TPedigree;

// The likelihood and the expectation step of the representative pedigrees,
// summed over which haplotype each parent passes to each sib instead of over
// the parents' genotypes.
//
// A parent's two haplotype copies are slots. For a family, every way of
// passing one copy of each parent to each sib, with every phase of the sibs'
// genotypes, fixes the haplotypes in the slots that some sib received; a slot
// no sib received is free, and summing its haplotype over the whole database
// gives S, the sum of all frequencies. So a family's probability is a short
// sum of configurations, each a coefficient times four factors: the frequency
// of each slot's haplotype, S for a free slot, 1 for a slot that does not
// exist (a single individual has two). A parent absent from the data costs a
// free slot instead of a list of every genotype the population allows.
//
// The configurations are built child by child: the slots fixed so far and
// their weight, merged when equal. A parent's two slots are kept in order
// (the later sibs take either copy with the same probability), which merges
// the two phases of a parent into one configuration.
//
// The expected count of a haplotype in a free slot is the slot's posterior
// weight times its share f(x) / S: all such weights are summed over the
// sample and spread over the haplotypes once per iteration.
class SummedPedigrees {
  public:
    // A pedigree would need more configurations than `limit` (memory).
    struct LimitExceeded {
        double count; // configurations it had reached
    };

    // Starts an empty store over `haplotypes`; then `add` each representative
    // pedigree, once its parents' genotype databases and its sibs' genotype
    // lists are built.
    void start(const TPopHaploDB& haplotypes);
    // Throws LimitExceeded when the pedigree's configurations, or those
    // formed on the way, pass `limit`.
    void add(std::uint32_t index, const TPedigree& pedigree, std::size_t limit);

    std::size_t n_configurations() const { return _coef.size(); }
    // The configurations of the pedigree added last.
    std::size_t last_configurations() const {
        return _ranges.empty() ? 0 : _ranges.back().end - _ranges.back().begin;
    }
    // False when no way of passing on haplotypes fits the pedigree's members.
    bool has_configurations(std::uint32_t pedigree) const;

    // What one evaluation writes: the store has its own, and each EM run
    // made beside it (see run_em) takes another.
    struct Workspace {
        std::vector<double> f; // frequencies, then 1 for a missing slot and S for a free one
        std::vector<double> terms;
        std::vector<double> accumulator;
    };
    Workspace workspace() const;
    std::size_t n_haplotypes() const { return _n_haplotypes; }

    // The log-likelihood, summed in pedigree order into `ln_l`, up to the
    // first pedigree whose probability is not above zero; returns that
    // pedigree's index (the caller reports it), or -1.
    std::int64_t likelihood(const TPopHaploDB& haplotypes, const std::vector<TPedigree>& pedigrees,
                            double& ln_l);
    // The expectation step: replaces the frequencies of `haplotypes` by the
    // next estimates.
    void expected_counts(TPopHaploDB& haplotypes, const std::vector<TPedigree>& pedigrees);
    // One EM run, as the estimation makes it through the database, on its
    // own workspace and frequencies (the starting values in, the last
    // estimates out): runs of several initial conditions can go side by side.
    // False if a pedigree had zero probability.
    bool run_em(Workspace& w, const std::vector<TPedigree>& pedigrees,
                std::vector<double>& frequencies, std::int32_t max_iterations, double tolerance,
                LikelihoodEngine::EmRun& run) const;

    // Bytes one stored configuration takes, for the memory limit.
    static constexpr std::size_t kBytesPerConfiguration =
        sizeof(double) + 4 * sizeof(std::uint32_t) + 2 * sizeof(double);

  private:
    using Slots = std::array<std::uint32_t, 4>;
    struct Range {
        std::uint32_t pedigree;
        std::uint32_t begin;
        std::uint32_t end;
    };
    struct Partial {
        Slots slots;
        double weight;
    };

    void load(Workspace& w, const double* frequencies) const;
    // Sizes `w` first if it is not.
    void load(Workspace& w, const TPopHaploDB& haplotypes);
    double range_probability(const Workspace& w, const Range& range, double* terms) const;
    std::int64_t pass(const Workspace& w, const std::vector<TPedigree>& pedigrees,
                      double& ln_l) const;
    // Writes the next estimates, one per haplotype, to `next`.
    void expect(Workspace& w, const std::vector<TPedigree>& pedigrees, double* next) const;
    static void merge(std::vector<Partial>& partials);

    std::uint32_t _n_haplotypes = 0;
    // Index of the factor 1 (a slot that does not exist) and of the factor S.
    std::uint32_t _missing = 0;
    std::uint32_t _free = 0;
    std::vector<Range> _ranges;
    std::vector<std::int64_t> _range_of; // by pedigree index, -1 when not added
    std::vector<double> _coef;
    std::vector<Slots> _slots;
    std::size_t _longest = 0; // configurations of the largest pedigree
    Workspace _own;
    std::vector<double> _loaded;
    std::vector<Partial> _work;
    std::vector<Partial> _next;
};
