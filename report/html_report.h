#pragma once

#include <ostream>
#include <string>

#include "report/sample_results.h"

// The visual report: one self-contained HTML page (inline CSS and SVG, no
// script, nothing fetched), a section per sample with its settings, summary,
// allele frequencies, haplotype table, D' heatmap and the simulated null
// distribution against the observed ratio.
namespace html_report {

void write(std::ostream& os, const RunResults& run);

// Writes BASE.html; false when the file cannot be written.
bool write_file(const std::string& file_name, const RunResults& run);

// Text with the characters HTML gives a meaning escaped.
std::string escape(const std::string& text);

} // namespace html_report
