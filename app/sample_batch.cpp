#include "app/sample_batch.h"

#include "app/sample_replicas.h"

#include <algorithm>
#include <atomic>
#include <new>
#include <sstream>
#include <thread>

#include "population/pop_pedigree.h"

CapturedOutput::CapturedOutput() : _saved_log(log_stream) {
    set_console(&console);
    set_message_capture(&messages);
    log_stream = &messages.progress;
}

CapturedOutput::~CapturedOutput() {
    log_stream = _saved_log;
    set_console(nullptr);
    set_message_capture(nullptr);
}

EstimateLine analyse_sample(const SampleDescription& sample, std::int32_t n_initial,
                            const AnalysisOptions& options) {
    AnalysisOptions drawn = options;
    drawn.from_data_file = false;
    TPopPedigree simulated("Brand new pop", drawn);
    simulated.analyse(sample, n_initial);
    return {simulated.PedDB._ln_likelihood, simulated.EquilLnLHood, simulated.PedDB._n_maxima};
}

std::exception_ptr analyse_captured(const RandomState& start, RandomState& finished,
                                    std::string& console, MessageCapture& messages,
                                    const std::function<void()>& analyse) {
    std::exception_ptr failure;
    CapturedOutput capture;
    current_random_state() = start;
    try {
        analyse();
    } catch (const FatalError&) {
        // Kept in the capture; the replay stops the run there.
    } catch (...) {
        failure = std::current_exception();
    }
    finished = current_random_state();
    console = capture.console.str();
    messages = std::move(capture.messages);
    return failure;
}

void analyse_buffered(SimulatedSample& sample, std::int32_t n_initial) {
    // The workers are busy with samples: each sample's EM runs on its thread.
    AnalysisOptions options = sample.options;
    options.restart_threads = 1;
    const std::exception_ptr failure =
        analyse_captured(sample.start, sample.finished, sample.console, sample.messages, [&] {
            sample.result = analyse_sample(sample.sample, n_initial, options);
        });
    if (failure) {
        try {
            std::rethrow_exception(failure);
        } catch (const std::bad_alloc&) {
            sample.out_of_memory = true;
        }
    }
}

void analyse_pulled(std::vector<SimulatedSample>& batch, std::atomic<std::int32_t>& next,
                    std::int32_t n_initial, SampleReplicas* replicas) {
    const auto size = static_cast<std::int32_t>(batch.size());
    for (std::int32_t i = next++; i < size; i = next++) {
        SimulatedSample& sample = batch[static_cast<std::size_t>(i)];
        if (sample.setup > 0 && (replicas == nullptr || !replicas->redraw(sample))) {
            next = size;
            return;
        }
        analyse_buffered(sample, n_initial);
    }
}

void ThreadAnalyser::analyse(std::vector<SimulatedSample>& batch, std::int32_t n_initial,
                             const SideWork& side_work) {
    const auto size = static_cast<std::int32_t>(batch.size());
    const RandomState caller_state = current_random_state();
    std::atomic<std::int32_t> next{0};
    auto work = [&] { analyse_pulled(batch, next, n_initial); };
    std::vector<std::thread> helpers;
    for (std::int32_t t = 1; t < std::min(_threads, size); ++t) {
        helpers.emplace_back(work);
    }
    auto join = [&] {
        for (std::thread& helper : helpers) {
            helper.join();
        }
    };
    try {
        while (side_work && side_work()) {
        }
    } catch (...) {
        next = size; // the helpers stop after their current sample
        join();
        throw;
    }
    work();
    join();
    current_random_state() = caller_state;
}
