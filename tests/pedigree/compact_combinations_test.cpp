// The packed walk of the EM against the combination records it was packed
// from: the same log-likelihood and the same next frequencies, to the last bit,
// iteration after iteration, on generated families of every shape.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "bench/generate_data.h"
#include "pedigree/ped_db.h"
#include "tests/pedigree/sample_builder.h"

namespace {

using pedtest::AllCombinations;
using pedtest::Sample;

struct Shape {
    const char* name;
    datagen::Options options;
};

void PrintTo(const Shape& s, std::ostream* os) {
    *os << s.name;
}

datagen::Options shape(int families, int sibs_min, int sibs_max, double untyped, int alleles0,
                       int alleles1, datagen::Linkage ld, std::uint64_t seed) {
    datagen::Options o;
    o.families = families;
    o.sibs_min = sibs_min;
    o.sibs_max = sibs_max;
    o.untyped_share = untyped;
    o.singles = 6;
    o.alleles[0] = alleles0;
    o.alleles[1] = alleles1;
    o.ld = ld;
    o.seed = seed;
    return o;
}

// The records of the generated file, without its three header lines.
std::string records(const datagen::Options& options) {
    std::ostringstream file;
    datagen::write_data_file(file, options);
    const std::string text = file.str();
    std::size_t start = 0;
    for (int k = 0; k < 3; ++k) {
        start = text.find('\n', start) + 1;
    }
    return text.substr(start);
}

std::vector<double> frequencies(const TPopHaploDB& h) {
    std::vector<double> f;
    for (std::int32_t i = 0; i < h.size(); ++i) {
        f.push_back(h[i]->_freq);
    }
    return f;
}

void set(TPopHaploDB& h, const std::vector<double>& f) {
    for (std::int32_t i = 0; i < h.size(); ++i) {
        h[i]->_freq = f[static_cast<std::size_t>(i)];
    }
}

// Runs six EM iterations both ways from the same frequencies.
void expect_identical_walks(Sample& s) {
    ASSERT_GT(s.peds.n_compact_combinations(), 0U);
    pedtest::set_frequencies(s.haplotypes);
    for (int iteration = 0; iteration < 6; ++iteration) {
        const std::vector<double> start = frequencies(s.haplotypes);
        double by_records = 0.0;
        for (TPedigree& p : s.peds._pedigrees) {
            if (p._unique) {
                by_records = by_records + p._obs_count * std::log(p.calc_prob());
            }
        }
        s.haplotypes.reset_frequencies();
        for (TPedigree& p : s.peds._pedigrees) {
            if (p._unique) {
                p.add_expected_counts();
            }
        }
        const std::vector<double> next = frequencies(s.haplotypes);

        set(s.haplotypes, start);
        ASSERT_EQ(by_records, s.peds.calc_ln_likelihood()) << "iteration " << iteration;
        s.peds.add_expected_counts(s.haplotypes);
        const std::vector<double> packed = frequencies(s.haplotypes);
        for (std::size_t h = 0; h < next.size(); ++h) {
            ASSERT_EQ(next[h], packed[h]) << "iteration " << iteration << ", haplotype " << h;
        }
    }
}

class PackedWalk : public ::testing::TestWithParam<Shape> {};

TEST_P(PackedWalk, GivesTheRecordsLikelihoodAndExpectedCountsBitForBit) {
    const AllCombinations all(true);
    Sample s(records(GetParam().options));
    s.complete();
    s.build(true);
    expect_identical_walks(s);
}

// Seventy-six homozygous sibs of two heterozygous parents: a segregation
// probability of 4^-76, below even the smallest single-precision value, which
// the family walk does not code; that family takes the general rule, between
// families and singles that do not.
TEST(PackedWalkFallback, FamilyBelowTheSinglePrecisionRangeMatchesBitForBit) {
    const AllCombinations all(true);
    std::string text = "A 0 0\n1\n3\nF 0 0\n1\n2\nM 0 0\n2\n1\n";
    for (int k = 0; k < 76; ++k) {
        text += "S" + std::to_string(k) + " F M\n1\n1\n";
    }
    text += "C1 P Q\n1\n3\nC2 P Q\n3\n3\nB 0 0\n2\n3\n";
    Sample s(text);
    s.complete();
    s.build(true);
    expect_identical_walks(s);
}

using datagen::Linkage;
const Shape kShapes[] = {
    // Both parents absent, many alleles: long runs of one parent's genotype,
    // the second parent's genotypes sharing the haplotype a sib needs.
    {"UntypedParentsManyAlleles", shape(30, 2, 3, 1.0, 6, 5, Linkage::moderate, 41)},
    // Few alleles in strong disequilibrium: homozygous parents, and parents
    // sharing haplotypes, in most combinations.
    {"FewAllelesStrongLinkage", shape(40, 1, 4, 0.7, 2, 3, Linkage::strong, 42)},
    // Mostly typed parents, large sibships.
    {"TypedParentsLargeSibships", shape(25, 3, 6, 0.2, 4, 4, Linkage::none, 43)},
    {"MixedFamilies", shape(60, 1, 3, 0.5, 5, 3, Linkage::strong, 44)},
};

INSTANTIATE_TEST_SUITE_P(Generated, PackedWalk, ::testing::ValuesIn(kShapes),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
