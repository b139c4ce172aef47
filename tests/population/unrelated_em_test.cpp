// The estimates of a sample of unrelated individuals checked against a plain
// gene-counting EM over phase-resolved genotypes, written here independently of
// the pedigree machinery.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "population/pop_pedigree.h"
#include "support/errors.h"

namespace {

// One individual: its two allele lines, one allele per locus.
struct Person {
    std::vector<std::string> line1;
    std::vector<std::string> line2;
};

using Haplotype = std::vector<std::string>;
using Genotype = std::pair<Haplotype, Haplotype>;

std::string data_text(const std::vector<Person>& people) {
    std::ostringstream os;
    os << people.size() << " Unrelated\n";
    for (std::size_t i = 0; i < people.size(); ++i) {
        os << "I" << i << " 0 0\n";
        for (const auto* line : {&people[i].line1, &people[i].line2}) {
            for (const std::string& allele : *line) {
                os << allele << ' ';
            }
            os << '\n';
        }
    }
    return os.str();
}

// Every phase of the phenotype; a double heterozygote has two.
std::vector<Genotype> phases(const Person& p) {
    std::vector<Genotype> out{{p.line1, p.line2}};
    if (p.line1.size() == 2 && p.line1[0] != p.line2[0] && p.line1[1] != p.line2[1]) {
        out.push_back({{p.line1[0], p.line2[1]}, {p.line2[0], p.line1[1]}});
    }
    return out;
}

struct Estimate {
    std::map<Haplotype, double> freq;
    double ln_likelihood = 0.0;
};

double genotype_prob(const Genotype& g, const std::map<Haplotype, double>& f) {
    const double a = f.at(g.first);
    const double b = f.at(g.second);
    return g.first == g.second ? a * b : 2.0 * a * b;
}

double ln_likelihood(const std::vector<Person>& people, const std::map<Haplotype, double>& f) {
    double ln_l = 0.0;
    for (const Person& p : people) {
        double prob = 0.0;
        for (const Genotype& g : phases(p)) {
            prob += genotype_prob(g, f);
        }
        ln_l += std::log(prob);
    }
    return ln_l;
}

// Gene counting: each individual's two haplotype copies are shared among its
// phases in proportion to their probabilities, until nothing moves.
Estimate gene_counting(const std::vector<Person>& people) {
    Estimate e;
    for (const Person& p : people) {
        for (const Genotype& g : phases(p)) {
            e.freq[g.first] = 1.0;
            e.freq[g.second] = 1.0;
        }
    }
    for (auto& [h, f] : e.freq) {
        f = 1.0 / static_cast<double>(e.freq.size());
    }
    const double copies = 2.0 * static_cast<double>(people.size());
    for (int iteration = 0; iteration < 1000000; ++iteration) {
        std::map<Haplotype, double> next;
        for (const auto& [h, f] : e.freq) {
            next[h] = 0.0;
        }
        for (const Person& p : people) {
            const std::vector<Genotype> gs = phases(p);
            double total = 0.0;
            for (const Genotype& g : gs) {
                total += genotype_prob(g, e.freq);
            }
            for (const Genotype& g : gs) {
                const double share = genotype_prob(g, e.freq) / total / copies;
                next[g.first] += share;
                next[g.second] += share;
            }
        }
        double change = 0.0;
        for (const auto& [h, f] : next) {
            change = std::max(change, std::fabs(f - e.freq[h]));
        }
        e.freq = next;
        if (change < 1e-15) {
            break;
        }
    }
    e.ln_likelihood = ln_likelihood(people, e.freq);
    return e;
}

struct Analysed {
    std::ostringstream log;
    TPopPedigree pop{"Brand new pop"};
};

void analyse(Analysed& a, const std::vector<Person>& people, std::int32_t n_initial) {
    std::istringstream is(data_text(people));
    std::int32_t n = 0;
    is >> n;
    std::ostream* saved = log_stream;
    log_stream = &a.log;
    std::ostringstream out;
    a.pop.analyse(n_initial, is, n, out, out, 0);
    log_stream = saved;
}

Haplotype names(const TPopHaplotype& h) {
    Haplotype out;
    for (std::int32_t k = 0; k < h.size(); ++k) {
        out.push_back(h.allele(k)->_name);
    }
    return out;
}

// A hand-made sample with four double heterozygotes, and a larger one drawn from
// haplotypes in strong linkage disequilibrium (std::mt19937 is fully specified,
// so the sample is the same everywhere).
std::vector<Person> small_sample() {
    return {
        {{"1", "a"}, {"2", "b"}}, {{"1", "a"}, {"1", "a"}}, {{"2", "a"}, {"3", "b"}},
        {{"1", "b"}, {"3", "a"}}, {{"3", "b"}, {"3", "b"}}, {{"2", "b"}, {"2", "a"}},
        {{"1", "a"}, {"3", "b"}}, {{"1", "a"}, {"1", "b"}}, {{"2", "b"}, {"1", "a"}},
        {{"3", "a"}, {"3", "b"}}, {{"2", "b"}, {"2", "b"}}, {{"1", "b"}, {"1", "a"}},
    };
}

std::vector<Person> drawn_sample() {
    // Cumulative weights out of 100 of the haplotypes below.
    const std::vector<std::pair<int, Haplotype>> haplotypes = {
        {30, {"101", "A"}}, {40, {"101", "B"}}, {45, {"101", "C"}},
        {55, {"104", "A"}}, {75, {"104", "B"}}, {80, {"104", "C"}},
        {83, {"98", "A"}},  {88, {"98", "B"}},  {100, {"98", "C"}},
    };
    std::mt19937 engine(20240607U);
    const auto draw = [&]() -> const Haplotype& {
        const int u = static_cast<int>(engine() % 100U);
        for (const auto& [limit, h] : haplotypes) {
            if (u < limit) {
                return h;
            }
        }
        return haplotypes.back().second;
    };
    std::vector<Person> people;
    for (int i = 0; i < 60; ++i) {
        const Haplotype& h1 = draw();
        const Haplotype& h2 = draw();
        people.push_back({h1, h2});
    }
    return people;
}

std::vector<Person> one_locus_sample() {
    return {{{"7"}, {"9"}}, {{"7"}, {"7"}}, {{"11"}, {"9"}}, {{"9"}, {"9"}}, {{"7"}, {"11"}}};
}

struct Case {
    const char* label;
    std::vector<Person> (*sample)();
};

class UnrelatedEm : public ::testing::TestWithParam<Case> {};

TEST_P(UnrelatedEm, HaplotypeFrequenciesMatchGeneCounting) {
    const std::vector<Person> people = GetParam().sample();
    const Estimate expected = gene_counting(people);
    Analysed a;
    analyse(a, people, 3);

    const TPopHaploDB& db = a.pop.HaplDB;
    ASSERT_GT(db.size(), 0);
    double sum = 0.0;
    for (std::int32_t i = 0; i < db.size(); ++i) {
        const Haplotype h = names(*db[i]);
        const auto found = expected.freq.find(h);
        // Haplotypes no phase can carry ("#" among them) end at zero.
        const double want = found == expected.freq.end() ? 0.0 : found->second;
        EXPECT_NEAR(want, db[i]->_freq, 1e-5) << "haplotype " << ::testing::PrintToString(h);
        sum += db[i]->_freq;
    }
    EXPECT_NEAR(1.0, sum, 1e-9);
    // The sample log-likelihood is kept in single precision.
    EXPECT_NEAR(expected.ln_likelihood, a.pop.PedDB._ln_likelihood,
                1e-6 * std::fabs(expected.ln_likelihood));
}

TEST_P(UnrelatedEm, AlleleFrequenciesAndEquilibriumMatchCounting) {
    const std::vector<Person> people = GetParam().sample();
    Analysed a;
    analyse(a, people, 1);

    // For unrelated individuals the maximum-likelihood allele frequencies are
    // the allele counts over 2N.
    const std::size_t n_loci = people.front().line1.size();
    std::vector<std::map<std::string, double>> allele_freq(n_loci);
    const double copies = 2.0 * static_cast<double>(people.size());
    for (const Person& p : people) {
        for (std::size_t k = 0; k < n_loci; ++k) {
            allele_freq[k][p.line1[k]] += 1.0 / copies;
            allele_freq[k][p.line2[k]] += 1.0 / copies;
        }
    }
    ASSERT_EQ(static_cast<std::int32_t>(n_loci), a.pop.AlleleDB.n_loci());
    for (std::size_t k = 0; k < n_loci; ++k) {
        const TLocus& locus = a.pop.AlleleDB.locus(static_cast<std::int32_t>(k));
        for (std::int32_t j = 0; j < locus.size(); ++j) {
            const TAllele& allele = *locus.allele(j);
            const double want = allele._name == "#" ? 0.0 : allele_freq[k].at(allele._name);
            EXPECT_NEAR(want, allele._freq, 1e-5) << "locus " << k << " allele " << allele._name;
        }
    }

    std::map<Haplotype, double> equilibrium;
    for (const Person& p : people) {
        for (const Genotype& g : phases(p)) {
            for (const Haplotype* h : {&g.first, &g.second}) {
                double f = 1.0;
                for (std::size_t k = 0; k < n_loci; ++k) {
                    f *= allele_freq[k].at((*h)[k]);
                }
                equilibrium[*h] = f;
            }
        }
    }
    const double want = ln_likelihood(people, equilibrium);
    EXPECT_NEAR(want, a.pop.EquilLnLHood, 1e-5 * std::fabs(want));
}

INSTANTIATE_TEST_SUITE_P(Samples, UnrelatedEm,
                         ::testing::Values(Case{"HandMade", small_sample},
                                           Case{"Drawn", drawn_sample},
                                           Case{"OneLocus", one_locus_sample}),
                         [](const ::testing::TestParamInfo<Case>& info) {
                             return std::string(info.param.label);
                         });

} // namespace
