#pragma once

#include <cstdint>

// How the likelihood of a sample is evaluated: each nuclear family on its
// own, summed over the haplotypes each parent passes on or by listing every
// genotypic combination (both give the same results; the first is much
// quicker when parents are absent from the data), or each connected pedigree
// whole, with its joint likelihood (--whole-pedigrees).
enum class EngineKind : std::uint8_t { summed, listed, whole_pedigrees };

// The settings of one run, filled once by the entry point from the command
// line and the environment, then passed down by value.
struct AnalysisOptions {
    EngineKind engine = EngineKind::summed;
    // Read from the data file, not drawn by the simulation test: only such a
    // sample is refused an allele named "#".
    bool from_data_file = true;
    // Threads the run may use (TOVAQUOR_THREADS, else the hardware's).
    std::int32_t threads = 1;
    // Threads the EM of one analysis may use for its random initial
    // conditions: a sample analysed beside others keeps 1.
    std::int32_t restart_threads = 1;
};
