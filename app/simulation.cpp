#include "app/simulation.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <iomanip>
#include <iostream>
#include <new>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/progress.h"
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

// Analyses a simulated sample exactly like an observed one.
EstimateLine analyse_sample(const SampleDescription& sample, std::int32_t n_initial) {
    TPopPedigree simulated("Brand new pop");
    simulated.analyse(sample, n_initial);
    return {simulated.PedDB._ln_likelihood, simulated.EquilLnLHood, simulated.PedDB._n_maxima};
}

// One simulated sample on its way through a worker.
struct SimulatedSample {
    SampleDescription sample;
    RandomState start;    // generator state its analysis starts from
    RandomState expected; // state its analysis is predicted to leave
    RandomState finished; // state its analysis did leave
    EstimateLine result;
    std::string console;
    MessageCapture messages;
    bool out_of_memory = false;
};

void analyse_on_worker(SimulatedSample& sample, std::int32_t n_initial) {
    std::ostringstream console_text;
    set_console(&console_text);
    set_message_capture(&sample.messages);
    log_stream = &sample.messages.progress;
    current_random_state() = sample.start;
    try {
        sample.result = analyse_sample(sample.sample, n_initial);
    } catch (const FatalError&) {
        // Kept in the capture; the main thread stops at its replay.
    } catch (const std::bad_alloc&) {
        sample.out_of_memory = true;
    }
    sample.finished = current_random_state();
    sample.console = console_text.str();
    set_console(nullptr);
    set_message_capture(nullptr);
}

std::int32_t worker_threads() {
    if (const char* value = std::getenv("TOVAQUOR_THREADS")) {
        char* end = nullptr;
        const long n = std::strtol(value, &end, 10);
        if (end != value && *end == '\0' && n >= 1) {
            return static_cast<std::int32_t>(std::min<long>(n, 256));
        }
    }
    const unsigned hardware = std::thread::hardware_concurrency();
    return hardware == 0 ? 1 : static_cast<std::int32_t>(hardware);
}

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

void run_sequential(TPopPedigree& observed, double observed_ratio, std::int32_t n_simulated,
                    std::int32_t n_initial, ReportWriter& report, SimulationTally& tally,
                    const RowSinks& sinks) {
    for (std::int32_t i = 0; i < n_simulated; ++i) {
        const SampleDescription sample = draw_sample(observed);
        record_sample(report, i + 1, analyse_sample(sample, n_initial), observed_ratio, tally,
                      sinks);
    }
}

// The simulated samples are drawn in order on this thread, each with the
// generator state its analysis will start from; the generator is then moved
// past the deviates that analysis takes, so the next draw sees the state a
// one-thread run would. Workers analyse a batch with their own generator
// states and buffer everything they would print; the results are replayed in
// sample order, so the output is the same for any number of threads.
void run_parallel(TPopPedigree& observed, double observed_ratio, std::int32_t n_simulated,
                  std::int32_t n_initial, ReportWriter& report, SimulationTally& tally,
                  std::int32_t threads, const RowSinks& sinks) {
    const std::int32_t batch_size = 8 * threads;
    std::int32_t done = 0;
    while (done < n_simulated) {
        const std::int32_t batch = std::min(batch_size, n_simulated - done);
        std::vector<SimulatedSample> samples(static_cast<std::size_t>(batch));
        std::int32_t seed = 1;
        for (SimulatedSample& sample : samples) {
            sample.sample = draw_sample(observed);
            sample.start = current_random_state();
            const std::int64_t skip = TPopPedigree::deviates_needed(sample.sample, n_initial);
            for (std::int64_t k = 0; k < skip; ++k) {
                random_uniform(seed);
            }
            sample.expected = current_random_state();
        }
        const RandomState after_batch = current_random_state();
        std::ostream* main_log = log_stream;

        std::atomic<std::int32_t> next{0};
        auto work = [&] {
            for (std::int32_t i = next++; i < batch; i = next++) {
                analyse_on_worker(samples[static_cast<std::size_t>(i)], n_initial);
            }
        };
        std::vector<std::thread> helpers;
        for (std::int32_t t = 1; t < std::min(threads, batch); ++t) {
            helpers.emplace_back(work);
        }
        work();
        for (std::thread& helper : helpers) {
            helper.join();
        }
        log_stream = main_log;
        current_random_state() = after_batch;

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
                current_random_state() = sample.finished;
                ++run_stats().prediction_misses;
                replayed = i + 1;
                break;
            }
        }
        done += replayed;
    }
}

} // namespace

void run_simulation(TPopPedigree& observed, double observed_ratio, std::int32_t n_simulated,
                    std::int32_t n_initial, std::ostream& report, SampleResults* results,
                    Progress* progress) {
    ReportWriter writer(report);
    writer.simulation_header(n_simulated, n_initial);
    SimulationTally tally;
    const RowSinks sinks{results, progress};
    if (progress != nullptr) {
        progress->start(observed.Name, n_simulated);
    }
    const std::int32_t threads = worker_threads();
    if (threads <= 1 || n_simulated <= 1) {
        run_sequential(observed, observed_ratio, n_simulated, n_initial, writer, tally, sinks);
    } else {
        run_parallel(observed, observed_ratio, n_simulated, n_initial, writer, tally, threads,
                     sinks);
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
