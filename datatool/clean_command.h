#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "datatool/check_command.h"
#include "io/mbd_writer.h"

// What `clean` keeps and what it removed, with the reason of each removal.
struct Removal {
    std::size_t sample = 0; // from 1
    std::string id;
    std::int64_t line = 0;
    std::string reason;
};

struct CleanedFile {
    DataFileContent content;
    std::vector<Removal> removed;
};

// The file without its incompatible families: their sibs, and those of their
// parents that belong to no other family (as a parent or a sib).
CleanedFile remove_incompatible_families(const CheckedFile& file);

// The `clean` command.
int run_clean(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
