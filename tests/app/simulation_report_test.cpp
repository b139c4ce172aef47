// The simulated likelihood-ratio test: the counting rule, the exact layout of
// its rows and P-value block, whole runs compared with reviewed expected files,
// and a statistical check that the test tells equilibrium from association.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <iomanip>
#include <iostream>
#include <limits>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "app/driver.h"
#include "app/simulation_test.h"
#include "support/errors.h"
#include "support/random.h"
#include "tests/harness/e2e_harness.h"

namespace {

// ---------------------------------------------------------------- counting

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kFloatMax = 3.4028234663852886e+38;

TEST(SimulationTally, ValidBelowFloatMaxAndTiesCountInTheTail) {
    const struct {
        double equilibrium, ratio, observed;
        std::int32_t valid;
        double tail;
    } cases[] = {{-20.0, 6.02520111, 6.02520111, 1, 1.0}, // a tie counts
                 {-20.0, 9.5, 6.0, 1, 1.0},
                 {-20.0, std::nextafter(6.0, 0.0), 6.0, 1, 0.0},
                 // A zero-probability pedigree leaves the floor value, which is valid.
                 {-kFloatMax, 2 * kFloatMax, 6.0, 1, 1.0},
                 {kNaN, 100.0, 6.0, 0, 0.0},
                 {kFloatMax, 100.0, 6.0, 0, 0.0},
                 {1.0e39, 100.0, 6.0, 0, 0.0},
                 {std::numeric_limits<double>::infinity(), 100.0, 6.0, 0, 0.0},
                 {std::nextafter(kFloatMax, 0.0), 1.0, 6.0, 1, 0.0}};
    SimulationTally sum;
    std::int32_t valid = 0;
    double tail = 0.0;
    for (const auto& c : cases) {
        SimulationTally one;
        one.add(c.equilibrium, c.ratio, c.observed);
        EXPECT_EQ(c.valid, one.valid) << c.equilibrium << " " << c.ratio;
        EXPECT_EQ(c.tail, one.tail) << c.equilibrium << " " << c.ratio;
        sum.add(c.equilibrium, c.ratio, c.observed);
        valid += c.valid;
        tail += c.tail;
    }
    EXPECT_EQ(valid, sum.valid);
    EXPECT_EQ(tail, sum.tail);
}

// ---------------------------------------------------------------- layout

const std::string kDashes(45, '-');
const std::string kPValueTitle =
    "\n" + kDashes + "\nLinkage and Hardy-Weinberg equilbrium P-value\n" + kDashes;
const std::string kPValue = "\n\nP(Rand. logLhood ratio >= Obs. logLhood ratio) = ";

TEST(SimulationPValue, SevenOfOneHundredAndFiveDecimalsLeftOnTheStream) {
    SimulationTally tally;
    for (int i = 0; i < 100; ++i) {
        tally.add(-10.0, i < 7 ? 5.0 : 1.0, 5.0);
    }
    std::ostringstream report;
    write_p_value(report, tally, 100);
    EXPECT_EQ(kPValueTitle + kPValue + "     0.07000\n(100 valid cases out of 100)\n\n",
              report.str());
    report.str("");
    report << 0.5; // whatever the report writes next
    EXPECT_EQ("0.50000", report.str());
}

TEST(SimulationPValue, CountsAreThoseOfTheTallyNotOfTheRequest) {
    std::ostringstream report;
    write_p_value(report, SimulationTally{3.0, 3}, 4);
    write_p_value(report, SimulationTally{}, -3);
    EXPECT_EQ(kPValueTitle + kPValue + "     1.00000\n(3 valid cases out of 4)\n\n" + kPValueTitle +
                  "No valid case out of -3\n",
              report.str());
}

TEST(SimulationRow, ColumnsOfSixTwentyTwentyEighteenAndNine) {
    std::ostringstream report;
    report << std::scientific << std::left << std::setprecision(2); // not inherited
    write_simulation_row(report, 1, -17.39757347, -18.23696555, 1);
    write_simulation_row(report, 123456, -2.5, -2.5, 12);
    write_simulation_row(report, 2, -3.0, -kFloatMax, 1); // the floor in full
    EXPECT_EQ("     1        -17.39757347        -18.23696555        1.67878416        1\n"
              "123456         -2.50000000         -2.50000000        0.00000000       12\n"
              "     2         -3.00000000-340282346638528859811704183484516925440.00000000"
              "680564693277057719623408366969033850880.00000000        1\n",
              report.str());
}

// ---------------------------------------------------------------- whole runs

constexpr const char* kSeed = "2024";

std::string expected(const std::string& name) {
    return e2e::read_file(e2e::data_path("simulation/" + name));
}

e2e::Result run_program(const std::string& base, const std::string& data,
                        const std::string& seed = kSeed, const std::string& threads = "1") {
    return e2e::run(
        {{base, seed}, "", {{base + ".mbd", data}}, {{"TOVAQUOR_THREADS", threads}}, ""});
}

class SimulationRun : public ::testing::TestWithParam<const char*> {};

// Expected files reviewed by hand: header and titles always, no P-value block
// for 0 samples, the no-valid-case block for -3, untyped parents (including
// one absent parent with two partners), two samples sharing the stream, and
// 0 initial conditions, where every ratio rounds to the observed one and the
// ties give a P-value of 1.
TEST_P(SimulationRun, MatchesReviewedReportConsoleAndLog) {
    const std::string base = GetParam();
    // Simulated samples analysed on worker threads must leave the same bytes.
    for (const char* threads : {"1", "2", "4"}) {
        SCOPED_TRACE(std::string("threads ") + threads);
        const e2e::Result r = run_program(base, expected(base + ".mbd"), kSeed, threads);
        EXPECT_EQ(0, r.status);
        EXPECT_EQ(expected(base + ".out"), r.console);
        EXPECT_EQ(e2e::mask_times(expected(base + ".mbr")), e2e::mask_times(r.report));
        EXPECT_EQ(e2e::mask_times(expected(base + ".log")), e2e::mask_times(r.log));
    }
}

INSTANTIATE_TEST_SUITE_P(Reviewed, SimulationRun,
                         ::testing::Values("zero", "negative", "untyped_parents", "two_samples",
                                           "no_initial_conditions"));

// The rows of the simulation table of the report's sample `k` (0-based).
std::vector<std::string> simulation_rows(const std::string& report, int k) {
    const std::string titles = "LHood ratio    # maxima\n";
    std::size_t at = 0;
    for (int seen = 0; seen <= k; ++seen) {
        // Two title lines per sample: the estimation table's, then the simulation's.
        at = report.find(titles, at);
        at = report.find(titles, at + 1);
        if (at == std::string::npos) {
            return {};
        }
        at += titles.size();
    }
    std::vector<std::string> rows;
    std::istringstream lines(report.substr(at));
    std::string line;
    while (std::getline(lines, line) && !line.empty()) {
        rows.push_back(line);
    }
    return rows;
}

// The reviewed runs above give the same bytes for the same seed; another seed
// must reach the simulated samples.
TEST(SimulationStream, AnotherSeedDrawsOtherSamples) {
    const std::string data = expected("untyped_parents.mbd");
    const std::vector<std::string> rows = simulation_rows(run_program("a", data).report, 0);
    EXPECT_EQ(5U, rows.size());
    EXPECT_NE(rows, simulation_rows(run_program("a", data, "2025").report, 0));
}

TEST(SimulationStream, SecondSampleDrawsAfterTheFirstSamplesSimulations) {
    std::string data = expected("two_samples.mbd");
    ASSERT_EQ("2 3 2\n", data.substr(0, 6));
    const std::string three = run_program("two", data).report;
    data.replace(0, 6, "2 2 2\n");
    const std::string two = run_program("two", data).report;
    ASSERT_EQ(3U, simulation_rows(three, 0).size());
    ASSERT_EQ(2U, simulation_rows(two, 0).size());
    ASSERT_EQ(2U, simulation_rows(two, 1).size());
    for (std::size_t k = 0; k < 2; ++k) {
        EXPECT_EQ(simulation_rows(two, 0)[k], simulation_rows(three, 0)[k]);
        // One simulated sample fewer before it moves the second sample's draws.
        EXPECT_NE(simulation_rows(two, 1)[k], simulation_rows(three, 1)[k]);
    }
}

// ---------------------------------------------------------------- statistics

// Eight families of two typed parents and two children, and six single
// individuals, with haplotypes drawn either independently across loci or from
// three haplotypes only (complete association).
std::string generated_sample(bool associated) {
    const int n_families = 8;
    const int n_singles = 6;
    std::mt19937 gen(11);
    const char* locus1[] = {"1", "2", "3"};
    const char* locus2[] = {"a", "b", "c"};
    auto haplotype = [&]() {
        const std::uint32_t i = gen() % 3;
        const std::uint32_t j = associated ? i : gen() % 3;
        return std::string(locus1[i]) + " " + locus2[j];
    };
    std::ostringstream text;
    text << 4 * n_families + n_singles << " Generated\n";
    for (int f = 0; f < n_families; ++f) {
        const std::string father[2] = {haplotype(), haplotype()};
        const std::string mother[2] = {haplotype(), haplotype()};
        const std::string p = "P" + std::to_string(f);
        const std::string m = "M" + std::to_string(f);
        text << p << " 0 0\n" << father[0] << "\n" << father[1] << "\n";
        text << m << " 0 0\n" << mother[0] << "\n" << mother[1] << "\n";
        for (int c = 0; c < 2; ++c) {
            text << "C" << f << "_" << c << " " << p << " " << m << "\n"
                 << father[gen() % 2] << "\n"
                 << mother[gen() % 2] << "\n";
        }
    }
    for (int s = 0; s < n_singles; ++s) {
        text << "S" << s << " 0 0\n" << haplotype() << "\n" << haplotype() << "\n";
    }
    return text.str();
}

struct Outcome {
    double observed_ratio = 0.0;
    std::vector<double> simulated_ratios;
    std::string p_value;
};

class SimulationStatistics : public ::testing::Test {
  protected:
    void SetUp() override {
        saved_log_ = log_stream;
        log_stream = &log_;
        saved_console_ = std::cout.rdbuf(console_.rdbuf());
    }
    void TearDown() override {
        std::cout.rdbuf(saved_console_);
        log_stream = saved_log_;
    }

    static Outcome analyse(const std::string& sample, std::int32_t seed) {
        std::int32_t generator = -seed;
        random_uniform(generator);
        std::istringstream data("1 25 2\n" + sample);
        std::ostringstream report;
        run_analysis(data, report);
        const std::string text = report.str();
        Outcome out;
        std::istringstream table(text.substr(text.find("# maxima\n") + 9));
        double s = 0.0;
        double e = 0.0;
        table >> s >> e >> out.observed_ratio;
        for (const std::string& row : simulation_rows(text, 0)) {
            std::istringstream fields(row);
            int n = 0;
            double ratio = 0.0;
            fields >> n >> s >> e >> ratio;
            out.simulated_ratios.push_back(ratio);
        }
        const std::string label = "Obs. logLhood ratio) = ";
        out.p_value = text.substr(text.find(label) + label.size(), 12);
        return out;
    }

  private:
    std::ostringstream log_;
    std::ostringstream console_;
    std::ostream* saved_log_ = nullptr;
    std::streambuf* saved_console_ = nullptr;
};

TEST_F(SimulationStatistics, EquilibriumSampleLiesAmongItsSimulations) {
    const Outcome out = analyse(generated_sample(false), 31);
    ASSERT_EQ(25U, out.simulated_ratios.size());
    const auto [low, high] =
        std::minmax_element(out.simulated_ratios.begin(), out.simulated_ratios.end());
    EXPECT_GT(out.observed_ratio, 0.0);
    EXPECT_GE(out.observed_ratio, *low);
    EXPECT_LE(out.observed_ratio, *high);
    EXPECT_GE(std::stod(out.p_value), 0.05) << out.p_value;
}

TEST_F(SimulationStatistics, AssociatedSampleIsRejected) {
    const Outcome out = analyse(generated_sample(true), 31);
    ASSERT_EQ(25U, out.simulated_ratios.size());
    for (double r : out.simulated_ratios) {
        EXPECT_LT(2.0 * r, out.observed_ratio);
    }
    EXPECT_EQ("     0.00000", out.p_value);
}

} // namespace
