#include "app/side_by_side.h"

#include <condition_variable>
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
};

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
    Workers(std::int32_t n_initial, const AnalysisOptions& options)
        : _n_initial(n_initial), _options(options),
          _ahead(2 * static_cast<std::size_t>(options.threads)) {
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
            analyse(*sample);
            {
                const std::lock_guard<std::mutex> lock(_mutex);
                sample->done = true;
            }
            _changed.notify_all();
        }
    }

    void analyse(Observed& s) const {
        s.failure = analyse_captured(s.start, s.finished, s.console, s.messages, [&] {
            s.pop = analyse_observed(s.sample, _n_initial, _options);
        });
    }

    const std::int32_t _n_initial;
    AnalysisOptions _options;
    const std::size_t _ahead;
    std::mutex _mutex;
    std::condition_variable _changed;
    std::vector<Observed*> _queue;
    std::size_t _next = 0;
    std::size_t _written = 0;
    bool _stop = false;
    std::vector<std::thread> _threads;
};

} // namespace

void analyse_side_by_side(DataFileReader& reader, std::int32_t n_samples, std::int32_t n_initial,
                          const AnalysisOptions& options, const SampleWriter& write) {
    // Every sample is read, and its start state predicted, before any is
    // written; the workers start on each as soon as it is read.
    // Declared first, so the workers are stopped before the samples go.
    std::vector<std::unique_ptr<Observed>> samples;
    auto workers = std::make_unique<Workers>(n_initial, options);
    std::int32_t one = 1;
    for (std::int32_t k = 0; k < n_samples; ++k) {
        Observed& s = *samples.emplace_back(std::make_unique<Observed>());
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
