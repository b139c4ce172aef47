#include "app/simulation_test.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <iomanip>
#include <iostream>
#include <new>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "population/pop_pedigree.h"
#include "support/errors.h"
#include "support/random.h"
#include "support/run_stats.h"
#include "support/threads.h"

namespace {

// The greatest finite single-precision value: an equilibrium log-likelihood
// below it marks a valid simulated sample.
constexpr double kFloatMax = 3.4028234663852886e+38;

void set_table_format(std::ostream& report) {
    report.setf(std::ios::fixed, std::ios::floatfield);
    report.setf(std::ios::showpoint);
    report.setf(std::ios::right, std::ios::adjustfield);
}

// What the report takes from the analysis of one simulated sample.
struct SampleResult {
    double sample_ln_l = 0.0;
    double equilibrium_ln_l = 0.0;
    std::int32_t n_maxima = 0;
};

// Draws the next simulated sample and writes it in the data-file layout.
std::string draw_sample_text(TPopPedigree& observed) {
    observed.draw_random_sample();
    std::ostringstream text;
    observed.print_random_sample(text);
    return text.str();
}

// Reads and analyses a simulated sample exactly like an observed one.
SampleResult analyse_sample_text(const std::string& sample_text, std::int32_t n_initial,
                                 std::int32_t n_individuals, std::ostream& report) {
    TPopPedigree simulated("Brand new pop");
    std::istringstream text(sample_text);
    std::int32_t initial = n_initial;
    std::int32_t individuals = n_individuals;
    simulated.analyse(initial, text, individuals, report, report, 0);
    return {simulated.PedDB._ln_likelihood, simulated.EquilLnLHood, simulated.PedDB._n_maxima};
}

// One simulated sample on its way through a worker.
struct SimulatedSample {
    std::string text;
    RandomState start;    // generator state its analysis starts from
    RandomState expected; // state its analysis is predicted to leave
    RandomState finished; // state its analysis did leave
    SampleResult result;
    std::string console;
    MessageCapture messages;
    bool out_of_memory = false;
};

} // namespace

std::int64_t deviates_needed(const TPopPedigree& observed, std::int32_t n_initial) {
    std::vector<std::set<std::string>> names;
    for (const auto& record : observed.PhenPedDB.records()) {
        if (!record->typed()) {
            continue;
        }
        for (std::int32_t slot = 0; slot < 2; ++slot) {
            const TPopHaplotype& h = *record->pseudo_hapl(slot);
            names.resize(std::max<std::size_t>(names.size(), static_cast<std::size_t>(h.size())));
            for (std::int32_t l = 0; l < h.size(); ++l) {
                names[static_cast<std::size_t>(l)].insert(h.allele(l)->_name);
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
        per_locus += TPopPedigree::kLocusInitialConditions * alleles;
        haplotypes *= alleles;
    }
    return per_locus + static_cast<std::int64_t>(n_initial) * haplotypes;
}

namespace {

void analyse_on_worker(SimulatedSample& sample, std::int32_t n_initial, std::int32_t n_individuals,
                       std::ostream& report) {
    // The workers are busy with samples: each sample's EM runs on its thread.
    RestartThreads one_thread(1);
    std::ostringstream console_text;
    set_console(&console_text);
    set_message_capture(&sample.messages);
    log_stream = &sample.messages.progress;
    current_random_state() = sample.start;
    try {
        sample.result = analyse_sample_text(sample.text, n_initial, n_individuals, report);
    } catch (const WorkerFatal&) {
        // Kept in the capture; the main thread stops at its replay.
    } catch (const std::bad_alloc&) {
        sample.out_of_memory = true;
    }
    sample.finished = current_random_state();
    sample.console = console_text.str();
    set_console(nullptr);
    set_message_capture(nullptr);
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

void write_simulation_row(std::ostream& report, std::int32_t row, double sample_ln_l,
                          double equilibrium_ln_l, std::int32_t n_maxima) {
    set_table_format(report);
    report << std::setw(6) << row << std::setw(20) << std::setprecision(8) << sample_ln_l
           << std::setw(20) << equilibrium_ln_l << std::setw(18)
           << 2.0 * (sample_ln_l - equilibrium_ln_l) << std::setw(9) << n_maxima << "\n";
}

void write_p_value(std::ostream& report, const SimulationTally& tally, std::int32_t n_simulated) {
    report << "\n"
           << std::string(45, '-') << "\nLinkage and Hardy-Weinberg equilbrium P-value"
           << "\n"
           << std::string(45, '-');
    if (tally.valid == 0) {
        report << "No valid case out of " << n_simulated << "\n";
        return;
    }
    set_table_format(report);
    report << "\n\nP(Rand. logLhood ratio >= Obs. logLhood ratio) = " << std::setw(12)
           << std::setprecision(5) << tally.tail / tally.valid << "\n(" << tally.valid
           << " valid cases out of " << n_simulated << ")\n"
           << "\n";
}

namespace {

// The report row of a simulated sample, and its count in the test.
void record_sample(std::ostream& report, std::int32_t row, const SampleResult& r,
                   double observed_ratio, SimulationTally& tally) {
    write_simulation_row(report, row, r.sample_ln_l, r.equilibrium_ln_l, r.n_maxima);
    tally.add(r.equilibrium_ln_l, 2.0 * (r.sample_ln_l - r.equilibrium_ln_l), observed_ratio);
}

// Samples first to n_simulated - 1, one after the other; the EM of each may
// run its initial conditions on `threads` threads.
void run_sequential(TPopPedigree& observed, double observed_ratio, std::int32_t first,
                    std::int32_t n_simulated, std::int32_t n_initial, std::int32_t n_individuals,
                    std::ostream& report, SimulationTally& tally, std::int32_t threads) {
    RestartThreads restarts(threads);
    for (std::int32_t i = first; i < n_simulated; ++i) {
        const std::string text = draw_sample_text(observed);
        record_sample(report, i + 1, analyse_sample_text(text, n_initial, n_individuals, report),
                      observed_ratio, tally);
    }
}

// The simulated samples are drawn in order on this thread, each with the
// generator state its analysis will start from; the generator is then moved
// past the deviates that analysis takes, so the next draw sees the state a
// one-thread run would. Workers analyse a batch with their own generator
// states and buffer everything they would print; the results are replayed in
// sample order, so the output is the same for any number of threads.
void run_parallel(TPopPedigree& observed, double observed_ratio, std::int32_t n_simulated,
                  std::int32_t n_initial, std::int32_t n_individuals, std::ostream& report,
                  SimulationTally& tally, std::int32_t threads) {
    const std::int32_t batch_size = 8 * threads;
    std::int32_t done = 0;
    while (done < n_simulated) {
        if (n_simulated - done < threads) {
            // Too few samples left to keep the workers busy: one at a time,
            // each with its initial conditions side by side.
            run_sequential(observed, observed_ratio, done, n_simulated, n_initial, n_individuals,
                           report, tally, threads);
            return;
        }
        const std::int32_t batch = std::min(batch_size, n_simulated - done);
        std::vector<SimulatedSample> samples(static_cast<std::size_t>(batch));
        std::int32_t seed = 1;
        for (SimulatedSample& sample : samples) {
            sample.text = draw_sample_text(observed);
            sample.start = current_random_state();
            const std::int64_t skip = deviates_needed(observed, n_initial);
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
                analyse_on_worker(samples[static_cast<std::size_t>(i)], n_initial, n_individuals,
                                  report);
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
            record_sample(report, done + i + 1, sample.result, observed_ratio, tally);
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

void run_simulation_test(TPopPedigree& observed, double observed_ratio, std::int32_t n_simulated,
                         std::int32_t n_initial, std::int32_t n_individuals, std::ostream& report) {
    report << "\n"
           << std::string(53, '=') << "\n"
           << "Simulation of random samples in linkage equilibrium\n"
           << "having same allele frequencies as the original sample"
           << "\n"
           << std::string(53, '=') << "\n"
           << "\nSimulation of " << n_simulated << " random samples\n"
           << "Estimation of haplotype frequencies from " << n_initial
           << " random initial conditions\n\n";
    report.setf(std::ios::right, std::ios::adjustfield);
    report << std::setprecision(8);
    report << std::setw(6) << "#" << std::setw(20) << "Samp. logLHood" << std::setw(20)
           << "Equil. logLHood" << std::setw(18) << "LHood ratio" << std::setw(12) << "# maxima"
           << "\n";
    SimulationTally tally;
    const std::int32_t threads = worker_threads();
    if (threads <= 1 || n_simulated <= 1) {
        run_sequential(observed, observed_ratio, 0, n_simulated, n_initial, n_individuals, report,
                       tally, threads);
    } else {
        run_parallel(observed, observed_ratio, n_simulated, n_initial, n_individuals, report, tally,
                     threads);
    }
    if (n_simulated != 0) {
        write_p_value(report, tally, n_simulated);
    }
    report.flush();
}
