#include "app/driver.h"

#include <cstdint>
#include <iostream>
#include <utility>
#include <vector>

#include "app/bootstrap.h"
#include "app/results_collector.h"
#include "app/sample_batch.h"
#include "app/side_by_side.h"
#include "app/simulation.h"
#include "io/data_file_reader.h"
#include "io/input_error.h"
#include "pedigree/compact_combinations.h"
#include "population/pop_pedigree.h"
#include "population/sample_model.h"
#include "report/report_writer.h"
#include "support/errors.h"

namespace {

// A sample whose likelihood is zero (or whose equilibrium likelihood is) has
// no estimate: the frequencies the EM leaves behind are not frequencies.
bool has_estimate(const TPopPedigree& pop) {
    return pop.PedDB._ln_likelihood > kFloorLnLikelihood && pop.EquilLnLHood > kFloorLnLikelihood;
}

// The reader refuses a data file without printing; the run stops with the
// message on the console and in the log.
template <class Read> auto read_or_stop(Read read) {
    try {
        return read();
    } catch (const InputError& e) {
        fatal_input_error(e.message());
    }
}

} // namespace

std::int32_t run_analysis(std::istream& is, std::ostream& report, const AnalysisOptions& options) {
    RunResults discarded;
    return run_analysis(is, report, options, discarded, nullptr);
}

std::int32_t run_analysis(std::istream& is, std::ostream& report, const AnalysisOptions& options,
                          RunResults& results, Progress* progress) {
    // The observed sample's EM runs its initial conditions side by side.
    AnalysisOptions observed = options;
    observed.from_data_file = true;
    observed.restart_threads = options.threads;
    DataFileReader reader(is);
    const RunParameters run = read_or_stop([&] {
        const RunParameters read = reader.read_run_parameters();
        reader.check_run_parameters(read);
        return read;
    });
    results.n_samples = run.n_samples;
    results.n_simulated = run.n_simulated;
    results.n_initial = run.n_initial;
    const auto model = make_sample_model(options.engine);
    results.model = model->name();
    console() << model->console_line();
    ReportWriter writer(report);
    std::int32_t without_estimate = 0;
    // The analyser's name for the observed sample being written, if it heard of it.
    std::int64_t setup = 0;
    auto write = [&](TPopPedigree& pop, const SampleDescription& sample, std::int32_t n_individuals,
                     std::int32_t k) {
        if (!pop.NuclearNotice.empty()) {
            std::cerr << pop.NuclearNotice << "\n";
        }
        writer.sample_header(pop.Name, n_individuals, run.n_initial);
        SampleResults& described =
            results.samples.emplace_back(collect_sample(pop, sample, n_individuals));
        described.n_simulated = run.n_simulated;
        if (results.hardy_weinberg_requested) {
            described.hardy_weinberg = hardy_weinberg_per_locus(sample, results.seed, k + 1);
        }
        if (results.phases_requested && has_estimate(pop)) {
            // Before the simulation test, which draws over the individuals' genotypes.
            auto phases = collect_phases(pop);
            described.phases_missing = !phases;
            described.phases = phases ? std::move(*phases) : std::vector<IndividualPhaseRows>{};
        }
        described.estimated = has_estimate(pop);
        if (!has_estimate(pop)) {
            // No random sample is drawn: there are no frequencies to draw from.
            writer.no_estimate();
            if (run.n_simulated > 0) {
                writer.simulation_not_run("the sample has no estimate");
            }
            report.flush();
            console() << "Sample " << pop.Name
                      << ": no estimate, the likelihood is zero (see mirbo.log)\n";
            ++without_estimate;
            if (run.n_simulated > 0) {
                described.test = TestStatus::kNoEstimate;
            }
            described.complete = true;
            return;
        }
        const EstimateLine estimate{pop.PedDB._ln_likelihood, pop.EquilLnLHood,
                                    pop.PedDB._n_maxima};
        writer.estimate_table(estimate);
        writer.allele_database(pop.AlleleDB);
        writer.haplotype_database(pop.HaplDB, ReportWriter::kListedFrequency);
        report.flush();
        if (pop.AlleleDB.n_loci() == 1 && run.n_simulated > 0) {
            // Both likelihoods are the same model: the simulated ratios would
            // be rounding noise.
            writer.simulation_not_run("a sample typed at one locus has no linkage to test");
            described.test = TestStatus::kOneLocus;
        } else {
            run_simulation(pop, estimate.ratio(), run.n_simulated, run.n_initial, report,
                           &described, progress, setup);
        }
        if (results.bootstrap_replicates > 0) {
            bootstrap_intervals(sample, described, run.n_initial, results.seed, k + 1,
                                results.bootstrap_replicates, options.threads);
        }
        described.complete = true;
        report.flush();
    };
    if (run.n_simulated == 0 && options.threads > 1 && run.n_samples > 1) {
        // Without simulated samples a sample's analysis is all its work, and
        // the samples are independent but for the random stream.
        analyse_side_by_side(reader, run.n_samples, run.n_initial, observed, write);
        return without_estimate;
    }
    for (std::int32_t k = 0; k < run.n_samples; ++k) {
        const std::int32_t n_individuals =
            read_or_stop([&] { return reader.read_individual_count(k + 1); });
        const SampleDescription sample = reader.read_sample(n_individuals);
        if (run.n_simulated > 1) {
            setup = announce_observed(sample, observed, run.n_initial);
        }
        const std::unique_ptr<TPopPedigree> pop = analyse_observed(sample, run.n_initial, observed);
        write(*pop, sample, n_individuals, k);
    }
    return without_estimate;
}
