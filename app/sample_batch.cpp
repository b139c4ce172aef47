#include "app/sample_batch.h"

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

void analyse_buffered(SimulatedSample& sample, std::int32_t n_initial) {
    // The workers are busy with samples: each sample's EM runs on its thread.
    AnalysisOptions options = sample.options;
    options.restart_threads = 1;
    std::ostringstream console_text;
    set_console(&console_text);
    set_message_capture(&sample.messages);
    std::ostream* saved_log = log_stream;
    log_stream = &sample.messages.progress;
    current_random_state() = sample.start;
    try {
        sample.result = analyse_sample(sample.sample, n_initial, options);
    } catch (const FatalError&) {
        // Kept in the capture; the replay stops the run there.
    } catch (const std::bad_alloc&) {
        sample.out_of_memory = true;
    }
    sample.finished = current_random_state();
    sample.console = console_text.str();
    log_stream = saved_log;
    set_console(nullptr);
    set_message_capture(nullptr);
}

void analyse_pulled(std::vector<SimulatedSample>& batch, std::atomic<std::int32_t>& next,
                    std::int32_t n_initial) {
    const auto size = static_cast<std::int32_t>(batch.size());
    for (std::int32_t i = next++; i < size; i = next++) {
        analyse_buffered(batch[static_cast<std::size_t>(i)], n_initial);
    }
}

void ThreadAnalyser::analyse(std::vector<SimulatedSample>& batch, std::int32_t n_initial) {
    const auto size = static_cast<std::int32_t>(batch.size());
    const RandomState caller_state = current_random_state();
    std::atomic<std::int32_t> next{0};
    auto work = [&] { analyse_pulled(batch, next, n_initial); };
    std::vector<std::thread> helpers;
    for (std::int32_t t = 1; t < std::min(_threads, size); ++t) {
        helpers.emplace_back(work);
    }
    work();
    for (std::thread& helper : helpers) {
        helper.join();
    }
    current_random_state() = caller_state;
}
