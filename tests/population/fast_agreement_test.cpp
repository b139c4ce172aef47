// The summed likelihood (--fast) against the listed combinations: one table of
// data sets (the reviewed data files, generated families, and hand-written
// pedigrees of three generations and of parents with several partners), each
// analysed both ways from the same seed. The two engines add in different
// orders, so they agree to tolerances, not bits: log-likelihoods within 1e-6
// relative, every frequency within 1e-5, the same number of maxima, and the
// same simulated samples drawn afterwards (the random stream is consumed
// alike). On nuclear families the whole-pedigree model is the same
// likelihood: its estimates agree with the summed engine's within 1e-9.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "bench/generate_data.h"
#include "io/data_file_reader.h"
#include "population/pop_pedigree.h"
#include "support/errors.h"
#include "support/random.h"
#include "tests/harness/e2e_harness.h"

namespace {

// What one sample's analysis leaves, at full precision.
struct SampleOutcome {
    double sample_ln_l = 0.0;
    double equilibrium_ln_l = 0.0;
    std::int32_t n_maxima = 0;
    std::vector<double> haplotypes;
    std::vector<double> alleles;
    std::vector<std::string> simulated; // samples drawn after the analysis
};

// Analyses every sample of a data file as the program does, then draws
// `draws` simulated samples from each.
std::vector<SampleOutcome> analyse_file(const std::string& data, const AnalysisOptions& options,
                                        int draws) {
    std::ostringstream console_text;
    std::ostringstream log_text;
    set_console(&console_text);
    if (!error_log.is_open()) {
        error_log.open((::testing::TempDir() + "tovaquor_fast_agreement.log").c_str());
    }
    std::ostream* previous = error_log.redirect(&log_text);
    std::int32_t generator = -2024;
    current_random_state() = RandomState{};
    random_uniform(generator);

    std::istringstream in(data);
    DataFileReader reader(in);
    const RunParameters run = reader.read_run_parameters();
    std::vector<SampleOutcome> out;
    for (std::int32_t k = 0; k < run.n_samples; ++k) {
        const SampleDescription sample = reader.read_sample(reader.read_individual_count(k + 1));
        TPopPedigree pop("Brand new pop", options);
        pop.analyse(sample, run.n_initial);
        SampleOutcome o;
        o.sample_ln_l = pop.PedDB._ln_likelihood;
        o.equilibrium_ln_l = pop.EquilLnLHood;
        o.n_maxima = pop.PedDB._n_maxima;
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
            std::string text;
            for (const SampleRecord& r : pop.describe_random_sample().records) {
                text += r.id + " " + r.parent1 + " " + r.parent2 + "\n" + r.allele_lines[0] + "\n" +
                        r.allele_lines[1] + "\n";
            }
            o.simulated.push_back(text);
        }
        out.push_back(std::move(o));
    }
    error_log.redirect(previous);
    set_console(nullptr);
    return out;
}

double relative(double a, double b) {
    return std::fabs(a - b) / std::max(1.0, std::max(std::fabs(a), std::fabs(b)));
}

double largest_difference(const std::vector<double>& a, const std::vector<double>& b) {
    double d = 0.0;
    for (std::size_t i = 0; i < std::min(a.size(), b.size()); ++i) {
        d = std::max(d, std::fabs(a[i] - b[i]));
    }
    return d;
}

std::string generated(const datagen::Options& o) {
    std::ostringstream text;
    datagen::write_data_file(text, o);
    return text.str();
}

datagen::Options families(int n, int alleles, double untyped, int singles, int loci = 2) {
    datagen::Options o;
    o.families = n;
    o.sibs_min = 1;
    o.sibs_max = 4;
    o.untyped_share = untyped;
    o.singles = singles;
    o.loci = loci;
    o.alleles[0] = alleles;
    o.alleles[1] = alleles - 1;
    o.ld = datagen::Linkage::moderate;
    o.initial = 3;
    o.seed = static_cast<std::uint64_t>(n * 31 + alleles);
    return o;
}

// Three generations: G1 and G2 (absent) have C1 and C2; C1, typed, heads a
// family with the absent P1 (so C1 counts as untyped there); M1 has children
// by two partners, one absent and one typed; an absent F9 has children by two
// absent partners.
const std::string kThreeGenerations = "1 0 3\n26 Three generations and several partners\n"
                                      "C1 G1 G2\nA1 B1\nA2 B2\n"
                                      "C2 G1 G2\nA1 B1\nA3 B2\n"
                                      "D1 C1 P1\nA1 B1\nA4 B3\n"
                                      "D2 C1 P1\nA2 B2\nA4 B1\n"
                                      "M1 0 0\nA1 B2\nA3 B3\n"
                                      "E1 M1 F1\nA1 B2\nA2 B1\n"
                                      "E2 M1 F1\nA3 B3\nA2 B1\n"
                                      "T1 0 0\nA4 B1\nA2 B2\n"
                                      "E3 M1 T1\nA1 B1\nA4 B2\n"
                                      "E4 M1 T1\nA3 B3\nA2 B2\n"
                                      "H1 F9 Q1\nA1 B1\nA2 B3\n"
                                      "H2 F9 Q1\nA1 B2\nA1 B3\n"
                                      "H3 F9 Q2\nA2 B1\nA4 B1\n"
                                      "S1 0 0\nA1 B1\nA1 B2\n"
                                      "S2 0 0\nA3 B3\nA3 B3\n"
                                      "S3 0 0\nA2 B1\nA4 B3\n";

struct DataSet {
    std::string name;
    std::function<std::string()> data;
    friend void PrintTo(const DataSet& d, std::ostream* os) { *os << d.name; }
};

std::vector<DataSet> data_sets() {
    std::vector<DataSet> sets;
    // The reviewed data files.
    std::istringstream files(
        "fixtures/singles fixtures/untyped_parents fixtures/two_samples fixtures/no_estimate "
        "e2e/singles_only e2e/untyped_family e2e/merged_families e2e/one_locus e2e/two_samples "
        "e2e/zero_initial e2e/inconsistent e2e/large_sibship e2e/one_locus_no_test "
        "e2e/typed_middle_generation simulation/untyped_parents simulation/two_samples "
        "malformed/parent_cycle malformed/non_ascii malformed/tab_separated malformed/nul_bytes");
    for (std::string file; files >> file;) {
        std::string name = file;
        std::replace(name.begin(), name.end(), '/', '_');
        sets.push_back({name, [file] { return e2e::read_data(file + ".mbd"); }});
    }
    const std::vector<DataSet> others = {
        {"example", [] { return e2e::read_example("example.mbd"); }},
        {"three_generations_and_partners", [] { return kThreeGenerations; }},
        {"generated_no_absent_parent", [] { return generated(families(60, 5, 0.0, 10)); }},
        {"generated_half_absent", [] { return generated(families(80, 7, 0.5, 0)); }},
        {"generated_all_absent", [] { return generated(families(40, 6, 1.0, 5)); }},
        {"generated_one_sib_absent_parents",
         [] {
             datagen::Options o = families(50, 6, 0.8, 0);
             o.sibs_min = o.sibs_max = 1;
             return generated(o);
         }},
        {"generated_large_sibships",
         [] {
             datagen::Options o = families(30, 5, 0.6, 3);
             o.sibs_min = 5;
             o.sibs_max = 8;
             return generated(o);
         }},
        {"generated_singles_only", [] { return generated(families(0, 6, 0.0, 80)); }},
        {"generated_one_locus", [] { return generated(families(60, 9, 0.5, 10, 1)); }},
    };
    sets.insert(sets.end(), others.begin(), others.end());
    return sets;
}

class Agreement : public ::testing::TestWithParam<DataSet> {};

TEST_P(Agreement, FastRunMatchesTheExactRun) {
    const std::string data = GetParam().data();
    ASSERT_FALSE(data.empty());
    const std::vector<SampleOutcome> exact = analyse_file(data, {.engine = EngineKind::listed}, 2);
    const std::vector<SampleOutcome> fast = analyse_file(data, {.engine = EngineKind::summed}, 2);
    ASSERT_EQ(exact.size(), fast.size());
    for (std::size_t k = 0; k < exact.size(); ++k) {
        SCOPED_TRACE("sample " + std::to_string(k + 1));
        const SampleOutcome& e = exact[k];
        const SampleOutcome& f = fast[k];
        EXPECT_LE(relative(e.sample_ln_l, f.sample_ln_l), 1e-6)
            << e.sample_ln_l << " " << f.sample_ln_l;
        EXPECT_LE(relative(e.equilibrium_ln_l, f.equilibrium_ln_l), 1e-6)
            << e.equilibrium_ln_l << " " << f.equilibrium_ln_l;
        EXPECT_EQ(e.n_maxima, f.n_maxima);
        ASSERT_EQ(e.haplotypes.size(), f.haplotypes.size());
        ASSERT_EQ(e.alleles.size(), f.alleles.size());
        EXPECT_LE(largest_difference(e.haplotypes, f.haplotypes), 1e-5);
        EXPECT_LE(largest_difference(e.alleles, f.alleles), 1e-5);
        EXPECT_EQ(e.simulated, f.simulated);
        // The figures of the agreement table in the README.
        std::cout << "[ agreement ] " << GetParam().name << " sample " << k + 1 << " ln-likelihood "
                  << e.sample_ln_l << " relative difference "
                  << relative(e.sample_ln_l, f.sample_ln_l) << " equilibrium "
                  << relative(e.equilibrium_ln_l, f.equilibrium_ln_l) << " haplotypes "
                  << largest_difference(e.haplotypes, f.haplotypes) << " alleles "
                  << largest_difference(e.alleles, f.alleles) << " maxima " << e.n_maxima << "/"
                  << f.n_maxima << "\n";
    }
}

INSTANTIATE_TEST_SUITE_P(DataSets, Agreement, ::testing::ValuesIn(data_sets()),
                         [](const auto& info) { return info.param.name; });

// Nuclear families, singles and absent parents (no three generations, no one
// known parent, no parent of two families): the same estimates as whole pedigrees.
TEST(WholePedigreesAgreement, NuclearFamiliesGiveTheNuclearEstimates) {
    int compared = 0;
    for (const DataSet& set : data_sets()) {
        if (set.name.rfind("generated", 0) != 0 && set.name != "fixtures_untyped_parents" &&
            set.name != "fixtures_singles" && set.name != "example") {
            continue;
        }
        SCOPED_TRACE(set.name);
        ++compared;
        const std::string data = set.data();
        const std::vector<SampleOutcome> nuclear = analyse_file(data, {}, 0);
        const std::vector<SampleOutcome> whole =
            analyse_file(data, {.engine = EngineKind::whole_pedigrees}, 0);
        ASSERT_EQ(nuclear.size(), whole.size());
        for (std::size_t k = 0; k < nuclear.size(); ++k) {
            EXPECT_LE(relative(nuclear[k].sample_ln_l, whole[k].sample_ln_l), 1e-9);
            EXPECT_LE(relative(nuclear[k].equilibrium_ln_l, whole[k].equilibrium_ln_l), 1e-9);
            EXPECT_EQ(nuclear[k].n_maxima, whole[k].n_maxima);
            EXPECT_LE(largest_difference(nuclear[k].haplotypes, whole[k].haplotypes), 1e-9);
            EXPECT_EQ(nuclear[k].alleles, whole[k].alleles);
        }
    }
    EXPECT_EQ(10, compared);
}

} // namespace
