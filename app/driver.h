#pragma once

#include <cstdint>
#include <istream>
#include <ostream>

#include "report/sample_results.h"
#include "support/analysis_options.h"

class Progress;

// Reads the run parameters and every sample of a data file, and writes the
// whole report except its computing-time line. Returns the number of samples
// that got no estimate (their likelihood is zero), analysing every sample
// and simulated sample with `options`.
std::int32_t run_analysis(std::istream& is, std::ostream& report,
                          const AnalysisOptions& options = {});

// The same, also gathering the results of every sample into `results` (run
// parameters and samples) and showing the simulation's progress on `progress`
// when it is not null.
std::int32_t run_analysis(std::istream& is, std::ostream& report, const AnalysisOptions& options,
                          RunResults& results, Progress* progress);
