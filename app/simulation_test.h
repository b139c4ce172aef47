#pragma once

#include <cstdint>
#include <ostream>

class TPopPedigree;
class Progress;
struct SampleResults;

// The counts of the simulated likelihood-ratio test of one sample.
struct SimulationTally {
    double tail = 0.0;
    std::int32_t valid = 0;

    // Counts one simulated sample; ties with the observed ratio count in the tail.
    void add(double equilibrium_ln_l, double ratio, double observed_ratio);
};

// Draws `n_simulated` samples in linkage equilibrium from the analysed sample,
// analyses each like an observed one and writes one row per sample and the P-value.
// When given, `results` receives the rows and counts and `progress` hears of
// each sample done.
void run_simulation_test(TPopPedigree& observed, double observed_ratio, std::int32_t n_simulated,
                         std::int32_t n_initial, std::int32_t n_individuals, std::ostream& report,
                         SampleResults* results = nullptr, Progress* progress = nullptr);

// Uniform deviates the analysis of the sample just drawn by `observed` will
// take: two runs per locus over its alleles (with "#"), then one draw per
// haplotype per initial condition. The alleles are those of the individuals
// the sample text holds.
std::int64_t deviates_needed(const TPopPedigree& observed, std::int32_t n_initial);

void write_simulation_row(std::ostream& report, std::int32_t row, double sample_ln_l,
                          double equilibrium_ln_l, std::int32_t n_maxima);
void write_p_value(std::ostream& report, const SimulationTally& tally, std::int32_t n_simulated);
