#pragma once

#include <cstddef>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "io/pair_name.h"
#include "report/sample_results.h"

// The pairs of markers of a panel among a run's samples: samples whose names
// carry the same panel and two markers (io/pair_name.h).
namespace panel {

struct Pair {
    std::size_t sample = 0;   // index in the run
    std::size_t marker_1 = 0; // index in the panel's markers
    std::size_t marker_2 = 0;
};

struct Panel {
    std::string name;
    std::vector<std::string> markers; // in order of first appearance
    std::vector<Pair> pairs;          // in sample order
};

// The panels of a run in order of first appearance; a panel holds at least
// two pairs (a lone pair is just a sample).
std::vector<Panel> find_panels(const RunResults& run);

// The figures of one pair: overall D', Wn and the P-value it is judged by,
// the simulated one when the test ran, the chi-square one otherwise. NaN
// where not defined (no estimate).
struct Figures {
    double overall_d_prime = 0.0;
    double wn = 0.0;
    double p = 0.0;
    const char* p_source = ""; // "simulated", "chi-square" or "" without P
};
Figures figures(const SampleResults& sample);

// The markers' names of a sample's loci, empty when its name carries none.
std::vector<std::string> locus_names(const SampleResults& sample);

// BASE.pairs.tsv: one row per pair of every panel.
void write_pairs_table(std::ostream& os, const RunResults& run, const std::vector<Panel>& panels);

} // namespace panel
