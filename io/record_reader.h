#pragma once

#include <cstdint>
#include <istream>
#include <string>

// The reading rules of the data file, over any text stream (a file, or a
// simulated sample written in memory).
namespace record_reader {

// A signed 32-bit integer the way C++ extracts an int: white space skipped,
// optional sign, digits up to the first non-digit. False when there is no
// number or it does not fit in 32 bits.
bool read_int(std::istream& is, std::int32_t& value);

// A maximal run of non-white-space characters ("" at the end of the text).
std::string read_token(std::istream& is);

// Skip white space (blank lines included), then take the rest of the
// line; the newline is consumed, and a carriage return ending the line dropped.
std::string read_rest_of_line(std::istream& is);

} // namespace record_reader
