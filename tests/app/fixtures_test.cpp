// Whole runs compared byte for byte (times masked) with reviewed files under
// tests/data: report, console, log and exit status, on 1, 2 and 4 threads.
// A case may carry its seed and status in .seed and .rc files; otherwise the
// seed is 2024 and the status 0.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <utility>

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
        "fixtures/no_estimate",
        // Estimation, checked by hand against the formats and, for the numbers,
        // against a brute-force likelihood: allele names of two widths, blanks
        // around alleles, haplotypes in name order ("12" before "7"); a family of
        // two absent parents; typed, untyped and half-typed parents with identical
        // families merged; one-allele haplotypes ("105" before "1051"); parameters
        // on three lines and a sample holding fewer individuals than announced.
        "e2e/singles_only", "e2e/untyped_family", "e2e/merged_families", "e2e/one_locus",
        "e2e/two_samples",
        // Results that would be wrong: 0 initial conditions refused; the
        // incompatible-pedigree and zero-probability warnings and a sample with
        // no estimate (no simulation line for 0 simulated samples); 76 sibs,
        // whose segregation probability 2^-152 is below the single-precision
        // range (by hand: 76 ln 1/4 + 4 ln 1/8 = -113.676); a family headed by a
        // typed middle-generation individual beside one of typed founders with
        // the same phenotypes, kept apart; one-locus samples, with an estimate
        // (no test) and without (no estimate), then one with no individual.
        "e2e/zero_initial", "e2e/inconsistent", "e2e/large_sibship", "e2e/typed_middle_generation",
        "e2e/one_locus_no_test",
        // The simulation: no P-value block for 0 samples, a negative count
        // refused, an absent parent with two partners, two samples sharing the
        // stream, and 0 initial conditions refused.
        "simulation/zero", "simulation/negative", "simulation/untyped_parents",
        "simulation/two_samples", "simulation/no_initial_conditions",
        // Odd files analysed in their own way: a parent cycle (no hang), tabs
        // inside allele names (one locus: no test), UTF-8 and Latin-1 name bytes
        // (widths count bytes), NUL bytes.
        "malformed/parent_cycle", "malformed/tab_separated", "malformed/non_ascii",
        "malformed/nul_bytes"),
    [](const auto& info) {
        std::string name = info.param;
        std::replace(name.begin(), name.end(), '/', '_');
        return name;
    });

// A family headed by a typed middle-generation individual and one of typed
// founders with the same phenotypes are kept apart, so the order of the
// records does not decide which likelihood both get.
TEST(ReviewedVariant, TypedMiddleGenerationLikelihoodDoesNotDependOnTheRecordOrder) {
    const std::string data = e2e::read_data("e2e/typed_middle_generation.mbd");
    const std::string founders = "X2 0 0\n1 a\n3 b\nY2 0 0\n2 a\n2 b\nC2 X2 Y2\n1 a\n2 b\n";
    const std::size_t at = data.find(founders);
    ASSERT_NE(std::string::npos, at);
    const std::size_t records = data.find("G1 0 0");
    const std::string swapped = data.substr(0, records) + founders +
                                data.substr(records, at - records) +
                                data.substr(at + founders.size());
    const e2e::Result r = e2e::run_data("swapped", swapped);
    EXPECT_EQ(0, r.status);
    // The two log-likelihoods under the column titles; the EM starts from
    // other frequencies (the alleles come in another order), so the last
    // single-precision digits may differ.
    const auto log_likelihoods = [](const std::string& report) {
        std::istringstream row(report.substr(report.find("# maxima\n") + 9));
        double sample = 0.0;
        double equilibrium = 0.0;
        row >> sample >> equilibrium;
        return std::make_pair(sample, equilibrium);
    };
    const auto [sample, equilibrium] =
        log_likelihoods(e2e::read_data("e2e/typed_middle_generation.mbr"));
    const auto [swapped_sample, swapped_equilibrium] = log_likelihoods(r.report);
    EXPECT_NEAR(-17.0126, sample, 1e-4);
    EXPECT_NEAR(sample, swapped_sample, 1e-5);
    EXPECT_NEAR(equilibrium, swapped_equilibrium, 1e-5);
}

} // namespace
