#include "report/html_report.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <optional>
#include <sstream>
#include <vector>

#include "report/ld_measures.h"
#include "report/number_format.h"
#include "report/panel.h"
#include "report/tables.h"
#include "support/display_text.h"

namespace html_report {
namespace {

const char* const kStyle = R"(
body { font-family: "DejaVu Sans", Helvetica, Arial, sans-serif; color: #222; margin: 24px auto;
  max-width: 980px; padding: 0 16px; line-height: 1.4; }
h1 { font-size: 1.6em; margin-bottom: 0.2em; }
h2 { font-size: 1.3em; border-bottom: 2px solid #888; padding-bottom: 2px; margin-top: 2em; }
h3 { font-size: 1.05em; margin: 1.2em 0 0.4em; }
section.sample { margin-bottom: 2.5em; }
dl.settings { display: grid; grid-template-columns: max-content auto; gap: 2px 16px;
  margin: 0.5em 0; font-size: 0.92em; }
dl.settings dt { color: #555; }
dl.settings dd { margin: 0; }
table { border-collapse: collapse; font-size: 0.9em; margin: 0.4em 0; }
th, td { padding: 3px 9px; border-bottom: 1px solid #ddd; text-align: right; }
th { background: #f1f1f1; }
td.name, th.name { text-align: left; }
table.summary td:first-child { text-align: left; color: #555; }
p.note { background: #fff4e0; border-left: 4px solid #e0a030; padding: 6px 10px; }
p.verdict { font-weight: bold; }
figure { margin: 0.6em 0 1.2em; }
figcaption { font-size: 0.88em; color: #444; margin-top: 4px; max-width: 900px; }
svg text { font-family: "DejaVu Sans", Helvetica, Arial, sans-serif; font-size: 11px; fill: #222; }
svg .axis { stroke: #444; stroke-width: 1; }
svg .grid { stroke: #e4e4e4; stroke-width: 1; }
svg rect.bar { fill: #4a7ab5; }
svg rect.bin { fill: #9db7d5; stroke: #6d8fb8; stroke-width: 0.5; }
svg line.observed { stroke: #c0392b; stroke-width: 2.5; }
svg path.density { fill: none; stroke: #222; stroke-width: 1.6; stroke-dasharray: 5 3; }
svg rect.cell { stroke: #fff; stroke-width: 1; }
table.panel-matrix td { text-align: center; min-width: 4.2em; border: 1px solid #fff; }
table.panel-matrix td a { color: inherit; text-decoration: none; display: block; }
table.panel-matrix td.light { color: #fff; }
table.panel-matrix span.p { font-size: 0.85em; }
)";

std::string num(double value, int decimals) {
    const std::string text = fixed(value, decimals);
    return text.empty() ? "&ndash;" : text;
}

std::string p_num(double value) {
    const std::string text = p_value_text(value);
    return text.empty() ? "&ndash;" : text;
}

// Round axis steps: 1, 2 or 5 times a power of ten, about `count` of them.
double nice_step(double span, int count) {
    if (!(span > 0.0)) {
        return 1.0;
    }
    const double raw = span / count;
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    const double f = raw / power;
    return (f <= 1.0 ? 1.0 : f <= 2.0 ? 2.0 : f <= 5.0 ? 5.0 : 10.0) * power;
}

// Diverging colour for D' in [-1, 1]: blue below 0, white at 0, red above.
std::string diverging_colour(double value) {
    if (std::isnan(value)) {
        return "#cccccc";
    }
    const double t = std::clamp(std::fabs(value), 0.0, 1.0);
    const int white = 255;
    const int end_r = value < 0.0 ? 33 : 178;
    const int end_g = value < 0.0 ? 102 : 24;
    const int end_b = value < 0.0 ? 172 : 43;
    auto mix = [&](int end) { return static_cast<int>(std::lround(white + (end - white) * t)); };
    std::ostringstream os;
    os << "rgb(" << mix(end_r) << "," << mix(end_g) << "," << mix(end_b) << ")";
    return os.str();
}

// "Locus 1", with the marker's name when the sample's name carries it.
std::string locus_label(const SampleResults& sample, std::size_t locus) {
    const std::vector<std::string> markers = panel::locus_names(sample);
    const std::string label = "Locus " + std::to_string(locus + 1);
    return locus < markers.size() ? label + " (" + escape(markers[locus]) + ")" : label;
}

void settings(std::ostream& os, const RunResults& run, const SampleResults& sample) {
    os << "<dl class=\"settings\">\n"
       << "<dt>Program</dt><dd>" << escape(run.program) << " " << escape(run.version) << "</dd>\n"
       << "<dt>Data file</dt><dd>" << escape(run.data_file) << "</dd>\n"
       << "<dt>Seed</dt><dd>" << run.seed << "</dd>\n";
    if (!run.model.empty()) {
        os << "<dt>Model</dt><dd>" << escape(run.model) << "</dd>\n";
    }
    os << "<dt>Random initial conditions</dt><dd>" << run.n_initial << "</dd>\n"
       << "<dt>Simulated samples</dt><dd>" << sample.n_simulated << "</dd>\n"
       << "</dl>\n";
}

void summary_row(std::ostream& os, const std::string& what, const std::string& value) {
    os << "<tr><td>" << what << "</td><td>" << value << "</td></tr>\n";
}

void maxima_rows(std::ostream& os, const SampleResults& sample) {
    summary_row(os,
                "Distinct maxima (frequencies within " + shortest(sample.maxima_tolerance) + ")",
                std::to_string(sample.distinct_maxima));
    summary_row(os, "Initial conditions reaching the best maximum",
                std::to_string(sample.best_maximum_starts));
}

// Warnings under the summary: a best maximum that one start alone found, a
// chi-square P that the expected counts do not support.
void summary_notes(std::ostream& os, const SampleResults& sample, const SampleTest& test) {
    if (sample.estimated && sample.best_maximum_starts == 1) {
        os << "<p class=\"note maxima\">Only one initial condition reached the best maximum: "
              "another may exist that none reached. Run again with more initial conditions "
              "(the third number of the data file).</p>\n";
    }
    if (test.df > 0 && !test.chi_square_reliable) {
        os << "<p class=\"note chi-square\">The chi-square P is not reliable here: under "
              "equilibrium the expected haplotype counts (founder haplotypes &times; p &times; q) "
              "fall below Cochran's rule (none below 1, at most a fifth below 5). Use the "
              "simulated P.</p>\n";
    }
}

void summary(std::ostream& os, const SampleResults& sample, const std::optional<SampleLd>& ld_table,
             const SampleTest& test) {
    os << "<h3>Summary</h3>\n<table class=\"summary\">\n";
    summary_row(os, "Individuals (announced)",
                std::to_string(sample.individuals) + " (" + std::to_string(sample.announced) + ")");
    summary_row(os, "Families / singles / absent parents",
                std::to_string(sample.families) + " / " + std::to_string(sample.singles) + " / " +
                    std::to_string(sample.absent_parents));
    summary_row(os, "Loci", std::to_string(sample.loci));
    const std::vector<std::string> markers = panel::locus_names(sample);
    if (!markers.empty()) {
        summary_row(os, "Markers", escape(markers[0]) + " &times; " + escape(markers[1]));
    }
    if (sample.estimated) {
        summary_row(os, "Sample log-likelihood", num(sample.sample_ln_l, 8));
        summary_row(os, "Equilibrium log-likelihood", num(sample.equilibrium_ln_l, 8));
        summary_row(os, "Likelihood ratio", num(sample.ratio(), 8));
        summary_row(os, "Distinct maxima", std::to_string(sample.n_maxima));
        maxima_rows(os, sample);
    }
    if (test.df > 0) {
        summary_row(os, "Degrees of freedom", std::to_string(test.df));
        summary_row(os, "Chi-square P (asymptotic)", p_num(test.chi_square_p));
        summary_row(os, "Smallest expected haplotype count",
                    num(test.min_expected, 2) + " (" + std::to_string(test.cells_below_five) +
                        " of " + std::to_string(test.cells) + " below 5)");
    }
    if (test.simulated) {
        summary_row(os, "Simulated P (report: r/n)",
                    p_num(test.report_p) + " (" + std::to_string(sample.tail) + " of " +
                        std::to_string(sample.valid) + " valid)");
        summary_row(os, "Monte Carlo P (r+1)/(n+1)", p_num(test.monte_carlo_p));
        summary_row(os, "95 % interval of P (Clopper-Pearson)",
                    p_num(test.interval.lower) + " &ndash; " + p_num(test.interval.upper));
    } else {
        summary_row(os, "Simulation test", escape(tables::test_text(sample)));
    }
    if (ld_table) {
        summary_row(os, "Overall D&prime;", num(ld_table->table.overall_d_prime, 5));
        summary_row(os, "W<sub>n</sub>", num(ld_table->table.wn, 5));
    }
    os << "</table>\n";
    summary_notes(os, sample, test);
}

void allele_bars(std::ostream& os, const SampleResults& sample) {
    const int row_height = 20;
    const int label_width = 90;
    const int bar_width = 420;
    std::size_t rows = 0;
    for (const auto& locus : sample.alleles) {
        rows += locus.size() + 1;
    }
    const int height = static_cast<int>(rows) * row_height + 30;
    os << "<h3>Allele frequencies</h3>\n<figure class=\"allele-bars\">\n"
       << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << label_width + bar_width + 80
       << "\" height=\"" << height << "\" role=\"img\" aria-label=\"Allele frequencies\">\n";
    int y = 4;
    for (int tick = 0; tick <= 4; ++tick) {
        const double x = label_width + bar_width * tick / 4.0;
        os << "<line class=\"grid\" x1=\"" << x << "\" y1=\"0\" x2=\"" << x << "\" y2=\""
           << height - 22 << "\"/><text x=\"" << x << "\" y=\"" << height - 8
           << "\" text-anchor=\"middle\">" << num(tick / 4.0, 2) << "</text>\n";
    }
    for (std::size_t k = 0; k < sample.alleles.size(); ++k) {
        os << "<text x=\"0\" y=\"" << y + 14 << "\" font-weight=\"bold\">" << locus_label(sample, k)
           << "</text>\n";
        y += row_height;
        for (const AlleleResult& allele : sample.alleles[k]) {
            const auto f = static_cast<double>(allele.frequency);
            const double w = bar_width * std::clamp(f, 0.0, 1.0);
            os << "<g><title>" << escape(allele.name) << ": " << shortest(allele.frequency)
               << "</title><text x=\"" << label_width - 6 << "\" y=\"" << y + 14
               << "\" text-anchor=\"end\">" << escape(allele.name)
               << "</text><rect class=\"bar\" x=\"" << label_width << "\" y=\"" << y + 3
               << "\" width=\"" << w << "\" height=\"" << row_height - 6 << "\"/><text x=\""
               << label_width + w + 5 << "\" y=\"" << y + 14 << "\">" << num(f, 5)
               << "</text></g>\n";
            y += row_height;
        }
    }
    os << "</svg>\n<figcaption>Maximum-likelihood allele frequencies; <code>#</code> stands for "
          "alleles not seen in the sample.</figcaption>\n</figure>\n";
}

void haplotype_table(std::ostream& os, const SampleResults& sample,
                     const std::optional<SampleLd>& ld_table) {
    os << "<h3>Haplotypes</h3>\n<table class=\"haplotypes\">\n<tr><th>No.</th><th "
          "class=\"name\">Haplotype</th><th>Frequency</th><th>p&middot;q</th><th>D</th>"
          "<th>D&prime;</th><th>r&sup2;</th></tr>\n";
    for (std::size_t i = 0; i < sample.haplotypes.size(); ++i) {
        const HaplotypeResult& h = sample.haplotypes[i];
        if (!haplotype_listed(sample, h)) {
            continue;
        }
        std::string name;
        for (const std::string& a : h.alleles) {
            name += (name.empty() ? "" : " ") + a;
        }
        os << "<tr><td>" << h.number << "</td><td class=\"name\">" << escape(name) << "</td><td>"
           << num(h.frequency, 5) << "</td><td>" << num(h.product, 5) << "</td>";
        if (ld_table && ld_table->haplotype_row[i] >= 0) {
            const ld::PairMeasures& m =
                ld_table->table.cells[static_cast<std::size_t>(ld_table->haplotype_row[i])]
                                     [static_cast<std::size_t>(ld_table->haplotype_column[i])];
            os << "<td>" << num(m.d, 5) << "</td><td>" << num(m.d_prime, 3) << "</td><td>"
               << num(m.r_squared, 4) << "</td>";
        } else {
            os << "<td>&ndash;</td><td>&ndash;</td><td>&ndash;</td>";
        }
        os << "</tr>\n";
    }
    os << "</table>\n";
}

void heatmap(std::ostream& os, const SampleResults& sample, const SampleLd& ld_table) {
    const int cell = 46;
    const int left = 80;
    const int top = 40;
    const auto rows = static_cast<int>(ld_table.rows.size());
    const auto columns = static_cast<int>(ld_table.columns.size());
    // Alleles in name order, as the haplotype table lists them.
    auto by_name = [&](std::size_t locus, const std::vector<std::int32_t>& alleles) {
        std::vector<int> order(alleles.size());
        for (std::size_t i = 0; i < order.size(); ++i) {
            order[i] = static_cast<int>(i);
        }
        std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
            return sample
                       .alleles[locus]
                               [static_cast<std::size_t>(alleles[static_cast<std::size_t>(a)])]
                       .name <
                   sample
                       .alleles[locus]
                               [static_cast<std::size_t>(alleles[static_cast<std::size_t>(b)])]
                       .name;
        });
        return order;
    };
    const std::vector<int> row_order = by_name(0, ld_table.rows);
    const std::vector<int> column_order = by_name(1, ld_table.columns);
    const int legend_top = top + rows * cell + 24;
    const int width = std::max(left + columns * cell + 20, 300);
    const int height = legend_top + 44;
    os << "<h3>D&prime; by allele pair</h3>\n<figure class=\"heatmap\">\n"
       << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << width << "\" height=\"" << height
       << "\" role=\"img\" aria-label=\"D-prime heatmap\">\n"
       << "<text x=\"" << left + columns * cell / 2 << "\" y=\"12\" text-anchor=\"middle\" "
       << "font-weight=\"bold\">" << locus_label(sample, 1) << "</text>\n"
       << "<text x=\"12\" y=\"" << top + rows * cell / 2 << "\" text-anchor=\"middle\" "
       << "font-weight=\"bold\" transform=\"rotate(-90 12 " << top + rows * cell / 2 << ")\">"
       << locus_label(sample, 0) << "</text>\n";
    for (int c = 0; c < columns; ++c) {
        const auto& allele = sample.alleles[1][static_cast<std::size_t>(
            ld_table.columns[static_cast<std::size_t>(column_order[static_cast<std::size_t>(c)])])];
        os << "<text x=\"" << left + c * cell + cell / 2 << "\" y=\"" << top - 6
           << "\" text-anchor=\"middle\">" << escape(allele.name) << "</text>\n";
    }
    for (int r = 0; r < rows; ++r) {
        const auto row = static_cast<std::size_t>(row_order[static_cast<std::size_t>(r)]);
        const auto& a1 = sample.alleles[0][static_cast<std::size_t>(ld_table.rows[row])];
        os << "<text x=\"" << left - 6 << "\" y=\"" << top + r * cell + cell / 2 + 4
           << "\" text-anchor=\"end\">" << escape(a1.name) << "</text>\n";
        for (int c = 0; c < columns; ++c) {
            const auto column = static_cast<std::size_t>(column_order[static_cast<std::size_t>(c)]);
            const auto& a2 = sample.alleles[1][static_cast<std::size_t>(ld_table.columns[column])];
            const ld::PairMeasures& m = ld_table.table.cells[row][column];
            const double dp = m.d_prime;
            os << "<g><title>" << escape(a1.name) << " " << escape(a2.name)
               << ": D&prime; = " << shortest(dp) << ", D = " << shortest(m.d)
               << ", r&sup2; = " << shortest(m.r_squared) << "</title><rect class=\"cell\" x=\""
               << left + c * cell << "\" y=\"" << top + r * cell << "\" width=\"" << cell
               << "\" height=\"" << cell << "\" fill=\"" << diverging_colour(dp) << "\"/><text x=\""
               << left + c * cell + cell / 2 << "\" y=\"" << top + r * cell + cell / 2 + 4
               << "\" text-anchor=\"middle\"" << (std::fabs(dp) > 0.6 ? " style=\"fill:#fff\"" : "")
               << ">" << num(dp, 2) << "</text></g>\n";
        }
    }
    // The colour scale, -1 to 1.
    const int legend_width = 200;
    for (int i = 0; i < 40; ++i) {
        const double v = -1.0 + (i + 0.5) / 20.0;
        os << "<rect x=\"" << left + i * legend_width / 40 << "\" y=\"" << legend_top
           << "\" width=\"" << legend_width / 40 + 1 << "\" height=\"12\" fill=\""
           << diverging_colour(v) << "\"/>";
    }
    os << "\n<text x=\"" << left << "\" y=\"" << legend_top + 26
       << "\" text-anchor=\"middle\">&minus;1</text><text x=\"" << left + legend_width / 2
       << "\" y=\"" << legend_top + 26 << "\" text-anchor=\"middle\">0</text><text x=\""
       << left + legend_width << "\" y=\"" << legend_top + 26
       << "\" text-anchor=\"middle\">+1</text>\n"
       << "</svg>\n<figcaption>D&prime; of each pair of alleles of non-zero frequency: red where "
          "the pair is seen together more often than at equilibrium, blue where less often. "
          "Hover a cell for D&prime;, D and r&sup2;.</figcaption>\n</figure>\n";
}

void histogram(std::ostream& os, const SampleResults& sample, const SampleTest& test) {
    std::vector<double> ratios;
    for (const SimulatedResult& r : sample.simulated) {
        if (r.valid && std::isfinite(r.ratio())) {
            ratios.push_back(r.ratio());
        }
    }
    if (ratios.empty()) {
        return;
    }
    const double observed = sample.ratio();
    const double low = std::min(0.0, *std::min_element(ratios.begin(), ratios.end()));
    double high = std::max(*std::max_element(ratios.begin(), ratios.end()),
                           std::isfinite(observed) ? observed : 0.0);
    high = low + (high - low) * 1.08;
    if (!(high > low)) {
        high = low + 1.0;
    }
    const int n_bins = std::clamp(static_cast<int>(std::sqrt(ratios.size()) * 1.5), 5, 40);
    const double bin_width = (high - low) / n_bins;
    std::vector<int> counts(static_cast<std::size_t>(n_bins), 0);
    for (double r : ratios) {
        const int b = std::clamp(static_cast<int>((r - low) / bin_width), 0, n_bins - 1);
        ++counts[static_cast<std::size_t>(b)];
    }
    // The chi-square density, scaled to expected counts per bin.
    std::vector<std::pair<double, double>> curve;
    if (test.df > 0) {
        for (int i = 0; i <= 200; ++i) {
            const double x = std::max(low, 0.0) + (high - std::max(low, 0.0)) * i / 200.0;
            const double y =
                ld::chi_square_density(x, test.df) * bin_width * static_cast<double>(ratios.size());
            if (std::isfinite(y)) {
                curve.emplace_back(x, y);
            }
        }
    }
    double top_count = *std::max_element(counts.begin(), counts.end());
    for (const auto& point : curve) {
        top_count = std::max(top_count, point.second);
    }
    top_count *= 1.1;

    const int left = 50;
    const int plot_width = 640;
    const int plot_height = 240;
    const int top = 24;
    const double y_step = nice_step(top_count, 5);
    const double x_step = nice_step(high - low, 8);
    auto sx = [&](double x) { return left + (x - low) / (high - low) * plot_width; };
    auto sy = [&](double y) { return top + plot_height - y / top_count * plot_height; };

    os << "<h3>Simulated likelihood ratios</h3>\n<figure class=\"histogram\">\n"
       << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << left + plot_width + 30
       << "\" height=\"" << top + plot_height + 50
       << "\" role=\"img\" aria-label=\"Histogram of simulated likelihood ratios\">\n";
    for (double y = 0.0; y <= top_count; y += y_step) {
        os << "<line class=\"grid\" x1=\"" << left << "\" y1=\"" << sy(y) << "\" x2=\""
           << left + plot_width << "\" y2=\"" << sy(y) << "\"/><text x=\"" << left - 6 << "\" y=\""
           << sy(y) + 4 << "\" text-anchor=\"end\">" << y << "</text>\n";
    }
    for (double x = std::ceil(low / x_step) * x_step; x <= high; x += x_step) {
        os << "<line class=\"axis\" x1=\"" << sx(x) << "\" y1=\"" << top + plot_height << "\" x2=\""
           << sx(x) << "\" y2=\"" << top + plot_height + 5 << "\"/><text x=\"" << sx(x) << "\" y=\""
           << top + plot_height + 18 << "\" text-anchor=\"middle\">" << x << "</text>\n";
    }
    for (int b = 0; b < n_bins; ++b) {
        const double x0 = low + b * bin_width;
        const int count = counts[static_cast<std::size_t>(b)];
        os << "<rect class=\"bin\" x=\"" << sx(x0) << "\" y=\"" << sy(count) << "\" width=\""
           << sx(x0 + bin_width) - sx(x0) << "\" height=\"" << sy(0.0) - sy(count) << "\"><title>"
           << num(x0, 2) << " to " << num(x0 + bin_width, 2) << ": " << count
           << "</title></rect>\n";
    }
    if (!curve.empty()) {
        os << "<path class=\"density\" d=\"";
        for (std::size_t i = 0; i < curve.size(); ++i) {
            os << (i == 0 ? "M" : " L") << sx(curve[i].first) << ","
               << std::max(sy(curve[i].second), static_cast<double>(top));
        }
        os << "\"><title>chi-square density, " << test.df << " degrees of freedom</title></path>\n";
    }
    os << "<line class=\"axis\" x1=\"" << left << "\" y1=\"" << top + plot_height << "\" x2=\""
       << left + plot_width << "\" y2=\"" << top + plot_height << "\"/>\n";
    if (std::isfinite(observed)) {
        os << "<line class=\"observed\" x1=\"" << sx(observed) << "\" y1=\"" << top - 6
           << "\" x2=\"" << sx(observed) << "\" y2=\"" << top + plot_height
           << "\"><title>observed ratio " << shortest(observed) << "</title></line>\n"
           << "<text x=\"" << sx(observed) - 4 << "\" y=\"" << top - 10
           << "\" text-anchor=\"end\" style=\"fill:#c0392b\">observed " << num(observed, 2)
           << "</text>\n";
    }
    os << "<text x=\"" << left + plot_width / 2 << "\" y=\"" << top + plot_height + 40
       << "\" text-anchor=\"middle\">likelihood ratio</text>\n"
       << "</svg>\n<figcaption>Bars: the likelihood ratios of the " << ratios.size()
       << " valid simulated samples (linkage and Hardy-Weinberg equilibrium, the observed allele "
          "frequencies and family structure). Red line: the observed ratio. Dashed curve: the "
          "chi-square density with "
       << test.df << " degrees of freedom, scaled to the counts.</figcaption>\n</figure>\n";
}

// How strongly a P-value rejects equilibrium, as stars.
std::string stars(double p) {
    return p < 0.01 ? "**" : p < 0.05 ? "*" : "";
}

// The markers of a panel against each other: overall D' above the diagonal,
// Wn below it, each cell with its pair's P-value and a link to its section.
void panel_matrix(std::ostream& os, const RunResults& run, const panel::Panel& p) {
    const std::size_t n = p.markers.size();
    std::vector<std::vector<const panel::Pair*>> cell(n, std::vector<const panel::Pair*>(n));
    for (const panel::Pair& pair : p.pairs) {
        // A pair given twice: the first sample stands for it.
        if (cell[pair.marker_1][pair.marker_2] == nullptr) {
            cell[pair.marker_1][pair.marker_2] = cell[pair.marker_2][pair.marker_1] = &pair;
        }
    }
    os << "<section class=\"panel\">\n<h2>Panel " << escape(p.name) << ": " << n << " markers, "
       << p.pairs.size() << " pairs</h2>\n<table class=\"panel-matrix\">\n<tr><th></th>";
    for (const std::string& marker : p.markers) {
        os << "<th>" << escape(marker) << "</th>";
    }
    os << "</tr>\n";
    for (std::size_t i = 0; i < n; ++i) {
        os << "<tr><th class=\"name\">" << escape(p.markers[i]) << "</th>";
        for (std::size_t j = 0; j < n; ++j) {
            if (i == j || cell[i][j] == nullptr) {
                os << "<td>" << (i == j ? "" : "&ndash;") << "</td>";
                continue;
            }
            const SampleResults& sample = run.samples[cell[i][j]->sample];
            const panel::Figures f = panel::figures(sample);
            const double value = i < j ? f.overall_d_prime : f.wn;
            const bool chi = std::string(f.p_source) == "chi-square";
            os << "<td" << (value > 0.6 ? " class=\"light\"" : "") << " style=\"background:"
               << diverging_colour(std::isnan(value) ? value : std::clamp(value, 0.0, 1.0))
               << "\"><a href=\"#sample-" << cell[i][j]->sample + 1 << "\" title=\""
               << escape(sample.name) << ": overall D&prime; = " << num(f.overall_d_prime, 4)
               << ", Wn = " << num(f.wn, 4);
            if (*f.p_source != '\0') {
                os << ", " << f.p_source << " P = " << num(f.p, 5);
            }
            os << "\">" << num(value, 2) << "<br><span class=\"p\">";
            if (*f.p_source != '\0') {
                os << (chi ? "&chi;&sup2; " : "P ") << (f.p < 0.001 ? "&lt;0.001" : num(f.p, 3))
                   << stars(f.p);
            }
            os << "</span></a></td>";
        }
        os << "</tr>\n";
    }
    os << "</table>\n<p class=\"caption\">Above the diagonal the overall D&prime; of each pair "
          "of markers, below it W<sub>n</sub>, white at 0 and red at 1. Under each figure the "
          "pair's P-value: simulated (P) when its test ran, otherwise asymptotic "
          "(&chi;&sup2;); * below 0.05, ** below 0.01. Each cell leads to its pair's "
          "section.</p>\n</section>\n";
}

void hardy_weinberg_table(std::ostream& os, const SampleResults& sample) {
    if (sample.hardy_weinberg.empty()) {
        return;
    }
    os << "<h3>Hardy-Weinberg proportions per locus</h3>\n<table class=\"hardy-weinberg\">\n"
          "<tr><th>Locus</th><th>Individuals</th><th>Alleles</th><th>Observed "
          "heterozygosity</th><th>Expected heterozygosity</th><th>Exact P</th><th "
          "class=\"name\">Method</th></tr>\n";
    for (std::size_t k = 0; k < sample.hardy_weinberg.size(); ++k) {
        const LocusHardyWeinberg& t = sample.hardy_weinberg[k];
        os << "<tr><td>" << k + 1 << "</td><td>" << t.individuals << "</td><td>" << t.alleles
           << "</td><td>" << num(t.observed_heterozygosity, 4) << "</td><td>"
           << num(t.expected_heterozygosity, 4) << "</td><td>" << p_num(t.p_value)
           << "</td><td class=\"name\">" << escape(tables::hwe_method(t)) << "</td></tr>\n";
    }
    os << "</table>\n<p class=\"caption\">Founders and single individuals (records without two "
          "known parents) only, so that no two are related. A small P-value warns that the "
          "locus departs from Hardy-Weinberg proportions, which inflates the linkage test "
          "too.</p>\n";
}

// Frequencies with their bootstrap intervals as error bars, and D' on its
// own scale beside them.
void bootstrap_section(std::ostream& os, const SampleResults& sample,
                       const std::optional<SampleLd>& ld_table) {
    if (sample.bootstrap_replicates == 0) {
        return;
    }
    std::vector<std::size_t> rows;
    double top = 0.0;
    for (std::size_t i = 0; i < sample.haplotypes.size(); ++i) {
        const HaplotypeResult& h = sample.haplotypes[i];
        if (haplotype_listed(sample, h)) {
            rows.push_back(i);
            top =
                std::max({top, h.frequency, std::isnan(h.frequency_high) ? 0.0 : h.frequency_high});
        }
    }
    top = top > 0.0 ? std::min(1.0, top * 1.05) : 1.0;
    const int row_height = 18;
    const int label_width = 110;
    const int panel = 300;
    const int gap = 40;
    const int height = static_cast<int>(rows.size()) * row_height + 40;
    os << "<h3>Bootstrap 95 % intervals</h3>\n<p>" << sample.bootstrap_replicates
       << " replicates of the families and singles drawn with replacement, "
       << sample.bootstrap_valid << " with an estimate; percentile intervals.</p>\n"
       << "<figure class=\"bootstrap\">\n<svg xmlns=\"http://www.w3.org/2000/svg\" width=\""
       << label_width + 2 * panel + gap + 20 << "\" height=\"" << height
       << "\" role=\"img\" aria-label=\"Haplotype frequencies and D-prime with bootstrap "
          "intervals\">\n";
    auto fx = [&](double f) { return label_width + panel * std::clamp(f / top, 0.0, 1.0); };
    const int right = label_width + panel + gap;
    auto dx = [&](double d) { return right + panel * (std::clamp(d, -1.0, 1.0) + 1.0) / 2.0; };
    const int axis_y = height - 22;
    os << "<line class=\"axis\" x1=\"" << label_width << "\" y1=\"" << axis_y << "\" x2=\""
       << label_width + panel << "\" y2=\"" << axis_y << "\"/><text x=\"" << label_width
       << "\" y=\"" << axis_y + 14 << "\">0</text><text x=\"" << label_width + panel << "\" y=\""
       << axis_y + 14 << "\" text-anchor=\"end\">" << num(top, 2) << " (frequency)</text>\n"
       << "<line class=\"axis\" x1=\"" << right << "\" y1=\"" << axis_y << "\" x2=\""
       << right + panel << "\" y2=\"" << axis_y << "\"/><line class=\"grid\" x1=\"" << dx(0.0)
       << "\" y1=\"0\" x2=\"" << dx(0.0) << "\" y2=\"" << axis_y << "\"/><text x=\"" << right
       << "\" y=\"" << axis_y + 14 << "\">&minus;1</text><text x=\"" << right + panel << "\" y=\""
       << axis_y + 14 << "\" text-anchor=\"end\">+1 (D&prime;)</text>\n";
    int y = 6;
    for (std::size_t i : rows) {
        const HaplotypeResult& h = sample.haplotypes[i];
        std::string name;
        for (const std::string& a : h.alleles) {
            name += (name.empty() ? "" : " ") + a;
        }
        const int mid = y + row_height / 2;
        os << "<g><title>" << escape(name) << ": " << shortest(h.frequency) << " ("
           << shortest(h.frequency_low) << " to " << shortest(h.frequency_high)
           << ")</title><text x=\"" << label_width - 6 << "\" y=\"" << mid + 4
           << "\" text-anchor=\"end\">" << escape(name) << "</text><rect class=\"bar\" x=\""
           << label_width << "\" y=\"" << y + 3 << "\" width=\"" << fx(h.frequency) - label_width
           << "\" height=\"" << row_height - 6 << "\"/>";
        if (!std::isnan(h.frequency_low)) {
            os << "<line class=\"axis\" x1=\"" << fx(h.frequency_low) << "\" y1=\"" << mid
               << "\" x2=\"" << fx(h.frequency_high) << "\" y2=\"" << mid << "\"/>";
        }
        os << "</g>\n";
        if (ld_table && ld_table->haplotype_row[i] >= 0) {
            const double d = ld_table->table
                                 .cells[static_cast<std::size_t>(ld_table->haplotype_row[i])]
                                       [static_cast<std::size_t>(ld_table->haplotype_column[i])]
                                 .d_prime;
            os << "<g><title>" << escape(name) << ": D&prime; = " << shortest(d) << " ("
               << shortest(h.d_prime_low) << " to " << shortest(h.d_prime_high) << ")</title>";
            if (!std::isnan(h.d_prime_low)) {
                os << "<line class=\"axis\" x1=\"" << dx(h.d_prime_low) << "\" y1=\"" << mid
                   << "\" x2=\"" << dx(h.d_prime_high) << "\" y2=\"" << mid << "\"/>";
            }
            if (!std::isnan(d)) {
                os << "<circle cx=\"" << dx(d) << "\" cy=\"" << mid << "\" r=\"3.5\" fill=\""
                   << diverging_colour(d) << "\" stroke=\"#444\"/>";
            }
            os << "</g>\n";
        }
        y += row_height;
    }
    os << "</svg>\n<figcaption>Left: each listed haplotype's frequency (bar) and its interval "
          "(line). Right: its D&prime; (dot) and interval. Hover a row for the values.</figcaption>"
          "\n</figure>\n<table class=\"summary bootstrap\">\n";
    summary_row(os, "Overall D&prime; (95 % interval)",
                (ld_table ? num(ld_table->table.overall_d_prime, 5) : std::string("&ndash;")) +
                    " (" + num(sample.overall_d_prime_low, 5) + " &ndash; " +
                    num(sample.overall_d_prime_high, 5) + ")");
    summary_row(os, "W<sub>n</sub> (95 % interval)",
                (ld_table ? num(ld_table->table.wn, 5) : std::string("&ndash;")) + " (" +
                    num(sample.wn_low, 5) + " &ndash; " + num(sample.wn_high, 5) + ")");
    os << "</table>\n";
}

void sample_section(std::ostream& os, const RunResults& run, const SampleResults& sample,
                    std::size_t number) {
    const std::optional<SampleLd> ld_table = sample_ld(sample);
    const SampleTest test = sample_test(sample, ld_table);
    os << "<section class=\"sample\" id=\"sample-" << number << "\">\n<h2>Sample " << number << ": "
       << escape(sample.name) << "</h2>\n";
    settings(os, run, sample);
    if (!sample.estimated) {
        os << "<p class=\"note no-estimate\">No estimate: the likelihood of the sample is zero. "
              "Families that Mendelian inheritance cannot explain are the usual cause: see the "
              "warnings in mirbo.log.</p>\n";
        summary(os, sample, ld_table, test);
        os << "</section>\n";
        return;
    }
    summary(os, sample, ld_table, test);
    if (sample.loci < 2) {
        os << "<p class=\"note one-locus\">Typed at one locus: there is no linkage to test and no "
              "disequilibrium to measure.</p>\n";
    }
    allele_bars(os, sample);
    hardy_weinberg_table(os, sample);
    haplotype_table(os, sample, ld_table);
    if (ld_table && !ld_table->rows.empty() && !ld_table->columns.empty()) {
        heatmap(os, sample, *ld_table);
    }
    bootstrap_section(os, sample, ld_table);
    if (sample.test == TestStatus::kRun) {
        histogram(os, sample, test);
    }
    os << "</section>\n";
}

} // namespace

std::string escape(const std::string& text) {
    const std::string marked = display_text::marked_utf8(text);
    std::string out;
    const std::string_view all(marked);
    for (std::size_t i = 0; i < all.size();) {
        const std::size_t n = display_text::utf8_sequence(all.substr(i));
        const char32_t c = display_text::code_point(all.substr(i), n);
        if (c == '&') {
            out += "&amp;";
        } else if (c == '<') {
            out += "&lt;";
        } else if (c == '>') {
            out += "&gt;";
        } else if (c == '"') {
            out += "&quot;";
        } else if (c < 0x20 || c == 0x7F) {
            // A control character is shown as its picture (U+2400 block).
            const char32_t picture = c == 0x7F ? 0x2421 : 0x2400 + c;
            out += static_cast<char>(0xE0 | (picture >> 12));
            out += static_cast<char>(0x80 | ((picture >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (picture & 0x3F));
        } else if (c >= 0x80 && c <= 0x9F) {
            out += display_text::kReplacement; // C1 controls have no picture
        } else {
            out += all.substr(i, n);
        }
        i += n;
    }
    return out;
}

void write(std::ostream& os, const RunResults& run) {
    os << "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
       << "<title>" << escape(run.program) << ": " << escape(run.data_file) << "</title>\n"
       << "<style>" << kStyle << "</style>\n</head>\n<body>\n"
       << "<h1>Haplotype frequencies and linkage equilibrium</h1>\n"
       << "<p>" << escape(run.data_file) << ", seed " << run.seed << ", " << run.samples.size()
       << (run.samples.size() == 1 ? " sample" : " samples") << ".</p>\n";
    for (const panel::Panel& p : panel::find_panels(run)) {
        panel_matrix(os, run, p);
    }
    for (std::size_t s = 0; s < run.samples.size(); ++s) {
        sample_section(os, run, run.samples[s], s + 1);
    }
    os << "<p class=\"footer\">A small P-value rejects linkage equilibrium together with "
          "Hardy-Weinberg proportions: both likelihoods assume them, so inbreeding, population "
          "structure or genotyping error raise the ratio too.</p>\n</body>\n</html>\n";
}

} // namespace html_report
