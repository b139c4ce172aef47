#pragma once

#include <cstdint>
#include <utility>
#include <vector>

class SideRandom;

// Hardy-Weinberg proportions at one locus: the exact test conditional on the
// allele counts. The P-value sums the probabilities of every genotype table
// with those counts that is no more probable than the observed one. When the
// tables are few it is enumerated; otherwise tables are drawn by shuffling
// the alleles and pairing them.
struct HardyWeinbergTest {
    static constexpr std::int64_t kDraws = 20000;
    // Enumeration gives way to draws past this many steps.
    static constexpr std::int64_t kEnumerationSteps = 2000000;

    std::int32_t individuals = 0;
    std::int32_t alleles = 0; // distinct alleles seen
    double observed_heterozygosity = 0.0;
    double expected_heterozygosity = 0.0; // 1 - sum p^2 of the sample's allele frequencies
    double p_value = 0.0;
    std::int64_t draws = 0; // 0: complete enumeration
};

// `genotypes`: one pair of allele indices (0 .. n_alleles - 1) per individual.
HardyWeinbergTest
hardy_weinberg_test(const std::vector<std::pair<std::int32_t, std::int32_t>>& genotypes,
                    std::int32_t n_alleles, SideRandom& random);
