// The disequilibrium measures against tables worked by hand, and the P-value
// functions against closed forms and the binomial sums that define them.
#include "report/ld_measures.h"
#include "report/number_format.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

constexpr double kTight = 1e-12;

struct Cell {
    std::size_t i, j;
    double d, d_prime, r_squared;
};

struct HandTable {
    const char* what;
    std::vector<double> p, q;
    std::vector<std::vector<double>> h;
    std::vector<Cell> cells;
    double overall_d_prime, wn;
    std::int32_t df;
};

// Every value below was worked out on paper from the definitions.
const HandTable kTables[] = {
    {"2x2 partial association",
     {0.6, 0.4},
     {0.7, 0.3},
     {{0.5, 0.1}, {0.2, 0.2}},
     {{0, 0, 0.08, 4.0 / 9.0, 0.0064 / 0.0504},
      {0, 1, -0.08, -4.0 / 9.0, 0.0064 / 0.0504},
      {1, 0, -0.08, -4.0 / 9.0, 0.0064 / 0.0504},
      {1, 1, 0.08, 4.0 / 9.0, 0.0064 / 0.0504}},
     4.0 / 9.0,
     std::sqrt(0.0064 / 0.0504), // for two alleles each Wn is |r|
     1},
    {"2x2 complete association, D' = +1 and -1",
     {0.5, 0.5},
     {0.5, 0.5},
     {{0.5, 0.0}, {0.0, 0.5}},
     {{0, 0, 0.25, 1.0, 1.0},
      {0, 1, -0.25, -1.0, 1.0},
      {1, 0, -0.25, -1.0, 1.0},
      {1, 1, 0.25, 1.0, 1.0}},
     1.0,
     1.0,
     1},
    {"2x2 a haplotype absent, unequal frequencies",
     {0.3, 0.7},
     {0.4, 0.6},
     {{0.0, 0.3}, {0.4, 0.3}},
     {{0, 0, -0.12, -1.0, 2.0 / 7.0},
      {0, 1, 0.12, 1.0, 2.0 / 7.0},
      {1, 0, 0.12, 1.0, 2.0 / 7.0},
      {1, 1, -0.12, -1.0, 2.0 / 7.0}},
     1.0,
     std::sqrt(2.0 / 7.0),
     1},
    {"3x2",
     {0.5, 0.3, 0.2},
     {0.6, 0.4},
     {{0.4, 0.1}, {0.1, 0.2}, {0.1, 0.1}},
     {{0, 0, 0.1, 0.5, 1.0 / 6.0},
      {0, 1, -0.1, -0.5, 1.0 / 6.0},
      {1, 0, -0.08, -4.0 / 9.0, 0.0064 / 0.0504},
      {1, 1, 0.08, 4.0 / 9.0, 0.0064 / 0.0504},
      {2, 0, -0.02, -1.0 / 6.0, 0.0004 / 0.0384},
      {2, 1, 0.02, 1.0 / 6.0, 0.0004 / 0.0384}},
     5.0 / 12.0,
     std::sqrt(13.0 / 72.0),
     2},
    {"3x2 independence",
     {0.5, 0.3, 0.2},
     {0.6, 0.4},
     {{0.3, 0.2}, {0.18, 0.12}, {0.12, 0.08}},
     {{0, 0, 0.0, 0.0, 0.0}, {1, 1, 0.0, 0.0, 0.0}, {2, 1, 0.0, 0.0, 0.0}},
     0.0,
     0.0,
     2},
};

class HandWorked : public ::testing::TestWithParam<HandTable> {};

TEST_P(HandWorked, EveryMeasureMatches) {
    const HandTable& t = GetParam();
    const ld::TableMeasures m = ld::table_measures(t.p, t.q, t.h);
    for (const Cell& c : t.cells) {
        SCOPED_TRACE(testing::Message() << "cell " << c.i << "," << c.j);
        EXPECT_NEAR(c.d, m.cells[c.i][c.j].d, kTight);
        EXPECT_NEAR(c.d_prime, m.cells[c.i][c.j].d_prime, kTight);
        EXPECT_NEAR(c.r_squared, m.cells[c.i][c.j].r_squared, kTight);
    }
    EXPECT_NEAR(t.overall_d_prime, m.overall_d_prime, kTight);
    EXPECT_NEAR(t.wn, m.wn, kTight);
    EXPECT_EQ(t.df, m.df);
}

INSTANTIATE_TEST_SUITE_P(Tables, HandWorked, ::testing::ValuesIn(kTables),
                         [](const auto& info) { return "case" + std::to_string(info.index); });

TEST(PairMeasures, MonomorphicLocusLeavesDPrimeAndRSquaredUndefined) {
    // One allele only at the first locus: no disequilibrium can exist, and
    // the ratios that would divide by zero are not numbers, not infinities.
    const ld::PairMeasures m = ld::pair_measures(0.3, 1.0, 0.3);
    EXPECT_NEAR(0.0, m.d, kTight);
    EXPECT_TRUE(std::isnan(m.d_prime));
    EXPECT_TRUE(std::isnan(m.r_squared));
    const ld::TableMeasures t = ld::table_measures({1.0}, {0.3, 0.7}, {{0.3, 0.7}});
    EXPECT_EQ(0, t.df);
    EXPECT_TRUE(std::isnan(t.wn));
    EXPECT_TRUE(std::isnan(t.overall_d_prime));
}

TEST(ChiSquare, MatchesClosedForms) {
    // Two degrees of freedom: P = exp(-x/2). One: P = erfc(sqrt(x/2)). Even
    // df = 2k: P = exp(-x/2) sum_{i<k} (x/2)^i / i!.
    for (double x : {0.01, 0.5, 1.0, 3.84, 10.0, 32.5, 80.0}) {
        SCOPED_TRACE(x);
        EXPECT_NEAR(std::exp(-x / 2), ld::chi_square_p(x, 2), 1e-14);
        EXPECT_NEAR(std::erfc(std::sqrt(x / 2)), ld::chi_square_p(x, 1), 1e-13);
        double term = 1.0;
        double sum = 0.0;
        for (int i = 0; i < 6; ++i) {
            sum += term;
            term *= x / 2 / (i + 1);
        }
        const double p12 = std::exp(-x / 2) * sum;
        EXPECT_NEAR(p12, ld::chi_square_p(x, 12), 1e-14 + 1e-12 * p12);
    }
    EXPECT_NEAR(0.05, ld::chi_square_p(3.841458820694124, 1), 1e-12);
    EXPECT_EQ(1.0, ld::chi_square_p(0.0, 12));
    EXPECT_EQ(1.0, ld::chi_square_p(-3.6e-7, 12)); // a ratio that rounding made negative
    EXPECT_TRUE(std::isnan(ld::chi_square_p(5.0, 0)));
}

TEST(ChiSquare, DensityIntegratesToTheTail) {
    // The tail from x is the integral of the density from x on (Simpson's rule).
    const double df = 5;
    const double from = 2.0;
    const double to = 120.0;
    const int n = 20000;
    const double step = (to - from) / n;
    double sum = ld::chi_square_density(from, df) + ld::chi_square_density(to, df);
    for (int i = 1; i < n; ++i) {
        sum += (i % 2 == 1 ? 4.0 : 2.0) * ld::chi_square_density(from + i * step, df);
    }
    EXPECT_NEAR(ld::chi_square_p(from, df), sum * step / 3.0, 1e-10);
    EXPECT_EQ(0.5, ld::chi_square_density(0.0, 2));
}

// P(X <= r) for X binomial(n, p).
double binomial_cdf(std::int64_t r, std::int64_t n, double p) {
    double sum = 0.0;
    for (std::int64_t k = 0; k <= r; ++k) {
        sum += std::exp(std::lgamma(n + 1.0) - std::lgamma(k + 1.0) - std::lgamma(n - k + 1.0) +
                        k * std::log(p) + (n - k) * std::log1p(-p));
    }
    return sum;
}

TEST(ClopperPearson, BoundsAreWhereTheBinomialTailsReachTwoAndAHalfPercent) {
    struct Case {
        std::int64_t r, n;
    };
    for (const Case c :
         {Case{2, 500}, Case{1, 20}, Case{7, 10}, Case{250, 500}, Case{3, 3}, Case{0, 4}}) {
        SCOPED_TRACE(testing::Message() << c.r << " of " << c.n);
        const ld::Interval i = ld::clopper_pearson(c.r, c.n);
        if (c.r > 0) {
            EXPECT_NEAR(0.025, 1.0 - binomial_cdf(c.r - 1, c.n, i.lower), 1e-10);
        } else {
            EXPECT_EQ(0.0, i.lower);
        }
        if (c.r < c.n) {
            EXPECT_NEAR(0.025, binomial_cdf(c.r, c.n, i.upper), 1e-10);
        } else {
            EXPECT_EQ(1.0, i.upper);
        }
    }
    // None seen in 500: the upper bound has the closed form 1 - 0.025^(1/500).
    EXPECT_NEAR(1.0 - std::pow(0.025, 1.0 / 500), ld::clopper_pearson(0, 500).upper, 1e-14);
}

TEST(IncompleteBeta, MatchesClosedForms) {
    // I_x(1, b) = 1 - (1 - x)^b and I_x(a, 1) = x^a; I_x(a, b) = 1 - I_{1-x}(b, a).
    for (double x : {0.001, 0.2, 0.5, 0.93}) {
        SCOPED_TRACE(x);
        EXPECT_NEAR(1.0 - std::pow(1.0 - x, 7.0), ld::incomplete_beta(1.0, 7.0, x), 1e-14);
        EXPECT_NEAR(std::pow(x, 3.5), ld::incomplete_beta(3.5, 1.0, x), 1e-14);
        EXPECT_NEAR(1.0 - ld::incomplete_beta(4.0, 9.0, 1.0 - x), ld::incomplete_beta(9.0, 4.0, x),
                    1e-14);
    }
}

} // namespace

namespace {

TEST(PValueText, AtLeastTwoSignificantDigitsScientificWhenSmall) {
    EXPECT_EQ("0.500", p_value_text(0.5));
    EXPECT_EQ("0.012", p_value_text(0.0123));
    EXPECT_EQ("0.0012", p_value_text(0.00123));
    EXPECT_EQ("9.9e-04", p_value_text(0.00099));
    EXPECT_EQ("3.2e-12", p_value_text(3.2e-12));
    EXPECT_EQ("1.000", p_value_text(1.0));
    EXPECT_EQ("0", p_value_text(0.0));
    EXPECT_EQ("", p_value_text(std::nan("")));
}

} // namespace
