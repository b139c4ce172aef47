#include <algorithm>
#include <atomic>
#include <cmath>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "population/pop_pedigree.h"
#include "population/sample_model.h"
#include "population/whole_pedigree_sample.h"
#include "support/clock.h"
#include "support/errors.h"

namespace {

// One EM run from `f` (the last estimates out), with the convergence rule of
// the nuclear EM: the summed change of the estimates against the previous
// ones (zero before the first) below `tolerance`; its log-likelihood is the
// one of the last likelihood pass, in single precision.
float run_whole_em(const WholePedigrees& engine, WholePedigrees::Workspace& w,
                   std::vector<double>& f, std::int32_t max_iterations, double tolerance) {
    std::vector<double> previous(f.size(), 0.0);
    std::vector<double> next;
    for (std::int32_t t = 1; t <= max_iterations; ++t) {
        double ln_l = 0.0;
        const bool zero = engine.likelihood(f, w, ln_l) >= 0;
        engine.next_frequencies(f, w, next);
        double change = 0.0;
        for (std::size_t h = 0; h < f.size(); ++h) {
            change += std::fabs(next[h] - previous[h]);
        }
        previous = next;
        f.swap(next);
        if (change < tolerance || t == max_iterations) {
            return static_cast<float>(zero ? kFloorLnLikelihood : ln_l);
        }
    }
    return static_cast<float>(kFloorLnLikelihood);
}

// Each connected pedigree whole, with its joint likelihood. Keeps the sample
// as whole pedigrees see it and the last sample drawn from it.
class WholePedigreeModel : public SampleModel {
  public:
    void analyse(TPopPedigree& pop, const SampleDescription& sample,
                 std::int32_t n_initial) override;
    void draw_random_sample(TPopPedigree& pop) override { _drawn = _sample->draw(pop.HaplDB); }
    SampleDescription describe_random_sample(const TPopPedigree& /*pop*/) const override {
        return _drawn;
    }
    bool reads_unknown_alleles() const override { return true; }
    std::string name() const override { return "whole pedigrees"; }
    std::string console_line() const override {
        return "Model: whole pedigrees, the joint likelihood of each connected pedigree\n";
    }

  private:
    // EM over `engine` from `n_initial` random starts side by side; leaves the
    // best estimates in `haplotypes`, their log-likelihood in `best` and the
    // number of distinct maxima in `maxima`.
    void calc_frequencies(TPopPedigree& pop, const WholePedigrees& engine, TPopHaploDB& haplotypes,
                          std::int32_t n_initial, double& best, std::int32_t& maxima) const;
    // Log-likelihood at the frequencies of `haplotypes`; the floor, after a
    // warning naming its members, when a pedigree has zero probability.
    double ln_likelihood(const WholePedigrees& engine, const TPopHaploDB& haplotypes) const;

    std::unique_ptr<WholePedigreeSample> _sample;
    SampleDescription _drawn;
};

} // namespace

double WholePedigreeModel::ln_likelihood(const WholePedigrees& engine,
                                         const TPopHaploDB& haplotypes) const {
    WholePedigrees::Workspace w;
    double ln_l = 0.0;
    const std::int64_t zero = engine.likelihood(haplotypes.frequencies(), w, ln_l);
    if (zero < 0) {
        return ln_l;
    }
    error_log.report("\nTPopPedigree::analyse : the pedigree of " +
                         _sample->describe_pedigree(engine, static_cast<std::size_t>(zero)) +
                         " has zero probability as a whole pedigree\n",
                     Errors::kWarning);
    return kFloorLnLikelihood;
}

void WholePedigreeModel::calc_frequencies(TPopPedigree& pop, const WholePedigrees& engine,
                                          TPopHaploDB& haplotypes, std::int32_t n_initial,
                                          double& best, std::int32_t& maxima) const {
    static const std::int32_t kSpread = 1000;
    // A pedigree that no frequencies make possible (checked where every
    // frequency is positive) leaves every run at the floor.
    TPopHaploDB even = haplotypes;
    for (std::int32_t h = 0; h < even.size(); ++h) {
        even[h]->_freq = 1.0 / even.size();
    }
    const bool possible = ln_likelihood(engine, even) > kFloorLnLikelihood;

    // The starts are drawn in order, the runs made side by side, the results
    // taken in order: the same for any number of threads.
    std::vector<std::vector<double>> runs;
    for (std::int32_t k = 0; k < n_initial; ++k) {
        haplotypes.random_frequencies(kSpread);
        runs.push_back(haplotypes.frequencies());
    }
    std::vector<float> ln_l(runs.size(), static_cast<float>(kFloorLnLikelihood));
    if (possible) {
        std::atomic<std::size_t> next{0};
        auto work = [&] {
            WholePedigrees::Workspace w;
            for (std::size_t k = next++; k < runs.size(); k = next++) {
                ln_l[k] = run_whole_em(engine, w, runs[k], TPopPedigree::kMaxIterations,
                                       TPopPedigree::kConvergence);
            }
        };
        std::vector<std::thread> helpers;
        const auto threads = static_cast<std::size_t>(std::max(1, pop.Options.restart_threads));
        for (std::size_t t = 1; t < threads && t < runs.size(); ++t) {
            helpers.emplace_back(work);
        }
        work();
        for (std::thread& helper : helpers) {
            helper.join();
        }
    }
    best = kFloorLnLikelihood;
    std::vector<double> best_f = haplotypes.frequencies();
    std::vector<float> distinct;
    pop.Maxima.clear();
    for (std::size_t k = 0; k < runs.size(); ++k) {
        if (std::find(distinct.begin(), distinct.end(), ln_l[k]) == distinct.end()) {
            distinct.push_back(ln_l[k]);
        }
        pop.Maxima.add(runs[k], best < static_cast<double>(ln_l[k]));
        if (best < static_cast<double>(ln_l[k])) {
            best = ln_l[k];
            best_f = runs[k];
        }
        console() << ".";
    }
    for (std::int32_t h = 0; h < haplotypes.size(); ++h) {
        haplotypes[h]->_freq = best_f[static_cast<std::size_t>(h)];
    }
    maxima = static_cast<std::int32_t>(distinct.size());
    console() << "\nLogLHood : " << best << " (" << maxima << " equilibrium point(s))\n";
}

void WholePedigreeModel::analyse(TPopPedigree& pop, const SampleDescription& sample,
                                 std::int32_t n_initial) {
    pop.load_sample(sample);
    pop.set_pseudo_haplotypes(pop.PhenPedDB, ' ');
    pop.AlleleDB.add_to_all_loci(TAllele{"#", 1.0F});
    pop.check_table_sizes();
    _sample = std::make_unique<WholePedigreeSample>(sample, pop.PhenPedDB._unknown_id);

    // Allele frequencies locus by locus, under the same model.
    for (std::int32_t k = 0; k < pop.AlleleDB.n_loci(); ++k) {
        TPopHaploDB locus_haplotypes;
        locus_haplotypes.build_locus_haplotypes(pop.AlleleDB, k);
        WholePedigrees locus_engine;
        _sample->build(locus_engine, pop.AlleleDB, locus_haplotypes, k, pop.Name);
        double best = 0.0;
        std::int32_t maxima = 0;
        calc_frequencies(pop, locus_engine, locus_haplotypes, TPopPedigree::kLocusInitialConditions,
                         best, maxima);
        locus_haplotypes.set_allele_frequencies();
    }
    pop.HaplDB.build_all_haplotypes(pop.AlleleDB);

    std::ostringstream discarded;
    std::ostream& log = log_stream != nullptr ? *log_stream : discarded;
    std::int32_t start = clock_ms();
    log << "Building whole pedigrees ... ";
    WholePedigrees engine;
    _sample->build(engine, pop.AlleleDB, pop.HaplDB, -1, pop.Name);
    pop.FounderHaplotypes = engine.founder_haplotypes();
    log << " done in " << elapsed_ms(start) << " ms !\n";

    log << "Computing linkage-equilibrium sample likelihood ... \n";
    start = clock_ms();
    pop.HaplDB.set_le_frequencies();
    pop.EquilLnLHood = ln_likelihood(engine, pop.HaplDB);
    log << " (" << pop.EquilLnLHood << ") done in " << elapsed_ms(start) << " ms !\n";

    log << "Computing sample lnLHood ...\n";
    start = clock_ms();
    calc_frequencies(pop, engine, pop.HaplDB, n_initial, pop.PedDB._ln_likelihood,
                     pop.PedDB._n_maxima);
    log << " (" << pop.PedDB._ln_likelihood << ") done in " << elapsed_ms(start) << " ms !\n";
}

std::unique_ptr<SampleModel> make_whole_pedigree_model() {
    return std::make_unique<WholePedigreeModel>();
}
