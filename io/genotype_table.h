#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "io/input_error.h"

// Genotypes as pedigree files and spreadsheets hold them, before any rule of
// the data file applies: one row per individual, identifiers unique within a
// family only, and alleles as written (missing codes included).
struct TableIndividual {
    std::string family; // empty when the format has no family column
    std::string id;
    std::string father;
    std::string mother;
    // One pair of alleles per chosen marker, in the order the markers were chosen.
    std::vector<std::pair<std::string, std::string>> genotypes;
    std::int64_t line = 0;
};

struct GenotypeTable {
    std::string file;
    std::vector<std::string> markers; // the chosen markers' names
    std::vector<TableIndividual> individuals;
};

// Positions in `names` of the markers asked for, each by name or by number
// from 1 (a name wins over a number). One or two distinct markers.
std::vector<std::size_t> choose_markers(const std::vector<std::string>& names,
                                        const std::vector<std::string>& wanted,
                                        const std::string& file, std::int64_t line);
// The same for `count` markers: `find` gives the position of a name (none:
// the marker can only be asked for by number), `name_of` the name of a
// position chosen.
std::vector<std::size_t>
choose_markers(std::size_t count,
               const std::function<std::optional<std::size_t>(const std::string&)>& find,
               const std::function<std::string(std::size_t)>& name_of,
               const std::vector<std::string>& wanted, const std::string& file, std::int64_t line);
// Whether `text` asks for a marker by its number from 1: the number, or 0.
std::size_t marker_number(const std::string& text);
