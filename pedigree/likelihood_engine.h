#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "genetics/haplotype.h"
#include "support/analysis_options.h"

// The lowest finite single-precision value: the log-likelihood of a sample with
// a pedigree of zero probability, and the starting best value of the EM.
inline constexpr double kFloorLnLikelihood = -3.4028234663852886e+38;

class TPedigree;
class TSmallGenDB;

// How the likelihood of the representative pedigrees of a database is
// evaluated, pass by pass. The pedigree database owns one and keeps the
// grouping, the weights and every message; an engine computes. Engines agree
// to rounding on every likelihood and estimate.
//
// A new engine must give build, likelihood, expected_counts and the term
// counts; the rest has defaults: the EM's passes form their log-likelihood at
// once, no table of pairs is wanted, and EM runs go through the database one
// after the other.
class LikelihoodEngine {
  public:
    // What `build` works from.
    struct BuildInput {
        TPopHaploDB& haplotypes;
        // The table of every genotype, for parents absent from the data; may
        // be empty, the engine builds it if it needs it.
        TSmallGenDB& shared;
        std::int32_t locus; // -1 for both loci together
        char build_flag;
        // Free the pedigrees' combination records once the engine holds its own copy.
        bool release_records;
        // Say on standard error when a quicker engine would serve much better.
        bool notice_large;
    };
    // `build` stops: pedigree `index` needs more terms than the memory limit
    // leaves it. `needs` completes the sentence "... needs ".
    struct LimitExceeded {
        std::size_t index;
        std::string needs;
    };
    // `build` failed on pedigree `index` for another reason.
    struct BuildFailed {
        std::size_t index;
    };
    // Scratch space of one EM run made beside the database.
    class Scratch {
      public:
        virtual ~Scratch() = default;
    };
    struct EmRun {
        float ln_l = 0.0F;
        std::int64_t iterations = 0;
    };

    virtual ~LikelihoodEngine() = default;

    // Builds the terms of every unique pedigree, in array order.
    virtual void build(std::vector<TPedigree>& pedigrees, const BuildInput& in) = 0;
    // The log-likelihood into `ln_l`, summed in pedigree order up to the first
    // pedigree whose probability is not above zero; returns that pedigree's
    // index, its combination records built and its probability computed for
    // the message, or -1.
    virtual std::int64_t likelihood(std::vector<TPedigree>& pedigrees, double& ln_l) = 0;
    // The likelihood pass of an EM iteration: as `likelihood`, with the
    // log-likelihood of a pass that reached every pedigree formed only when
    // `last_ln_likelihood` asks for it (the EM needs it after its last
    // iteration only).
    virtual std::int64_t probabilities(std::vector<TPedigree>& pedigrees) {
        return likelihood(pedigrees, _last_ln_l);
    }
    virtual double last_ln_likelihood(const std::vector<TPedigree>& /*pedigrees*/) {
        return _last_ln_l;
    }
    // The expectation step: leaves the next estimates in `haplotypes`.
    virtual void expected_counts(TPopHaploDB& haplotypes, std::vector<TPedigree>& pedigrees) = 0;
    // Sets every combination active again after an EM run.
    virtual void activate_all(std::vector<TPedigree>& /*pedigrees*/) {}

    // Terms stored (combinations or configurations) and what one costs.
    virtual std::size_t n_terms() const = 0;
    virtual std::size_t bytes_per_term() const = 0;
    // Whether the table of every genotype is needed for absent parents, and
    // the bytes it keeps per haplotype besides.
    virtual bool wants_pair_table() const { return false; }
    virtual double bytes_per_haplotype() const { return 0.0; }

    // Whether EM runs over `haplotypes` can be made beside the database
    // (several side by side, see run_em), or must go through it.
    virtual bool runs_beside(const TPopHaploDB& /*haplotypes*/) const { return false; }
    // A scratch space for one such run at a time.
    virtual std::unique_ptr<Scratch> scratch() const { return nullptr; }
    // One EM run from `frequencies` (one per haplotype; the last estimates
    // out), as the estimation makes it through the database, touching neither
    // the engine nor the pedigrees. False when a pedigree had zero
    // probability: such a run must go through the database, which reports it.
    virtual bool run_em(Scratch& scratch, const std::vector<TPedigree>& pedigrees,
                        std::vector<double>& frequencies, std::int32_t max_iterations,
                        double tolerance, EmRun& run) const;
    // Leaves the pedigrees as the last pass of a run on `scratch` left them.
    virtual void commit(const Scratch& /*scratch*/, std::vector<TPedigree>& /*pedigrees*/) {}

    // The convergence test of a run_em, as the database's: the total change
    // of `frequencies` against `previous`, added in haplotype order, is below
    // `tolerance`; `previous` takes the new values.
    static bool converged(const std::vector<double>& frequencies, std::vector<double>& previous,
                          double tolerance);

  protected:
    // For the message about `pedigree`, whose records were released (or never
    // built): builds its genotypic combinations as the listing engine lists
    // them, the table of every genotype first if it needs it and `shared` is
    // empty, and computes its probability.
    static void build_for_message(TPedigree& pedigree, TSmallGenDB& shared,
                                  const TPopHaploDB& haplotypes, std::int32_t locus);

  private:
    // The log-likelihood of the last `probabilities` pass (default passes).
    double _last_ln_l = 0.0;
};

// An engine's scratch space: the workspace of its own kind.
template <typename Work> class ScratchOf : public LikelihoodEngine::Scratch {
  public:
    explicit ScratchOf(Work w) : work(std::move(w)) {}
    Work work;
};

// The one place an engine is chosen.
std::unique_ptr<LikelihoodEngine> make_engine(EngineKind kind);
