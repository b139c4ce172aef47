// The pedigree database: grouping individuals into pedigrees, merging identical
// ones, weights, the sample log-likelihood and the expectation step.
#include <gtest/gtest.h>

#include <cmath>
#include <iterator>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "pedigree/ped_db.h"
#include "tests/pedigree/sample_builder.h"

namespace {

using pedtest::AllCombinations;
using pedtest::frequency_sum;
using pedtest::kIndent;
using pedtest::LogCapture;
using pedtest::Sample;
using pedtest::set_frequencies;

TEST(BuildPedigrees, ChildWhoseParentsCannotBeFoundIsSkippedWithAWarning) {
    const std::string warning = "***1::WARNING[1]TPedDB::build_pedigree_structures : Unable to "
                                "find parents in TPhenPed data base\n";
    {
        LogCapture log;
        Sample s("C P Q\n1\n2\nZ 0 0\n1\n1\n");
        s.peds.build_pedigree_structures(s.people); // absent parents not completed
        ASSERT_EQ(1U, s.peds._pedigrees.size());
        EXPECT_EQ("Z", *s.peds._pedigrees[0]._parent1->_phen->_id);
        EXPECT_EQ(warning, log.str());
    }
    // One parent found cannot arise once absent parents are completed: a debug
    // build stops, a release build skips the child alike.
    LogCapture log;
    Sample s("F 0 0\n1\n2\nC F Q\n1\n1\n");
    EXPECT_DEBUG_DEATH(s.peds.build_pedigree_structures(s.people), "");
#ifdef NDEBUG
    EXPECT_TRUE(s.peds._pedigrees.empty());
    EXPECT_EQ(warning, log.str());
#endif
}

// Runs under either walk of the combinations (the switch on or off).
class Likelihood : public ::testing::TestWithParam<bool> {
    AllCombinations _all{GetParam()};
};

std::string family(const std::string& k) {
    return "F" + k + " 0 0\n1 a\n2 b\nM" + k + " 0 0\n1 a\n1 b\nS" + k + " F" + k + " M" + k +
           "\n1 a\n2 a\n";
}

TEST_P(Likelihood, ThreeIdenticalFamiliesMergeIntoOneRepresentative) {
    Sample three(family("1") + family("2") + family("3"));
    three.complete();
    three.build(true);
    const std::vector<TPedigree>& peds = three.peds._pedigrees;
    ASSERT_EQ(3U, peds.size());
    EXPECT_TRUE(peds[0]._unique);
    EXPECT_EQ(3, peds[0]._obs_count);
    EXPECT_DOUBLE_EQ(0.5, peds[0]._obs_weight); // 3 of 6 parent places
    for (std::size_t k : {1U, 2U}) {
        EXPECT_FALSE(peds[k]._unique);
        EXPECT_TRUE(peds[k]._gen_comb.empty());
    }
    Sample one(family(""));
    one.complete();
    one.build();
    set_frequencies(one.haplotypes);
    set_frequencies(three.haplotypes);
    const double ln_one = one.peds.calc_ln_likelihood();
    EXPECT_LT(ln_one, 0.0);
    EXPECT_DOUBLE_EQ(3.0 * ln_one, three.peds.calc_ln_likelihood());
    three.peds.add_expected_counts(three.haplotypes);
    EXPECT_NEAR(1.0, frequency_sum(three.haplotypes), 1e-12);
}

// Each pedigree as "unique/observation count", in array order (newest first).
std::string merged(const std::string& text) {
    Sample s(text);
    s.peds.build_pedigree_structures(s.people);
    s.peds.find_redundant_pedigrees();
    std::string out;
    for (const TPedigree& p : s.peds._pedigrees) {
        out += std::to_string(p._unique) + "/" + std::to_string(p._obs_count) + " ";
    }
    return out;
}

// Families D, C, B, A: B is A with the parents swapped and the sibs reversed, and
// A merges into B, met first; C and D have the same set of sib phenotypes but
// not the same multiset. Singles W, X, Y, Z: phenotypes are unphased, so X, Y
// and Z (alleles 1, 2 and a, b) are one.
TEST(RedundantPedigrees, SameUnphasedPhenotypesAndMultisetOfSibsInAnyOrder) {
    EXPECT_EQ(
        "1/1 1/1 1/2 0/1 ",
        merged("F 0 0\n1\n2\nM 0 0\n3\n3\nA1 F M\n1\n3\nA2 F M\n2\n3\n"
               "F2 0 0\n3\n3\nM2 0 0\n2\n1\nB2 F2 M2\n3\n2\nB1 F2 M2\n3\n1\n"
               "F3 0 0\n1\n2\nM3 0 0\n3\n3\nC1 F3 M3\n1\n3\nC2 F3 M3\n1\n3\nC3 F3 M3\n2\n3\n"
               "F4 0 0\n1\n2\nM4 0 0\n3\n3\nD1 F4 M4\n1\n3\nD2 F4 M4\n2\n3\nD3 F4 M4\n2\n3\n"));
    EXPECT_EQ("1/1 1/3 0/1 0/1 ",
              merged("Z 0 0\n1 a\n2 b\nY 0 0\n2 a\n1 b\nX 0 0\n1 b\n2 a\nW 0 0\n1 a\n2 a\n"));
}

// X, a child of G1 and G2, heads a family with Y; its parent place there is
// untyped, so it takes every genotype. X2 and Y2 are typed founders with the
// phenotypes of X and Y, and their child that of C: the same phenotypes, other
// combinations, so the two families stay apart in either record order. Typed
// founders with those phenotypes (X3, Y3) still merge with X2's family.
TEST(RedundantPedigrees, ParentPlacesMatchOnlyWithTheSameTypedFlag) {
    const std::string middle = "G1 0 0\n1 a\n2 b\nG2 0 0\n3 a\n3 b\nX G1 G2\n1 a\n3 b\n"
                               "Y 0 0\n2 a\n2 b\nC X Y\n1 a\n2 b\n";
    const std::string founders = "X2 0 0\n1 a\n3 b\nY2 0 0\n2 a\n2 b\nC2 X2 Y2\n1 a\n2 b\n";
    const std::string crossed = "Y3 0 0\n2 a\n2 b\nX3 0 0\n1 a\n3 b\nC3 Y3 X3\n1 a\n2 b\n";
    EXPECT_EQ("1/1 1/1 1/1 ", merged(middle + founders));
    EXPECT_EQ("1/1 1/1 1/1 ", merged(founders + middle));
    EXPECT_EQ("1/2 0/1 1/1 1/1 ", merged(middle + founders + crossed));
}

TEST_P(Likelihood, IncompatiblePedigreeStopsAtTheFloorWithBothWarnings) {
    EXPECT_EQ(-3.4028234663852886e+38, kFloorLnLikelihood);
    LogCapture log;
    Sample s("Z 0 0\nA\nB\nF 0 0\nA\nA\nM 0 0\nA\nA\nS F M\nB\nB\n");
    s.complete();
    s.build();
    ASSERT_EQ(2U, s.peds._pedigrees.size());
    set_frequencies(s.haplotypes, [](std::int32_t) { return 0.5; });
    s.peds._pedigrees[1]._prob = 0.123; // not evaluated after the stop
    EXPECT_EQ(kFloorLnLikelihood, s.peds.calc_ln_likelihood());
    EXPECT_EQ(kFloorLnLikelihood, s.peds._ln_likelihood);
    EXPECT_EQ(0.123, s.peds._pedigrees[1]._prob);
    const std::string& i = kIndent;
    const std::string printout =
        "Unique Pedigree: Obs. count = 1\nParent 1 id : F 0 0\n" + i + "A \n" + i + "A \n\n" +
        "Parent 2 id : M 0 0\n" + i + "A \n" + i + "A \n\n" + "Sib 1 id : S\n" + i + "B \n" + i +
        "B \n\n\nPossible genotypic combinations\n-------------------------------\n\n";
    EXPECT_EQ("***1::WARNING[1]\n!!!!!Incompatible pedigree!!!!!\n"
              "===============================\n" +
                  printout +
                  "***2::WARNING[2]\nTPedDB::calc_ln_likelihood() :  Pedigree 0 has zero "
                  "probability\n" +
                  printout + "\n",
              log.str());
}

INSTANTIATE_TEST_SUITE_P(UseAllCombinations, Likelihood, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "On" : "Off"; });

// Each pedigree as "P1 P2 S1 S2 ..." (or "P1" alone), separated by "|".
std::string described(const TPedDB& db) {
    std::string out;
    for (const TPedigree& p : db._pedigrees) {
        out += (out.empty() ? "" : "|") + *p._parent1->_phen->_id;
        if (p._parent2 != nullptr) {
            out += " " + *p._parent2->_phen->_id;
        }
        for (const TPhenPed* sib : p._sibs) {
            out += " " + *sib->_id;
        }
    }
    return out;
}

// Whether haplotypes x and y carry the individual's two alleles at every locus.
bool fits(const TPhenPed& ind, const TPopHaplotype* x, const TPopHaplotype* y, std::int32_t locus) {
    for (std::int32_t l = 0; l < x->size(); ++l) {
        const TAllele* a = ind.pseudo_hapl(0)->allele(locus < 0 ? l : locus);
        const TAllele* b = ind.pseudo_hapl(1)->allele(locus < 0 ? l : locus);
        if (!((x->allele(l) == a && y->allele(l) == b) ||
              (x->allele(l) == b && y->allele(l) == a))) {
            return false;
        }
    }
    return true;
}

// The log-likelihood summed by brute force: over ordered haplotype pairs of
// each parent (all pairs when untyped, those fitting the phenotype when typed)
// weighted f(x) f(y), times, per sib, the share of the four transmissions that
// give its phenotype.
double brute_force(const Sample& s, const TPopHaploDB& h, std::int32_t locus,
                   const std::string& pedigrees) {
    const std::int32_t n = h.size();
    const auto weight = [&](const TPhenPed& p, std::int32_t i, std::int32_t j) {
        return !p.typed() || fits(p, h[i], h[j], locus) ? h[i]->_freq * h[j]->_freq : 0.0;
    };
    double ln_l = 0.0;
    std::istringstream all(pedigrees);
    for (std::string text; std::getline(all, text, '|');) {
        std::istringstream in(text);
        const std::vector<std::string> ids{std::istream_iterator<std::string>(in), {}};
        std::vector<const TPhenPed*> members;
        for (const std::string& id : ids) {
            members.push_back(&s.person(id));
        }
        const TPhenPed& p1 = *members[0];
        double sum = 0.0;
        for (std::int32_t i = 0; i < n; ++i) {
            for (std::int32_t j = 0; j < n; ++j) {
                if (ids.size() == 1) {
                    sum += weight(p1, i, j);
                    continue;
                }
                for (std::int32_t k = 0; k < n; ++k) {
                    for (std::int32_t l = 0; l < n; ++l) {
                        double term = weight(p1, i, j) * weight(*members[1], k, l);
                        for (std::size_t c = 2; c < members.size(); ++c) {
                            const TPhenPed& sib = *members[c];
                            term *= (fits(sib, h[i], h[k], locus) + fits(sib, h[i], h[l], locus) +
                                     fits(sib, h[j], h[k], locus) + fits(sib, h[j], h[l], locus)) /
                                    4.0;
                        }
                        sum += term;
                    }
                }
            }
        }
        ln_l += std::log(sum);
    }
    return ln_l;
}

struct HandCase {
    const char* name;
    std::int32_t locus; // -1: both loci
    bool hash;          // add the allele "#" to every locus
    std::string pedigrees;
    std::string text;
};

void PrintTo(const HandCase& c, std::ostream* os) {
    *os << c.name;
}

// How the likelihood is evaluated: the combinations with their active flags,
// all combinations, or summed over passed-on haplotypes (--fast).
enum class Engine { active_only, all_combinations, summed };

const char* engine_suffix(Engine e) {
    return e == Engine::active_only ? "_ActiveOnly"
                                    : (e == Engine::summed ? "_Summed" : "_AllCombinations");
}

class HandChecked : public ::testing::TestWithParam<std::tuple<HandCase, Engine>> {};

TEST_P(HandChecked, GroupsWeighsAndMatchesTheBruteForceLogLikelihood) {
    const HandCase& c = std::get<0>(GetParam());
    const Engine engine = std::get<1>(GetParam());
    AllCombinations all(engine != Engine::active_only);
    Sample s(c.text);
    s.use_engine(engine == Engine::summed ? EngineKind::summed : EngineKind::listed);
    s.complete(c.hash);
    TPopHaploDB locus_haplotypes;
    TSmallGenDB locus_genotypes;
    TPopHaploDB& haplotypes = c.locus < 0 ? s.haplotypes : locus_haplotypes;
    const TSmallGenDB& shared = c.locus < 0 ? s.genotypes : locus_genotypes;
    if (c.locus < 0) {
        s.build();
    } else {
        locus_haplotypes.build_locus_haplotypes(s.alleles, c.locus);
        locus_genotypes.build_all_valid_gen(locus_haplotypes);
        s.peds.build_pedigree_structures(s.people);
        s.peds.normalise_weights();
        s.peds.build_all_genotypic_combinations(locus_haplotypes, locus_genotypes, c.locus, 0);
    }
    ASSERT_EQ(c.pedigrees, described(s.peds));
    // One weight per parent place, whatever the number of parent records.
    double places = 0.0;
    for (const TPedigree& p : s.peds._pedigrees) {
        places += p._parent2 == nullptr ? 1.0 : 2.0;
    }
    for (const TPedigree& p : s.peds._pedigrees) {
        EXPECT_DOUBLE_EQ(1.0 / places, p._obs_weight);
    }
    // Every family starts from a clean shared database.
    for (std::int32_t k = 0; k < shared.size(); ++k) {
        EXPECT_TRUE(shared[k]._compatible);
    }
    set_frequencies(haplotypes);
    const double expected = brute_force(s, haplotypes, c.locus, c.pedigrees);
    ASSERT_TRUE(std::isfinite(expected));
    EXPECT_NEAR(expected, s.peds.calc_ln_likelihood(), 1e-12 * std::fabs(expected));
    s.peds.add_expected_counts(haplotypes);
    EXPECT_NEAR(1.0, frequency_sum(haplotypes), 1e-12);
}

const char* const kTwoFamiliesAndASingle = "F 0 0\n1 a\n2 b\nM 0 0\n1 a\n3 a\n"
                                           "S1 F M\n2 a\n1 a\nS2 F M\n1 b\n3 a\n"
                                           "K P Q\n2 a\n3 b\nZ 0 0\n1 a\n3 b\n";
// C's typed parents, and D, whose parents are absent.
const std::string kFounders = "F 0 0\n1 a\n2 b\nM 0 0\n3 a\n3 b\n";
const std::string kChildren = "C F M\n1 a\n3 b\nD P Q\n1 a\n1 b\n";

// A family of 76 sibs, the second locus monomorphic: the parents `parents`
// (typed F and M, or absent P and Q), then the sibs, whose genotypes at the
// first locus cycle through `sibs` (pairs of alleles).
HandCase sibship(const char* name, const std::string& parents,
                 const std::vector<std::pair<int, int>>& sibs) {
    const bool typed = !parents.empty();
    std::string text = parents;
    std::string ids = typed ? "F M" : "P Q";
    for (std::size_t k = 0; k < 76; ++k) {
        const auto [x, y] = sibs[k % sibs.size()];
        const std::string id = "C" + std::to_string(k + 1);
        text += id + (typed ? " F M\n" : " P Q\n") + std::to_string(x) + " a\n" +
                std::to_string(y) + " a\n";
        ids += " " + id;
    }
    return {name, -1, true, ids, text};
}

const HandCase kHandCases[] = {
    // Typed parents and two sibs; untyped parents and one sib; a single
    // individual; "#" makes the shared database large. Then one locus at a
    // time, as the allele estimation runs.
    {"TwoFamiliesAndASingle", -1, true, "Z|P Q K|F M S1 S2", kTwoFamiliesAndASingle},
    {"FirstLocusAlone", 0, true, "Z|P Q K|F M S1 S2", kTwoFamiliesAndASingle},
    {"SecondLocusAlone", 1, true, "Z|P Q K|F M S1 S2", kTwoFamiliesAndASingle},
    {"ThreeDoubleHeterozygousSibs", -1, true, "F Q S1 S2 S3",
     "F 0 0\n1 a\n2 b\nS1 F Q\n1 a\n3 b\nS2 F Q\n3 a\n2 b\nS3 F Q\n1 b\n3 a\n"},
    // The first family's sibs rule out genotypes the second one needs.
    {"UntypedParentsTwoSibs", -1, false, "F M D|P Q C1 C2|R T E",
     "E R T\n2 b\n2 b\nC1 P Q\n1 a\n1 a\nC2 P Q\n1 a\n2 b\n"
     "F 0 0\n1 a\n1 a\nM 0 0\n2 b\n1 b\nD F M\n1 a\n2 b\n"},
    {"UntypedFirstParent", -1, true, "P F C1 C2",
     "F 0 0\n1 a\n2 b\nC1 P F\n2 a\n3 b\nC2 P F\n1 b\n3 a\n"},
    // A parent with children by two partners: four places, three records.
    {"ParentWithTwoPartners", -1, true, "M2 F C2|F M1 C1",
     "F 0 0\n1 a\n2 b\nM1 0 0\n1 a\n1 b\nM2 0 0\n2 a\n2 a\nC1 F M1\n1 a\n1 b\nC2 M2 F\n2 a\n2 b\n"},
    {"EightParentRecords", -1, false, "Z2|Z1|F3 M3 S3 S4|F2 M2 S2|F1 M1 S1",
     "F1 0 0\n1 a\n2 b\nM1 0 0\n1 a\n1 b\nS1 F1 M1\n1 a\n2 a\n"
     "F2 0 0\n2 a\n2 b\nM2 0 0\n1 b\n1 b\nS2 F2 M2\n1 b\n2 a\n"
     "F3 0 0\n1 a\n1 a\nM3 0 0\n2 b\n2 a\nS3 F3 M3\n1 a\n2 b\nS4 F3 M3\n1 a\n2 a\n"
     "Z1 0 0\n1 b\n2 a\nZ2 0 0\n2 b\n2 b\n"},
    // One unknown parent means no parents: the typed mother M stands alone,
    // and the absent X, who carries no data, heads nothing.
    {"OneUnknownParent", -1, false, "D|C|M", "M 0 0\n1 a\n2 b\nC M 0\n1 a\n1 b\nD X 0\n2 a\n2 a\n"},
    // Founders visited after their child, or before it: the same pedigrees.
    {"FoundersFirst", -1, false, "P Q D|F M C", kFounders + kChildren},
    {"FoundersLast", -1, false, "P Q D|F M C", kChildren + kFounders},
    // Children naming the parents in either order: one family, sibs in reading
    // order, created when the newest child is visited.
    {"ChildrenNamingParentsEitherWay", -1, false, "M F C1 C2 C3 C4",
     "F 0 0\n1 a\n2 b\nM 0 0\n3 a\n3 a\n"
     "C1 F M\n1 a\n3 a\nC2 M F\n2 b\n3 a\nC3 F M\n1 a\n3 a\nC4 M F\n3 a\n2 b\n"},
    // Segregation probabilities below the single-precision range: 2^-152 for
    // every combination of (1, 2) x (3, 4); with absent parents, 2^-146 for
    // (1, 2) x (1, 2) beside 2^-76 for (1, 1) x (1, 2).
    sibship("SeventySixSibsOfTypedParents", "F 0 0\n1 a\n2 a\nM 0 0\n3 a\n4 a\n",
            {{1, 3}, {2, 4}, {1, 4}, {2, 3}}),
    sibship("SeventySixSibsOfAbsentParents", "",
            {{1, 1},
             {1, 1},
             {1, 1},
             {1, 1},
             {1, 1},
             {1, 1},
             {1, 1},
             {1, 1},
             {1, 1},
             {1, 1},
             {1, 1},
             {1, 1},
             {1, 2}}),
};

INSTANTIATE_TEST_SUITE_P(Cases, HandChecked,
                         ::testing::Combine(::testing::ValuesIn(kHandCases),
                                            ::testing::Values(Engine::active_only,
                                                              Engine::all_combinations,
                                                              Engine::summed)),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param).name) +
                                    engine_suffix(std::get<1>(info.param));
                         });

} // namespace
