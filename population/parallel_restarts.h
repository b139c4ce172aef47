#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "pedigree/likelihood_engine.h"
#include "pedigree/ped_db.h"
#include "pedigree/pedigree.h"

// One EM run through the database from the frequencies in `haplotypes`,
// which it leaves as its last estimates; returns its final log-likelihood.
// The runs made beside the database (below) must give the same, bit for bit.
float run_em_through_database(TPedDB& peds, TPopHaploDB& haplotypes, std::int32_t max_iterations,
                              double tolerance);

// The random initial conditions of one EM, run side by side beside the
// database by its engine: each run is independent of the others once its
// starting frequencies are drawn, and the caller takes the results in run
// order, so that it gets what one thread running them in turn would.
class ParallelRestarts {
  public:
    struct Result {
        // False when the run met a pedigree of zero probability, or ran out of
        // memory: it, and the runs after it, must go through the database.
        bool regular = false;
        std::vector<double> frequencies; // last estimates
        float ln_l = 0.0F;
        std::int64_t iterations = 0;
    };

    // Runs EM from each of `starts` on `threads` threads (the calling one
    // included), stopping at the first run that is not regular. The
    // scratch space of the last run is kept (see last_scratch).
    ParallelRestarts(const LikelihoodEngine& engine, const std::vector<TPedigree>& pedigrees,
                     std::vector<std::vector<double>> starts, std::int32_t max_iterations,
                     double tolerance, std::int32_t threads);

    const std::vector<Result>& results() const { return _results; }
    // Processor time of the threads other than the caller, in nanoseconds.
    std::int64_t helper_nanoseconds() const { return _helper_nanoseconds; }
    // What the last run's final likelihood pass left (valid when it is regular).
    const LikelihoodEngine::Scratch& last_scratch() const { return *_last; }

  private:
    std::vector<Result> _results;
    std::unique_ptr<LikelihoodEngine::Scratch> _last;
    std::int64_t _helper_nanoseconds = 0;
};
