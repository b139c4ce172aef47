// Whole runs compared byte for byte (times masked) with reviewed files under
// tests/data: report, console, log and exit status, on 1, 2 and 4 threads.
// A case may carry its seed and status in .seed and .rc files; otherwise the
// seed is 2024 and the status 0.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "tests/harness/e2e_harness.h"

namespace {

class Reviewed : public ::testing::TestWithParam<const char*> {};

TEST_P(Reviewed, ReproducesReportConsoleAndLog) {
    const std::string path = GetParam();
    const std::string base = path.substr(path.find('/') + 1);
    std::string seed = e2e::read_data(path + ".seed");
    seed.erase(seed.find_last_not_of("\r\n") + 1);
    const std::string rc = e2e::read_data(path + ".rc");
    for (const char* threads : {"1", "2", "4"}) {
        SCOPED_TRACE(std::string("threads ") + threads);
        const e2e::Result r =
            e2e::run_data(base, e2e::read_data(path + ".mbd"), seed.empty() ? "2024" : seed,
                          {{"TOVAQUOR_THREADS", threads}});
        EXPECT_EQ(rc.empty() ? "0\n" : rc, std::to_string(r.status) + "\n");
        EXPECT_EQ(e2e::read_data(path + ".out"), r.console);
        EXPECT_EQ(e2e::mask_times(e2e::read_data(path + ".mbr")), e2e::mask_times(r.report));
        EXPECT_EQ(e2e::mask_times(e2e::read_data(path + ".log")), e2e::mask_times(r.log));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Files, Reviewed,
    ::testing::Values(
        // The reference cases.
        "fixtures/singles", "fixtures/untyped_parents", "fixtures/two_samples",
        // Estimation, checked by hand against the formats and, for the numbers,
        // against a brute-force likelihood: allele names of two widths, blanks
        // around alleles, haplotypes in name order ("12" before "7"); a family of
        // two absent parents; typed, untyped and half-typed parents with identical
        // families merged; one-allele haplotypes ("105" before "1051"); parameters
        // on three lines and a sample holding fewer individuals than announced;
        // the floor in full with 0 initial conditions; the incompatible-pedigree
        // and zero-probability warnings.
        "e2e/singles_only", "e2e/untyped_family", "e2e/merged_families", "e2e/one_locus",
        "e2e/two_samples", "e2e/zero_initial", "e2e/inconsistent",
        // The simulation: no P-value block for 0 samples, the no-valid-case block
        // for -3, an absent parent with two partners, two samples sharing the
        // stream, and 0 initial conditions, where ties give a P-value of 1.
        "simulation/zero", "simulation/negative", "simulation/untyped_parents",
        "simulation/two_samples", "simulation/no_initial_conditions",
        // Odd files analysed in their own way: a parent cycle (no hang), tabs
        // inside allele names, UTF-8 and Latin-1 name bytes (widths count bytes),
        // NUL bytes.
        "malformed/parent_cycle", "malformed/tab_separated", "malformed/non_ascii",
        "malformed/nul_bytes"),
    [](const auto& info) {
        std::string name = info.param;
        std::replace(name.begin(), name.end(), '/', '_');
        return name;
    });

} // namespace
