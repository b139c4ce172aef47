// A panel of linked markers in pedigree format, for timing runs of every
// pair: nuclear families whose parents are untyped (written with missing
// alleles), some children missing one marker.
//
//   tovaquor_generate_panel [--families N] [--markers M] [--alleles A]
//                           [--missing SHARE] [--seed S] PREFIX
//
// writes PREFIX.ped and PREFIX.map. Haplotypes are drawn along the markers:
// each allele repeats a function of the previous marker's allele with
// probability 0.4, so neighbouring markers are in disequilibrium.
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "bench/generate_data.h"

namespace {

struct PanelOptions {
    int families = 300;
    int markers = 8;
    int alleles = 10;
    double missing = 0.05; // share of children missing one marker
    std::uint64_t seed = 1;
    std::string prefix;
};

using Haplotype = std::vector<int>;

Haplotype draw_haplotype(const PanelOptions& o, datagen::Source& source) {
    Haplotype h(static_cast<std::size_t>(o.markers));
    for (std::size_t m = 0; m < h.size(); ++m) {
        const auto n = static_cast<std::uint64_t>(o.alleles);
        h[m] = m > 0 && source.uniform() < 0.4 ? (h[m - 1] * 3 + 1) % o.alleles
                                               : static_cast<int>(source.index(n));
    }
    return h;
}

void write_line(std::ostream& os, const std::string& family, const std::string& id,
                const std::string& father, const std::string& mother, const Haplotype* a,
                const Haplotype* b, int missing_marker, int markers) {
    os << family << " " << id << " " << father << " " << mother << " 0 0";
    for (int m = 0; m < markers; ++m) {
        const auto k = static_cast<std::size_t>(m);
        if (a == nullptr || m == missing_marker) {
            os << " 0 0";
        } else {
            os << " " << (*a)[k] + 1 << " " << (*b)[k] + 1;
        }
    }
    os << "\n";
}

} // namespace

int main(int argc, char** argv) {
    PanelOptions o;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool has_value = i + 1 < argc;
        if (arg == "--families" && has_value) {
            o.families = std::stoi(argv[++i]);
        } else if (arg == "--markers" && has_value) {
            o.markers = std::stoi(argv[++i]);
        } else if (arg == "--alleles" && has_value) {
            o.alleles = std::stoi(argv[++i]);
        } else if (arg == "--missing" && has_value) {
            o.missing = std::stod(argv[++i]);
        } else if (arg == "--seed" && has_value) {
            o.seed = std::stoull(argv[++i]);
        } else if (o.prefix.empty() && arg[0] != '-') {
            o.prefix = arg;
        } else {
            std::cerr << "usage: tovaquor_generate_panel [--families N] [--markers M] "
                         "[--alleles A] [--missing SHARE] [--seed S] PREFIX\n";
            return 1;
        }
    }
    if (o.prefix.empty() || o.markers < 2 || o.alleles < 2 || o.families < 1) {
        std::cerr << "tovaquor_generate_panel: PREFIX, at least 2 markers, 2 alleles, 1 family\n";
        return 1;
    }
    datagen::Source source(o.seed);
    std::ofstream map(o.prefix + ".map");
    for (int m = 0; m < o.markers; ++m) {
        map << "6 D6S" << 100 + m << " 0 " << 1000 * (m + 1) << "\n";
    }
    std::ofstream ped(o.prefix + ".ped");
    for (int f = 1; f <= o.families; ++f) {
        const std::string family = "F" + std::to_string(f);
        Haplotype parents[4];
        for (Haplotype& h : parents) {
            h = draw_haplotype(o, source);
        }
        write_line(ped, family, "fa", "0", "0", nullptr, nullptr, -1, o.markers);
        write_line(ped, family, "mo", "0", "0", nullptr, nullptr, -1, o.markers);
        const int sibs = 2 + static_cast<int>(source.index(2));
        for (int s = 1; s <= sibs; ++s) {
            const Haplotype& a = parents[source.index(2)];
            const Haplotype& b = parents[2 + source.index(2)];
            const int missing =
                source.uniform() < o.missing
                    ? static_cast<int>(source.index(static_cast<std::uint64_t>(o.markers)))
                    : -1;
            write_line(ped, family, "c" + std::to_string(s), "fa", "mo", &a, &b, missing,
                       o.markers);
        }
    }
    return ped && map ? 0 : 1;
}
