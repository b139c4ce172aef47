#include <algorithm>
#include <atomic>
#include <cmath>
#include <iostream>
#include <sstream>
#include <thread>
#include <vector>

#include "population/pop_pedigree.h"
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

} // namespace

double TPopPedigree::whole_ln_likelihood(const WholePedigrees& engine,
                                         const TPopHaploDB& haplotypes) const {
    WholePedigrees::Workspace w;
    double ln_l = 0.0;
    const std::int64_t zero = engine.likelihood(haplotypes.frequencies(), w, ln_l);
    if (zero < 0) {
        return ln_l;
    }
    error_log.report("\nTPopPedigree::analyse : the pedigree of " +
                         WholeSample->describe_pedigree(engine, static_cast<std::size_t>(zero)) +
                         " has zero probability as a whole pedigree\n",
                     Errors::kWarning);
    return kFloorLnLikelihood;
}

void TPopPedigree::calc_whole_frequencies(const WholePedigrees& engine, TPopHaploDB& haplotypes,
                                          std::int32_t n_initial, double& best,
                                          std::int32_t& maxima) {
    static const std::int32_t kSpread = 1000;
    // A pedigree that no frequencies make possible (checked where every
    // frequency is positive) leaves every run at the floor.
    TPopHaploDB even = haplotypes;
    for (std::int32_t h = 0; h < even.size(); ++h) {
        even[h]->_freq = 1.0 / even.size();
    }
    const bool possible = whole_ln_likelihood(engine, even) > kFloorLnLikelihood;

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
                ln_l[k] = run_whole_em(engine, w, runs[k], kMaxIterations, kConvergence);
            }
        };
        std::vector<std::thread> helpers;
        const auto threads = static_cast<std::size_t>(std::max(1, Options.restart_threads));
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
    Maxima.clear();
    for (std::size_t k = 0; k < runs.size(); ++k) {
        if (std::find(distinct.begin(), distinct.end(), ln_l[k]) == distinct.end()) {
            distinct.push_back(ln_l[k]);
        }
        Maxima.add(runs[k], best < static_cast<double>(ln_l[k]));
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

void TPopPedigree::analyse_whole(const SampleDescription& sample, std::int32_t n_initial) {
    load_sample(sample);
    set_pseudo_haplotypes(PhenPedDB, ' ');
    AlleleDB.add_to_all_loci(TAllele{"#", 1.0F});
    check_table_sizes();
    WholeSample = std::make_unique<WholePedigreeSample>(sample, PhenPedDB._unknown_id);

    // Allele frequencies locus by locus, under the same model.
    for (std::int32_t k = 0; k < AlleleDB.n_loci(); ++k) {
        TPopHaploDB locus_haplotypes;
        locus_haplotypes.build_locus_haplotypes(AlleleDB, k);
        WholePedigrees locus_engine;
        WholeSample->build(locus_engine, AlleleDB, locus_haplotypes, k, Name);
        double best = 0.0;
        std::int32_t maxima = 0;
        calc_whole_frequencies(locus_engine, locus_haplotypes, kLocusInitialConditions, best,
                               maxima);
        locus_haplotypes.set_allele_frequencies();
    }
    HaplDB.build_all_haplotypes(AlleleDB);

    std::ostringstream discarded;
    std::ostream& log = log_stream != nullptr ? *log_stream : discarded;
    std::int32_t start = clock_ms();
    log << "Building whole pedigrees ... ";
    WholePedigrees engine;
    WholeSample->build(engine, AlleleDB, HaplDB, -1, Name);
    FounderHaplotypes = engine.founder_haplotypes();
    log << " done in " << elapsed_ms(start) << " ms !\n";

    log << "Computing linkage-equilibrium sample likelihood ... \n";
    start = clock_ms();
    HaplDB.set_le_frequencies();
    EquilLnLHood = whole_ln_likelihood(engine, HaplDB);
    log << " (" << EquilLnLHood << ") done in " << elapsed_ms(start) << " ms !\n";

    log << "Computing sample lnLHood ...\n";
    start = clock_ms();
    calc_whole_frequencies(engine, HaplDB, n_initial, PedDB._ln_likelihood, PedDB._n_maxima);
    log << " (" << PedDB._ln_likelihood << ") done in " << elapsed_ms(start) << " ms !\n";
}
