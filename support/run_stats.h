#pragma once

#include <atomic>
#include <cstdint>
#include <ostream>

// Work counters of a run, printed on standard error when the environment
// variable TOVAQUOR_STATS is set (used by the timing script).
struct RunStats {
    // Combinations stored for the haplotype (all-loci) estimations of all samples.
    std::atomic<std::int64_t> combinations{0};
    // EM iterations of those estimations.
    std::atomic<std::int64_t> em_iterations{0};
    // Sum over those iterations of the combinations walked.
    std::atomic<std::int64_t> combination_visits{0};
    // Processor time of the calling threads spent in those estimations.
    std::atomic<std::int64_t> em_nanoseconds{0};

    // Simulated samples whose analysis took other deviates than predicted
    // (always 0 unless the prediction is wrong; such samples are redrawn).
    std::atomic<std::int64_t> prediction_misses{0};

    void print(std::ostream& os) const;
};

RunStats& run_stats();
bool run_stats_wanted();

// Processor time used by the calling thread, in nanoseconds.
std::int64_t thread_cpu_nanoseconds();
// Processor time that threads helping the calling thread's EM runs used, in
// nanoseconds (counted only while the work counters are wanted).
std::int64_t& helper_em_nanoseconds();
