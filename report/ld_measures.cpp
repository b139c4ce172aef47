#include "report/ld_measures.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace ld {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kEpsilon = 1e-16;
constexpr double kTiny = 1e-300;
constexpr int kMaxTerms = 100000;

// ln(x^a e^-x / Gamma(a)), the common factor of both expansions of Q.
double gamma_prefactor_log(double a, double x) {
    return a * std::log(x) - x - std::lgamma(a);
}

// Lower regularised gamma P(a, x) by its power series; converges fast for x < a + 1.
double lower_gamma_series(double a, double x) {
    double term = 1.0 / a;
    double sum = term;
    for (int n = 1; n < kMaxTerms; ++n) {
        term *= x / (a + n);
        sum += term;
        if (std::fabs(term) < std::fabs(sum) * kEpsilon) {
            break;
        }
    }
    return sum * std::exp(gamma_prefactor_log(a, x));
}

// Upper regularised gamma Q(a, x) by its continued fraction (modified Lentz);
// converges fast for x >= a + 1.
double upper_gamma_fraction(double a, double x) {
    double b = x + 1.0 - a;
    double c = 1.0 / kTiny;
    double d = 1.0 / b;
    double value = d;
    for (int i = 1; i < kMaxTerms; ++i) {
        const double an = -i * (i - a);
        b += 2.0;
        d = an * d + b;
        if (std::fabs(d) < kTiny) {
            d = kTiny;
        }
        c = b + an / c;
        if (std::fabs(c) < kTiny) {
            c = kTiny;
        }
        d = 1.0 / d;
        const double step = d * c;
        value *= step;
        if (std::fabs(step - 1.0) < kEpsilon) {
            break;
        }
    }
    return std::exp(gamma_prefactor_log(a, x)) * value;
}

// Continued fraction of the incomplete beta function (modified Lentz).
double beta_fraction(double a, double b, double x) {
    double f = 1.0;
    double c = 1.0;
    double d = 0.0;
    for (int i = 0; i < kMaxTerms; ++i) {
        const int m = i / 2;
        double numerator = 1.0;
        if (i > 0 && i % 2 == 0) {
            numerator = m * (b - m) * x / ((a + 2.0 * m - 1.0) * (a + 2.0 * m));
        } else if (i > 0) {
            numerator = -(a + m) * (a + b + m) * x / ((a + 2.0 * m) * (a + 2.0 * m + 1.0));
        }
        d = 1.0 + numerator * d;
        if (std::fabs(d) < kTiny) {
            d = kTiny;
        }
        d = 1.0 / d;
        c = 1.0 + numerator / c;
        if (std::fabs(c) < kTiny) {
            c = kTiny;
        }
        const double step = c * d;
        f *= step;
        if (std::fabs(1.0 - step) < kEpsilon) {
            break;
        }
    }
    return f - 1.0;
}

// The x at which I_x(a, b) reaches `target`, by bisection: the function is
// increasing, and bisection cannot step outside [0, 1].
double inverse_incomplete_beta(double a, double b, double target) {
    double low = 0.0;
    double high = 1.0;
    for (int i = 0; i < 200; ++i) {
        const double mid = 0.5 * (low + high);
        if (mid == low || mid == high) {
            break;
        }
        if (incomplete_beta(a, b, mid) < target) {
            low = mid;
        } else {
            high = mid;
        }
    }
    return 0.5 * (low + high);
}

} // namespace

PairMeasures pair_measures(double h, double p, double q) {
    PairMeasures m;
    m.d = h - p * q;
    const double d_max =
        m.d > 0.0 ? std::min(p * (1.0 - q), (1.0 - p) * q) : std::min(p * q, (1.0 - p) * (1.0 - q));
    // Frequencies that sum to 1 only up to rounding could take the ratio a
    // last bit past its bound.
    m.d_prime = d_max > 0.0 ? std::clamp(m.d / d_max, -1.0, 1.0) : kNaN;
    const double variances = p * (1.0 - p) * q * (1.0 - q);
    m.r_squared = variances > 0.0 ? m.d * m.d / variances : kNaN;
    return m;
}

TableMeasures table_measures(const std::vector<double>& p, const std::vector<double>& q,
                             const std::vector<std::vector<double>>& h) {
    TableMeasures t;
    const auto k = static_cast<std::int32_t>(p.size());
    const auto l = static_cast<std::int32_t>(q.size());
    t.df = k > 0 && l > 0 ? (k - 1) * (l - 1) : 0;
    double chi = 0.0;
    t.cells.resize(p.size());
    for (std::size_t i = 0; i < p.size(); ++i) {
        for (std::size_t j = 0; j < q.size(); ++j) {
            const PairMeasures m = pair_measures(h[i][j], p[i], q[j]);
            t.cells[i].push_back(m);
            if (!std::isnan(m.d_prime)) {
                t.overall_d_prime += p[i] * q[j] * std::fabs(m.d_prime);
            }
            chi += m.d * m.d / (p[i] * q[j]);
        }
    }
    const std::int32_t smaller = std::min(k, l);
    t.wn = smaller >= 2 ? std::sqrt(chi / (smaller - 1)) : kNaN;
    if (smaller < 2) {
        t.overall_d_prime = kNaN;
    }
    return t;
}

double upper_gamma_q(double a, double x) {
    if (!(a > 0.0) || std::isnan(x)) {
        return kNaN;
    }
    if (x <= 0.0) {
        return 1.0;
    }
    if (std::isinf(x)) {
        return 0.0;
    }
    return x < a + 1.0 ? 1.0 - lower_gamma_series(a, x) : upper_gamma_fraction(a, x);
}

double chi_square_p(double x, double df) {
    if (!(df > 0.0) || std::isnan(x)) {
        return kNaN;
    }
    return upper_gamma_q(0.5 * df, 0.5 * x);
}

double chi_square_density(double x, double df) {
    if (!(df > 0.0) || std::isnan(x) || x < 0.0) {
        return kNaN;
    }
    const double k = 0.5 * df;
    if (x == 0.0) {
        return df < 2.0 ? std::numeric_limits<double>::infinity() : (df == 2.0 ? 0.5 : 0.0);
    }
    return std::exp((k - 1.0) * std::log(x) - 0.5 * x - k * std::log(2.0) - std::lgamma(k));
}

double incomplete_beta(double a, double b, double x) {
    if (!(a > 0.0) || !(b > 0.0) || std::isnan(x)) {
        return kNaN;
    }
    if (x <= 0.0) {
        return 0.0;
    }
    if (x >= 1.0) {
        return 1.0;
    }
    const double front = std::exp(std::lgamma(a + b) - std::lgamma(a) - std::lgamma(b) +
                                  a * std::log(x) + b * std::log1p(-x));
    // The fraction converges quickly only below the mean; above it, use the
    // symmetry I_x(a, b) = 1 - I_{1-x}(b, a).
    if (x < (a + 1.0) / (a + b + 2.0)) {
        return front * beta_fraction(a, b, x) / a;
    }
    return 1.0 - front * beta_fraction(b, a, 1.0 - x) / b;
}

double monte_carlo_p(std::int64_t r, std::int64_t n) {
    return (static_cast<double>(r) + 1.0) / (static_cast<double>(n) + 1.0);
}

Interval clopper_pearson(std::int64_t r, std::int64_t n, double confidence) {
    Interval interval;
    if (n <= 0 || r < 0 || r > n) {
        return {kNaN, kNaN};
    }
    const double alpha = 1.0 - confidence;
    const auto successes = static_cast<double>(r);
    const auto failures = static_cast<double>(n - r);
    interval.lower = r == 0 ? 0.0 : inverse_incomplete_beta(successes, failures + 1.0, 0.5 * alpha);
    interval.upper =
        r == n ? 1.0 : inverse_incomplete_beta(successes + 1.0, failures, 1.0 - 0.5 * alpha);
    return interval;
}

} // namespace ld
