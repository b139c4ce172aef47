#pragma once

#include <cstdint>
#include <istream>
#include <optional>
#include <string>
#include <vector>

#include "io/sample_description.h"

// A fatal input error of the analysis, with the line it concerns.
struct DataFileError {
    std::int64_t line = 0;
    std::string message;
    std::string hint;
};

struct DataFileInput {
    RunParameters run;
    std::vector<SampleDescription> samples; // those read whole before any stop
    // Where the reading stops (a missing number), after the samples above.
    std::optional<DataFileError> stop;
};

// Reads a data file with the analysis's reader, keeping what it reads up to
// the point where the analysis would stop.
DataFileInput read_data_file(std::istream& is);

// The analysis's own checks of a sample (first_record_error), with the line
// of the record concerned.
std::optional<DataFileError> sample_error(const SampleDescription& sample);
