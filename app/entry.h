#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The whole program: command line or prompts, files, seeding, analysis, timing.
int tovaquor_main(int argc, char** argv);

// The seed argument: converted like strtol into 64 bits, low 32 bits kept.
std::int32_t parse_seed_argument(const std::string& text);

namespace app {

// The options before the two arguments, and the arguments.
struct CommandLine {
    bool tables = false;
    bool html = false;
    bool fast = false;
    bool options_ended = false; // "--" was given
    std::string unknown;        // an unknown option after known ones
    std::vector<std::string> arguments;
};

CommandLine parse_command_line(int argc, char** argv);

} // namespace app
