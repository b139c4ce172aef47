#pragma once

#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "report/ld_measures.h"

// What a run found, sample by sample, in plain values: the analysis fills it,
// the tables, the page and the summary on standard error read it.

struct AlleleResult {
    std::string name;
    float frequency = 0.0F; // held in single precision by the estimation
};

struct HaplotypeResult {
    std::int32_t number = 0;                // position in the name-sorted list of all haplotypes
    std::vector<std::string> alleles;       // one per locus
    std::vector<std::int32_t> allele_index; // index in each locus' allele list
    double frequency = 0.0;
    double product = 0.0; // product of its alleles' frequencies
    // 95 % bootstrap percentile intervals (NaN without --bootstrap).
    double frequency_low = std::numeric_limits<double>::quiet_NaN();
    double frequency_high = std::numeric_limits<double>::quiet_NaN();
    double d_prime_low = std::numeric_limits<double>::quiet_NaN();
    double d_prime_high = std::numeric_limits<double>::quiet_NaN();
};

struct SimulatedResult {
    double sample_ln_l = 0.0;
    double equilibrium_ln_l = 0.0;
    std::int32_t n_maxima = 0;
    bool valid = false;
    double ratio() const { return 2.0 * (sample_ln_l - equilibrium_ln_l); }
};

// The exact Hardy-Weinberg test of one locus on the founders and singles.
struct LocusHardyWeinberg {
    std::int32_t individuals = 0;
    std::int32_t alleles = 0;
    double observed_heterozygosity = 0.0;
    double expected_heterozygosity = 0.0;
    double p_value = 0.0;
    std::int64_t draws = 0; // 0: complete enumeration
};

// One typed individual's phased haplotype pairs, most probable first.
struct PhaseRow {
    std::string haplotype_a; // alleles joined by "~"
    std::string haplotype_b;
    double posterior = 0.0;
};
struct IndividualPhaseRows {
    std::string individual;
    std::vector<PhaseRow> pairs;
};

// Why a sample has no simulation test.
enum class TestStatus { kRun, kNotRequested, kNoEstimate, kOneLocus };

struct SampleResults {
    std::string name;
    std::int32_t announced = 0; // individual count the file announced
    std::int32_t individuals = 0;
    std::int32_t families = 0;
    std::int32_t singles = 0;
    std::int32_t absent_parents = 0;
    std::int32_t loci = 0;

    bool estimated = true; // false: the likelihood of the sample is zero
    double sample_ln_l = 0.0;
    double equilibrium_ln_l = 0.0;
    std::int32_t n_maxima = 0;
    double ratio() const { return 2.0 * (sample_ln_l - equilibrium_ln_l); }
    // The maxima told apart by their frequencies (within maxima_tolerance),
    // and how many initial conditions reached the one kept.
    std::int32_t distinct_maxima = 0;
    std::int32_t best_maximum_starts = 0;
    double maxima_tolerance = 0.0;
    // Haplotypes the founders bring in (two per typed founder or single, one
    // per parent without data): the sample size of the chi-square rule.
    std::int64_t founder_haplotypes = 0;

    std::vector<std::vector<AlleleResult>> alleles; // per locus, in report order
    std::vector<HaplotypeResult> haplotypes;        // every possible haplotype, sorted

    TestStatus test = TestStatus::kNotRequested;
    std::int32_t n_simulated = 0; // requested
    std::vector<SimulatedResult> simulated;
    std::int64_t tail = 0;  // valid simulated ratios at least the observed one
    std::int64_t valid = 0; // valid simulated samples

    std::vector<LocusHardyWeinberg> hardy_weinberg; // per locus
    std::vector<IndividualPhaseRows> phases;        // with --phases
    bool phases_missing = false; // asked for, but its families are too large to list
    // With --bootstrap: replicates made and those with an estimate, and the
    // 95 % percentile intervals of the table measures.
    std::int32_t bootstrap_replicates = 0;
    std::int32_t bootstrap_valid = 0;
    double overall_d_prime_low = std::numeric_limits<double>::quiet_NaN();
    double overall_d_prime_high = std::numeric_limits<double>::quiet_NaN();
    double wn_low = std::numeric_limits<double>::quiet_NaN();
    double wn_high = std::numeric_limits<double>::quiet_NaN();

    bool complete = false; // analysis and test finished
};

struct RunResults {
    std::string program = "tovaquor";
    std::string version;
    std::string data_file;
    std::int32_t seed = 0;
    std::int32_t n_samples = 0;
    std::int32_t n_simulated = 0;
    std::int32_t n_initial = 0;
    // The model when it is not the default nuclear-family one ("whole
    // pedigrees"); empty by default, so that default outputs stay as they were.
    std::string model;
    // What the run was asked for beyond the report: phases (--phases) and
    // bootstrap replicates (--bootstrap N).
    bool phases_requested = false;
    bool hardy_weinberg_requested = false; // the tables or the page show it
    std::int32_t bootstrap_replicates = 0;
    std::vector<SampleResults> samples;
};

// An allele whose estimate the report prints as 0.00000, such as the entry for
// unseen alleles (which the estimation drives towards 0 without reaching it),
// counts as absent: the measures, the degrees of freedom and the haplotype
// lists leave it out.
bool allele_present(const AlleleResult& allele);

// A haplotype of non-zero frequency whose alleles are all present.
bool haplotype_listed(const SampleResults& sample, const HaplotypeResult& haplotype);

// The disequilibrium of a sample's two loci, from the listed haplotype
// frequencies and their own marginals (so that the haplotype table alone
// gives every measure); absent alleles left out.
struct SampleLd {
    // Marginal frequency of every allele of each locus: the sum of the listed
    // haplotypes that carry it, in list order.
    std::vector<std::vector<double>> marginals;
    std::vector<std::int32_t> rows;    // allele index at the first locus of each table row
    std::vector<std::int32_t> columns; // allele index at the second locus of each column
    ld::TableMeasures table;
    // Index of table row and column for each haplotype of the sample, or -1
    // when one of its alleles was left out.
    std::vector<std::int32_t> haplotype_row;
    std::vector<std::int32_t> haplotype_column;
};

// None for a sample with no estimate or not typed at two loci.
std::optional<SampleLd> sample_ld(const SampleResults& sample);

// The summary figures beside the report's P-value; NaN where not defined.
struct SampleTest {
    std::int32_t df = 0;
    double chi_square_p = 0.0;
    double report_p = 0.0; // the report's tail / valid
    double monte_carlo_p = 0.0;
    ld::Interval interval;
    bool simulated = false; // the Monte Carlo figures exist
    // Cochran's rule for the chi-square approximation: every expected
    // haplotype count under equilibrium (founder haplotypes times p times q)
    // at least 1, and at most a fifth of them below 5.
    double min_expected = 0.0;
    std::int32_t cells_below_five = 0;
    std::int32_t cells = 0;
    bool chi_square_reliable = false;
};
SampleTest sample_test(const SampleResults& sample, const std::optional<SampleLd>& ld_table);
