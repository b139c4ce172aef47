#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "io/sample_description.h"
#include "report/sample_results.h"

// Percentile intervals by the bootstrap: the sample's units (a family with
// everyone linked to it by descent, or a single individual) are drawn with
// replacement as many times as there are units, each replicate analysed
// anew with the summed likelihood, and the 2.5 and 97.5 percentiles of its
// estimates taken. Each replicate draws from its own side stream of `seed`
// and runs with its own copy of the generator, so nothing the run writes
// otherwise changes, and the intervals are the same on any number of
// threads.

// The units of `sample`: record indices, each unit in reading order.
std::vector<std::vector<std::size_t>> sample_units(const SampleDescription& sample);

// The replicate sample made of `units` in the order drawn, identifiers made
// unique by a prefix per draw.
SampleDescription resampled(const SampleDescription& sample,
                            const std::vector<std::vector<std::size_t>>& units,
                            const std::vector<std::size_t>& drawn);

// The value at `share` (0 to 1) of the sorted `values`, between neighbours
// linearly; NaN when empty.
double percentile(const std::vector<double>& sorted, double share);

// What one replicate gave: per haplotype (alleles joined by tabs) its
// frequency and D', and the table measures; not valid when its analysis
// failed or had no estimate.
struct ReplicateEstimates {
    bool valid = false;
    std::map<std::string, std::pair<double, double>> haplotypes; // frequency, D'
    double overall_d_prime = 0;
    double wn = 0;
};

// The replicates of one sample: everything that makes each reproducible.
struct ReplicateTask {
    SampleDescription sample;
    std::int32_t n_initial = 0;
    std::int64_t seed = 0;
    std::int32_t sample_number = 0;
};

// Replicate `index` of `task`, whose units are `units`.
ReplicateEstimates analyse_replicate(const ReplicateTask& task,
                                     const std::vector<std::vector<std::size_t>>& units,
                                     std::int32_t index);

// Where replicates run beyond this process's threads (other processes of a
// cluster job).
class ReplicateSharer {
  public:
    virtual ~ReplicateSharer() = default;
    // Runs the replicates taken from `next` elsewhere, while this process's
    // threads take from it too, until none of `replicates` is left; each
    // lands in `done` at its number.
    virtual void share(const ReplicateTask& task, std::int32_t replicates,
                       std::atomic<std::int32_t>& next, std::vector<ReplicateEstimates>& done) = 0;
};

// Replicates are shared through `sharer` from now on; none: this process only.
void set_replicate_sharer(ReplicateSharer* sharer);

// Fills the interval fields of `results` (an estimated sample) from
// `replicates` replicates on `threads` threads, and through the installed
// sharer when `share` (only the thread that talks to it may).
void bootstrap_intervals(const SampleDescription& sample, SampleResults& results,
                         std::int32_t n_initial, std::int64_t seed, std::int32_t sample_number,
                         std::int32_t replicates, std::int32_t threads, bool share = true);
