#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "support/analysis_options.h"

namespace app {

// The options before the two arguments, and the arguments.
struct CommandLine {
    bool tables = false;
    bool html = false;
    AnalysisOptions analysis;
    bool phases = false;
    std::int32_t bootstrap = 0; // replicates, 0: none
    bool options_ended = false; // "--" was given
    std::string invalid;        // why an option's value was refused
    std::string unknown;        // the first argument like an option that is none
    std::vector<std::string> arguments;
};

CommandLine parse_command_line(int argc, char** argv);

// The usage text, its option lines built from the same table as the parser.
std::string usage_text();

// TOVAQUOR_THREADS when it holds a count from 1 (at most 256), else the
// number of hardware threads.
std::int32_t threads_from_environment();

} // namespace app
