#include "app/observed_sample.h"

#include <memory>
#include <new>
#include <sstream>
#include <utility>
#include <vector>

#include "app/bootstrap.h"
#include "app/results_collector.h"
#include "app/sample_batch.h"
#include "app/sample_codec.h"
#include "app/side_by_side.h"
#include "app/simulation.h"
#include "pedigree/compact_combinations.h"
#include "population/pop_pedigree.h"
#include "report/report_writer.h"

namespace {

// A sample whose likelihood is zero (or whose equilibrium likelihood is) has
// no estimate: the frequencies the EM leaves behind are not frequencies.
bool has_estimate(const TPopPedigree& pop) {
    return pop.PedDB._ln_likelihood > kFloorLnLikelihood && pop.EquilLnLHood > kFloorLnLikelihood;
}

ObservedSharer* installed_sharer = nullptr;

} // namespace

SampleResults write_observed(TPopPedigree& pop, const SampleDescription& sample,
                             std::int32_t announced, std::int32_t index,
                             const ObservedSettings& settings, std::ostream& report,
                             std::ostream& errors, Progress* progress, std::int64_t setup) {
    if (!pop.NuclearNotice.empty()) {
        errors << pop.NuclearNotice << "\n";
    }
    ReportWriter writer(report);
    writer.sample_header(pop.Name, announced, settings.n_initial);
    SampleResults described = collect_sample(pop, sample, announced);
    described.n_simulated = settings.n_simulated;
    if (settings.hardy_weinberg) {
        described.hardy_weinberg = hardy_weinberg_per_locus(sample, settings.seed, index + 1);
    }
    if (settings.phases && has_estimate(pop)) {
        // Before the simulation test, which draws over the individuals' genotypes.
        auto phases = collect_phases(pop);
        described.phases_missing = !phases;
        described.phases = phases ? std::move(*phases) : std::vector<IndividualPhaseRows>{};
    }
    described.estimated = has_estimate(pop);
    if (!has_estimate(pop)) {
        // No random sample is drawn: there are no frequencies to draw from.
        writer.no_estimate();
        if (settings.n_simulated > 0) {
            writer.simulation_not_run("the sample has no estimate");
            described.test = TestStatus::kNoEstimate;
        }
        report.flush();
        console() << "Sample " << pop.Name
                  << ": no estimate, the likelihood is zero (see mirbo.log)\n";
        described.complete = true;
        return described;
    }
    const EstimateLine estimate{pop.PedDB._ln_likelihood, pop.EquilLnLHood, pop.PedDB._n_maxima};
    writer.estimate_table(estimate);
    writer.allele_database(pop.AlleleDB);
    writer.haplotype_database(pop.HaplDB, ReportWriter::kListedFrequency);
    report.flush();
    if (pop.AlleleDB.n_loci() == 1 && settings.n_simulated > 0) {
        // Both likelihoods are the same model: the simulated ratios would
        // be rounding noise.
        writer.simulation_not_run("a sample typed at one locus has no linkage to test");
        described.test = TestStatus::kOneLocus;
    } else {
        run_simulation(pop, estimate.ratio(), settings.n_simulated, settings.n_initial, report,
                       &described, progress, setup);
    }
    if (settings.bootstrap_replicates > 0) {
        bootstrap_intervals(sample, described, settings.n_initial, settings.seed, index + 1,
                            settings.bootstrap_replicates, settings.bootstrap_threads,
                            settings.share_replicates);
    }
    described.complete = true;
    report.flush();
    return described;
}

std::exception_ptr analyse_whole(const ObservedJob& job, ObservedOutcome& outcome) {
    AnalysisOptions options = job.options;
    options.restart_threads = 1;
    ObservedSettings settings = job.settings;
    settings.bootstrap_threads = 1;
    settings.share_replicates = false;
    RandomState after_analysis;
    RandomState after_all;
    std::exception_ptr failure =
        analyse_captured(job.start, after_all, outcome.console, outcome.messages, [&] {
            const std::unique_ptr<TPopPedigree> pop =
                analyse_observed(job.sample, settings.n_initial, options);
            after_analysis = current_random_state();
            std::ostringstream report;
            std::ostringstream errors;
            outcome.results = write_observed(*pop, job.sample, job.announced, job.index, settings,
                                             report, errors, nullptr);
            outcome.report = report.str();
            outcome.errors = errors.str();
            outcome.written = true;
        });
    // The next sample starts where this one's analysis left the generator,
    // as when the part is written on the main thread.
    outcome.finished = outcome.written ? after_analysis : after_all;
    if (failure) {
        try {
            std::rethrow_exception(failure);
        } catch (const std::bad_alloc&) {
            outcome.out_of_memory = true;
            failure = nullptr;
        } catch (...) {
        }
    }
    return failure;
}

std::string analyse_whole_job(const std::string& job) {
    ObservedOutcome outcome;
    const std::exception_ptr failure =
        analyse_whole(sample_codec::decode_observed_job(job), outcome);
    if (failure) {
        std::rethrow_exception(failure);
    }
    return sample_codec::encode_observed_outcome(outcome);
}

void set_observed_sharer(ObservedSharer* sharer) {
    installed_sharer = sharer;
}

ObservedSharer* observed_sharer() {
    return installed_sharer;
}
