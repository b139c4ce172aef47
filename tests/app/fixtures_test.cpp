// Whole runs compared byte for byte (times masked) with reviewed files under
// tests/data: report, console, log and exit status, on 1, 2 and 4 threads,
// with the default engine and with --listed (both must print the same bytes).
// A case may carry its seed and status in .seed and .rc files; otherwise the
// seed is 2024 and the status 0.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>

#include "tests/harness/e2e_harness.h"

namespace {

class Reviewed : public ::testing::TestWithParam<std::tuple<const char*, const char*>> {};

TEST_P(Reviewed, ReproducesReportConsoleAndLog) {
    const std::string path = std::get<0>(GetParam());
    const std::string engine = std::get<1>(GetParam());
    const std::string base = path.substr(path.find('/') + 1);
    std::string seed = e2e::read_data(path + ".seed");
    seed.erase(seed.find_last_not_of("\r\n") + 1);
    const std::string rc = e2e::read_data(path + ".rc");
    for (const char* threads : {"1", "2", "4"}) {
        SCOPED_TRACE(std::string("threads ") + threads);
        e2e::Run what{{base, seed.empty() ? "2024" : seed}};
        if (!engine.empty()) {
            what.args.insert(what.args.begin(), engine);
        }
        what.files = {{base + ".mbd", e2e::read_data(path + ".mbd")}};
        what.env = {{"TOVAQUOR_THREADS", threads}};
        what.report_name = base + ".mbr";
        const e2e::Result r = e2e::run(what);
        EXPECT_EQ(rc.empty() ? "0\n" : rc, std::to_string(r.status) + "\n");
        EXPECT_EQ(e2e::read_data(path + ".out"), r.console);
        EXPECT_EQ(e2e::mask_times(e2e::read_data(path + ".mbr")), e2e::mask_times(r.report));
        EXPECT_EQ(e2e::mask_times(e2e::read_data(path + ".log")), e2e::mask_times(r.log));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Files, Reviewed,
    ::testing::Combine(
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
            "e2e/zero_initial", "e2e/inconsistent", "e2e/large_sibship",
            "e2e/typed_middle_generation", "e2e/one_locus_no_test",
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
        ::testing::Values("", "--listed")),
    [](const auto& info) {
        std::string name = std::get<0>(info.param);
        std::replace(name.begin(), name.end(), '/', '_');
        return name + (*std::get<1>(info.param) == '\0' ? "" : "_listed");
    });

} // namespace
