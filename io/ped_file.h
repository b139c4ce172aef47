#pragma once

#include <istream>
#include <string>
#include <utility>
#include <vector>

#include "io/genotype_table.h"

// The pedigree format: one line per individual, family, individual, father,
// mother, sex and phenotype, then two allele columns per marker; blanks or
// tabs between columns.

// What a marker map says of the markers asked for: one marker per line, its
// name in the second column (chromosome, name, then positions). A map may list
// millions of markers, so only their count and the names `wanted` could pick
// (by name or by number) are kept.
struct MarkerMap {
    std::string file; // empty: no map
    std::size_t count = 0;
    std::vector<std::pair<std::size_t, std::string>> kept; // position from 0, name
};

MarkerMap read_map_file(std::istream& is, const std::string& file_name,
                        const std::vector<std::string>& wanted);

// Reads the pedigree lines, keeping the markers `wanted` (names or numbers
// from 1). Without a map the markers are named by their numbers and the first
// line sets their count.
GenotypeTable read_ped_file(std::istream& is, const std::string& file_name, const MarkerMap& map,
                            const std::vector<std::string>& wanted);
