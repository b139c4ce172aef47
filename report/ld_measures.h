#pragma once

#include <cstdint>
#include <vector>

// Linkage-disequilibrium measures and the P-values around the likelihood
// ratio: pure functions of frequencies and counts, with no knowledge of how
// they were estimated. An undefined value (a denominator of zero) is NaN.
namespace ld {

struct PairMeasures {
    double d = 0.0;         // h - p q
    double d_prime = 0.0;   // d over its largest possible magnitude given p and q
    double r_squared = 0.0; // d squared over the product of the two allele variances
};

// One haplotype of frequency `h` whose alleles have frequencies `p` and `q`.
PairMeasures pair_measures(double h, double p, double q);

// A two-locus table: `h[i][j]` is the frequency of the haplotype of allele i
// of the first locus (frequency p[i]) and allele j of the second (q[j]).
// Every allele listed has a non-zero frequency.
struct TableMeasures {
    std::vector<std::vector<PairMeasures>> cells;
    double overall_d_prime = 0.0; // sum of p q |D'| over the cells
    double wn = 0.0;              // sqrt(sum D^2 / (p q) / (min(k, l) - 1))
    std::int32_t df = 0;          // (k - 1)(l - 1)
};

TableMeasures table_measures(const std::vector<double>& p, const std::vector<double>& q,
                             const std::vector<std::vector<double>>& h);

// Regularised upper incomplete gamma function Q(a, x) = Gamma(a, x) / Gamma(a), a > 0.
double upper_gamma_q(double a, double x);

// P(X >= x) for a chi-square variable with `df` degrees of freedom; 1 for x <= 0.
double chi_square_p(double x, double df);

// Density of the chi-square distribution with `df` degrees of freedom at x >= 0.
double chi_square_density(double x, double df);

// Regularised incomplete beta function I_x(a, b), a, b > 0, 0 <= x <= 1.
double incomplete_beta(double a, double b, double x);

// Monte Carlo P-value (r + 1) / (n + 1) of r simulated statistics at least the
// observed one among n: it counts the observed sample among the draws, so it is
// never 0.
double monte_carlo_p(std::int64_t r, std::int64_t n);

// Exact (Clopper-Pearson) two-sided interval for a binomial proportion of which
// r successes in n trials were seen; n > 0, 0 <= r <= n.
struct Interval {
    double lower = 0.0;
    double upper = 1.0;
};
Interval clopper_pearson(std::int64_t r, std::int64_t n, double confidence = 0.95);

} // namespace ld
