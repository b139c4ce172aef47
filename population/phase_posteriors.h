#pragma once

#include <string>
#include <vector>

class TPopPedigree;

// Each typed individual's phased haplotype pairs with their posterior
// probabilities at the haplotype frequencies an analysis left, given the
// whole family: every genotypic combination of each family is listed once,
// weighted by its probability, and each member's pair summed over them. An
// individual in several families (a parent of two, or a child who is also a
// parent) combines them: the product of its posteriors divided by its prior
// once per extra family.
struct PhasedPair {
    std::string haplotype_a; // alleles joined by "~", the smaller text first
    std::string haplotype_b;
    double posterior = 0.0;
};

struct IndividualPhases {
    std::string individual;
    std::vector<PhasedPair> pairs; // most probable first
};

// Thrown when the table of haplotype pairs that a parent without data needs
// would pass the memory limit.
struct PhasesBeyondMemoryLimit {};

// The individuals in reading order; pairs below `least` are left out. Draws
// nothing and leaves the analysed sample as it was, also when it throws
// (PhasesBeyondMemoryLimit, or the FatalError of a family whose combinations
// pass the memory limit: the caller captures its message).
std::vector<IndividualPhases> phase_posteriors(TPopPedigree& pop, double least);
