#include "app/driver.h"

#include <cstdint>
#include <iostream>
#include <utility>
#include <vector>

#include "app/observed_sample.h"
#include "app/sample_batch.h"
#include "app/side_by_side.h"
#include "app/simulation.h"
#include "io/data_file_reader.h"
#include "io/input_error.h"
#include "population/pop_pedigree.h"
#include "population/sample_model.h"
#include "support/errors.h"

namespace {

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
    std::int32_t without_estimate = 0;
    ObservedSettings settings;
    settings.n_simulated = run.n_simulated;
    settings.n_initial = run.n_initial;
    settings.seed = results.seed;
    settings.bootstrap_replicates = results.bootstrap_replicates;
    settings.bootstrap_threads = options.threads;
    settings.phases = results.phases_requested;
    settings.hardy_weinberg = results.hardy_weinberg_requested;
    // The analyser's name for the observed sample being written, if it heard of it.
    std::int64_t setup = 0;
    auto write = [&](TPopPedigree& pop, const SampleDescription& sample, std::int32_t n_individuals,
                     std::int32_t k) {
        const SampleResults& described = results.samples.emplace_back(write_observed(
            pop, sample, n_individuals, k, settings, report, std::cerr, progress, setup));
        if (!described.estimated) {
            ++without_estimate;
        }
    };
    ObservedSharer* const sharer = observed_sharer();
    if (sharer != nullptr && run.n_simulated == 0 && run.n_samples > 1 &&
        (results.bootstrap_replicates == 0 || run.n_samples >= sharer->capacity())) {
        // Other processes take whole samples; a few samples with replicates
        // keep every thread busier with the replicates shared instead.
        WholeSamples whole{settings, sharer, [&](ObservedOutcome& outcome) {
                               report << outcome.report;
                               report.flush();
                               std::cerr << outcome.errors;
                               if (!outcome.results.estimated) {
                                   ++without_estimate;
                               }
                               results.samples.push_back(std::move(outcome.results));
                           }};
        analyse_side_by_side(reader, run.n_samples, run.n_initial, observed, write, &whole);
        return without_estimate;
    }
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
