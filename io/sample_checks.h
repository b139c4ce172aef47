#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "io/sample_description.h"

// The alleles of an allele line: the non-empty pieces between separators
// (blanks in data files; a tab belongs to an allele name).
std::vector<std::string> split_allele_line(const std::string& line, char separator = ' ');

// Why a sample cannot be analysed, and the line of the record concerned.
struct RecordError {
    std::int64_t line = 0;
    std::string message;
    std::string hint; // shown on the console only
};

// The checks a sample must pass before its analysis, in the order the program
// has always made them: the identifiers in file order (a duplicate, an
// individual that is its own parent, one individual named as both parents),
// then the allele lines, newest record first and first line before second (no
// allele, more than two, a count unlike the first line's, and, for samples
// read from a data file, the allele name "#" that the report keeps for unseen
// alleles). The analysis stops on the first; the data tool reports it with
// its line.
std::optional<RecordError> first_record_error(const SampleDescription& sample, bool from_data_file);
