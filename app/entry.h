#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/options.h"

// The whole program: command line or prompts, files, seeding, analysis, timing.
int tovaquor_main(int argc, char** argv);

// The seed argument: converted like strtol into 64 bits, low 32 bits kept.
std::int32_t parse_seed_argument(const std::string& text);
