#include "report/sample_results.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
// Below this, the report's five decimals show 0.00000.
constexpr float kPrintedZero = 5e-6F;
// Cochran's rule: no expected count below 1, at most one in five below 5.
constexpr double kCochranLeast = 1.0;
constexpr double kCochranSmall = 5.0;
constexpr std::int32_t kCochranShare = 5;

// Table position of each allele of a locus, -1 for an allele that no listed
// haplotype carries.
std::vector<std::int32_t> positions(const std::vector<double>& marginals,
                                    std::vector<std::int32_t>& kept) {
    std::vector<std::int32_t> at(marginals.size(), -1);
    for (std::size_t a = 0; a < marginals.size(); ++a) {
        if (marginals[a] > 0.0) {
            at[a] = static_cast<std::int32_t>(kept.size());
            kept.push_back(static_cast<std::int32_t>(a));
        }
    }
    return at;
}

} // namespace

bool allele_present(const AlleleResult& allele) {
    return allele.frequency >= kPrintedZero;
}

bool haplotype_listed(const SampleResults& sample, const HaplotypeResult& haplotype) {
    if (!(haplotype.frequency > 0.0)) {
        return false;
    }
    for (std::size_t k = 0; k < haplotype.allele_index.size() && k < sample.alleles.size(); ++k) {
        const auto a = static_cast<std::size_t>(haplotype.allele_index[k]);
        if (a >= sample.alleles[k].size() || !allele_present(sample.alleles[k][a])) {
            return false;
        }
    }
    return true;
}

std::optional<SampleLd> sample_ld(const SampleResults& sample) {
    if (!sample.estimated || sample.alleles.size() != 2) {
        return std::nullopt;
    }
    SampleLd out;
    for (const auto& locus : sample.alleles) {
        out.marginals.emplace_back(locus.size(), 0.0);
    }
    for (const HaplotypeResult& haplotype : sample.haplotypes) {
        if (haplotype.allele_index.size() == 2 && haplotype_listed(sample, haplotype)) {
            for (std::size_t k = 0; k < 2; ++k) {
                out.marginals[k][static_cast<std::size_t>(haplotype.allele_index[k])] +=
                    haplotype.frequency;
            }
        }
    }
    const std::vector<std::int32_t> row_of = positions(out.marginals[0], out.rows);
    const std::vector<std::int32_t> column_of = positions(out.marginals[1], out.columns);
    std::vector<double> p;
    std::vector<double> q;
    for (std::int32_t a : out.rows) {
        p.push_back(out.marginals[0][static_cast<std::size_t>(a)]);
    }
    for (std::int32_t a : out.columns) {
        q.push_back(out.marginals[1][static_cast<std::size_t>(a)]);
    }
    std::vector<std::vector<double>> h(p.size(), std::vector<double>(q.size(), 0.0));
    for (const HaplotypeResult& haplotype : sample.haplotypes) {
        std::int32_t row = -1;
        std::int32_t column = -1;
        if (haplotype.allele_index.size() == 2) {
            row = row_of[static_cast<std::size_t>(haplotype.allele_index[0])];
            column = column_of[static_cast<std::size_t>(haplotype.allele_index[1])];
        }
        if (row < 0 || column < 0) {
            row = column = -1;
        } else if (haplotype_listed(sample, haplotype)) {
            h[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)] =
                haplotype.frequency;
        }
        out.haplotype_row.push_back(row);
        out.haplotype_column.push_back(column);
    }
    out.table = ld::table_measures(p, q, h);
    return out;
}

SampleTest sample_test(const SampleResults& sample, const std::optional<SampleLd>& ld_table) {
    SampleTest t;
    t.df = ld_table ? ld_table->table.df : 0;
    t.chi_square_p = t.df > 0 ? ld::chi_square_p(sample.ratio(), t.df) : kNaN;
    t.simulated = sample.test == TestStatus::kRun && sample.valid > 0;
    if (t.simulated) {
        t.report_p = static_cast<double>(sample.tail) / static_cast<double>(sample.valid);
        t.monte_carlo_p = ld::monte_carlo_p(sample.tail, sample.valid);
        t.interval = ld::clopper_pearson(sample.tail, sample.valid);
    } else {
        t.report_p = t.monte_carlo_p = kNaN;
        t.interval = {kNaN, kNaN};
    }
    if (t.df > 0) {
        const auto n = static_cast<double>(sample.founder_haplotypes);
        const SampleLd& table = *ld_table;
        t.min_expected = std::numeric_limits<double>::infinity();
        for (std::int32_t a : table.rows) {
            for (std::int32_t b : table.columns) {
                const double e = n * table.marginals[0][static_cast<std::size_t>(a)] *
                                 table.marginals[1][static_cast<std::size_t>(b)];
                t.min_expected = std::min(t.min_expected, e);
                t.cells_below_five += e < kCochranSmall ? 1 : 0;
                ++t.cells;
            }
        }
        t.chi_square_reliable =
            t.min_expected >= kCochranLeast && t.cells_below_five * kCochranShare <= t.cells;
    } else {
        t.min_expected = kNaN;
    }
    return t;
}
