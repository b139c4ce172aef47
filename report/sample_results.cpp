#include "report/sample_results.h"

#include <cmath>
#include <limits>

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
// Below this, the report's five decimals show 0.00000.
constexpr float kPrintedZero = 5e-6F;

// Table position of each allele of a locus, -1 for an allele of zero frequency.
std::vector<std::int32_t> positions(const std::vector<AlleleResult>& locus,
                                    std::vector<std::int32_t>& kept) {
    std::vector<std::int32_t> at(locus.size(), -1);
    for (std::size_t a = 0; a < locus.size(); ++a) {
        if (allele_present(locus[a])) {
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
    const std::vector<std::int32_t> row_of = positions(sample.alleles[0], out.rows);
    const std::vector<std::int32_t> column_of = positions(sample.alleles[1], out.columns);
    std::vector<double> p;
    std::vector<double> q;
    for (std::int32_t a : out.rows) {
        p.push_back(static_cast<double>(sample.alleles[0][static_cast<std::size_t>(a)].frequency));
    }
    for (std::int32_t a : out.columns) {
        q.push_back(static_cast<double>(sample.alleles[1][static_cast<std::size_t>(a)].frequency));
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
        } else {
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
    return t;
}
