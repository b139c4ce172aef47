#pragma once

#include <cstdint>

// Run parameters written by `convert` unless given: enough simulated samples
// for a P-value to two digits, and enough starts to notice several maxima.
constexpr std::int32_t kDefaultSimulations = 1000;
constexpr std::int32_t kDefaultStarts = 5;

extern const char* const kToolUsage;
extern const char* const kConvertUsage;
extern const char* const kCheckUsage;
extern const char* const kCleanUsage;
