#include "app/side_by_side.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <iostream>
#include <memory>
#include <mutex>
#include <new>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/sample_batch.h"
#include "app/sample_codec.h"
#include "io/input_error.h"
#include "population/pop_pedigree.h"
#include "support/errors.h"
#include "support/random.h"
#include "support/run_stats.h"

std::unique_ptr<TPopPedigree> analyse_observed(const SampleDescription& sample,
                                               std::int32_t n_initial,
                                               const AnalysisOptions& options) {
    auto pop = std::make_unique<TPopPedigree>("Brand new pop", options);
    pop->analyse(sample, n_initial);
    return pop;
}

namespace {

// One sample on its way: read, then analysed by a worker, then written.
struct Observed {
    std::int32_t announced = 0;
    SampleDescription sample;
    std::string read_console; // what reading it printed
    MessageCapture read_messages;
    std::exception_ptr read_failure; // out of memory while reading
    bool read = false;

    RandomState start;
    RandomState expected;
    RandomState finished;
    std::unique_ptr<TPopPedigree> pop;
    std::string console;
    MessageCapture messages;
    std::exception_ptr failure; // out of memory, or anything unforeseen
    bool done = false;

    // Whole samples: the number in the file (from 0) and what the analysis
    // and the part of the outputs gave, here or elsewhere.
    std::int32_t index = 0;
    ObservedOutcome outcome;
};

// Between two looks for messages of other processes, the wait for a sample
// analysed here leaves the core to the analyses.
constexpr auto kServePause = std::chrono::microseconds(200);

// Reads the next sample, with its messages kept for its turn: a file that
// breaks off still has the samples before the break written first. False
// when the reading failed.
bool read_next(DataFileReader& reader, std::int32_t number, Observed& s) {
    CapturedOutput capture;
    try {
        try {
            s.announced = reader.read_individual_count(number);
            s.sample = reader.read_sample(s.announced);
            s.read = true;
        } catch (const InputError& e) {
            fatal_input_error(e.message()); // as a read on the main thread stops
        }
    } catch (const FatalError&) {
        // Kept in the capture: its replay stops the run.
    } catch (const std::bad_alloc&) {
        s.read_failure = std::current_exception();
    }
    s.read_console = capture.console.str();
    s.read_messages = std::move(capture.messages);
    return s.read;
}

// Worker threads taking samples in file order as they are read, at most
// `ahead` past the last one written so that finished pedigrees do not pile
// up in memory.
class Workers {
  public:
    // With `whole`, each sample's part of the outputs is made here too: a
    // finished sample holds no pedigree, so the workers may run far ahead.
    Workers(std::int32_t n_initial, const AnalysisOptions& options,
            const WholeSamples* whole = nullptr)
        : _n_initial(n_initial), _options(options), _whole(whole),
          _ahead(whole != nullptr ? SIZE_MAX : 2 * static_cast<std::size_t>(options.threads)) {
        // The workers are busy with samples: each sample's EM runs on its thread.
        _options.restart_threads = 1;
        for (std::int32_t t = 0; t < options.threads; ++t) {
            _threads.emplace_back([this] { work(); });
        }
    }
    ~Workers() {
        {
            const std::lock_guard<std::mutex> lock(_mutex);
            _stop = true;
        }
        _changed.notify_all();
        for (std::thread& t : _threads) {
            t.join();
        }
    }
    Workers(const Workers&) = delete;
    Workers& operator=(const Workers&) = delete;

    // A sample read, with its start state set: workers may take it.
    void add(Observed* sample) {
        {
            const std::lock_guard<std::mutex> lock(_mutex);
            _queue.push_back(sample);
        }
        _changed.notify_all();
    }
    void wait_for(const Observed& sample) {
        std::unique_lock<std::mutex> lock(_mutex);
        _changed.wait(lock, [&] { return sample.done; });
    }
    // Whether `sample` is done, waiting at most `pause` for it.
    bool wait_for(const Observed& sample, std::chrono::microseconds pause) {
        std::unique_lock<std::mutex> lock(_mutex);
        return _changed.wait_for(lock, pause, [&] { return sample.done; });
    }
    // The next sample for another process, or null when none may be taken now.
    Observed* take() {
        const std::lock_guard<std::mutex> lock(_mutex);
        return _next < _queue.size() && _next < _written + _ahead ? _queue[_next++] : nullptr;
    }
    void finish(Observed& sample) {
        {
            const std::lock_guard<std::mutex> lock(_mutex);
            sample.done = true;
        }
        _changed.notify_all();
    }
    // The job of a sample analysed whole.
    ObservedJob job(const Observed& s) const {
        return {s.sample, s.announced, s.index, _options, s.start, _whole->settings};
    }
    void written(std::size_t count) {
        {
            const std::lock_guard<std::mutex> lock(_mutex);
            _written = count;
        }
        _changed.notify_all();
    }

  private:
    void work() {
        for (;;) {
            Observed* sample = nullptr;
            {
                std::unique_lock<std::mutex> lock(_mutex);
                _changed.wait(lock, [&] {
                    return _stop || (_next < _queue.size() && _next < _written + _ahead);
                });
                if (_stop) {
                    return;
                }
                sample = _queue[_next++];
            }
            if (_whole != nullptr) {
                sample->failure = analyse_whole(job(*sample), sample->outcome);
            } else {
                analyse(*sample);
            }
            finish(*sample);
        }
    }

    void analyse(Observed& s) const {
        s.failure = analyse_captured(s.start, s.finished, s.console, s.messages, [&] {
            s.pop = analyse_observed(s.sample, _n_initial, _options);
        });
    }

    const std::int32_t _n_initial;
    AnalysisOptions _options;
    const WholeSamples* _whole;
    const std::size_t _ahead;
    std::mutex _mutex;
    std::condition_variable _changed;
    std::vector<Observed*> _queue;
    std::size_t _next = 0;
    std::size_t _written = 0;
    bool _stop = false;
    std::vector<std::thread> _threads;
};

// The samples a sharer's processes hold, and their outcomes, for a whole
// run of `samples` on `workers`.
class WholeExchange {
  public:
    WholeExchange(std::vector<std::unique_ptr<Observed>>& samples, Workers& workers)
        : _samples(samples), _workers(workers) {}

    ObservedSharer::NextJob next() {
        return [this](std::int32_t& ticket, std::string& job) {
            Observed* s = _workers.take();
            if (s == nullptr) {
                return false;
            }
            ticket = s->index;
            job = sample_codec::encode_observed_job(_workers.job(*s));
            return true;
        };
    }
    ObservedSharer::Arrived arrived() {
        return [this](std::int32_t ticket, const std::string& bytes) {
            if (ticket < 0 || static_cast<std::size_t>(ticket) >= _samples.size()) {
                throw sample_codec::DecodeError("an outcome for no sample");
            }
            Observed& s = *_samples[static_cast<std::size_t>(ticket)];
            s.outcome = sample_codec::decode_observed_outcome(bytes);
            _workers.finish(s);
        };
    }

  private:
    std::vector<std::unique_ptr<Observed>>& _samples;
    Workers& _workers;
};

// Runs an exchange with the other processes; one that fails stops the run
// (the samples were lost on their way).
template <class Exchange> void exchange_or_stop(Exchange exchange) {
    try {
        exchange();
    } catch (const std::exception& e) {
        fatal_input_error(std::string("analyse_side_by_side : ") + e.what());
    }
}

} // namespace

void analyse_side_by_side(DataFileReader& reader, std::int32_t n_samples, std::int32_t n_initial,
                          const AnalysisOptions& options, const SampleWriter& write,
                          const WholeSamples* whole) {
    // Every sample is read, and its start state predicted, before any is
    // written; the workers start on each as soon as it is read.
    // Declared first, so the workers are stopped before the samples go.
    std::vector<std::unique_ptr<Observed>> samples;
    auto workers = std::make_unique<Workers>(n_initial, options, whole);
    std::int32_t one = 1;
    for (std::int32_t k = 0; k < n_samples; ++k) {
        Observed& s = *samples.emplace_back(std::make_unique<Observed>());
        s.index = k;
        if (!read_next(reader, k + 1, s)) {
            break;
        }
        s.start = current_random_state();
        const std::int64_t skip = TPopPedigree::deviates_needed(s.sample, n_initial);
        for (std::int64_t d = 0; d < skip; ++d) {
            random_uniform(one);
        }
        s.expected = current_random_state();
        workers->add(&s);
    }
    WholeExchange exchange(samples, *workers);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        Observed& s = *samples[i];
        std::cout << s.read_console;
        s.read_messages.replay(*log_stream);
        if (s.read_failure) {
            std::rethrow_exception(s.read_failure);
        }
        if (!s.read) {
            break; // not reached: the replay of a failed read stops the run
        }
        if (workers && whole != nullptr) {
            while (!workers->wait_for(s, std::chrono::microseconds(0))) {
                bool answered = false;
                exchange_or_stop(
                    [&] { answered = whole->sharer->serve(exchange.next(), exchange.arrived()); });
                if (!answered) {
                    workers->wait_for(s, kServePause);
                }
            }
            std::cout << s.outcome.console;
            s.outcome.messages.replay(*log_stream);
            if (s.failure) {
                std::rethrow_exception(s.failure);
            }
            if (s.outcome.out_of_memory) {
                throw std::bad_alloc();
            }
            current_random_state() = s.outcome.finished;
            if (!(s.outcome.finished == s.expected)) {
                // As below; the samples out with other processes are let go.
                ++run_stats().prediction_misses;
                exchange_or_stop(
                    [&] { whole->sharer->drain([](std::int32_t, const std::string&) {}); });
                workers.reset();
            }
            whole->append(s.outcome);
            s.outcome = ObservedOutcome{};
            continue;
        }
        if (workers) {
            workers->wait_for(s);
            std::cout << s.console;
            s.messages.replay(*log_stream);
            if (s.failure) {
                std::rethrow_exception(s.failure);
            }
            current_random_state() = s.finished;
            if (!(s.finished == s.expected)) {
                // The samples after this one started from a wrong state:
                // analyse them again, one at a time, from the right one.
                ++run_stats().prediction_misses;
                workers.reset();
            }
        } else {
            s.pop = analyse_observed(s.sample, n_initial, options);
        }
        write(*s.pop, s.sample, s.announced, static_cast<std::int32_t>(i));
        s.pop.reset();
        if (workers) {
            workers->written(i + 1);
        }
    }
}
