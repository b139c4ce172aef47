#include "app/sample_drawer.h"

#include <optional>
#include <utility>

#include "population/pop_pedigree.h"

namespace {

// Lends a generator state to the calling thread for as long as it lives.
class LentState {
  public:
    explicit LentState(RandomState& lent)
        : _lent(lent), _saved(std::exchange(current_random_state(), lent)) {}
    ~LentState() { _lent = std::exchange(current_random_state(), _saved); }
    LentState(const LentState&) = delete;
    LentState& operator=(const LentState&) = delete;

  private:
    RandomState& _lent;
    RandomState _saved;
};

} // namespace

SampleDrawer::SampleDrawer(TPopPedigree& observed, std::int32_t n_initial,
                           const SampleAnalyser* analyser, std::int64_t setup)
    : _observed(observed), _n_initial(n_initial), _analyser(analyser), _setup(setup),
      _predicting(setup > 0) {}

void SampleDrawer::begin(std::int32_t size, const RandomState& from) {
    _batch.clear();
    _batch.reserve(static_cast<std::size_t>(size));
    _size = static_cast<std::size_t>(size);
    _state = from;
}

namespace {

// Moves the calling thread's generator `n` deviates on.
void skip_deviates(std::int64_t n) {
    std::int32_t seed = 1;
    for (std::int64_t k = 0; k < n; ++k) {
        random_uniform(seed);
    }
}

// How many deviates lead from `from` to `to`, if at most `limit` do.
std::optional<std::int64_t> deviates_between(const RandomState& from, const RandomState& to,
                                             std::int64_t limit) {
    RandomState walked = from;
    const LentState lent(walked);
    std::int32_t seed = 1;
    for (std::int64_t n = 0; n <= limit; ++n) {
        if (current_random_state() == to) {
            return n;
        }
        random_uniform(seed);
    }
    return std::nullopt;
}

// A draw takes this many deviates at most to be worth predicting: counting
// them once costs about as much as a few draws.
constexpr std::int64_t kMostDeviatesPredicted = 50'000'000;

} // namespace

bool SampleDrawer::step() {
    if (_batch.size() >= _size) {
        return false;
    }
    SimulatedSample& sample = _batch.emplace_back();
    sample.options = _observed.Options;
    {
        const LentState lent(_state);
        sample.drawn_from = current_random_state();
        if (_setup > 0 && _predicting && _per_draw) {
            // Where this draw and its analysis will leave the generator, if
            // they take what the first did.
            sample.setup = _setup;
            sample.predicted = true;
            skip_deviates(_per_draw->first);
            sample.start = current_random_state();
            skip_deviates(_per_draw->second);
            sample.expected = current_random_state();
        } else {
            _observed.draw_random_sample();
            sample.start = current_random_state();
            // The analysis will take this many deviates from its start.
            std::int64_t skip = 0;
            if (_setup > 0) {
                const DrawSummary summary = _observed.summarise_draw(_n_initial);
                sample.setup = _setup;
                sample.fingerprint = summary.fingerprint;
                skip = summary.deviates;
                if (_predicting && !_per_draw) {
                    const std::optional<std::int64_t> drawn =
                        deviates_between(sample.drawn_from, sample.start, kMostDeviatesPredicted);
                    if (drawn) {
                        _per_draw.emplace(*drawn, skip);
                    } else {
                        _predicting = false;
                    }
                }
            } else {
                sample.sample = _observed.describe_random_sample();
                skip = TPopPedigree::deviates_needed(sample.sample, _n_initial);
            }
            skip_deviates(skip);
            sample.expected = current_random_state();
        }
    }
    if (_analyser != nullptr) {
        _analyser->prepare(sample);
    }
    return true;
}

std::vector<SimulatedSample> SampleDrawer::take() {
    while (step()) {
    }
    _size = 0;
    return std::move(_batch);
}
