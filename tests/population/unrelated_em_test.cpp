// The estimates for unrelated individuals checked against a plain gene-counting
// EM over phase-resolved genotypes, written here independently of the pedigree
// machinery.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "io/data_file_reader.h"
#include "population/pop_pedigree.h"
#include "support/errors.h"

namespace {

using Haplotype = std::vector<std::string>; // one allele per locus
using Genotype = std::pair<Haplotype, Haplotype>;
using Frequencies = std::map<Haplotype, double>;

// An individual's two allele lines read as a genotype, and its other phase
// when it is heterozygous at two loci.
std::vector<Genotype> phases(const Genotype& p) {
    std::vector<Genotype> out{p};
    if (p.first.size() == 2 && p.first[0] != p.second[0] && p.first[1] != p.second[1]) {
        out.push_back({{p.first[0], p.second[1]}, {p.second[0], p.first[1]}});
    }
    return out;
}

double probability(const Genotype& g, const Frequencies& f) {
    return (g.first == g.second ? 1.0 : 2.0) * f.at(g.first) * f.at(g.second);
}

double ln_likelihood(const std::vector<Genotype>& people, const Frequencies& f) {
    double ln_l = 0.0;
    for (const Genotype& p : people) {
        double prob = 0.0;
        for (const Genotype& g : phases(p)) {
            prob += probability(g, f);
        }
        ln_l += std::log(prob);
    }
    return ln_l;
}

// Each individual's two haplotype copies are shared among its phases in
// proportion to their probabilities, until nothing moves.
Frequencies gene_counting(const std::vector<Genotype>& people, Frequencies f) {
    const double copies = 2.0 * static_cast<double>(people.size());
    for (double change = 1.0; change >= 1e-15;) {
        Frequencies next;
        for (const Genotype& p : people) {
            const double total = std::exp(ln_likelihood({p}, f));
            for (const Genotype& g : phases(p)) {
                next[g.first] += probability(g, f) / total / copies;
                next[g.second] += probability(g, f) / total / copies;
            }
        }
        change = 0.0;
        for (const auto& [h, x] : next) {
            change = std::max(change, std::fabs(x - f[h]));
        }
        f.swap(next);
    }
    return f;
}

// A sample drawn from haplotypes in strong linkage disequilibrium (std::mt19937
// gives the same numbers on every platform). One locus is pinned by the
// hand-checked runs of e2e/one_locus.
std::vector<Genotype> drawn() {
    // Cumulative weights out of 100.
    const std::vector<std::pair<unsigned, Haplotype>> haplotypes = {
        {30, {"101", "A"}}, {40, {"101", "B"}}, {45, {"101", "C"}},
        {55, {"104", "A"}}, {75, {"104", "B"}}, {80, {"104", "C"}},
        {83, {"98", "A"}},  {88, {"98", "B"}},  {100, {"98", "C"}}};
    std::mt19937 engine(20240607U);
    const auto draw = [&]() {
        const unsigned u = engine() % 100U;
        auto h = haplotypes.begin();
        while (u >= h->first) {
            ++h;
        }
        return h->second;
    };
    std::vector<Genotype> people;
    for (int i = 0; i < 60; ++i) {
        Haplotype h1 = draw();
        people.emplace_back(h1, draw());
    }
    return people;
}

TEST(UnrelatedEm, EstimatesMatchCounting) {
    const std::vector<Genotype> people = drawn();
    std::ostringstream data, log;
    data << people.size() << " Unrelated\n";
    for (std::size_t i = 0; i < people.size(); ++i) {
        data << "I" << i << " 0 0\n";
        for (const Haplotype* line : {&people[i].first, &people[i].second}) {
            for (const std::string& allele : *line) {
                data << allele << ' ';
            }
            data << '\n';
        }
    }
    std::istringstream is(data.str());
    DataFileReader reader(is);
    const SampleDescription sample = reader.read_sample(reader.read_individual_count(1));
    std::ostream* saved = log_stream;
    log_stream = &log;
    set_console(&log);
    TPopPedigree pop("Brand new pop");
    pop.analyse(sample, 3);
    set_console(nullptr);
    log_stream = saved;

    // Haplotype frequencies, from uniform starting values over every phase.
    Frequencies start;
    for (const Genotype& p : people) {
        for (const Genotype& g : phases(p)) {
            start[g.first] = start[g.second] = 1.0;
        }
    }
    for (auto& [h, x] : start) {
        x = 1.0 / static_cast<double>(start.size());
    }
    const Frequencies expected = gene_counting(people, start);
    ASSERT_GT(pop.HaplDB.size(), 0);
    double sum = 0.0;
    for (std::int32_t i = 0; i < pop.HaplDB.size(); ++i) {
        const TPopHaplotype& entry = *pop.HaplDB[i];
        Haplotype h;
        for (std::int32_t k = 0; k < entry.size(); ++k) {
            h.push_back(entry.allele(k)->_name);
        }
        // Haplotypes no phase can carry ("#" among them) end at zero.
        EXPECT_NEAR(expected.contains(h) ? expected.at(h) : 0.0, entry._freq, 1e-5)
            << ::testing::PrintToString(h);
        sum += entry._freq;
    }
    EXPECT_NEAR(1.0, sum, 1e-9);
    // The sample log-likelihood is kept in single precision.
    const double ln_l = ln_likelihood(people, expected);
    EXPECT_NEAR(ln_l, pop.PedDB._ln_likelihood, 1e-6 * std::fabs(ln_l));

    // The maximum-likelihood allele frequencies are the allele counts over 2N,
    // and the equilibrium likelihood is that of their products.
    const std::size_t n_loci = people.front().first.size();
    ASSERT_EQ(static_cast<std::int32_t>(n_loci), pop.AlleleDB.n_loci());
    std::vector<std::map<std::string, double>> allele_freq(n_loci);
    for (const Genotype& p : people) {
        for (std::size_t k = 0; k < n_loci; ++k) {
            allele_freq[k][p.first[k]] += 0.5 / static_cast<double>(people.size());
            allele_freq[k][p.second[k]] += 0.5 / static_cast<double>(people.size());
        }
    }
    for (std::size_t k = 0; k < n_loci; ++k) {
        const TLocus& locus = pop.AlleleDB.locus(static_cast<std::int32_t>(k));
        for (std::int32_t j = 0; j < locus.size(); ++j) {
            const TAllele& a = *locus.allele(j);
            EXPECT_NEAR(a._name == "#" ? 0.0 : allele_freq[k].at(a._name), a._freq, 1e-5)
                << "locus " << k << " allele " << a._name;
        }
    }
    for (auto& [h, x] : start) {
        x = 1.0;
        for (std::size_t k = 0; k < n_loci; ++k) {
            x *= allele_freq[k].at(h[k]);
        }
    }
    const double equilibrium = ln_likelihood(people, start);
    EXPECT_NEAR(equilibrium, pop.EquilLnLHood, 1e-5 * std::fabs(equilibrium));
}

} // namespace
