#include "population/hardy_weinberg.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "support/side_random.h"

namespace {

// Tables at most this much less probable than the observed one (relative)
// count as equally probable: rounding must not drop the observed table.
constexpr double kLogTolerance = 1e-7;
constexpr std::int32_t kMostEnumeratedAlleles = 40;

// ln of a table's probability without the factor shared by every table of
// the same allele counts: 2^H / prod n_ij!, from one key per genotype
// (smaller allele times k plus larger), which it sorts. Sparse: the alleles
// may be thousands.
double log_weight(std::vector<std::uint64_t>& keys, std::uint64_t k,
                  const std::vector<double>& log_factorial) {
    std::sort(keys.begin(), keys.end());
    double w = 0.0;
    for (std::size_t i = 0; i < keys.size();) {
        std::size_t j = i;
        while (j < keys.size() && keys[j] == keys[i]) {
            ++j;
        }
        const bool heterozygote = keys[i] / k != keys[i] % k;
        w += (heterozygote ? static_cast<double>(j - i) * std::numbers::ln2 : 0.0) -
             log_factorial[j - i];
        i = j;
    }
    return w;
}

std::uint64_t genotype_key(std::int32_t a, std::int32_t b, std::uint64_t k) {
    return static_cast<std::uint64_t>(std::min(a, b)) * k +
           static_cast<std::uint64_t>(std::max(a, b));
}

// Walks every table with the remaining allele counts `r`, cell by cell in
// rows: the homozygote first, then the heterozygotes; the last cell of a row
// takes what the row has left.
class Enumeration {
  public:
    Enumeration(std::vector<std::int64_t> counts, double observed, double constant,
                const std::vector<double>& log_factorial)
        : _r(std::move(counts)), _observed(observed), _constant(constant), _lf(log_factorial),
          _k(static_cast<std::int32_t>(_r.size())) {}

    // False when the tables are too many to walk.
    bool run(double& p) {
        _p = 0.0;
        if (!cell(0, 0, 0.0)) {
            return false;
        }
        p = _p;
        return true;
    }

  private:
    bool cell(std::int32_t i, std::int32_t j, double w) {
        if (++_steps > HardyWeinbergTest::kEnumerationSteps) {
            return false;
        }
        if (i == _k) {
            if (w <= _observed + kLogTolerance * std::max(1.0, std::fabs(_observed))) {
                _p += std::exp(_constant + w);
            }
            return true;
        }
        auto& ri = _r[static_cast<std::size_t>(i)];
        if (j == i) {
            if (i == _k - 1) {
                if (ri % 2 != 0) {
                    return true;
                }
                const std::int64_t n = ri / 2;
                ri = 0;
                const bool ok = cell(_k, _k, w - _lf[static_cast<std::size_t>(n)]);
                ri = 2 * n;
                return ok;
            }
            for (std::int64_t n = 0; 2 * n <= ri; ++n) {
                ri -= 2 * n;
                const bool ok = cell(i, i + 1, w - _lf[static_cast<std::size_t>(n)]);
                ri += 2 * n;
                if (!ok) {
                    return false;
                }
            }
            return true;
        }
        auto& rj = _r[static_cast<std::size_t>(j)];
        const bool last = j == _k - 1;
        const std::int64_t low = last ? ri : 0;
        const std::int64_t high = std::min(ri, rj);
        for (std::int64_t n = low; n <= high; ++n) {
            ri -= n;
            rj -= n;
            const double next =
                w + static_cast<double>(n) * std::numbers::ln2 - _lf[static_cast<std::size_t>(n)];
            const bool ok = last ? cell(i + 1, i + 1, next) : cell(i, j + 1, next);
            ri += n;
            rj += n;
            if (!ok) {
                return false;
            }
        }
        return true;
    }

    std::vector<std::int64_t> _r;
    double _observed;
    double _constant;
    const std::vector<double>& _lf;
    std::int32_t _k;
    std::int64_t _steps = 0;
    double _p = 0.0;
};

} // namespace

HardyWeinbergTest
hardy_weinberg_test(const std::vector<std::pair<std::int32_t, std::int32_t>>& genotypes,
                    std::int32_t n_alleles, SideRandom& random) {
    HardyWeinbergTest t;
    t.individuals = static_cast<std::int32_t>(genotypes.size());
    if (genotypes.empty()) {
        t.observed_heterozygosity = t.expected_heterozygosity = t.p_value = std::nan("");
        return t;
    }
    // Only the alleles seen take part: renumber them 0 .. k-1.
    std::vector<std::int64_t> all_counts(static_cast<std::size_t>(n_alleles), 0);
    std::int64_t heterozygotes = 0;
    for (const auto& [a, b] : genotypes) {
        ++all_counts[static_cast<std::size_t>(a)];
        ++all_counts[static_cast<std::size_t>(b)];
        heterozygotes += a != b ? 1 : 0;
    }
    std::vector<std::int32_t> renumbered(static_cast<std::size_t>(n_alleles), -1);
    std::vector<std::int64_t> counts;
    for (std::int32_t a = 0; a < n_alleles; ++a) {
        if (all_counts[static_cast<std::size_t>(a)] > 0) {
            renumbered[static_cast<std::size_t>(a)] = static_cast<std::int32_t>(counts.size());
            counts.push_back(all_counts[static_cast<std::size_t>(a)]);
        }
    }
    const auto k = static_cast<std::int32_t>(counts.size());
    const auto n = static_cast<double>(genotypes.size());
    t.alleles = k;
    t.observed_heterozygosity = static_cast<double>(heterozygotes) / n;
    double sum_squares = 0.0;
    for (std::int64_t c : counts) {
        const double p = static_cast<double>(c) / (2.0 * n);
        sum_squares += p * p;
    }
    t.expected_heterozygosity = 1.0 - sum_squares;

    const auto uk = static_cast<std::uint64_t>(k);
    std::vector<std::uint64_t> keys;
    for (const auto& [a, b] : genotypes) {
        keys.push_back(genotype_key(renumbered[static_cast<std::size_t>(a)],
                                    renumbered[static_cast<std::size_t>(b)], uk));
    }
    std::vector<double> log_factorial(2 * genotypes.size() + 1, 0.0);
    for (std::size_t m = 1; m < log_factorial.size(); ++m) {
        log_factorial[m] = log_factorial[m - 1] + std::log(static_cast<double>(m));
    }
    const double observed = log_weight(keys, uk, log_factorial);
    // ln(n! prod n_i! / (2n)!), shared by every table with these counts.
    double constant = std::lgamma(n + 1.0) - std::lgamma(2.0 * n + 1.0);
    for (std::int64_t c : counts) {
        constant += std::lgamma(static_cast<double>(c) + 1.0);
    }
    // The walk recurses once per cell: many alleles go straight to the draws.
    if (k <= kMostEnumeratedAlleles &&
        Enumeration(counts, observed, constant, log_factorial).run(t.p_value)) {
        t.p_value = std::min(t.p_value, 1.0);
        return t;
    }

    // Pairing the alleles in a random order draws a table with the
    // probabilities of the null hypothesis.
    std::vector<std::int32_t> pool;
    for (std::int32_t a = 0; a < k; ++a) {
        pool.insert(pool.end(), static_cast<std::size_t>(counts[static_cast<std::size_t>(a)]), a);
    }
    std::int64_t at_most = 0;
    const double limit = observed + kLogTolerance * std::max(1.0, std::fabs(observed));
    for (std::int64_t d = 0; d < HardyWeinbergTest::kDraws; ++d) {
        for (std::size_t i = pool.size() - 1; i > 0; --i) {
            std::swap(pool[i], pool[random.below(i + 1)]);
        }
        for (std::size_t i = 0; i + 1 < pool.size(); i += 2) {
            keys[i / 2] = genotype_key(pool[i], pool[i + 1], uk);
        }
        at_most += log_weight(keys, uk, log_factorial) <= limit ? 1 : 0;
    }
    t.draws = HardyWeinbergTest::kDraws;
    t.p_value = static_cast<double>(at_most) / static_cast<double>(t.draws);
    return t;
}
