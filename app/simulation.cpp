#include "app/simulation.h"

#include <algorithm>
#include <exception>
#include <iostream>
#include <new>
#include <string>
#include <vector>

#include "app/progress.h"
#include "app/sample_batch.h"
#include "app/sample_drawer.h"
#include "population/pop_pedigree.h"
#include "report/report_writer.h"
#include "report/sample_results.h"
#include "support/errors.h"
#include "support/random.h"
#include "support/run_stats.h"

namespace {

// The greatest finite single-precision value: an equilibrium log-likelihood
// below it marks a valid simulated sample.
constexpr double kFloatMax = 3.4028234663852886e+38;

// Draws the next simulated sample.
SampleDescription draw_sample(TPopPedigree& observed) {
    observed.draw_random_sample();
    return observed.describe_random_sample();
}

SampleAnalyser* installed_analyser = nullptr;

} // namespace

void SimulationTally::add(double equilibrium_ln_l, double ratio, double observed_ratio) {
    if (equilibrium_ln_l < kFloatMax) {
        ++valid;
        if (ratio >= observed_ratio) {
            tail += 1.0;
        }
    }
}

namespace {

// Where the rows of the test go besides the report.
struct RowSinks {
    SampleResults* results = nullptr;
    Progress* progress = nullptr;
};

// The report row of a simulated sample, and its count in the test.
void record_sample(ReportWriter& report, std::int32_t row, const EstimateLine& r,
                   double observed_ratio, SimulationTally& tally, const RowSinks& sinks) {
    report.simulation_row(row, r);
    const std::int32_t valid_before = tally.valid;
    tally.add(r.equilibrium_ln_l, r.ratio(), observed_ratio);
    if (sinks.results != nullptr) {
        sinks.results->simulated.push_back(
            {r.sample_ln_l, r.equilibrium_ln_l, r.n_maxima, tally.valid != valid_before});
    }
    if (sinks.progress != nullptr) {
        sinks.progress->advance(row);
    }
}

// Samples first to n_simulated - 1, one after the other; the EM of each may
// run its initial conditions on `threads` threads.
void run_sequential(TPopPedigree& observed, double observed_ratio, std::int32_t first,
                    std::int32_t n_simulated, std::int32_t n_initial, ReportWriter& report,
                    SimulationTally& tally, const RowSinks& sinks, std::int32_t threads) {
    AnalysisOptions options = observed.Options;
    options.restart_threads = threads;
    for (std::int32_t i = first; i < n_simulated; ++i) {
        const SampleDescription sample = draw_sample(observed);
        record_sample(report, i + 1, analyse_sample(sample, n_initial, options), observed_ratio,
                      tally, sinks);
    }
}

// The simulated samples are drawn in order on this thread, each with the
// generator state its analysis will start from; the generator is then moved
// past the deviates that analysis takes, so the next draw sees the state a
// one-thread run would. Workers analyse a batch with their own generator
// states and buffer everything they would print, while this thread draws the
// next batch; the results are replayed in sample order, so the output is the
// same for any number of threads. Nothing overlaps the drawing of the first
// batch, so it holds one sample per analysing thread only.
// With `threads` above 1, samples left too few to keep that many threads busy
// are analysed one at a time here, each with its initial conditions side by side.
void run_parallel(TPopPedigree& observed, double observed_ratio, std::int32_t n_simulated,
                  std::int32_t n_initial, ReportWriter& report, SimulationTally& tally,
                  SampleAnalyser& analyser, const RowSinks& sinks, std::int32_t threads,
                  std::int64_t setup) {
    const std::int32_t batch_size = std::max(1, analyser.batch_size());
    // The size of the batch whose first sample is `first`.
    auto batch_from = [&](std::int32_t first) {
        const std::int32_t left = n_simulated - first;
        if (threads > 1 && left < threads) {
            return 0;
        }
        return std::min(first == 0 ? std::max(1, batch_size / 8) : batch_size, left);
    };
    SampleDrawer drawer(observed, n_initial, &analyser, setup);
    drawer.begin(batch_from(0), current_random_state());
    std::vector<SimulatedSample> samples = drawer.take();
    std::int32_t done = 0;
    // A draw that fails while the batch before it is analysed fails the run
    // once that batch is replayed, where a one-thread run would meet it.
    std::exception_ptr draw_failure;
    auto draw_step = [&drawer, &draw_failure] {
        if (draw_failure) {
            return false;
        }
        try {
            return drawer.step();
        } catch (...) {
            draw_failure = std::current_exception();
            return false;
        }
    };
    while (!samples.empty()) {
        const auto batch = static_cast<std::int32_t>(samples.size());
        drawer.begin(batch_from(done + batch), drawer.state());
        try {
            analyser.analyse(samples, n_initial, draw_step);
        } catch (const std::exception& e) {
            // The analyses were lost on their way (another process failed):
            // the report says where the run stopped, and the run stops.
            report.run_stopped(done + 1, e.what());
            fatal_input_error(std::string("run_simulation : ") + e.what());
        }

        std::int32_t replayed = batch;
        for (std::int32_t i = 0; i < batch; ++i) {
            SimulatedSample& sample = samples[static_cast<std::size_t>(i)];
            std::cout << sample.console;
            sample.messages.replay(*log_stream);
            if (sample.out_of_memory) {
                throw std::bad_alloc();
            }
            record_sample(report, done + i + 1, sample.result, observed_ratio, tally, sinks);
            if (!(sample.finished == sample.expected)) {
                // Should the prediction of deviates ever miss, the samples
                // drawn after this one are wrong: draw them again from here.
                ++run_stats().prediction_misses;
                replayed = i + 1;
                drawer.stop_predicting();
                drawer.begin(batch_from(done + replayed), sample.finished);
                draw_failure = nullptr;
                break;
            }
        }
        if (draw_failure) {
            std::rethrow_exception(draw_failure);
        }
        done += replayed;
        samples = drawer.take();
    }
    current_random_state() = drawer.state();
    run_sequential(observed, observed_ratio, done, n_simulated, n_initial, report, tally, sinks,
                   threads);
}

} // namespace

void run_simulation(TPopPedigree& observed, double observed_ratio, std::int32_t n_simulated,
                    std::int32_t n_initial, std::ostream& report, SampleResults* results,
                    Progress* progress, std::int64_t setup) {
    ReportWriter writer(report);
    writer.simulation_header(n_simulated, n_initial);
    SimulationTally tally;
    const RowSinks sinks{results, progress};
    if (progress != nullptr) {
        progress->start(observed.Name, n_simulated);
    }
    const std::int32_t threads = observed.Options.threads;
    if (installed_analyser != nullptr && n_simulated > 1) {
        run_parallel(observed, observed_ratio, n_simulated, n_initial, writer, tally,
                     *installed_analyser, sinks, 1, setup);
    } else if (threads <= 1 || n_simulated <= 1) {
        run_sequential(observed, observed_ratio, 0, n_simulated, n_initial, writer, tally, sinks,
                       threads);
    } else {
        ThreadAnalyser analyser(threads);
        run_parallel(observed, observed_ratio, n_simulated, n_initial, writer, tally, analyser,
                     sinks, threads, 0);
    }
    if (progress != nullptr) {
        progress->finish();
    }
    if (results != nullptr) {
        results->test = n_simulated != 0 ? TestStatus::kRun : TestStatus::kNotRequested;
        results->tail = static_cast<std::int64_t>(tally.tail);
        results->valid = tally.valid;
    }
    if (n_simulated != 0) {
        writer.p_value(tally.tail, tally.valid, n_simulated);
    }
    report.flush();
}

void set_sample_analyser(SampleAnalyser* analyser) {
    installed_analyser = analyser;
}

std::int64_t announce_observed(const SampleDescription& sample, const AnalysisOptions& options,
                               std::int32_t n_initial) {
    return installed_analyser != nullptr ? installed_analyser->observe(sample, options, n_initial)
                                         : 0;
}
