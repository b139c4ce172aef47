#pragma once

#include <string>

// Numbers of the tables and the page in full precision: the shortest text
// that reads back as the same value. NaN, a value that is not defined, is
// the empty text.
std::string shortest(double value);
std::string shortest(float value);

// A value rounded for reading: fixed notation with `decimals` digits after the
// point, or the empty text for NaN.
std::string fixed(double value, int decimals);

// A P-value for reading, with at least two significant digits: fixed
// notation down to 0.001 (three decimals or more), scientific below. NaN is
// the empty text.
std::string p_value_text(double value);
