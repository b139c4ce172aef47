#include "app/sample_replicas.h"

#include <exception>
#include <thread>
#include <utility>

#include "app/side_by_side.h"
#include "population/pop_pedigree.h"
#include "support/errors.h"

SampleReplicas::SampleReplicas(ObservedSetup setup) : _setup(std::move(setup)) {}

SampleReplicas::~SampleReplicas() = default;

std::unique_ptr<TPopPedigree> SampleReplicas::copy() const {
    // Each copy runs on one thread: its EM restarts one after another, with
    // the same result as side by side.
    AnalysisOptions options = _setup.options;
    options.restart_threads = 1;
    const RandomState saved = current_random_state();
    std::unique_ptr<TPopPedigree> pop;
    {
        // The observed sample's messages were printed where it was read.
        const CapturedOutput dropped;
        current_random_state() = _setup.start;
        try {
            pop = analyse_observed(_setup.sample, _setup.n_initial, options);
        } catch (...) {
            // A sample that stops the run is never drawn from: no copy.
        }
    }
    current_random_state() = saved;
    return pop;
}

void SampleReplicas::make(std::int32_t threads) {
    std::vector<std::unique_ptr<TPopPedigree>> made(static_cast<std::size_t>(threads));
    std::vector<std::thread> helpers;
    for (std::int32_t t = 1; t < threads; ++t) {
        helpers.emplace_back([&, t] { made[static_cast<std::size_t>(t)] = copy(); });
    }
    made[0] = copy();
    for (std::thread& helper : helpers) {
        helper.join();
    }
    for (auto& pop : made) {
        if (pop) {
            release(std::move(pop));
        }
    }
}

std::unique_ptr<TPopPedigree> SampleReplicas::acquire() {
    {
        const std::lock_guard<std::mutex> lock(_mutex);
        if (!_free.empty()) {
            std::unique_ptr<TPopPedigree> pop = std::move(_free.back());
            _free.pop_back();
            return pop;
        }
    }
    return copy();
}

void SampleReplicas::release(std::unique_ptr<TPopPedigree> pop) {
    const std::lock_guard<std::mutex> lock(_mutex);
    _free.push_back(std::move(pop));
}

std::string SampleReplicas::failure() const {
    const std::lock_guard<std::mutex> lock(_mutex);
    return _failure;
}

bool SampleReplicas::redraw(SimulatedSample& sample) {
    std::unique_ptr<TPopPedigree> pop = acquire();
    std::string failed;
    if (!pop) {
        failed = "the observed sample could not be analysed again to draw from";
    } else {
        const RandomState saved = current_random_state();
        current_random_state() = sample.drawn_from;
        pop->draw_random_sample();
        if (sample.predicted) {
            sample.start = current_random_state();
            sample.sample = pop->describe_random_sample();
        } else if (pop->summarise_draw(_setup.n_initial).fingerprint != sample.fingerprint ||
                   !(current_random_state() == sample.start)) {
            failed = "a simulated sample drawn again differs from the one drawn first";
        } else {
            sample.sample = pop->describe_random_sample();
        }
        current_random_state() = saved;
        release(std::move(pop));
    }
    if (failed.empty()) {
        return true;
    }
    const std::lock_guard<std::mutex> lock(_mutex);
    if (_failure.empty()) {
        _failure = failed;
    }
    return false;
}
