#pragma once

// Synthetic data files for tests, timing runs and the bundled example: nuclear
// families and single individuals typed at one or two loci, drawn from known
// haplotype frequencies. Header-only so that benchmarks can build data in
// memory without a library of their own; uses the standard library only.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <numeric>
#include <ostream>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace datagen {

enum class Linkage { none, moderate, strong };

// Which parents of a family are left out of the file: a share of all parent
// places chosen at random, or exactly one parent of every family (the first
// or the second named on the children's lines).
enum class AbsentParent { random, first, second };

struct Options {
    int families = 30;
    int sibs_min = 1;
    int sibs_max = 4;
    double untyped_share = 0.3;
    AbsentParent absent_parent = AbsentParent::random;
    int singles = 10;
    int loci = 2;
    int alleles[2] = {5, 4};
    Linkage ld = Linkage::none;
    bool even_alleles = false;
    int samples = 1;
    int simulated = 0;
    int initial = 5;
    std::uint64_t seed = 1;
    std::string name = "Generated sample";
    // 3: the first parent of every family is the child of two grandparents
    // absent from the file (whole pedigrees of three generations).
    int generations = 2;
    // Share of the individuals written with one locus unknown ("? ?" there,
    // which only --whole-pedigrees reads); two loci only.
    double missing_locus_share = 0.0;
};

// Our own conversions of the 64-bit engine output: the standard distributions
// are implementation-defined, and a seed must give the same file everywhere.
class Source {
  public:
    explicit Source(std::uint64_t seed) : engine_(seed) {}

    double uniform() { return static_cast<double>(engine_() >> 11) * 0x1.0p-53; }

    // Uniform in [0, n), by rejection so that no value is favoured.
    std::uint64_t index(std::uint64_t n) {
        const std::uint64_t limit = UINT64_MAX - UINT64_MAX % n;
        std::uint64_t x = engine_();
        while (x >= limit) {
            x = engine_();
        }
        return x % n;
    }

    bool coin() { return (engine_() >> 63) != 0; }

    template <typename T> void shuffle(std::vector<T>& v) {
        for (std::size_t i = v.size(); i > 1; --i) {
            std::swap(v[i - 1], v[index(i)]);
        }
    }

  private:
    std::mt19937_64 engine_;
};

// Haplotype frequencies over alleles[0] x alleles[1] (locus 0 varying slowest),
// or over alleles[0] alone for one locus. Without linkage disequilibrium each
// haplotype frequency is the product of its allele frequencies. With it, a
// share of the mass goes to one haplotype per allele of the smaller locus
// (allele i of locus 0 with a randomly chosen partner at locus 1), so a few
// haplotypes stand out while every haplotype keeps a positive frequency.
struct Frequencies {
    std::vector<double> allele[2];
    std::vector<double> haplotype;
};

inline std::vector<double> allele_frequencies(int n, bool even, Source& source) {
    std::vector<double> f(static_cast<std::size_t>(n));
    for (double& x : f) {
        // The floor keeps rare alleles from vanishing from small samples.
        x = even ? 1.0 : 0.15 + source.uniform();
    }
    const double total = std::accumulate(f.begin(), f.end(), 0.0);
    for (double& x : f) {
        x /= total;
    }
    return f;
}

inline double ld_share(Linkage ld) {
    switch (ld) {
    case Linkage::moderate:
        return 0.2;
    case Linkage::strong:
        return 0.8;
    case Linkage::none:
        break;
    }
    return 0.0;
}

inline Frequencies make_frequencies(const Options& options, Source& source) {
    Frequencies f;
    f.allele[0] = allele_frequencies(options.alleles[0], options.even_alleles, source);
    if (options.loci == 1) {
        f.haplotype = f.allele[0];
        return f;
    }
    f.allele[1] = allele_frequencies(options.alleles[1], options.even_alleles, source);
    const std::size_t a = f.allele[0].size();
    const std::size_t b = f.allele[1].size();
    f.haplotype.assign(a * b, 0.0);
    for (std::size_t i = 0; i < a; ++i) {
        for (std::size_t j = 0; j < b; ++j) {
            f.haplotype[i * b + j] = f.allele[0][i] * f.allele[1][j];
        }
    }
    const double share = ld_share(options.ld);
    if (share == 0.0) {
        return f;
    }
    std::vector<std::size_t> partner(b);
    std::iota(partner.begin(), partner.end(), std::size_t{0});
    source.shuffle(partner);
    const std::size_t carriers = std::min(a, b);
    std::vector<double> weight(carriers);
    for (double& w : weight) {
        w = 0.5 + source.uniform();
    }
    const double total = std::accumulate(weight.begin(), weight.end(), 0.0);
    for (double& h : f.haplotype) {
        h *= 1.0 - share;
    }
    for (std::size_t i = 0; i < carriers; ++i) {
        f.haplotype[i * b + partner[i]] += share * weight[i] / total;
    }
    return f;
}

inline std::size_t draw(const std::vector<double>& frequencies, Source& source) {
    const double u = source.uniform();
    double sum = 0.0;
    for (std::size_t k = 0; k < frequencies.size(); ++k) {
        sum += frequencies[k];
        if (u < sum) {
            return k;
        }
    }
    // Rounding can leave the total a hair below 1.
    return frequencies.size() - 1;
}

inline std::string allele_name(int locus, std::size_t index) {
    return std::string(1, static_cast<char>('A' + locus)) + std::to_string(index + 1);
}

class Writer {
  public:
    Writer(const Options& options, const Frequencies& frequencies, Source& source)
        : options_(options), frequencies_(frequencies), source_(source) {}

    using Haplotype = std::size_t;
    using Genotype = std::pair<Haplotype, Haplotype>;

    Genotype founder() {
        return {draw(frequencies_.haplotype, source_), draw(frequencies_.haplotype, source_)};
    }

    Genotype child(const Genotype& p1, const Genotype& p2) {
        const Haplotype h1 = source_.coin() ? p1.first : p1.second;
        const Haplotype h2 = source_.coin() ? p2.first : p2.second;
        return {h1, h2};
    }

    void record(std::ostream& os, const std::string& id, const std::string& p1,
                const std::string& p2, Genotype g) {
        // The file states no phase: which haplotype lands on the first line is random.
        if (source_.coin()) {
            std::swap(g.first, g.second);
        }
        os << id << ' ' << p1 << ' ' << p2 << '\n';
        int unknown = -1;
        if (options_.missing_locus_share > 0.0 && options_.loci == 2 &&
            source_.uniform() < options_.missing_locus_share) {
            unknown = source_.coin() ? 1 : 0;
        }
        allele_line(os, g.first, unknown);
        allele_line(os, g.second, unknown);
    }

  private:
    void allele_line(std::ostream& os, Haplotype h, int unknown) {
        if (options_.loci == 1) {
            os << allele_name(0, h) << '\n';
            return;
        }
        const std::size_t b = frequencies_.allele[1].size();
        os << (unknown == 0 ? "?" : allele_name(0, h / b)) << ' '
           << (unknown == 1 ? "?" : allele_name(1, h % b)) << '\n';
    }

    const Options& options_;
    const Frequencies& frequencies_;
    Source& source_;
};

inline int family_size(const Options& options, Source& source) {
    const auto span = static_cast<std::uint64_t>(options.sibs_max - options.sibs_min + 1);
    return options.sibs_min + static_cast<int>(source.index(span));
}

// One sample: the families (parents first, then their children), then the
// single individuals. Absent parents are a fixed share of all parent places,
// chosen at random, so that the file holds exactly the share asked for.
inline void write_sample(std::ostream& os, const std::string& name, const Options& options,
                         const Frequencies& frequencies, Source& source) {
    const auto places = static_cast<std::size_t>(options.families) * 2;
    std::vector<char> absent(places, 0);
    std::size_t absent_count = 0;
    if (options.absent_parent == AbsentParent::random) {
        absent_count =
            std::min(places, static_cast<std::size_t>(options.untyped_share * places + 0.5));
        std::fill(absent.begin(), absent.begin() + static_cast<std::ptrdiff_t>(absent_count), 1);
        source.shuffle(absent);
    } else {
        const std::size_t which = options.absent_parent == AbsentParent::first ? 0 : 1;
        for (std::size_t f = 0; f < places / 2; ++f) {
            absent[2 * f + which] = 1;
        }
        absent_count = places / 2;
    }

    std::vector<int> sibs(static_cast<std::size_t>(options.families));
    std::size_t count = static_cast<std::size_t>(options.singles) + places - absent_count;
    for (int& n : sibs) {
        n = family_size(options, source);
        count += static_cast<std::size_t>(n);
    }

    os << count << '\n' << name << '\n';
    Writer writer(options, frequencies, source);
    for (int f = 0; f < options.families; ++f) {
        const std::string tag = std::to_string(f + 1);
        const std::string father = "F" + tag;
        const std::string mother = "M" + tag;
        auto fg = writer.founder();
        const auto mg = writer.founder();
        std::string grandfather = "0";
        std::string grandmother = "0";
        if (options.generations == 3) {
            grandfather = "GF" + tag;
            grandmother = "GM" + tag;
            fg = writer.child(fg, writer.founder());
        }
        if (!absent[2 * static_cast<std::size_t>(f)]) {
            writer.record(os, father, grandfather, grandmother, fg);
        }
        if (!absent[2 * static_cast<std::size_t>(f) + 1]) {
            writer.record(os, mother, "0", "0", mg);
        }
        for (int k = 0; k < sibs[static_cast<std::size_t>(f)]; ++k) {
            writer.record(os, "C" + tag + "." + std::to_string(k + 1), father, mother,
                          writer.child(fg, mg));
        }
    }
    for (int s = 0; s < options.singles; ++s) {
        writer.record(os, "S" + std::to_string(s + 1), "0", "0", writer.founder());
    }
}

// The whole data file: run parameters, then every sample drawn afresh from the
// same haplotype frequencies. Returns the frequencies used.
inline Frequencies write_data_file(std::ostream& os, const Options& options) {
    Source source(options.seed);
    const Frequencies frequencies = make_frequencies(options, source);
    os << options.samples << ' ' << options.simulated << ' ' << options.initial << '\n';
    for (int k = 0; k < options.samples; ++k) {
        const std::string name =
            options.samples == 1 ? options.name : options.name + " " + std::to_string(k + 1);
        write_sample(os, name, options, frequencies, source);
    }
    return frequencies;
}

} // namespace datagen
