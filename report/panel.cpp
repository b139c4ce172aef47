#include "report/panel.h"

#include <algorithm>
#include <limits>

#include "report/number_format.h"
#include "report/tables.h"

namespace panel {
namespace {

std::size_t marker_index(Panel& panel, const std::string& marker) {
    const auto it = std::find(panel.markers.begin(), panel.markers.end(), marker);
    if (it != panel.markers.end()) {
        return static_cast<std::size_t>(it - panel.markers.begin());
    }
    panel.markers.push_back(marker);
    return panel.markers.size() - 1;
}

} // namespace

std::vector<Panel> find_panels(const RunResults& run) {
    std::vector<Panel> panels;
    for (std::size_t s = 0; s < run.samples.size(); ++s) {
        const std::optional<PairName> name = read_pair_name(run.samples[s].name);
        if (!name || run.samples[s].loci != 2) {
            continue;
        }
        auto it = std::find_if(panels.begin(), panels.end(),
                               [&](const Panel& p) { return p.name == name->panel; });
        if (it == panels.end()) {
            it = panels.insert(panels.end(), Panel{name->panel, {}, {}});
        }
        it->pairs.push_back(
            {s, marker_index(*it, name->marker_1), marker_index(*it, name->marker_2)});
    }
    std::erase_if(panels, [](const Panel& p) { return p.pairs.size() < 2; });
    return panels;
}

Figures figures(const SampleResults& sample) {
    constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
    Figures f{kNaN, kNaN, kNaN, ""};
    const std::optional<SampleLd> ld_table = sample_ld(sample);
    if (!ld_table) {
        return f;
    }
    f.overall_d_prime = ld_table->table.overall_d_prime;
    f.wn = ld_table->table.wn;
    const SampleTest test = sample_test(sample, ld_table);
    if (test.simulated) {
        f.p = test.report_p;
        f.p_source = "simulated";
    } else if (test.df > 0) {
        f.p = test.chi_square_p;
        f.p_source = "chi-square";
    }
    return f;
}

std::vector<std::string> locus_names(const SampleResults& sample) {
    const std::optional<PairName> name = read_pair_name(sample.name);
    if (!name) {
        return {};
    }
    return {name->marker_1, name->marker_2};
}

void write_pairs_table(std::ostream& os, const RunResults& run, const std::vector<Panel>& panels) {
    os << "sample_number\tsample\tpanel\tlocus_1\tlocus_2\toverall_d_prime\twn\tp\tp_source\n";
    for (const Panel& p : panels) {
        for (const Pair& pair : p.pairs) {
            const SampleResults& sample = run.samples[pair.sample];
            const Figures f = figures(sample);
            os << pair.sample + 1 << "\t" << tables::field(sample.name) << "\t"
               << tables::field(p.name) << "\t" << p.markers[pair.marker_1] << "\t"
               << p.markers[pair.marker_2] << "\t" << shortest(f.overall_d_prime) << "\t"
               << shortest(f.wn) << "\t" << shortest(f.p) << "\t" << f.p_source << "\n";
        }
    }
}

} // namespace panel
