#pragma once

#include <cstdint>
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

// Fills the interval fields of `results` (an estimated sample) from
// `replicates` replicates on `threads` threads.
void bootstrap_intervals(const SampleDescription& sample, SampleResults& results,
                         std::int32_t n_initial, std::int64_t seed, std::int32_t sample_number,
                         std::int32_t replicates, std::int32_t threads);
