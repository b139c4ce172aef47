#pragma once

#include <cstdint>

#include "io/sample_description.h"
#include "report/sample_results.h"

class TPopPedigree;

// The plain results of an analysed sample: its structure, likelihoods and
// frequencies. The simulation test adds its own part.
SampleResults collect_sample(const TPopPedigree& pop, const SampleDescription& sample,
                             std::int32_t announced);
