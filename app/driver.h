#pragma once

#include <istream>
#include <ostream>

// Reads the run parameters and every sample of a data file, and writes the
// whole report except its computing-time line.
void run_analysis(std::istream& is, std::ostream& report);
