#pragma once

#include <cstdint>
#include <istream>
#include <streambuf>
#include <string>
#include <vector>

#include "io/sample_description.h"

// Reads a data file (BASE.mbd): the run parameters, then one sample after the
// other. Fields are read the way the format has always been read (see
// record_reader). A refused input throws InputError with the file, the line
// and the analysis's message; nothing is printed.
class DataFileReader {
  public:
    // Reads `is` as it goes, a block at a time: the file is never held whole.
    explicit DataFileReader(std::istream& is, std::string file = {});
    DataFileReader(const DataFileReader&) = delete;
    DataFileReader& operator=(const DataFileReader&) = delete;

    RunParameters read_run_parameters();
    // Parameters that cannot give a result are refused before any sample,
    // naming the first one.
    void check_run_parameters(const RunParameters& run) const;
    // The individual count that opens sample `number` (from 1).
    std::int32_t read_individual_count(std::int32_t number);
    // The sample name and at most `announced` records. Reading stops early,
    // without a message, at the end of the text or at a record whose second
    // parent is missing.
    SampleDescription read_sample(std::int32_t announced);
    // Line of the next character to be read (where a missing number was expected).
    std::int64_t current_line() const { return _counting.line(); }

  private:
    // Passes the source's characters through, counting the line feeds read.
    class LineCounter : public std::streambuf {
      public:
        explicit LineCounter(std::streambuf* source) : _source(source) {}
        std::int64_t line() const;

      protected:
        int_type underflow() override;

      private:
        std::streambuf* _source;
        std::vector<char> _block = std::vector<char>(std::size_t{1} << 16);
        std::int64_t _lines_before = 1;         // line of the block's first character
        mutable const char* _counted = nullptr; // line feeds counted up to here
        mutable std::int64_t _counted_lines = 0;
    };

    std::int32_t read_number(const std::string& what);
    [[noreturn]] void refuse(const std::string& message) const;

    std::string _file;
    LineCounter _counting;
    std::istream _is;
};
