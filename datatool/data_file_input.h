#pragma once

#include <istream>
#include <optional>
#include <string>
#include <vector>

#include "io/input_error.h"
#include "io/sample_description.h"

struct DataFileInput {
    RunParameters run;
    std::vector<SampleDescription> samples; // those read whole before any stop
    // Where the reading stops (a missing number), after the samples above.
    std::optional<InputError> stop;
};

// Reads the data file `file` from `is` with the analysis's reader, keeping
// what it reads up to the point where the analysis would stop.
DataFileInput read_data_file(std::istream& is, const std::string& file);

// The analysis's own checks of a sample (first_record_error), as an error on
// the line of the record concerned; a hint follows the message on its own line.
std::optional<InputError> sample_error(const SampleDescription& sample, const std::string& file);
