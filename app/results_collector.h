#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "io/sample_description.h"
#include "report/sample_results.h"

class TPopPedigree;

// The plain results of an analysed sample: its structure, likelihoods and
// frequencies. The simulation test adds its own part.
SampleResults collect_sample(const TPopPedigree& pop, const SampleDescription& sample,
                             std::int32_t announced);

// The exact Hardy-Weinberg test of each locus on the founders and singles of
// `sample` (records without two known parents), its draws from a side
// stream of `seed` for this sample number.
std::vector<LocusHardyWeinberg> hardy_weinberg_per_locus(const SampleDescription& sample,
                                                         std::int64_t seed,
                                                         std::int32_t sample_number);

// Every typed individual's phased pairs of posterior at least 0.001, at the
// frequencies `pop`'s analysis left; none when its families are too large to
// list within the memory limit.
std::optional<std::vector<IndividualPhaseRows>> collect_phases(TPopPedigree& pop);
