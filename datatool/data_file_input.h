#pragma once

#include <cstdint>
#include <istream>
#include <optional>
#include <string>
#include <vector>

#include "io/mbd_writer.h"

// A data file as the analysis would read it, with the line of each record.
struct InputRecord {
    MbdRecord record;
    std::int64_t line = 0;
    std::int64_t allele_line[2] = {0, 0};
};

struct InputSample {
    std::string name;
    std::int32_t announced = 0;
    std::vector<InputRecord> records;
};

// A fatal input error of the analysis, with the line it concerns.
struct DataFileError {
    std::int64_t line = 0;
    std::string message;
    std::string hint;
};

struct DataFileInput {
    std::int32_t n_samples = 0;
    std::int32_t n_simulated = 0;
    std::int32_t n_initial = 0;
    std::vector<InputSample> samples; // those read whole before any stop
    // Where the analysis would stop once the samples above were analysed.
    std::optional<DataFileError> stop;
};

// Reads a data file by the analysis's own reading rules. The identifier
// checks stop the reading where the analysis stops; the allele lines are
// checked per sample by `allele_line_error`.
DataFileInput read_data_file(std::istream& is);

// The analysis's checks of a sample's allele lines, in its order.
std::optional<DataFileError> allele_line_error(const InputSample& sample);
