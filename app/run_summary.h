#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "report/sample_results.h"

// The end of a run on standard error: one line per sample with its ratio and
// P-values, or why it has none, then the files written.
void write_run_summary(std::ostream& os, const RunResults& run,
                       const std::vector<std::pair<std::string, std::string>>& files);

// The line of one sample, without its end of line.
std::string sample_summary_line(const SampleResults& sample);
