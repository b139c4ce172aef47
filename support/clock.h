#pragma once

#include <cstdint>

// Milliseconds of a steady clock, as the signed 32-bit count the timing lines print.
std::int32_t clock_ms();

// Milliseconds since a reading of `clock_ms`, wrap-around safe.
std::int32_t elapsed_ms(std::int32_t since);
