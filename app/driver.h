#pragma once

#include <istream>
#include <ostream>

// Reads the run parameters and every sample of a data file, and writes the
// whole report except its computing-time line. `fast`: the option --fast (every
// sample and simulated sample summed over passed-on haplotypes).
void run_analysis(std::istream& is, std::ostream& report, bool fast = false);
