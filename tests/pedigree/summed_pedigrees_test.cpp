// The summed likelihood (--fast): how few configurations a pedigree needs,
// expected counts equal to those over the listed combinations, the memory
// limit, and pedigrees of zero probability. Its log-likelihood is checked
// against the brute force with the other engines in ped_db_test.cpp.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "pedigree/ped_db.h"
#include "pedigree/summed_pedigrees.h"
#include "tests/pedigree/sample_builder.h"

namespace {

using pedtest::AllCombinations;
using pedtest::LogCapture;
using pedtest::Sample;
using pedtest::set_frequencies;

struct CountCase {
    const char* name;
    const char* text;
    std::size_t configurations;
};

void PrintTo(const CountCase& c, std::ostream* os) {
    *os << c.name;
}

class Configurations : public ::testing::TestWithParam<CountCase> {};

// A family of absent parents needs the few ways its sibs can share the
// parents' copies, whatever the number of haplotypes ("#" makes 9 here).
TEST_P(Configurations, OnePerDistinctFillingOfTheParentsCopies) {
    const CountCase& c = GetParam();
    AllCombinations all(true);
    Sample s(c.text);
    s.complete(true);
    s.use_engine(EngineKind::summed);
    s.build();
    EXPECT_EQ(c.configurations, s.peds.n_compact_combinations());
}

const CountCase kCountCases[] = {
    // Either phase of the child, either copy of each parent: the copies it did
    // not receive are free.
    {"LoneChildOfAbsentParents", "C P Q\n1 a\n2 b\n", 4},
    {"HomozygousChildOfAbsentParents", "C P Q\n1 a\n1 a\n", 1},
    // The second sib takes the first one's copies or the free ones.
    {"TwoHomozygousSibs", "C1 P Q\n1 a\n1 a\nC2 P Q\n1 a\n1 a\n", 4},
    {"DoubleHeterozygousSingle", "Z 0 0\n1 a\n2 b\n", 2},
    {"HomozygousSingle", "Z 0 0\n1 a\n1 a\n", 1},
    // Typed parents fix every copy: one configuration per phase pair that fits.
    {"TypedParents", "F 0 0\n1 a\n2 a\nM 0 0\n1 a\n1 b\nC F M\n2 a\n1 b\n", 1},
    {"NoWayToPassOn", "F 0 0\n1 a\n1 a\nM 0 0\n1 a\n1 a\nC F M\n2 b\n2 b\n", 0},
};

INSTANTIATE_TEST_SUITE_P(Cases, Configurations, ::testing::ValuesIn(kCountCases),
                         [](const auto& info) { return std::string(info.param.name); });

struct CountsCase {
    const char* name;
    const char* text;
};

class ExpectedCounts : public ::testing::TestWithParam<CountsCase> {};

// Each haplotype's next frequency, not only their sum, equals the one the
// listed combinations give; the free copies are spread as f(x) / S.
TEST_P(ExpectedCounts, EqualThoseOfTheListedCombinations) {
    AllCombinations all(true);
    Sample exact(GetParam().text);
    Sample fast(GetParam().text);
    for (Sample* s : {&exact, &fast}) {
        s->complete(true);
        s->use_engine(s == &fast ? EngineKind::summed : EngineKind::listed);
        s->build(true);
        // Uneven, and not summing to 1, as random starts do before scaling.
        set_frequencies(s->haplotypes,
                        [](std::int32_t i) { return 0.01 + 0.003 * ((i * 7) % 11); });
    }
    const double exact_ln_l = exact.peds.calc_ln_likelihood();
    EXPECT_NEAR(exact_ln_l, fast.peds.calc_ln_likelihood(), 1e-12 * std::fabs(exact_ln_l));
    exact.peds.add_expected_counts(exact.haplotypes);
    fast.peds.add_expected_counts(fast.haplotypes);
    ASSERT_EQ(exact.haplotypes.size(), fast.haplotypes.size());
    for (std::int32_t i = 0; i < exact.haplotypes.size(); ++i) {
        EXPECT_NEAR(exact.haplotypes[i]->_freq, fast.haplotypes[i]->_freq, 1e-14)
            << pedtest::names(*exact.haplotypes[i]);
    }
}

const CountsCase kCountsCases[] = {
    {"AbsentParentsOneSib", "C P Q\n1 a\n2 b\n"},
    {"AbsentParentsThreeSibs", "C1 P Q\n1 a\n2 b\nC2 P Q\n1 b\n3 a\nC3 P Q\n2 a\n3 b\n"},
    {"OneAbsentParent", "F 0 0\n1 a\n2 b\nC1 F Q\n2 a\n3 b\nC2 F Q\n1 b\n3 a\n"},
    // The middle generation counts as untyped in its own family; a parent
    // with two partners; identical families merged; a single.
    {"ThreeGenerationsAndPartners",
     "C P Q\n1 a\n2 b\nD C R\n1 b\n1 a\nE C T\n2 b\n3 a\nE2 C T\n2 b\n3 a\n"
     "G P2 Q2\n1 a\n2 b\nZ 0 0\n3 b\n2 a\n"},
};

INSTANTIATE_TEST_SUITE_P(Cases, ExpectedCounts, ::testing::ValuesIn(kCountsCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(SummedPedigrees, RefusesAPedigreeBeyondTheLimit) {
    Sample s("C1 P Q\n1 a\n1 a\nC2 P Q\n1 a\n1 a\n");
    s.complete(true);
    s.peds.build_pedigree_structures(s.people);
    TPedigree& p = s.peds._pedigrees[0];
    p.hook_gen_db(s.genotypes, s.haplotypes, -1, 0);
    p.build_member_genotypes(s.haplotypes, -1);
    SummedPedigrees summed;
    summed.start(s.haplotypes);
    summed.add(0, p, 4);
    EXPECT_EQ(4U, summed.n_configurations());
    summed.start(s.haplotypes);
    try {
        summed.add(0, p, 3);
        ADD_FAILURE() << "no LimitExceeded";
    } catch (const SummedPedigrees::LimitExceeded& e) {
        EXPECT_LE(4.0, e.count);
    }
    // A single individual counts too: its two phases are two configurations.
    Sample single("Z 0 0\n1 a\n2 b\n");
    single.complete(true);
    single.peds.build_pedigree_structures(single.people);
    TPedigree& z = single.peds._pedigrees[0];
    z.hook_gen_db(single.genotypes, single.haplotypes, -1, 0);
    summed.start(single.haplotypes);
    EXPECT_THROW(summed.add(0, z, 1), SummedPedigrees::LimitExceeded);
}

// The log prints the pedigree with its genotypic combinations, byte for byte
// as the listing engine does, though the summed engine never lists them.
TEST(SummedPedigrees, ZeroProbabilityStopsAtTheFloorWithTheMessagesOfTheListingEngine) {
    AllCombinations all(true);
    struct Case {
        const char* text;
        bool incompatible;
    };
    for (const Case& c : {Case{"F 0 0\n1 a\n1 a\nM 0 0\n1 a\n1 a\nC F M\n2 b\n2 b\nZ 0 0\n2 b\n1 "
                               "a\n",
                               true},
                          Case{"C P Q\n1 a\n1 a\nZ 0 0\n2 b\n1 a\n", false}}) {
        SCOPED_TRACE(c.text);
        std::string logs[2];
        for (const EngineKind engine : {EngineKind::listed, EngineKind::summed}) {
            LogCapture log;
            Sample s(c.text);
            s.complete(true);
            s.use_engine(engine);
            // As in an analysis: records freed, the table of pairs left to the engine.
            s.peds._release_combinations = true;
            s.genotypes = TSmallGenDB();
            s.build();
            // Haplotype 1 a has frequency 0: a child carrying it has probability 0.
            set_frequencies(s.haplotypes, [&](std::int32_t i) {
                return pedtest::names(*s.haplotypes[i]) == "1 a" ? 0.0 : 0.1;
            });
            EXPECT_EQ(kFloorLnLikelihood, s.peds.calc_ln_likelihood());
            // The expectation step passes over it and leaves finite numbers.
            s.peds.add_expected_counts(s.haplotypes);
            for (std::int32_t i = 0; i < s.haplotypes.size(); ++i) {
                EXPECT_TRUE(std::isfinite(s.haplotypes[i]->_freq));
            }
            logs[engine == EngineKind::summed ? 1 : 0] = log.str();
        }
        EXPECT_EQ(c.incompatible,
                  logs[1].find("!!!!!Incompatible pedigree!!!!!") != std::string::npos);
        EXPECT_NE(std::string::npos, logs[1].find("has zero probability"));
        EXPECT_EQ(c.incompatible, logs[1].find("Combination #1") == std::string::npos);
        EXPECT_EQ(logs[0], logs[1]);
    }
}

} // namespace
