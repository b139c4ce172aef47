#pragma once

#include <istream>
#include <string>
#include <vector>

#include "io/genotype_table.h"

// The pedigree format: one line per individual, family, individual, father,
// mother, sex and phenotype, then two allele columns per marker; blanks or
// tabs between columns.

// The marker names of a marker map: one marker per line, its name in the
// second column (chromosome, name, then positions).
std::vector<std::string> read_map_file(std::istream& is, const std::string& file_name);

// Reads the pedigree lines, keeping the markers `wanted` (names or numbers
// from 1). Without a map (`marker_names` empty) the markers are named by their
// numbers and the first line sets their count.
GenotypeTable read_ped_file(std::istream& is, const std::string& file_name,
                            const std::vector<std::string>& marker_names,
                            const std::string& map_name, const std::vector<std::string>& wanted);
