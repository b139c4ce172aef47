#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

// One individual of a sample as its source gives it, before any analysis.
struct SampleRecord {
    std::string id;
    std::string parent1;
    std::string parent2;
    // The two unphased allele lines, alleles separated by blanks.
    std::array<std::string, 2> allele_lines;
    // Line of the data file where the record starts; 0 for a record that does
    // not come from a file (a simulated sample).
    std::int64_t line = 0;
};

// A sample as read: its name, the individual count its source announced and
// the records in source order. Everything the analysis needs from a file.
struct SampleDescription {
    std::string name;
    std::int32_t announced = 0;
    std::vector<SampleRecord> records;
};

// The three numbers that open a data file.
struct RunParameters {
    std::int32_t n_samples = 0;
    std::int32_t n_simulated = 0;
    std::int32_t n_initial = 0;
};
