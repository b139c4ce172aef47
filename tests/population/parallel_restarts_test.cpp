// EM runs side by side beside the pedigree database give, bit for bit, what
// the same runs give one after the other through it, with either engine.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "pedigree/ped_db.h"
#include "population/parallel_restarts.h"
#include "tests/pedigree/sample_builder.h"

namespace {

using pedtest::AllCombinations;
using pedtest::Sample;

// Families with both, one or no parent absent, a sib shared by no one, and
// singles; "#" makes the table of pairs larger than the data.
const char* const kSample = "F1 0 0\n1 a\n2 b\nM1 0 0\n1 a\n3 a\nC1 F1 M1\n2 a\n1 a\n"
                            "C2 F1 M1\n1 b\n3 a\nC3 P Q\n2 a\n3 b\nC4 P Q\n2 b\n3 a\n"
                            "C5 F1 R\n1 b\n2 a\nS1 0 0\n1 a\n3 b\nS2 0 0\n2 b\n2 a\n"
                            "S3 0 0\n3 a\n1 b\n";

struct Outcome {
    std::vector<double> frequencies;
    float ln_l = 0.0F;
    std::int64_t iterations = 0;
    bool operator==(const Outcome& o) const {
        return frequencies == o.frequencies && ln_l == o.ln_l && iterations == o.iterations;
    }
};

// The estimation's own loop over the database, from `start`.
Outcome through_database(TPedDB& peds, TPopHaploDB& haplotypes, const std::vector<double>& start,
                         std::int32_t max_iterations, double tolerance) {
    for (std::int32_t h = 0; h < haplotypes.size(); ++h) {
        haplotypes[h]->_freq = start[static_cast<std::size_t>(h)];
        haplotypes[h]->_prev_freq = 0.0;
    }
    Outcome out;
    const std::int64_t before = peds._em_iterations;
    out.ln_l = run_em_through_database(peds, haplotypes, max_iterations, tolerance);
    out.iterations = peds._em_iterations - before;
    for (std::int32_t h = 0; h < haplotypes.size(); ++h) {
        out.frequencies.push_back(haplotypes[h]->_freq);
    }
    return out;
}

class ParallelRestartsOf : public ::testing::TestWithParam<EngineKind> {};

TEST_P(ParallelRestartsOf, SameRunsAsThroughTheDatabaseOnAnyNumberOfThreads) {
    AllCombinations all(true);
    Sample s(kSample);
    s.use_engine(GetParam());
    s.complete(true);
    s.build();
    ASSERT_TRUE(s.peds.runs_beside(s.haplotypes));
    // Starting points of different shapes; the iteration caps stop some runs
    // before they converge.
    std::vector<std::vector<double>> starts;
    const auto n = static_cast<std::size_t>(s.haplotypes.size());
    for (std::size_t k = 0; k < 5; ++k) {
        std::vector<double> f(n);
        double sum = 0.0;
        for (std::size_t h = 0; h < n; ++h) {
            f[h] = 1.0 + static_cast<double>((h * (k + 3)) % 7);
            sum += f[h];
        }
        for (double& x : f) {
            x /= sum;
        }
        starts.push_back(f);
    }
    const double tolerance = static_cast<double>(1e-7F);
    for (const std::int32_t max_iterations : {3, 10000}) {
        std::vector<Outcome> expected;
        for (const std::vector<double>& start : starts) {
            expected.push_back(
                through_database(s.peds, s.haplotypes, start, max_iterations, tolerance));
        }
        for (const std::int32_t threads : {1, 2, 3, 8}) {
            const ParallelRestarts runs(s.peds.engine(), s.peds._pedigrees, starts, max_iterations,
                                        tolerance, threads);
            ASSERT_EQ(starts.size(), runs.results().size());
            for (std::size_t k = 0; k < starts.size(); ++k) {
                const ParallelRestarts::Result& r = runs.results()[k];
                EXPECT_TRUE(r.regular);
                EXPECT_EQ(expected[k], (Outcome{r.frequencies, r.ln_l, r.iterations}))
                    << "run " << k << ", " << threads << " threads, cap " << max_iterations;
            }
        }
    }
}

TEST_P(ParallelRestartsOf, ARunMeetingAZeroProbabilityIsLeftToTheDatabase) {
    AllCombinations all(true);
    Sample s(kSample);
    s.use_engine(GetParam());
    s.complete(true);
    s.build();
    ASSERT_TRUE(s.peds.runs_beside(s.haplotypes));
    const auto n = static_cast<std::size_t>(s.haplotypes.size());
    // The second start gives every haplotype of S1 a frequency of zero.
    std::vector<std::vector<double>> starts(3,
                                            std::vector<double>(n, 1.0 / static_cast<double>(n)));
    for (const TPopHaplotype* h : {s.hap("1 a"), s.hap("3 b"), s.hap("1 b"), s.hap("3 a")}) {
        starts[1][static_cast<std::size_t>(h->_index)] = 0.0;
    }
    for (const std::int32_t threads : {1, 2, 3}) {
        const ParallelRestarts runs(s.peds.engine(), s.peds._pedigrees, starts, 10000,
                                    static_cast<double>(1e-7F), threads);
        EXPECT_TRUE(runs.results()[0].regular);
        EXPECT_FALSE(runs.results()[1].regular);
        EXPECT_FALSE(runs.results()[2].regular) << "runs after it go through the database too";
    }
}

INSTANTIATE_TEST_SUITE_P(Engines, ParallelRestartsOf,
                         ::testing::Values(EngineKind::summed, EngineKind::listed),
                         [](const auto& info) {
                             return info.param == EngineKind::summed ? "Summed" : "Listed";
                         });

} // namespace
