// The pedigree database: grouping individuals into pedigrees, merging identical
// ones, weights, the sample log-likelihood and the expectation step.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "pedigree/ped_db.h"
#include "tests/pedigree/sample_builder.h"

namespace {

using pedtest::AllCombinations;
using pedtest::kIndent;
using pedtest::LogCapture;
using pedtest::Sample;

std::vector<std::string> record_ids(const TPedDB& db) {
    std::vector<std::string> ids;
    for (const auto& r : db._parents.records()) {
        ids.push_back(*r->_phen->_id);
    }
    return ids;
}

std::vector<std::string> sib_ids(const TPedigree& p) {
    std::vector<std::string> ids;
    for (const TPhenPed* sib : p._sibs) {
        ids.push_back(*sib->_id);
    }
    return ids;
}

TEST(BuildPedigrees, OneUnknownParentMeansNoParents) {
    // C names a typed mother and an unknown father; D names an absent X.
    Sample s("M 0 0\n1\n2\nC M 0\n1\n1\nD X 0\n2\n2\n");
    s.complete();
    ASSERT_EQ("X", *s.people.records().front()->_id);
    s.peds.build_pedigree_structures(s.people);
    // Three single individuals in list order; X carries no data and is left out.
    ASSERT_EQ(3U, s.peds._pedigrees.size());
    const char* order[] = {"D", "C", "M"};
    for (std::size_t k = 0; k < 3; ++k) {
        const TPedigree& p = s.peds._pedigrees[k];
        EXPECT_EQ(order[k], *p._parent1->_phen->_id);
        EXPECT_EQ(nullptr, p._parent2);
        EXPECT_TRUE(p._sibs.empty());
        EXPECT_EQ(1, p._parent1->_typed);
    }
    EXPECT_EQ((std::vector<std::string>{"M", "C", "D"}), record_ids(s.peds));
    EXPECT_EQ(0, s.person("M")._is_parent);
    s.peds.normalise_weights();
    for (const TPedigree& p : s.peds._pedigrees) {
        EXPECT_DOUBLE_EQ(1.0 / 3.0, p._obs_weight);
    }
}

class FoundersInEitherOrder : public ::testing::TestWithParam<const char*> {};

TEST_P(FoundersInEitherOrder, OneRecordPerParentTypedWhenItHasData) {
    Sample s(GetParam());
    s.complete();
    s.peds.build_pedigree_structures(s.people);
    // F and M are typed founders; P and Q are absent and stay untyped.
    ASSERT_EQ(2U, s.peds._pedigrees.size());
    const std::vector<std::string> ids = record_ids(s.peds);
    EXPECT_EQ(4U, ids.size());
    EXPECT_EQ((std::set<std::string>{"F", "M", "P", "Q"}),
              std::set<std::string>(ids.begin(), ids.end()));
    const TPedigree& typed = s.pedigree_of("C");
    EXPECT_EQ("F", *typed._parent1->_phen->_id);
    EXPECT_EQ("M", *typed._parent2->_phen->_id);
    EXPECT_EQ(1, typed._parent1->_typed);
    EXPECT_EQ(1, typed._parent2->_typed);
    EXPECT_FALSE(typed.symmetric());
    const TPedigree& untyped = s.pedigree_of("D");
    EXPECT_EQ(0, untyped._parent1->_typed);
    EXPECT_EQ(0, untyped._parent2->_typed);
    EXPECT_TRUE(untyped.symmetric());
    for (const char* id : {"F", "M", "P", "Q"}) {
        EXPECT_EQ(1, s.person(id)._is_parent) << id;
    }
    EXPECT_EQ(0, s.person("C")._is_parent);
}

INSTANTIATE_TEST_SUITE_P(Cases, FoundersInEitherOrder,
                         ::testing::Values(
                             // Founders read first are visited after their child.
                             "F 0 0\n1\n2\nM 0 0\n3\n3\nC F M\n1\n3\nD P Q\n1\n1\n",
                             // Founders read last are visited before it.
                             "C F M\n1\n3\nD P Q\n1\n1\nF 0 0\n1\n2\nM 0 0\n3\n3\n"));

TEST(BuildPedigrees, ChildrenNamingTheParentsInEitherOrderFormOneFamilyInReadingOrder) {
    Sample s("F 0 0\n1\n2\nM 0 0\n3\n3\n"
             "C1 F M\n1\n3\nC2 M F\n2\n3\nC3 F M\n1\n3\nC4 M F\n3\n2\n");
    s.complete();
    s.peds.build_pedigree_structures(s.people);
    ASSERT_EQ(1U, s.peds._pedigrees.size());
    const TPedigree& family = s.peds._pedigrees[0];
    EXPECT_EQ((std::vector<std::string>{"C1", "C2", "C3", "C4"}), sib_ids(family));
    // Created when its newest child, C4, was visited.
    EXPECT_EQ("M", *family._parent1->_phen->_id);
    EXPECT_EQ(2U, s.peds._parents.size());
    s.peds.normalise_weights();
    EXPECT_DOUBLE_EQ(0.5, family._obs_weight);
}

TEST(BuildPedigrees, ChildWhoseParentsCannotBeFoundIsSkippedWithAWarning) {
    LogCapture log;
    Sample s("C P Q\n1\n2\nZ 0 0\n1\n1\n");
    s.peds.build_pedigree_structures(s.people); // absent parents not completed
    ASSERT_EQ(1U, s.peds._pedigrees.size());
    EXPECT_EQ("Z", *s.peds._pedigrees[0]._parent1->_phen->_id);
    EXPECT_EQ("***1::WARNING[1]TPedDB::build_pedigree_structures : Unable to find parents in "
              "TPhenPed data base\n",
              log.str());
}

TEST(BuildPedigrees, ChildWithExactlyOneParentFoundIsRefused) {
    LogCapture log;
    Sample s("F 0 0\n1\n2\nC F Q\n1\n1\n"); // Q not completed
    // Cannot arise once absent parents are completed: a debug build stops.
    EXPECT_DEBUG_DEATH(s.peds.build_pedigree_structures(s.people), "");
#ifdef NDEBUG
    EXPECT_TRUE(s.peds._pedigrees.empty());
    EXPECT_EQ("***1::WARNING[1]TPedDB::build_pedigree_structures : Unable to find parents in "
              "TPhenPed data base\n",
              log.str());
#endif
}

// The pipeline of a multi-locus run on a sample, under either walk of the
// combinations (the switch on or off).
class Likelihood : public ::testing::TestWithParam<bool> {
  protected:
    Likelihood() : _all(GetParam()) {}

    // Every haplotype frequency in the database after the expectation step.
    static double expected_count_sum(Sample& s) {
        s.peds.calc_ln_likelihood();
        s.peds.add_expected_counts(s.haplotypes);
        return s.frequency_sum();
    }

  private:
    AllCombinations _all;
};

TEST_P(Likelihood, ThreeIdenticalFamiliesMergeIntoOneRepresentative) {
    const std::string family = "F 0 0\n1 a\n2 b\nM 0 0\n1 a\n1 b\nS F M\n1 a\n2 a\n";
    std::string text;
    for (const char* k : {"1", "2", "3"}) {
        std::string copy = family;
        for (std::size_t at = copy.find_first_of("FMS"); at != std::string::npos;
             at = copy.find_first_of("FMS", at + 2)) {
            copy.insert(at + 1, k);
        }
        text += copy;
    }
    Sample three(text);
    three.complete();
    three.peds.build_pedigree_structures(three.people);
    three.peds.find_redundant_pedigrees();
    std::vector<TPedigree>& peds = three.peds._pedigrees;
    ASSERT_EQ(3U, peds.size());
    EXPECT_TRUE(peds[0]._unique);
    EXPECT_EQ(3, peds[0]._obs_count);
    EXPECT_EQ(3.0, peds[0]._obs_weight);
    EXPECT_FALSE(peds[1]._unique);
    EXPECT_FALSE(peds[2]._unique);
    three.peds.normalise_weights();
    EXPECT_DOUBLE_EQ(0.5, peds[0]._obs_weight);
    three.peds.build_all_genotypic_combinations(three.haplotypes, three.genotypes, -1, 0);
    EXPECT_TRUE(peds[1]._gen_comb.empty());

    Sample one(family);
    one.complete();
    one.build();
    const auto f = pedtest::graded(one.haplotypes.size());
    one.set_frequencies(f);
    three.set_frequencies(f);
    const double ln_one = one.peds.calc_ln_likelihood();
    const double ln_three = three.peds.calc_ln_likelihood();
    EXPECT_LT(ln_one, 0.0);
    EXPECT_DOUBLE_EQ(3.0 * ln_one, ln_three);
    EXPECT_DOUBLE_EQ(3.0 * std::log(peds[0]._prob), ln_three);
    EXPECT_EQ(ln_three, three.peds._ln_likelihood);
    three.peds.add_expected_counts(three.haplotypes);
    EXPECT_NEAR(1.0, three.frequency_sum(), 1e-12);
}

TEST_P(Likelihood, EightParentRecordsGiveWeightsOfOneEighth) {
    Sample s("F1 0 0\n1 a\n2 b\nM1 0 0\n1 a\n1 b\nS1 F1 M1\n1 a\n2 a\n"
             "F2 0 0\n2 a\n2 b\nM2 0 0\n1 b\n1 b\nS2 F2 M2\n1 b\n2 a\n"
             "F3 0 0\n1 a\n1 a\nM3 0 0\n2 b\n2 a\nS3 F3 M3\n1 a\n2 b\nS4 F3 M3\n1 a\n2 a\n"
             "Z1 0 0\n1 b\n2 a\nZ2 0 0\n2 b\n2 b\n");
    s.complete();
    s.build();
    ASSERT_EQ(5U, s.peds._pedigrees.size());
    ASSERT_EQ(8U, s.peds._parents.size());
    for (const TPedigree& p : s.peds._pedigrees) {
        EXPECT_EQ(0.125, p._obs_weight);
    }
    s.set_frequencies(pedtest::graded(s.haplotypes.size()));
    EXPECT_NEAR(1.0, expected_count_sum(s), 1e-12);
}

TEST_P(Likelihood, ParentWithChildrenByTwoPartnersStillCountsToOne) {
    Sample s("F 0 0\n1 a\n2 b\nM1 0 0\n1 a\n1 b\nM2 0 0\n2 a\n2 a\n"
             "C1 F M1\n1 a\n1 b\nC2 M2 F\n2 a\n2 b\n");
    s.complete();
    s.build();
    ASSERT_EQ(2U, s.peds._pedigrees.size());
    ASSERT_EQ(3U, s.peds._parents.size());
    EXPECT_EQ(s.pedigree_of("C1")._parent1, s.pedigree_of("C2")._parent2);
    // Four parent places, although three parent records.
    for (const TPedigree& p : s.peds._pedigrees) {
        EXPECT_EQ(0.25, p._obs_weight);
    }
    s.set_frequencies(pedtest::graded(s.haplotypes.size()));
    EXPECT_NEAR(1.0, expected_count_sum(s), 1e-12);
}

TEST_P(Likelihood, TypedMotherOfAChildWithUnknownFatherCountsAsASingleIndividual) {
    Sample s("M 0 0\n1 a\n2 b\nC M 0\n1 a\n1 b\nD X 0\n2 a\n2 a\n");
    s.complete();
    s.build();
    ASSERT_EQ(3U, s.peds._pedigrees.size());
    s.set_frequencies(pedtest::graded(s.haplotypes.size()));
    const double ln_l = s.peds.calc_ln_likelihood();
    // The product of three single-individual probabilities.
    const auto f = [&](const char* l0, const char* l1) { return s.hap({l0, l1})->_freq; };
    const double m = 2 * f("1", "a") * f("2", "b") + 2 * f("1", "b") * f("2", "a");
    const double c = 2 * f("1", "a") * f("1", "b");
    const double d = f("2", "a") * f("2", "a");
    EXPECT_NEAR(std::log(m) + std::log(c) + std::log(d), ln_l, 1e-12);
    s.peds.add_expected_counts(s.haplotypes);
    EXPECT_NEAR(1.0, s.frequency_sum(), 1e-12);
}

// The printout of the incompatible family F x M -> S used in the warnings.
std::string incompatible_family() {
    const std::string& i = kIndent;
    return "Unique Pedigree: Obs. count = 1\n"
           "Parent 1 id : F 0 0\n" +
           i + "A \n" + i + "A \n\n" + "Parent 2 id : M 0 0\n" + i + "A \n" + i + "A \n\n" +
           "Sib 1 id : S\n" + i + "B \n" + i + "B \n\n" +
           "\nPossible genotypic combinations\n-------------------------------\n";
}

TEST_P(Likelihood, IncompatiblePedigreeStopsAtTheFloorWithBothWarnings) {
    EXPECT_EQ(-FLT_MAX, kFloorLnLikelihood);
    EXPECT_EQ(-3.4028234663852886e+38, kFloorLnLikelihood);
    LogCapture log;
    Sample s("Z 0 0\nA\nB\nF 0 0\nA\nA\nM 0 0\nA\nA\nS F M\nB\nB\n");
    s.complete();
    s.build();
    ASSERT_EQ(2U, s.peds._pedigrees.size());
    ASSERT_TRUE(s.peds._pedigrees[0]._gen_comb.empty());
    s.set_frequencies([](std::int32_t) { return 0.5; });
    s.peds._pedigrees[1]._prob = 0.123; // not evaluated after the stop
    EXPECT_EQ(kFloorLnLikelihood, s.peds.calc_ln_likelihood());
    EXPECT_EQ(kFloorLnLikelihood, s.peds._ln_likelihood);
    EXPECT_EQ(0.123, s.peds._pedigrees[1]._prob);
    EXPECT_EQ("***1::WARNING[1]\n!!!!!Incompatible pedigree!!!!!\n"
              "===============================\n" +
                  incompatible_family() + "\n" +
                  "***2::WARNING[2]\nTPedDB::calc_ln_likelihood() :  Pedigree 0 has zero "
                  "probability\n" +
                  incompatible_family() + "\n\n",
              log.str());
}

TEST_P(Likelihood, ZeroProbabilityLaterInTheArrayNamesItsIndex) {
    LogCapture log;
    Sample s("Z 0 0\nB\nB\nF 0 0\nA\nA\nM 0 0\nA\nA\nS F M\nA\nA\n");
    s.complete();
    s.build();
    s.set_frequencies([&](std::int32_t i) { return s.haplotypes[i] == s.hap({"A"}) ? 1.0 : 0.0; });
    EXPECT_EQ(kFloorLnLikelihood, s.peds.calc_ln_likelihood());
    EXPECT_EQ(1.0, s.peds._pedigrees[0]._prob);
    EXPECT_EQ("***1::WARNING[1]\nTPedDB::calc_ln_likelihood() :  Pedigree 1 has zero "
              "probability\nUnique Pedigree: Obs. count = 1\nParent 1 id : Z 0 0\n" +
                  kIndent + "B \n" + kIndent +
                  "B \n\n\nPossible genotypic combinations\n-------------------------------\n"
                  "Combination #1\n---------------\n\n"
                  " 0\nP1 : \nCompatible genotype\nB \nB \n---\n\n\n\n",
              log.str());
}

TEST_P(Likelihood, AfterAnEarlyStopTheRestCountWithTheirPreviousProbabilities) {
    LogCapture log;
    // Pedigrees in list order: X (index 0), Y, then W, three single individuals.
    Sample s("W 0 0\n1 a\n2 b\nY 0 0\n2 a\n2 a\nX 0 0\n1 a\n1 a\n");
    s.complete();
    s.build();
    const auto f = [&](const char* l0, const char* l1) -> double& {
        return s.hap({l0, l1})->_freq;
    };
    s.set_frequencies(pedtest::graded(s.haplotypes.size()));
    const double w0 = 2.0 * f("1", "a") * f("2", "b");
    const double w1 = 2.0 * f("1", "b") * f("2", "a");
    ASSERT_GT(s.peds.calc_ln_likelihood(), kFloorLnLikelihood);
    // Y now has probability zero: W is not evaluated again.
    f("2", "a") = 0.0;
    EXPECT_EQ(kFloorLnLikelihood, s.peds.calc_ln_likelihood());
    EXPECT_DOUBLE_EQ(w0 + w1, s.pedigree_of("W")._prob);
    EXPECT_NE(std::string::npos, log.str().find("Pedigree 1 has zero probability"));
    s.peds.add_expected_counts(s.haplotypes);
    const double third = 1.0 / 3.0;
    EXPECT_DOUBLE_EQ(third + 0.5 * third * w0 / (w0 + w1), f("1", "a"));
    EXPECT_DOUBLE_EQ(0.5 * third * w0 / (w0 + w1), f("2", "b"));
    EXPECT_DOUBLE_EQ(0.5 * third * w1 / (w0 + w1), f("1", "b"));
    EXPECT_DOUBLE_EQ(0.5 * third * w1 / (w0 + w1), f("2", "a"));
    EXPECT_NEAR(2.0 * third, s.frequency_sum(), 1e-15);
}

INSTANTIATE_TEST_SUITE_P(UseAllCombinations, Likelihood, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return info.param ? std::string("On") : std::string("Off");
                         });

// ---------------------------------------------------------------------------
// Log-likelihoods checked against a brute-force sum: over ordered haplotype
// pairs of each parent (every pair for an untyped parent, the pairs that fit
// the phenotype for a typed one) weighted by f(x) f(y), times, for every sib,
// the share of the four transmissions that give the sib's phenotype. Alleles
// are compared locus by locus, independently of the genotype lists.

struct Member {
    const char* parent1;
    const char* parent2; // null for a single individual
    std::vector<const char*> sibs;
};

struct HandCase {
    const char* name;
    const char* text;
    bool hash;
    std::int32_t locus; // -1: both loci
    std::vector<Member> pedigrees;
};

void PrintTo(const HandCase& c, std::ostream* os) {
    *os << c.name;
}

class BruteForce {
  public:
    BruteForce(const Sample& s, const TPopHaploDB& haplotypes, std::int32_t locus)
        : _s(s), _h(haplotypes), _locus(locus) {}

    double ln_likelihood(const std::vector<Member>& pedigrees) const {
        double ln_l = 0.0;
        for (const Member& m : pedigrees) {
            ln_l += std::log(m.parent2 == nullptr ? single(m.parent1) : family(m));
        }
        return ln_l;
    }

  private:
    struct Pair {
        const TPopHaplotype* x;
        const TPopHaplotype* y;
        double w;
    };

    // Whether haplotypes x and y carry the individual's two alleles at every locus.
    bool fits(const TPhenPed& ind, const TPopHaplotype& x, const TPopHaplotype& y) const {
        const std::int32_t n = _locus < 0 ? ind.pseudo_hapl(0)->size() : 1;
        for (std::int32_t l = 0; l < n; ++l) {
            const std::int32_t at = _locus < 0 ? l : _locus;
            const TAllele* a = ind.pseudo_hapl(0)->allele(at);
            const TAllele* b = ind.pseudo_hapl(1)->allele(at);
            const TAllele* u = x.allele(_locus < 0 ? l : 0);
            const TAllele* v = y.allele(_locus < 0 ? l : 0);
            if (!((u == a && v == b) || (u == b && v == a))) {
                return false;
            }
        }
        return true;
    }

    std::vector<Pair> pairs(const char* id) const {
        const TPhenPed& p = _s.person(id);
        std::vector<Pair> out;
        for (std::int32_t i = 0; i < _h.size(); ++i) {
            for (std::int32_t j = 0; j < _h.size(); ++j) {
                if (!p.typed() || fits(p, *_h[i], *_h[j])) {
                    out.push_back({_h[i], _h[j], _h[i]->_freq * _h[j]->_freq});
                }
            }
        }
        return out;
    }

    double single(const char* id) const {
        double sum = 0.0;
        for (const Pair& p : pairs(id)) {
            sum += p.w;
        }
        return sum;
    }

    double family(const Member& m) const {
        double sum = 0.0;
        for (const Pair& p1 : pairs(m.parent1)) {
            for (const Pair& p2 : pairs(m.parent2)) {
                double term = p1.w * p2.w;
                for (const char* sib : m.sibs) {
                    int ways = 0;
                    for (const TPopHaplotype* u : {p1.x, p1.y}) {
                        for (const TPopHaplotype* v : {p2.x, p2.y}) {
                            ways += fits(_s.person(sib), *u, *v) ? 1 : 0;
                        }
                    }
                    term *= ways / 4.0;
                }
                sum += term;
            }
        }
        return sum;
    }

    const Sample& _s;
    const TPopHaploDB& _h;
    std::int32_t _locus;
};

class HandChecked : public ::testing::TestWithParam<std::tuple<HandCase, bool>> {};

TEST_P(HandChecked, LogLikelihoodMatchesTheBruteForceSum) {
    const HandCase& c = std::get<0>(GetParam());
    AllCombinations all(std::get<1>(GetParam()));
    Sample s(c.text);
    s.complete(c.hash);
    TPopHaploDB locus_haplotypes;
    TSmallGenDB locus_genotypes;
    TPopHaploDB& haplotypes = c.locus < 0 ? s.haplotypes : locus_haplotypes;
    if (c.locus < 0) {
        s.build();
    } else {
        locus_haplotypes.build_locus_haplotypes(s.alleles, c.locus);
        locus_genotypes.build_all_valid_gen(locus_haplotypes);
        s.peds.build_pedigree_structures(s.people);
        s.peds.normalise_weights();
        s.peds.build_all_genotypic_combinations(locus_haplotypes, locus_genotypes, c.locus, 0);
    }
    ASSERT_EQ(c.pedigrees.size(), s.peds._pedigrees.size());
    // Every family starts from a clean shared database.
    const TSmallGenDB& shared = c.locus < 0 ? s.genotypes : locus_genotypes;
    for (std::int32_t k = 0; k < shared.size(); ++k) {
        EXPECT_TRUE(shared[k]._compatible);
    }
    const auto f = pedtest::graded(haplotypes.size());
    for (std::int32_t i = 0; i < haplotypes.size(); ++i) {
        haplotypes[i]->_freq = f(i);
    }
    const double expected = BruteForce(s, haplotypes, c.locus).ln_likelihood(c.pedigrees);
    ASSERT_TRUE(std::isfinite(expected));
    const double ln_l = s.peds.calc_ln_likelihood();
    EXPECT_NEAR(expected, ln_l, 1e-12 * std::fabs(expected));
    s.peds.add_expected_counts(haplotypes);
    double sum = 0.0;
    for (std::int32_t i = 0; i < haplotypes.size(); ++i) {
        sum += haplotypes[i]->_freq;
    }
    EXPECT_NEAR(1.0, sum, 1e-12);
}

const char* const kTwoFamiliesAndASingle = "F 0 0\n1 a\n2 b\nM 0 0\n1 a\n3 a\n"
                                           "S1 F M\n2 a\n1 a\nS2 F M\n1 b\n3 a\n"
                                           "K P Q\n2 a\n3 b\n"
                                           "Z 0 0\n1 a\n3 b\n";

const std::vector<Member> kTwoFamiliesAndASinglePedigrees = {
    {"Z", nullptr, {}}, {"P", "Q", {"K"}}, {"F", "M", {"S1", "S2"}}};

INSTANTIATE_TEST_SUITE_P(
    Cases, HandChecked,
    ::testing::Combine(
        ::testing::Values(
            // Two typed parents and two sibs; two untyped parents and one sib; a
            // single individual. The alleles "#" make the shared database large.
            HandCase{"TwoFamiliesAndASingle", kTwoFamiliesAndASingle, true, -1,
                     kTwoFamiliesAndASinglePedigrees},
            // A typed and an untyped parent; three doubly heterozygous sibs give
            // eight sib combinations.
            HandCase{"ThreeDoubleHeterozygousSibs",
                     "F 0 0\n1 a\n2 b\nS1 F Q\n1 a\n3 b\nS2 F Q\n3 a\n2 b\nS3 F Q\n1 b\n3 a\n",
                     true,
                     -1,
                     {{"F", "Q", {"S1", "S2", "S3"}}}},
            // Two families of untyped parents, the first one's sibs ruling out
            // genotypes the second one needs; a homozygous typed parent.
            HandCase{"UntypedParentsTwoSibs",
                     "E R T\n2 b\n2 b\nC1 P Q\n1 a\n1 a\nC2 P Q\n1 a\n2 b\n"
                     "F 0 0\n1 a\n1 a\nM 0 0\n2 b\n1 b\nD F M\n1 a\n2 b\n",
                     false,
                     -1,
                     {{"M", "F", {"D"}}, {"P", "Q", {"C1", "C2"}}, {"R", "T", {"E"}}}},
            // An untyped first parent (absent) with a typed second parent.
            HandCase{"UntypedFirstParent",
                     "F 0 0\n1 a\n2 b\nC1 P F\n2 a\n3 b\nC2 P F\n1 b\n3 a\n",
                     true,
                     -1,
                     {{"P", "F", {"C1", "C2"}}}},
            // A typed parent heading two families gets a genotype database per family.
            HandCase{"ParentWithTwoPartners",
                     "F 0 0\n1 a\n2 b\nM1 0 0\n1 a\n1 b\nM2 0 0\n2 a\n2 a\n"
                     "C1 F M1\n1 a\n1 b\nC2 M2 F\n2 a\n2 b\n",
                     true,
                     -1,
                     {{"F", "M1", {"C1"}}, {"M2", "F", {"C2"}}}},
            // The same sample one locus at a time, as the allele estimation runs.
            HandCase{"FirstLocusAlone", kTwoFamiliesAndASingle, true, 0,
                     kTwoFamiliesAndASinglePedigrees},
            HandCase{"SecondLocusAlone", kTwoFamiliesAndASingle, true, 1,
                     kTwoFamiliesAndASinglePedigrees}),
        ::testing::Bool()),
    [](const ::testing::TestParamInfo<std::tuple<HandCase, bool>>& info) {
        return std::string(std::get<0>(info.param).name) +
               (std::get<1>(info.param) ? "_AllCombinations" : "_ActiveOnly");
    });

} // namespace
