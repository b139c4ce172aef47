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

// Text as the page shows it: valid UTF-8 (display_text::marked_utf8), the
// characters HTML gives a meaning escaped, control characters as their
// pictures (U+2400 to U+2421), C1 controls as U+FFFD.
std::string escape(const std::string& text);

} // namespace html_report
