#include <algorithm>
#include <iostream>
#include <new>
#include <set>
#include <sstream>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "io/sample_checks.h"
#include "population/parallel_restarts.h"
#include "population/pop_pedigree.h"
#include "population/whole_pedigree_sample.h"
#include "support/clock.h"
#include "support/errors.h"
#include "support/fingerprint.h"
#include "support/run_stats.h"

namespace {

void set_frequencies(TPopHaploDB& haplotypes, const std::vector<double>& f,
                     const std::vector<double>* previous) {
    for (std::int32_t h = 0; h < haplotypes.size(); ++h) {
        haplotypes[h]->_freq = f[static_cast<std::size_t>(h)];
        haplotypes[h]->_prev_freq =
            previous != nullptr ? (*previous)[static_cast<std::size_t>(h)] : 0.0;
    }
}

} // namespace

float run_em_through_database(TPedDB& peds, TPopHaploDB& haplotypes, std::int32_t max_iterations,
                              double tolerance) {
    float run_ln_l = static_cast<float>(kFloorLnLikelihood);
    for (std::int32_t t = 1; t <= max_iterations; ++t) {
        peds.calc_probabilities();
        peds.add_expected_counts(haplotypes);
        ++peds._em_iterations;
        const bool converged = haplotypes.converged(tolerance);
        if (converged || t == max_iterations) {
            run_ln_l = static_cast<float>(peds.em_ln_likelihood());
            break;
        }
    }
    return run_ln_l;
}

void TPopPedigree::calc_ML_frequencies(TPedDB& peds, TPopHaploDB& haplotypes,
                                       std::int32_t& n_initial, std::int32_t& max_iterations,
                                       float& threshold) {
    static const std::int32_t kSpread = 1000;
    double best = kFloorLnLikelihood;
    TPopHaploDB best_copy = haplotypes;
    // Distinct final log-likelihoods, compared in single precision.
    std::vector<float> maxima;
    Maxima.clear();
    const double tolerance = threshold;
    // Takes the result of a run whose final frequencies are in `haplotypes`.
    auto tally = [&](float run_ln_l) {
        if (std::find(maxima.begin(), maxima.end(), run_ln_l) == maxima.end()) {
            maxima.push_back(run_ln_l);
        }
        const double ln_l = run_ln_l;
        Maxima.add(haplotypes.frequencies(), best < ln_l);
        if (best < ln_l) {
            best_copy.copy_frequencies(haplotypes);
            best = ln_l;
        }
        peds.activate_all_combinations();
        console() << ".";
    };

    // When the engine can run beside the database, the starting frequencies
    // are drawn in order here, the runs made side by side (on one thread
    // too: over flat arrays an iteration costs less than through the
    // haplotype records), and their results taken in order.
    std::vector<std::vector<double>> starts;
    std::int32_t run = 1;
    const std::int32_t threads = std::max(1, std::min(Options.restart_threads, n_initial));
    if (n_initial > 0 && peds.runs_beside(haplotypes)) {
        for (std::int32_t k = 0; k < n_initial; ++k) {
            haplotypes.random_frequencies(kSpread);
            starts.push_back(haplotypes.frequencies());
        }
        const ParallelRestarts runs(peds.engine(), peds._pedigrees, starts, max_iterations,
                                    tolerance, threads);
        if (run_stats_wanted()) {
            helper_em_nanoseconds() += runs.helper_nanoseconds();
        }
        for (const ParallelRestarts::Result& r : runs.results()) {
            if (!r.regular) {
                break;
            }
            // A run leaves its last estimates as its previous frequencies too.
            set_frequencies(haplotypes, r.frequencies, &r.frequencies);
            peds._em_iterations += r.iterations;
            tally(r.ln_l);
            ++run;
        }
        if (run > n_initial) {
            peds.commit_probabilities(runs.last_scratch());
        } else if (run > 1) {
            // The database is left as the run before would have left it
            // (a pass that stops early uses what the one before it found).
            set_frequencies(haplotypes, starts[static_cast<std::size_t>(run - 2)], nullptr);
            const std::int64_t iterations = peds._em_iterations;
            run_em_through_database(peds, haplotypes, max_iterations, tolerance);
            peds._em_iterations = iterations;
        }
    }
    for (; run <= n_initial; ++run) {
        if (starts.empty()) {
            haplotypes.random_frequencies(kSpread);
        } else {
            set_frequencies(haplotypes, starts[static_cast<std::size_t>(run - 1)], nullptr);
        }
        tally(run_em_through_database(peds, haplotypes, max_iterations, tolerance));
    }
    haplotypes.copy_frequencies(best_copy);
    peds._ln_likelihood = best;
    peds._n_maxima = static_cast<std::int32_t>(maxima.size());
    console() << "\nLogLHood : " << best << " (" << peds._n_maxima << " equilibrium point(s))\n";
}

void TPopPedigree::calc_ML_allelic_frequencies() {
    for (std::int32_t k = 0; k < AlleleDB.n_loci(); ++k) {
        TPopHaploDB locus_haplotypes;
        locus_haplotypes.build_locus_haplotypes(AlleleDB, k);
        TSmallGenDB locus_genotypes;
        if (builds_pair_table() && !locus_genotypes.build_all_valid_gen(locus_haplotypes)) {
            error_log.report(
                "CurHaplDB.build_all_valid_gen(HaplDB) : Unable to build genotype data base ... "
                "exiting",
                Errors::kFatal);
        }
        TPedDB locus_peds(Options.engine);
        locus_peds._sample_name = Name;
        locus_peds._release_combinations = true;
        locus_peds._notice_large = true;
        try {
            locus_peds.build_pedigree_structures(PhenPedDB);
        } catch (const std::bad_alloc&) {
            error_log.report("TPopPedigree::calc_ML_allelic_frequencies : memory allocation "
                             "failure when building pedigrees ",
                             Errors::kFatal);
        }
        locus_peds.normalise_weights();
        locus_peds.build_all_genotypic_combinations(locus_haplotypes, locus_genotypes, k, 0);
        std::int32_t n_initial = kLocusInitialConditions;
        std::int32_t max_iterations = kMaxIterations;
        float threshold = kConvergence;
        calc_ML_frequencies(locus_peds, locus_haplotypes, n_initial, max_iterations, threshold);
        locus_haplotypes.set_allele_frequencies();
        PhenPedDB.reset_parent_flags();
    }
}

void TPopPedigree::calc_sample_likelihoods(std::int32_t n_initial) {
    std::ostringstream discarded;
    std::ostream& log = log_stream != nullptr ? *log_stream : discarded;
    PedDB.find_redundant_pedigrees();
    PedDB.normalise_weights();
    PedDB._notice_large = true;

    std::int32_t start = clock_ms();
    log << "Building genotypes ... ";
    PedDB.build_all_genotypic_combinations(HaplDB, SmallGenDB, -1, 0);
    log << " done in " << elapsed_ms(start) << " ms "
        << "!"
        << "\n";

    log << "Computing linkage-equilibrium sample likelihood ... \n";
    start = clock_ms();
    HaplDB.set_le_frequencies();
    const double eq = PedDB.calc_ln_likelihood();
    EquilLnLHood = eq;
    log << " (" << eq << ") done in " << elapsed_ms(start) << " ms "
        << "!\n";

    log << "Computing sample lnLHood ...\n";
    start = clock_ms();
    std::int32_t max_iterations = kMaxIterations;
    float threshold = kConvergence;
    const std::int64_t em_start = thread_cpu_nanoseconds();
    const std::int64_t helper_start = helper_em_nanoseconds();
    calc_ML_frequencies(PedDB, HaplDB, n_initial, max_iterations, threshold);
    if (run_stats_wanted()) {
        RunStats& stats = run_stats();
        const auto combinations = static_cast<std::int64_t>(PedDB.n_compact_combinations());
        stats.combinations += combinations;
        stats.em_iterations += PedDB._em_iterations;
        stats.combination_visits += combinations * PedDB._em_iterations;
        stats.em_nanoseconds +=
            thread_cpu_nanoseconds() - em_start + helper_em_nanoseconds() - helper_start;
    }
    log << " (" << PedDB._ln_likelihood << ") done in " << elapsed_ms(start) << " ms "
        << "!\n";
}

std::int64_t TPopPedigree::deviates_needed(const SampleDescription& sample,
                                           std::int32_t n_initial) {
    // The alleles the analysis will register: every piece of every allele line.
    std::vector<std::set<std::string>> names;
    // A drawn sample's lines repeat a few haplotypes: each is split once.
    std::unordered_set<std::string_view> lines;
    for (const SampleRecord& record : sample.records) {
        for (const std::string& line : record.allele_lines) {
            if (!lines.insert(line).second) {
                continue;
            }
            const std::vector<std::string> pieces = split_allele_line(line);
            names.resize(std::max(names.size(), pieces.size()));
            for (std::size_t locus = 0; locus < pieces.size(); ++locus) {
                // An unknown allele registers nothing.
                if (pieces[locus] != WholePedigreeSample::kUnknownAllele) {
                    names[locus].insert(pieces[locus]);
                }
            }
        }
    }
    if (names.empty()) {
        return 0;
    }
    std::int64_t per_locus = 0;
    std::int64_t haplotypes = 1;
    for (const auto& locus : names) {
        const auto alleles = static_cast<std::int64_t>(locus.size()) + 1;
        per_locus += kLocusInitialConditions * alleles;
        haplotypes *= alleles;
    }
    return per_locus + static_cast<std::int64_t>(n_initial) * haplotypes;
}

DrawSummary TPopPedigree::summarise_draw(std::int32_t n_initial) const {
    return Model->summarise_draw(*this, n_initial);
}

DrawSummary TPopPedigree::summarise_nuclear_draw(std::int32_t n_initial) const {
    // What describing the sample and counting its alleles by name would give,
    // without writing a line. Each allele is numbered by the first appearance
    // of its name at its locus (an allele object seen before keeps its number
    // without comparing names), so two copies of the pedigree give the same
    // numbers exactly when they describe the same sample.
    struct Locus {
        std::vector<std::pair<const TAllele*, std::uint32_t>> objects;
        std::vector<std::string_view> names;
    };
    std::vector<Locus> loci;
    std::uint64_t fingerprint = kFingerprintStart;
    for (const auto& record : PhenPedDB.records()) {
        if (!record->typed()) {
            continue;
        }
        for (std::int32_t slot = 0; slot < 2; ++slot) {
            const TPopHaplotype& h = *record->pseudo_hapl(slot);
            loci.resize(std::max(loci.size(), static_cast<std::size_t>(h.size())));
            for (std::int32_t l = 0; l < h.size(); ++l) {
                Locus& locus = loci[static_cast<std::size_t>(l)];
                const TAllele* allele = h.allele(l);
                auto known = std::find_if(locus.objects.begin(), locus.objects.end(),
                                          [&](const auto& seen) { return seen.first == allele; });
                if (known == locus.objects.end()) {
                    const auto number = static_cast<std::uint32_t>(
                        std::find(locus.names.begin(), locus.names.end(), allele->_name) -
                        locus.names.begin());
                    if (number == locus.names.size()) {
                        locus.names.emplace_back(allele->_name);
                    }
                    locus.objects.emplace_back(allele, number);
                    known = locus.objects.end() - 1;
                }
                fingerprint = fingerprint_number(fingerprint, known->second);
            }
        }
    }
    if (loci.empty()) {
        return {0, fingerprint};
    }
    std::int64_t per_locus = 0;
    std::int64_t haplotypes = 1;
    for (const Locus& locus : loci) {
        for (const std::string_view name : locus.names) {
            fingerprint = fingerprint_bytes(fingerprint, name);
        }
        const auto count = static_cast<std::int64_t>(locus.names.size()) + 1;
        per_locus += kLocusInitialConditions * count;
        haplotypes *= count;
    }
    return {per_locus + static_cast<std::int64_t>(n_initial) * haplotypes, fingerprint};
}
