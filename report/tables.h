#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "report/sample_results.h"

// The tab-separated tables written beside the report: one header row, then
// one row per sample and item. A sample without an item (no estimate, no
// test) gets one row that says why, its value fields empty.
namespace tables {

// The file names for the report base name `base`.
std::vector<std::string> file_names(const std::string& base);

void write_summary(std::ostream& os, const RunResults& run);
void write_alleles(std::ostream& os, const RunResults& run);
void write_haplotypes(std::ostream& os, const RunResults& run);
void write_simulated(std::ostream& os, const RunResults& run);
// One row per sample and locus with data in founders and singles.
void write_hardy_weinberg(std::ostream& os, const RunResults& run);

// Every typed individual's phased pairs (BASE.phases.tsv, with --phases).
void write_phases(std::ostream& os, const RunResults& run);
std::string phases_file_name(const std::string& base);
// How a locus' Hardy-Weinberg P-value was found.
std::string hwe_method(const LocusHardyWeinberg& test);

// Each file with the function that writes it.
struct Table {
    std::string file_name;
    void (*write)(std::ostream&, const RunResults&);
};
std::vector<Table> all(const std::string& base);

// A name as a field that tab-separated readers give back whole: in valid
// UTF-8 (display_text::marked_utf8), and between double quotes, inner ones
// doubled, when it holds a tab, a carriage return, a line feed or a quote.
std::string field(const std::string& name);

// What the test column says about a sample's simulation test.
std::string test_text(const SampleResults& sample);

} // namespace tables
