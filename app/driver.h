#pragma once

#include <cstdint>
#include <istream>
#include <ostream>

// Reads the run parameters and every sample of a data file, and writes the
// whole report except its computing-time line. Returns the number of samples
// that got no estimate (their likelihood is zero). `fast`: the option --fast
// (every sample and simulated sample summed over passed-on haplotypes).
std::int32_t run_analysis(std::istream& is, std::ostream& report, bool fast = false);
