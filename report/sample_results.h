#pragma once

#include <cstdint>
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
};

struct SimulatedResult {
    double sample_ln_l = 0.0;
    double equilibrium_ln_l = 0.0;
    std::int32_t n_maxima = 0;
    bool valid = false;
    double ratio() const { return 2.0 * (sample_ln_l - equilibrium_ln_l); }
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

    std::vector<std::vector<AlleleResult>> alleles; // per locus, in report order
    std::vector<HaplotypeResult> haplotypes;        // every possible haplotype, sorted

    TestStatus test = TestStatus::kNotRequested;
    std::int32_t n_simulated = 0; // requested
    std::vector<SimulatedResult> simulated;
    std::int64_t tail = 0;  // valid simulated ratios at least the observed one
    std::int64_t valid = 0; // valid simulated samples

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
    std::vector<SampleResults> samples;
};

// An allele whose estimate the report prints as 0.00000, such as the entry for
// unseen alleles (which the estimation drives towards 0 without reaching it),
// counts as absent: the measures, the degrees of freedom and the haplotype
// lists leave it out.
bool allele_present(const AlleleResult& allele);

// A haplotype of non-zero frequency whose alleles are all present.
bool haplotype_listed(const SampleResults& sample, const HaplotypeResult& haplotype);

// The disequilibrium of a sample's two loci, absent alleles left out.
struct SampleLd {
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
};
SampleTest sample_test(const SampleResults& sample, const std::optional<SampleLd>& ld_table);
