#include "population/sample_model.h"

#include "population/pop_pedigree.h"
#include "population/whole_pedigree_sample.h"
#include "support/fingerprint.h"

namespace {

// Each nuclear family on its own, evaluated by the pedigree database's engine.
class NuclearFamilies : public SampleModel {
  public:
    void analyse(TPopPedigree& pop, const SampleDescription& sample,
                 std::int32_t n_initial) override {
        pop.analyse_nuclear(sample, n_initial);
    }
    void draw_random_sample(TPopPedigree& pop) override { pop.draw_nuclear_sample(); }
    SampleDescription describe_random_sample(const TPopPedigree& pop) const override {
        return pop.describe_nuclear_sample();
    }
    DrawSummary summarise_draw(const TPopPedigree& pop, std::int32_t n_initial) const override {
        return pop.summarise_nuclear_draw(n_initial);
    }
    bool reads_unknown_alleles() const override { return false; }
    std::string name() const override { return "nuclear families"; }
    std::string console_line() const override { return {}; }
};

} // namespace

DrawSummary SampleModel::summarise_draw(const TPopPedigree& pop, std::int32_t n_initial) const {
    const SampleDescription sample = describe_random_sample(pop);
    DrawSummary summary{TPopPedigree::deviates_needed(sample, n_initial), kFingerprintStart};
    for (const SampleRecord& record : sample.records) {
        for (const std::string& line : record.allele_lines) {
            summary.fingerprint = fingerprint_bytes(summary.fingerprint, line);
        }
    }
    return summary;
}

std::unique_ptr<SampleModel> make_sample_model(EngineKind kind) {
    if (kind == EngineKind::whole_pedigrees) {
        return make_whole_pedigree_model();
    }
    return std::make_unique<NuclearFamilies>();
}
