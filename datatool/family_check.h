#pragma once

#include <cstdint>
#include <map>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "io/sample_description.h"

// One member of a family as the check shows it.
struct FamilyMember {
    std::string role; // "parent" or "sib"
    std::string id;
    std::int64_t line = 0; // 0: absent from the file
    std::string genotype;  // "a/b" per locus, blank-separated; empty when absent
};

// A family whose members Mendelian inheritance cannot explain.
struct IncompatibleFamily {
    std::vector<FamilyMember> members;
    std::vector<std::int32_t> failing_loci; // from 1; empty: only as two-locus haplotypes
};

// What a user reads before a long run: the structure of a sample and the
// families the analysis would find incompatible.
struct SampleCheck {
    std::string name;
    std::int32_t announced = 0;
    std::size_t individuals = 0;
    std::size_t absent_parents = 0;
    std::map<std::size_t, std::size_t> families_by_sibs;
    std::size_t singles = 0;
    std::int32_t generations = 0;
    std::vector<std::vector<std::pair<std::string, std::size_t>>> alleles; // per locus
    std::vector<IncompatibleFamily> incompatible;
    // What the nuclear model cannot link as it is; empty when nothing.
    std::string nuclear_losses;
    // Individuals with an unknown allele ("?"): only the whole-pedigree model
    // reads them, and the Mendelian check leaves them out.
    std::size_t with_unknown_alleles = 0;
};

// The sample's structure and the families the analysis would find without any
// genotypic combination (families_without_combinations). Individuals with an
// unknown allele are left out of that search, as if absent: an absent member
// never makes a family incompatible, so each family listed is incompatible
// under either model, though one that their alleles contradict may be
// missed. The sample must have
// passed `sample_error`; other stops of the analysis (tables beyond the memory
// limit) throw its FatalError.
SampleCheck check_sample(const SampleDescription& sample);

void print_sample_check(std::ostream& os, const SampleCheck& check, std::size_t number);
