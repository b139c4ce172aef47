#pragma once

#include <cstdint>
#include <ostream>

#include "io/sample_description.h"
#include "support/analysis_options.h"

class TPopPedigree;
class SampleAnalyser;
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
// analyses each like an observed one and writes the simulation section of the
// report: one row per sample and the P-value. When given, `results` receives
// the rows and counts and `progress` hears of each sample done. `setup` is
// what announce_observed gave for the sample, if it was announced.
void run_simulation(TPopPedigree& observed, double observed_ratio, std::int32_t n_simulated,
                    std::int32_t n_initial, std::ostream& report, SampleResults* results = nullptr,
                    Progress* progress = nullptr, std::int64_t setup = 0);

// Tells the installed analyser, if any, of an observed sample about to be
// analysed from the current generator state; the id to pass to
// run_simulation, or 0.
std::int64_t announce_observed(const SampleDescription& sample, const AnalysisOptions& options,
                               std::int32_t n_initial);

// Where later simulated samples are analysed (null: this process's worker
// threads, or the calling thread alone). A cluster build installs its own.
void set_sample_analyser(SampleAnalyser* analyser);
