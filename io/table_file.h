#pragma once

#include <istream>
#include <string>
#include <vector>

#include "io/genotype_table.h"

// A tab-separated table with a header row: columns `id`, `father`, `mother`,
// optionally `family`, and per marker either two columns `<marker>_1` and
// `<marker>_2` or one column `<marker>` holding `a/b`. Other columns are
// markers too, in header order, and are read only when chosen.
GenotypeTable read_table_file(std::istream& is, const std::string& file_name,
                              const std::vector<std::string>& wanted);
