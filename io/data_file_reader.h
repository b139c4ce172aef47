#pragma once

#include <cstdint>
#include <istream>
#include <sstream>
#include <string>

#include "io/sample_description.h"

// Reads a data file (BASE.mbd): the run parameters, then one sample after the
// other. Fields are read the way the format has always been read (see
// record_reader); a missing number is a fatal input error naming what was
// expected.
// Parameters that cannot give a result stop the run before any sample: a
// fatal input error naming the first one.
void check_run_parameters(const RunParameters& run);

class DataFileReader {
  public:
    // Takes the whole text at once, so that records can carry line numbers.
    explicit DataFileReader(std::istream& is);

    RunParameters read_run_parameters();
    // The individual count that opens sample `number` (from 1).
    std::int32_t read_individual_count(std::int32_t number);
    // The sample name and at most `announced` records. Reading stops early,
    // without a message, at the end of the text or at a record whose second
    // parent is missing.
    SampleDescription read_sample(std::int32_t announced);
    // Line of the next character to be read (where a missing number was expected).
    std::int64_t current_line();

  private:
    std::int32_t read_number(const std::string& what);

    std::string _text;
    std::istringstream _is;
    std::size_t _counted_to = 0;
    std::int64_t _line = 1;
};
