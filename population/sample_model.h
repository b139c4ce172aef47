#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "io/sample_description.h"
#include "support/analysis_options.h"

class TPopPedigree;

// What the analysis of a drawn sample will take of the generator, and a
// fingerprint of its drawn alleles (equal fingerprints, same sample).
struct DrawSummary {
    std::int64_t deviates = 0;
    std::uint64_t fingerprint = 0;
};

// What the likelihood model of a sample decides: how the sample is analysed,
// how a simulated sample is drawn from it and whether its files may hold an
// unknown allele. The nuclear-family engines and the whole-pedigree model sit
// behind it; a sample holds one, made from the options' engine kind, with
// whatever the model keeps of the sample besides the sample's own tables.
class SampleModel {
  public:
    virtual ~SampleModel() = default;

    virtual void analyse(TPopPedigree& pop, const SampleDescription& sample,
                         std::int32_t n_initial) = 0;
    // Draws new genotypes for every typed individual, in linkage equilibrium.
    virtual void draw_random_sample(TPopPedigree& pop) = 0;
    // The last drawn sample as it would read back from a data file.
    virtual SampleDescription describe_random_sample(const TPopPedigree& pop) const = 0;
    // The summary of the last drawn sample; by default from its description.
    virtual DrawSummary summarise_draw(const TPopPedigree& pop, std::int32_t n_initial) const;
    // Whether an allele line may hold the unknown allele "?".
    virtual bool reads_unknown_alleles() const = 0;
    // The model's name in the summaries and its line on the console; both
    // empty for the nuclear-family model, whose outputs name none.
    virtual std::string name() const = 0;
    virtual std::string console_line() const = 0;
};

// The one place the engine kind picks a model.
std::unique_ptr<SampleModel> make_sample_model(EngineKind kind);
