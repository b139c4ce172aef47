#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "datatool/data_file_input.h"
#include "datatool/family_check.h"

struct CheckedFile {
    DataFileInput input;
    std::vector<SampleCheck> samples;
};

// Reads a data file and checks each sample, stopping where the analysis would
// stop (InputError with the analysis's message and the line).
CheckedFile check_data_file(const std::string& path);

// The `check` command: 0 when every family fits, 2 when some does not.
int run_check(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
