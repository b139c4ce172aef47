#pragma once

#include <istream>
#include <ostream>

#include "report/sample_results.h"

class Progress;

// Reads the run parameters and every sample of a data file, and writes the
// whole report except its computing-time line.
void run_analysis(std::istream& is, std::ostream& report);

// The same, also gathering the results of every sample into `results` (run
// parameters and samples) and showing the simulation's progress on `progress`
// when it is not null.
void run_analysis(std::istream& is, std::ostream& report, RunResults& results, Progress* progress);
