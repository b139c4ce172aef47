#include "population/sample_model.h"

#include "population/pop_pedigree.h"

namespace {

// Each nuclear family on its own, evaluated by the pedigree database's engine.
class NuclearFamilies : public SampleModel {
  public:
    void analyse(TPopPedigree& pop, const SampleDescription& sample,
                 std::int32_t n_initial) const override {
        pop.analyse_nuclear(sample, n_initial);
    }
    void draw_random_sample(TPopPedigree& pop) const override { pop.draw_nuclear_sample(); }
    SampleDescription describe_random_sample(const TPopPedigree& pop) const override {
        return pop.describe_nuclear_sample();
    }
    bool reads_unknown_alleles() const override { return false; }
    std::string name() const override { return {}; }
    std::string console_line() const override { return {}; }
};

// Each connected pedigree whole, with its joint likelihood.
class WholePedigreeModel : public SampleModel {
  public:
    void analyse(TPopPedigree& pop, const SampleDescription& sample,
                 std::int32_t n_initial) const override {
        pop.analyse_whole(sample, n_initial);
    }
    void draw_random_sample(TPopPedigree& pop) const override {
        pop.WholeDrawn = pop.WholeSample->draw(pop.HaplDB);
    }
    SampleDescription describe_random_sample(const TPopPedigree& pop) const override {
        return pop.WholeDrawn;
    }
    bool reads_unknown_alleles() const override { return true; }
    std::string name() const override { return "whole pedigrees"; }
    std::string console_line() const override {
        return "Model: whole pedigrees, the joint likelihood of each connected pedigree\n";
    }
};

} // namespace

std::unique_ptr<const SampleModel> make_sample_model(EngineKind kind) {
    if (kind == EngineKind::whole_pedigrees) {
        return std::make_unique<WholePedigreeModel>();
    }
    return std::make_unique<NuclearFamilies>();
}
