#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "genetics/allele.h"
#include "genetics/haplotype.h"
#include "io/sample_description.h"
#include "pedigree/ped_db.h"
#include "pedigree/phen_ped.h"
#include "pedigree/small_gen.h"
#include "population/maxima_tally.h"
#include "population/sample_model.h"
#include "support/analysis_options.h"

// One population sample: its individuals and every database built from them.
class TPopPedigree {
  public:
#ifdef TOVAQUOR_TEST_MAX_ITERATIONS
    // Test builds (the fuzzer) may cap the EM runs to explore more inputs.
    static constexpr std::int32_t kMaxIterations = TOVAQUOR_TEST_MAX_ITERATIONS;
#else
    static constexpr std::int32_t kMaxIterations = 10000;
#endif
    static constexpr float kConvergence = 1e-7F;
    static constexpr std::int32_t kLocusInitialConditions = 2;

    explicit TPopPedigree(std::string name, const AnalysisOptions& options = {})
        : Name(std::move(name)), Options(options), Model(make_sample_model(options.engine)),
          PedDB(options.engine) {}
    TPopPedigree(const TPopPedigree&) = delete;
    TPopPedigree& operator=(const TPopPedigree&) = delete;

    // Estimates the haplotype frequencies of `sample` and both log-likelihoods,
    // under the model of the options' engine kind.
    void analyse(const SampleDescription& sample, std::int32_t n_initial);
    // The analysis as nuclear families, by the pedigree database's engine.
    void analyse_nuclear(const SampleDescription& sample, std::int32_t n_initial);
    // Makes the individuals of `sample`, refusing duplicate identifiers and
    // individuals that are their own parent.
    void load_sample(const SampleDescription& sample);
    // Says, in the log and in NuclearNotice, how many individuals of a sample
    // read from a file the nuclear-family model cannot link as they are.
    void note_nuclear_losses(const SampleDescription& sample);
    void set_pseudo_haplotypes(TPhenPedDB& db, char separator);
    bool build_pedigrees();
    // Stops with a message when the haplotype and genotype tables the alleles
    // make would not fit in the memory limit.
    void check_table_sizes() const;
    // Whether some family has a parent without data, who may carry any pair
    // of haplotypes: only then is the table of all pairs built.
    bool needs_pair_table() const;

    void calc_ML_frequencies(TPedDB& peds, TPopHaploDB& haplotypes, std::int32_t& n_initial,
                             std::int32_t& max_iterations, float& threshold);
    void calc_ML_allelic_frequencies();
    void calc_sample_likelihoods(std::int32_t n_initial);
    // Uniform deviates the analysis of `sample` takes: two runs per locus over
    // its alleles (with "#"), then one draw per haplotype per initial condition.
    static std::int64_t deviates_needed(const SampleDescription& sample, std::int32_t n_initial);
    // What the analysis of the last drawn sample will take of the generator,
    // and a fingerprint of the drawn alleles by which another copy of this
    // pedigree can tell that it drew the same sample.
    DrawSummary summarise_draw(std::int32_t n_initial) const;

    // Draws new genotypes for every typed individual, in linkage equilibrium,
    // as the model drops them.
    void draw_random_sample();
    // The drawn sample as it would read back from a data file.
    SampleDescription describe_random_sample() const;
    // Both for nuclear families; the sample described holds the typed
    // individuals, newest record first.
    void draw_nuclear_sample();
    SampleDescription describe_nuclear_sample() const;
    DrawSummary summarise_nuclear_draw(std::int32_t n_initial) const;

    std::string Name;
    const AnalysisOptions Options;
    const std::unique_ptr<SampleModel> Model;
    TAlleleDB AlleleDB;
    TPopHaploDB HaplDB;
    TSmallGenDB SmallGenDB;
    TPhenPedDB PhenPedDB;
    TPedDB PedDB;
    double EquilLnLHood = 0.0;
    // Set by note_nuclear_losses, for standard error.
    std::string NuclearNotice;
    // Founder haplotypes of the pedigrees with data, when the model counts
    // them its own way (whole pedigrees); else the summaries count them.
    std::optional<double> FounderHaplotypes;
    // The maxima of the last estimation (after analyse: the haplotype frequencies').
    MaximaTally Maxima;

  private:
    // Whether the table of every pair of haplotypes is built: when the
    // engine lists genotypes and some family needs it.
    bool builds_pair_table() const;
};
