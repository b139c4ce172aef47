// Posterior phases: for unrelated individuals the closed form at the
// estimated frequencies; a child of phase-known parents takes its Mendelian
// phase with certainty, whatever the frequencies say.
#include "population/phase_posteriors.h"

#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>

#include "io/data_file_reader.h"
#include "population/pop_pedigree.h"
#include "support/errors.h"

namespace {

struct Analysed {
    std::unique_ptr<TPopPedigree> pop = std::make_unique<TPopPedigree>("Brand new pop");
    std::map<std::string, IndividualPhases> phases;
};

Analysed analyse(const std::string& text) {
    std::istringstream is(text);
    DataFileReader reader(is);
    const SampleDescription sample = reader.read_sample(reader.read_individual_count(1));
    std::ostringstream quiet;
    std::ostream* saved = log_stream;
    log_stream = &quiet;
    set_console(&quiet);
    Analysed a;
    a.pop->analyse(sample, 3);
    for (IndividualPhases& p : phase_posteriors(*a.pop, 0.0)) {
        a.phases[p.individual] = p;
    }
    set_console(nullptr);
    log_stream = saved;
    return a;
}

double frequency(const TPopPedigree& pop, const std::string& a, const std::string& b) {
    for (std::int32_t h = 0; h < pop.HaplDB.size(); ++h) {
        if (pop.HaplDB[h]->allele(0)->_name == a && pop.HaplDB[h]->allele(1)->_name == b) {
            return pop.HaplDB[h]->_freq;
        }
    }
    return 0.0;
}

TEST(PhasePosteriors, UnrelatedDoubleHeterozygoteFollowsTheFrequencies) {
    const Analysed a = analyse("6 Singles\nS1 0 0\n1 x\n2 y\nS2 0 0\n1 x\n1 x\nS3 0 0\n2 y\n2 y\n"
                               "S4 0 0\n1 y\n2 x\nS5 0 0\n1 x\n2 y\nS6 0 0\n1 x\n2 x\n");
    const TPopPedigree& pop = *a.pop;
    const double cis = 2 * frequency(pop, "1", "x") * frequency(pop, "2", "y");
    const double trans = 2 * frequency(pop, "1", "y") * frequency(pop, "2", "x");
    const IndividualPhases& s1 = a.phases.at("S1");
    ASSERT_EQ(2U, s1.pairs.size());
    EXPECT_EQ("1~x", s1.pairs[0].haplotype_a);
    EXPECT_EQ("2~y", s1.pairs[0].haplotype_b);
    EXPECT_NEAR(cis / (cis + trans), s1.pairs[0].posterior, 1e-12);
    EXPECT_NEAR(trans / (cis + trans), s1.pairs[1].posterior, 1e-12);
    // Homozygous at a locus: one phase.
    ASSERT_EQ(1U, a.phases.at("S6").pairs.size());
    EXPECT_EQ("1~x", a.phases.at("S6").pairs[0].haplotype_a);
    EXPECT_EQ("2~x", a.phases.at("S6").pairs[0].haplotype_b);
    EXPECT_DOUBLE_EQ(1.0, a.phases.at("S6").pairs[0].posterior);
}

// F is homozygous at the first locus, M at both: their phases are known, and
// the child, doubly heterozygous, can only have 1~x from F and 2~z from M,
// although the singles make the other phase the likelier.
TEST(PhasePosteriors, ChildOfPhaseKnownParentsTakesItsMendelianPhase) {
    const Analysed a = analyse("9 Family\nF 0 0\n1 x\n1 y\nM 0 0\n2 z\n2 z\nC F M\n1 x\n2 z\n"
                               "S1 0 0\n1 z\n1 z\nS2 0 0\n1 z\n1 z\nS3 0 0\n2 x\n2 x\n"
                               "S4 0 0\n2 x\n2 x\n");
    const IndividualPhases& child = a.phases.at("C");
    ASSERT_EQ(1U, child.pairs.size());
    EXPECT_EQ("1~x", child.pairs[0].haplotype_a);
    EXPECT_EQ("2~z", child.pairs[0].haplotype_b);
    EXPECT_NEAR(1.0, child.pairs[0].posterior, 1e-12);
    ASSERT_EQ(1U, a.phases.at("F").pairs.size());
    EXPECT_EQ("1~y", a.phases.at("F").pairs[0].haplotype_b);
    const TPopPedigree& pop = *a.pop;
    EXPECT_GT(frequency(pop, "1", "z") * frequency(pop, "2", "x"),
              frequency(pop, "1", "x") * frequency(pop, "2", "z"));
}

// A child that heads a family of its own: its phase combines what its
// parents and its children say, with a typed partner and with an absent one
// (whose family lists each pair of parental genotypes once for both orders).
TEST(PhasePosteriors, MiddleGenerationCombinesBothFamilies) {
    const std::string grandparents = "G1 0 0\n1 x\n1 x\nG2 0 0\n2 y\n2 y\nP G1 G2\n1 x\n2 y\n";
    for (const std::string& partner : {std::string("Q 0 0\n3 w\n3 w\nK P Q\n1 x\n3 w\n"),
                                       std::string("K P X\n1 x\n3 w\nT 0 0\n3 w\n3 w\n")}) {
        const Analysed a = analyse("7 Three\n" + grandparents + partner + "S 0 0\n1 y\n2 x\n");
        const IndividualPhases& p = a.phases.at("P");
        ASSERT_FALSE(p.pairs.empty()) << partner;
        EXPECT_EQ("1~x", p.pairs[0].haplotype_a);
        EXPECT_EQ("2~y", p.pairs[0].haplotype_b);
        EXPECT_NEAR(1.0, p.pairs[0].posterior, 1e-12);
        double sum = 0.0;
        for (const PhasedPair& pair : a.phases.at("K").pairs) {
            sum += pair.posterior;
        }
        EXPECT_NEAR(1.0, sum, 1e-12);
    }
}

} // namespace
