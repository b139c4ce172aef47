// The whole-pedigree likelihood against a brute force that enumerates every
// founder haplotype pair and every transmission; loops refused by name.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "pedigree/whole_pedigrees.h"

namespace {

constexpr std::int32_t U = WholeMember::kUnknown;

// Members from "name parent1 parent2 typing" lines: parents by name or "0";
// the typing per locus as two allele digits or `?`, loci apart ("01 1?").
std::vector<WholeMember> parse(const std::string& text) {
    std::vector<WholeMember> out;
    std::vector<std::array<std::string, 2>> parents;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        WholeMember m;
        std::array<std::string, 2> p;
        if (!(fields >> m.name >> p[0] >> p[1])) {
            continue;
        }
        std::string locus;
        for (std::size_t l = 0; fields >> locus; ++l) {
            for (std::size_t k = 0; k < 2; ++k) {
                m.alleles[l][k] = locus[k] == '?' ? U : locus[k] - '0';
            }
        }
        out.push_back(m);
        parents.push_back(p);
    }
    for (std::size_t i = 0; i < out.size(); ++i) {
        for (std::size_t k = 0; k < 2; ++k) {
            for (std::size_t j = 0; j < out.size(); ++j) {
                if (out[j].name == parents[i][k]) {
                    (k == 0 ? out[i].parent1 : out[i].parent2) = static_cast<std::int32_t>(j);
                }
            }
        }
    }
    return out;
}

std::vector<std::array<std::int32_t, 2>> haplotypes(std::int32_t n0, std::int32_t n1) {
    std::vector<std::array<std::int32_t, 2>> out;
    for (std::int32_t a = 0; a < n0; ++a) {
        for (std::int32_t b = 0; b < n1; ++b) {
            out.push_back({a, b});
        }
    }
    return out;
}

struct Truth {
    double likelihood = 0.0;
    std::vector<double> counts; // expected founder haplotypes
};

// Every founder haplotype pair and every transmission, one pedigree (or
// several, multiplied) at a time. Members must come after their parents; a
// member with one known parent gets an absent founder, as the model says.
Truth brute_force(std::vector<WholeMember> members,
                  const std::vector<std::array<std::int32_t, 2>>& haps, std::int32_t n_loci,
                  const std::vector<double>& f) {
    const std::size_t given = members.size();
    std::vector<std::size_t> order;
    for (std::size_t i = 0; i < given; ++i) {
        WholeMember& m = members[i];
        if ((m.parent1 == U) != (m.parent2 == U)) {
            (m.parent1 == U ? m.parent1 : m.parent2) = static_cast<std::int32_t>(members.size());
            members.push_back(WholeMember{});
            order.insert(order.begin(), members.size() - 1);
        }
        order.push_back(i);
    }
    std::vector<std::size_t> founders;
    std::vector<std::size_t> children;
    for (const std::size_t i : order) {
        (members[i].parent1 == U ? founders : children).push_back(i);
    }
    const std::size_t H = haps.size();
    auto fits = [&](const WholeMember& m, std::size_t x, std::size_t y) {
        for (std::int32_t l = 0; l < n_loci; ++l) {
            const std::int32_t a = haps[x][static_cast<std::size_t>(l)];
            const std::int32_t b = haps[y][static_cast<std::size_t>(l)];
            const auto& t = m.alleles[static_cast<std::size_t>(l)];
            const bool ok = t[0] == U   ? (t[1] == U || t[1] == a || t[1] == b)
                            : t[1] == U ? (t[0] == a || t[0] == b)
                                        : ((t[0] == a && t[1] == b) || (t[0] == b && t[1] == a));
            if (!ok) {
                return false;
            }
        }
        return true;
    };
    Truth truth;
    truth.counts.assign(H, 0.0);
    std::vector<std::array<std::size_t, 2>> gene(members.size());
    std::vector<std::size_t> founder_hap(2 * founders.size(), 0);
    std::function<void(std::size_t)> draw = [&](std::size_t k) {
        if (k < founder_hap.size()) {
            for (std::size_t h = 0; h < H; ++h) {
                founder_hap[k] = h;
                draw(k + 1);
            }
            return;
        }
        double prior = 1.0;
        for (std::size_t i = 0; i < founders.size(); ++i) {
            gene[founders[i]] = {founder_hap[2 * i], founder_hap[2 * i + 1]};
            prior *= f[founder_hap[2 * i]] * f[founder_hap[2 * i + 1]];
            if (!fits(members[founders[i]], founder_hap[2 * i], founder_hap[2 * i + 1])) {
                return;
            }
        }
        const std::size_t n = children.size();
        for (std::size_t bits = 0; bits < (std::size_t{1} << (2 * n)); ++bits) {
            bool ok = true;
            for (std::size_t c = 0; c < n && ok; ++c) {
                const WholeMember& m = members[children[c]];
                gene[children[c]] = {
                    gene[static_cast<std::size_t>(m.parent1)][(bits >> (2 * c)) & 1],
                    gene[static_cast<std::size_t>(m.parent2)][(bits >> (2 * c + 1)) & 1]};
                ok = fits(m, gene[children[c]][0], gene[children[c]][1]);
            }
            if (!ok) {
                continue;
            }
            const double p = prior * std::pow(0.25, static_cast<double>(n));
            truth.likelihood += p;
            for (const std::size_t h : founder_hap) {
                truth.counts[h] += p;
            }
        }
    };
    draw(0);
    for (double& c : truth.counts) {
        c /= truth.likelihood;
    }
    return truth;
}

void expect_close(double expected, double actual) {
    EXPECT_NEAR(expected, actual, 1e-12 * std::max(1.0, std::fabs(expected)));
}

struct Case {
    const char* name;
    const char* text;
    std::int32_t alleles0;
    std::int32_t alleles1; // 0: one locus
};

void PrintTo(const Case& c, std::ostream* os) {
    *os << c.name;
}

class AgainstBruteForce : public ::testing::TestWithParam<Case> {};

// The likelihood and every expected count, with frequencies that do not sum
// to one (as during EM from a random start), so a free copy's S shows.
TEST_P(AgainstBruteForce, LikelihoodAndExpectedCountsAgree) {
    const Case& c = GetParam();
    const std::int32_t n_loci = c.alleles1 > 0 ? 2 : 1;
    const auto haps = haplotypes(c.alleles0, std::max(1, c.alleles1));
    std::vector<double> f;
    for (std::size_t h = 0; h < haps.size(); ++h) {
        f.push_back(0.05 + 0.11 * static_cast<double>((h * 7) % haps.size()) / haps.size());
    }
    const std::vector<WholeMember> members = parse(c.text);
    const Truth truth = brute_force(members, haps, n_loci, f);

    WholePedigrees engine;
    engine.build(members, haps, n_loci);
    ASSERT_EQ(1U, engine.n_pedigrees());
    WholePedigrees::Workspace w;
    double ln_l = 0.0;
    ASSERT_EQ(-1, engine.likelihood(f, w, ln_l));
    expect_close(std::log(truth.likelihood), ln_l);
    expect_close(1.0, engine.probability(w, 0) / truth.likelihood);
    std::vector<double> counts;
    engine.expected_counts(f, w, counts);
    for (std::size_t h = 0; h < haps.size(); ++h) {
        expect_close(truth.counts[h], counts[h]);
    }
}

const Case kCases[] = {
    // Absent grandparents, a typed middle generation and its children: the
    // middle member's typing limits what it passes on.
    {"ThreeGenerations", "G1 0 0\nG2 0 0\nP G1 G2 01 01\nQ 0 0 00 11\nC1 P Q 00 01\nC2 P Q 01 11\n",
     2, 2},
    {"HalfSibs", "F 0 0 01 01\nM1 0 0\nM2 0 0 11 00\nA F M1 11 01\nB F M2 01 00\n", 2, 2},
    {"OneKnownParent", "P 0 0 01 0?\nC P 0 00 11\nD 0 P 1? 01\n", 2, 2},
    // A listed untyped middle member (`? ?` at both loci) links its parents to
    // its children; `A ?` at one locus, untyped at the other.
    {"UnknownAlleles", "G 0 0 0? ??\nH 0 0 ?? 01\nP G H ?? ??\nQ 0 0 11 ??\nC P Q 01 1?\n", 2, 2},
    {"OneLocusThreeGenerations",
     "G1 0 0 01\nG2 0 0\nP G1 G2 12\nQ 0 0\nC1 P Q 02\nC2 P Q 1?\nK C1 0 00\n", 3, 0},
    {"PartialTypingThreeAlleles",
     "G 0 0 2? 1?\nP G 0 ?? 01\nQ 0 0 12 ??\nC P Q 0? 11\nD P Q 22 ??\n", 3, 2},
    {"NuclearFamily", "F 0 0 01 01\nM 0 0 11 01\nC1 F M 01 00\nC2 F M 11 11\n", 2, 2},
};

INSTANTIATE_TEST_SUITE_P(Cases, AgainstBruteForce, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

// Pedigrees are summed separately, in order of their first member; one
// without any typing carries no information and is left out; a typed middle
// member that contradicts its own children makes its pedigree impossible.
TEST(WholePedigrees, PedigreesApartAndImpossibleOnes) {
    const auto haps = haplotypes(2, 2);
    const std::vector<double> f{0.1, 0.2, 0.3, 0.4};
    const std::string first = "A 0 0 01 01\nB 0 0\nC A B 00 11\n";
    const std::string second = "D 0 0 11 00\n";
    WholePedigrees engine;
    engine.build(parse(first + "X 0 0\nY X 0\n" + second), haps, 2);
    ASSERT_EQ(2U, engine.n_pedigrees());
    EXPECT_EQ(6.0, engine.founder_haplotypes());
    WholePedigrees::Workspace w;
    double ln_l = 0.0;
    ASSERT_EQ(-1, engine.likelihood(f, w, ln_l));
    const Truth t1 = brute_force(parse(first), haps, 2, f);
    const Truth t2 = brute_force(parse(second), haps, 2, f);
    expect_close(std::log(t1.likelihood) + std::log(t2.likelihood), ln_l);

    WholePedigrees impossible;
    impossible.build(parse(second + "G 0 0\nH 0 0\nP G H 00 00\nQ 0 0\nC P Q 11 11\n"), haps, 2);
    EXPECT_EQ(1, impossible.likelihood(f, w, ln_l));
    EXPECT_EQ(0.0, impossible.probability(w, 1));
    std::vector<double> next;
    impossible.next_frequencies(f, w, next); // the impossible one is skipped
    EXPECT_NEAR(2.0 / 8.0, next[2], 1e-15);  // D's two copies of haplotype 2 alone
}

TEST(WholePedigrees, LoopsAreRefusedWithTheirMembers) {
    const auto haps = haplotypes(2, 2);
    auto loop_of = [&](const std::string& text) {
        try {
            WholePedigrees engine;
            engine.build(parse(text), haps, 2);
        } catch (const WholePedigrees::LoopFound& loop) {
            return loop.members;
        }
        return std::vector<std::string>{};
    };
    // First cousins who mate: the loop runs through both of their parents' families.
    std::vector<std::string> cousins = loop_of("G 0 0\nH 0 0\nA G H\nB G H\nX 0 0\nY 0 0\n"
                                               "C A X\nD B Y\nK C D 00 11\n");
    std::sort(cousins.begin(), cousins.end());
    EXPECT_EQ((std::vector<std::string>{"A", "B", "C", "D"}), cousins);
    // Two sibs with the same two children's parents: a marriage loop.
    EXPECT_FALSE(
        loop_of("A 0 0\nB 0 0\nC A B 00 00\nD A B 01 01\nE C D 00 00\nF D C 00 00\n").empty());
    EXPECT_TRUE(loop_of(kCases[0].text).empty());
}

} // namespace
