#include "app/sample_drawer.h"

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
    : _observed(observed), _n_initial(n_initial), _analyser(analyser), _setup(setup) {}

void SampleDrawer::begin(std::int32_t size, const RandomState& from) {
    _batch.clear();
    _batch.reserve(static_cast<std::size_t>(size));
    _size = static_cast<std::size_t>(size);
    _state = from;
}

bool SampleDrawer::step() {
    if (_batch.size() >= _size) {
        return false;
    }
    SimulatedSample& sample = _batch.emplace_back();
    {
        const LentState lent(_state);
        sample.drawn_from = current_random_state();
        _observed.draw_random_sample();
        sample.options = _observed.Options;
        sample.start = current_random_state();
        // The analysis will take this many deviates from its start.
        std::int64_t skip = 0;
        if (_setup > 0) {
            const DrawSummary summary = _observed.summarise_draw(_n_initial);
            sample.setup = _setup;
            sample.fingerprint = summary.fingerprint;
            skip = summary.deviates;
        } else {
            sample.sample = _observed.describe_random_sample();
            skip = TPopPedigree::deviates_needed(sample.sample, _n_initial);
        }
        std::int32_t seed = 1;
        for (std::int64_t k = 0; k < skip; ++k) {
            random_uniform(seed);
        }
        sample.expected = current_random_state();
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
