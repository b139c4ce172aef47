// Forced into support/errors.cpp of the fuzzing build only: a fatal message
// ends the program through std::exit, which libFuzzer would count as a crash
// of every refused input. Here it throws instead, so the target catches it,
// the stack unwinds (no leak is reported for a refused input) and fuzzing
// goes on in the same process.
#pragma once

#include <cstdlib>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

// The status a fatal stop would have given the process.
struct FuzzExit {
    int status;
};

namespace std {
// Not noexcept, unlike the C library's exit: exceptions may leave it.
[[noreturn]] void tovaquor_fuzz_exit(int status);
} // namespace std

#define exit tovaquor_fuzz_exit
