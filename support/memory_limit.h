#pragma once

#include <cstdint>
#include <string>

// The memory an analysis may plan for, in bytes: the environment variable
// TOVAQUOR_MAX_MEMORY_MB when set to a positive number, otherwise three
// quarters of the machine's physical memory. Tables that would not fit are
// refused with a message instead of letting the system kill the program.
std::uint64_t memory_limit_bytes();

// "<n> MiB" for a byte count, rounded up.
std::string mebibytes(std::uint64_t bytes);
