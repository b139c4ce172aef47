// The analysis as whole pedigrees: on nuclear families it is the nuclear
// model (same likelihood), unknown alleles are refused without it, and the
// simulated samples keep each individual's typing.
#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "bench/generate_data.h"
#include "io/data_file_reader.h"
#include "population/pop_pedigree.h"
#include "support/errors.h"
#include "support/random.h"

namespace {

struct Outcome {
    double sample_ln_l = 0.0;
    double equilibrium_ln_l = 0.0;
    std::vector<double> haplotypes;
    std::vector<float> alleles;
    std::string console;
    std::vector<SampleDescription> drawn;
};

// The first sample of a data file.
SampleDescription sample_of(const std::string& text) {
    std::istringstream in(text);
    DataFileReader reader(in);
    reader.read_run_parameters();
    return reader.read_sample(reader.read_individual_count(1));
}

// A sample analysed from a fixed seed, then `draws` samples drawn from it.
Outcome analyse(const SampleDescription& sample, bool whole, int n_initial, int draws = 0) {
    // Console and log captured here, restored however the analysis ends.
    struct Capture {
        std::ostringstream console;
        std::ostringstream log;
        std::ostream* previous = nullptr;
        Capture() {
            set_console(&console);
            if (!error_log.is_open()) {
                error_log.open((::testing::TempDir() + "tovaquor_whole.log").c_str());
            }
            previous = error_log.redirect(&log);
        }
        ~Capture() {
            error_log.redirect(previous);
            set_console(nullptr);
        }
    } capture;
    std::int32_t generator = -77;
    current_random_state() = RandomState{};
    random_uniform(generator);
    Outcome o;
    AnalysisOptions options;
    options.whole_pedigrees = whole;
    TPopPedigree pop("Brand new pop", options);
    pop.analyse(sample, n_initial);
    o.sample_ln_l = pop.PedDB._ln_likelihood;
    o.equilibrium_ln_l = pop.EquilLnLHood;
    for (std::int32_t i = 0; i < pop.HaplDB.size(); ++i) {
        o.haplotypes.push_back(pop.HaplDB[i]->_freq);
    }
    for (std::int32_t l = 0; l < pop.AlleleDB.n_loci(); ++l) {
        for (std::int32_t j = 0; j < pop.AlleleDB.locus(l).size(); ++j) {
            o.alleles.push_back(pop.AlleleDB.locus(l).allele(j)->_freq);
        }
    }
    for (int d = 0; d < draws; ++d) {
        pop.draw_random_sample();
        o.drawn.push_back(pop.describe_random_sample());
    }
    o.console = capture.console.str();
    return o;
}

void expect_relative(double expected, double actual, double tolerance) {
    EXPECT_NEAR(expected, actual, tolerance * std::fabs(expected));
}

// Nuclear families and singles, with absent and untyped parents: the joint
// likelihood of each pedigree is the nuclear one, so the estimates agree.
TEST(WholePedigreesAnalysis, NuclearFamiliesGiveTheNuclearModel) {
    datagen::Options options;
    options.families = 25;
    options.singles = 10;
    options.alleles[0] = 4;
    options.alleles[1] = 3;
    std::ostringstream text;
    datagen::write_data_file(text, options);
    const SampleDescription sample = sample_of(text.str());
    const Outcome nuclear = analyse(sample, false, 3);
    const Outcome whole = analyse(sample, true, 3);
    expect_relative(nuclear.sample_ln_l, whole.sample_ln_l, 1e-9);
    expect_relative(nuclear.equilibrium_ln_l, whole.equilibrium_ln_l, 1e-9);
    ASSERT_EQ(nuclear.haplotypes.size(), whole.haplotypes.size());
    for (std::size_t h = 0; h < whole.haplotypes.size(); ++h) {
        EXPECT_NEAR(nuclear.haplotypes[h], whole.haplotypes[h], 1e-9);
    }
    EXPECT_EQ(nuclear.alleles, whole.alleles);
    EXPECT_EQ(nuclear.console, whole.console);
}

const char* const kPartial = "1 0 1\n9 Three generations\n"
                             "G1 0 0\nA ?\nB ?\n"
                             "P G1 G2\nA C\nB D\n"
                             "Q 0 0\n? ?\n? ?\n"
                             "K1 P Q\nA C\nA D\n"
                             "K2 P Q\nB ?\nA ?\n"
                             "K3 P Q\nB C\nB D\n"
                             "H 0 P\nA C\nB C\n"
                             "S 0 0\nA C\nB D\n"
                             "T 0 0\nB D\nB D\n";

TEST(WholePedigreesAnalysis, UnknownAllelesNeedTheOption) {
    const SampleDescription sample = sample_of(kPartial);
    try {
        analyse(sample, false, 1);
        FAIL() << "a file with ? was analysed as nuclear families";
    } catch (const FatalError& e) {
        EXPECT_NE(std::string::npos, std::string(e.what()).find("individual G1"));
        EXPECT_NE(std::string::npos, std::string(e.what()).find("--whole-pedigrees"));
    }
    const Outcome whole = analyse(sample, true, 2);
    EXPECT_GT(whole.sample_ln_l, whole.equilibrium_ln_l);
    EXPECT_LT(whole.sample_ln_l, 0.0);
    // "?" is no allele: A, B and "#" at the first locus, C, D and "#" at the second.
    EXPECT_EQ(6U, whole.alleles.size());
}

// Same records, same parents, "?" where the file had it, one individual
// typed "? ?" kept as it is, and the absent G2 never written.
TEST(WholePedigreesAnalysis, DrawnSamplesKeepEveryTyping) {
    const SampleDescription sample = sample_of(kPartial);
    const Outcome whole = analyse(sample, true, 1, 3);
    for (const SampleDescription& drawn : whole.drawn) {
        ASSERT_EQ(sample.records.size(), drawn.records.size());
        for (std::size_t i = 0; i < drawn.records.size(); ++i) {
            const SampleRecord& a = sample.records[i];
            const SampleRecord& b = drawn.records[i];
            EXPECT_EQ(a.id + a.parent1 + a.parent2, b.id + b.parent1 + b.parent2);
            for (std::size_t k = 0; k < 2; ++k) {
                std::istringstream x(a.allele_lines[k]);
                std::istringstream y(b.allele_lines[k]);
                std::string u;
                std::string v;
                while (x >> u) {
                    ASSERT_TRUE(static_cast<bool>(y >> v));
                    EXPECT_EQ(u == "?", v == "?") << a.id;
                }
            }
        }
    }
    // Genes drop down the pedigree: the first line of a child of P (K1, K3)
    // is the haplotype it took from P, one of P's two lines.
    for (const SampleDescription& drawn : whole.drawn) {
        const auto& p = drawn.records[1].allele_lines;
        for (const std::size_t child : {3U, 5U}) {
            const std::string& line = drawn.records[child].allele_lines[0];
            EXPECT_TRUE(line == p[0] || line == p[1]) << line << " from " << p[0] << "/" << p[1];
        }
    }
}

} // namespace
