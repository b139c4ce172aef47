#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "io/sample_description.h"

// Families, singles and absent parents as the likelihood sees them, the one
// count every summary uses: a family is a pair of known parents (in either
// order) with their children; an individual with an unknown parent counts as
// having none; a single has no parents and heads no family; an absent parent
// is named by a child with two known parents and has no record.
struct FamilyStructure {
    std::map<std::size_t, std::size_t> families_by_sibs; // family count by number of sibs
    std::size_t singles = 0;
    std::size_t absent_parents = 0;

    std::size_t families() const;
};

FamilyStructure family_structure(const SampleDescription& sample);

// A family, or a single individual, that no genotypic combination explains.
struct FamilyWithoutCombination {
    std::vector<std::string> parents; // one for a single individual
    std::vector<std::string> sibs;
    std::vector<std::int32_t> failing_loci; // from 1; empty: only as two-locus haplotypes
};

struct CombinationCheck {
    std::vector<std::vector<std::string>> alleles;  // per locus, in the report's order
    std::vector<FamilyWithoutCombination> families; // in the order the analysis builds them
};

// Builds the sample's genotypic combinations as the analysis does, at each
// locus alone and then as two-locus haplotypes, and returns the families left
// without any. The sample must pass first_record_error. A stop of the
// analysis (tables beyond the memory limit) throws its FatalError; nothing is
// printed.
CombinationCheck families_without_combinations(const SampleDescription& sample);
