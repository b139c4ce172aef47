// The summed likelihood (--fast) against the listed combinations: one table of
// data sets (the reviewed data files, generated families, and hand-written
// pedigrees of three generations and of parents with several partners), each
// analysed both ways from the same seed. The two engines add in different
// orders, so they agree to tolerances, not bits: log-likelihoods within 1e-6
// relative, every frequency within 1e-5, the same number of maxima, and the
// same simulated samples drawn afterwards (the random stream is consumed
// alike).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
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
std::vector<SampleOutcome> analyse_file(const std::string& data, bool fast, int draws) {
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
        TPopPedigree pop("Brand new pop");
        pop.Fast = fast;
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

struct DataSet {
    const char* name;
    std::string (*data)();
};

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
const char* const kThreeGenerations = R"(1 0 3
26 Three generations and several partners
C1 G1 G2
A1 B1
A2 B2
C2 G1 G2
A1 B1
A3 B2
D1 C1 P1
A1 B1
A4 B3
D2 C1 P1
A2 B2
A4 B1
M1 0 0
A1 B2
A3 B3
E1 M1 F1
A1 B2
A2 B1
E2 M1 F1
A3 B3
A2 B1
T1 0 0
A4 B1
A2 B2
E3 M1 T1
A1 B1
A4 B2
E4 M1 T1
A3 B3
A2 B2
H1 F9 Q1
A1 B1
A2 B3
H2 F9 Q1
A1 B2
A1 B3
H3 F9 Q2
A2 B1
A4 B1
S1 0 0
A1 B1
A1 B2
S2 0 0
A3 B3
A3 B3
S3 0 0
A2 B1
A4 B3
)";

const DataSet kDataSets[] = {
    {"fixtures_singles", [] { return e2e::read_data("fixtures/singles.mbd"); }},
    {"fixtures_untyped_parents", [] { return e2e::read_data("fixtures/untyped_parents.mbd"); }},
    {"fixtures_two_samples", [] { return e2e::read_data("fixtures/two_samples.mbd"); }},
    {"fixtures_no_estimate", [] { return e2e::read_data("fixtures/no_estimate.mbd"); }},
    {"e2e_singles_only", [] { return e2e::read_data("e2e/singles_only.mbd"); }},
    {"e2e_untyped_family", [] { return e2e::read_data("e2e/untyped_family.mbd"); }},
    {"e2e_merged_families", [] { return e2e::read_data("e2e/merged_families.mbd"); }},
    {"e2e_one_locus", [] { return e2e::read_data("e2e/one_locus.mbd"); }},
    {"e2e_two_samples", [] { return e2e::read_data("e2e/two_samples.mbd"); }},
    {"e2e_zero_initial", [] { return e2e::read_data("e2e/zero_initial.mbd"); }},
    {"e2e_inconsistent", [] { return e2e::read_data("e2e/inconsistent.mbd"); }},
    {"e2e_large_sibship", [] { return e2e::read_data("e2e/large_sibship.mbd"); }},
    {"e2e_one_locus_no_test", [] { return e2e::read_data("e2e/one_locus_no_test.mbd"); }},
    {"e2e_typed_middle_generation",
     [] { return e2e::read_data("e2e/typed_middle_generation.mbd"); }},
    {"simulation_untyped_parents", [] { return e2e::read_data("simulation/untyped_parents.mbd"); }},
    {"simulation_two_samples", [] { return e2e::read_data("simulation/two_samples.mbd"); }},
    {"malformed_parent_cycle", [] { return e2e::read_data("malformed/parent_cycle.mbd"); }},
    {"malformed_non_ascii", [] { return e2e::read_data("malformed/non_ascii.mbd"); }},
    {"malformed_tab_separated", [] { return e2e::read_data("malformed/tab_separated.mbd"); }},
    {"malformed_nul_bytes", [] { return e2e::read_data("malformed/nul_bytes.mbd"); }},
    {"example", [] { return e2e::read_data("../../examples/example.mbd"); }},
    {"three_generations_and_partners", [] { return std::string(kThreeGenerations); }},
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

class Agreement : public ::testing::TestWithParam<DataSet> {};

TEST_P(Agreement, FastRunMatchesTheExactRun) {
    const std::string data = GetParam().data();
    ASSERT_FALSE(data.empty());
    const std::vector<SampleOutcome> exact = analyse_file(data, false, 2);
    const std::vector<SampleOutcome> fast = analyse_file(data, true, 2);
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

INSTANTIATE_TEST_SUITE_P(DataSets, Agreement, ::testing::ValuesIn(kDataSets),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
