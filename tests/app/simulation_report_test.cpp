// The simulated likelihood-ratio test: the counting rule and a statistical check that the test
// tells equilibrium from association. Whole runs are pinned in fixtures_test.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <iomanip>
#include <iterator>
#include <limits>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "app/simulation.h"
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
    // One tally for all: each case must add to what the earlier ones left.
    SimulationTally tally;
    std::int32_t valid = 0;
    double tail = 0.0;
    for (const auto& c : cases) {
        tally.add(c.equilibrium, c.ratio, c.observed);
        valid += c.valid;
        tail += c.tail;
        EXPECT_EQ(valid, tally.valid) << c.equilibrium << " " << c.ratio;
        EXPECT_EQ(tail, tally.tail) << c.equilibrium << " " << c.ratio;
    }
}

// ---------------------------------------------------------------- statistics

// Eight families of two typed parents and two children, and six single
// individuals, with haplotypes drawn either independently across loci or from
// three haplotypes only (complete association).
std::string generated_sample(bool associated) {
    std::mt19937 gen(11);
    auto haplotype = [&]() {
        const std::uint32_t i = gen() % 3;
        const std::uint32_t j = associated ? i : gen() % 3;
        return std::to_string(i + 1) + " " + static_cast<char>('a' + j) + "\n";
    };
    std::ostringstream text;
    text << 4 * 8 + 6 << " Generated\n";
    for (int f = 0; f < 8; ++f) {
        const std::string p = "P" + std::to_string(f);
        const std::string m = "M" + std::to_string(f);
        const std::string father[2] = {haplotype(), haplotype()};
        const std::string mother[2] = {haplotype(), haplotype()};
        text << p << " 0 0\n" << father[0] << father[1] << m << " 0 0\n" << mother[0] << mother[1];
        for (int c = 0; c < 2; ++c) {
            text << "C" << f << "_" << c << " " << p << " " << m << "\n"
                 << father[gen() % 2] << mother[gen() % 2];
        }
    }
    for (int s = 0; s < 6; ++s) {
        text << "S" << s << " 0 0\n" << haplotype() << haplotype();
    }
    return text.str();
}

// The likelihood ratios of a report, the last but one column of its tables: the
// observed one, then the simulated ones.
std::vector<double> ratios(const std::string& report) {
    std::vector<double> out;
    const std::string titles = "# maxima\n";
    for (auto at = report.find(titles); at != std::string::npos; at = report.find(titles, at + 1)) {
        std::istringstream rows(report.substr(at + titles.size()));
        for (std::string row; std::getline(rows, row) && !row.empty();) {
            std::istringstream fields(row);
            const std::vector<double> f{std::istream_iterator<double>(fields), {}};
            out.push_back(f.at(f.size() - 2));
        }
    }
    return out;
}

std::string p_value(const std::string& report) {
    const std::string label = "Obs. logLhood ratio) = ";
    return report.substr(report.find(label) + label.size(), 12);
}

// 25 simulated samples.
std::string run_generated(bool associated) {
    return e2e::run_data("generated", "1 25 2\n" + generated_sample(associated), "31").report;
}

TEST(SimulationStatistics, EquilibriumSampleLiesAmongItsSimulations) {
    const std::string report = run_generated(false);
    const std::vector<double> r = ratios(report);
    ASSERT_EQ(26U, r.size());
    const auto [low, high] = std::minmax_element(r.begin() + 1, r.end());
    EXPECT_GT(r[0], 0.0);
    EXPECT_GE(r[0], *low);
    EXPECT_LE(r[0], *high);
    EXPECT_GE(std::stod(p_value(report)), 0.05) << p_value(report);
}

TEST(SimulationStatistics, AssociatedSampleIsRejected) {
    const std::string report = run_generated(true);
    const std::vector<double> r = ratios(report);
    ASSERT_EQ(26U, r.size());
    for (std::size_t k = 1; k < r.size(); ++k) {
        EXPECT_LT(2.0 * r[k], r[0]);
    }
    EXPECT_EQ("     0.00000", p_value(report));
}

} // namespace
