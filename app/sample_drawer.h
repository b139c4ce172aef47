#pragma once

#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "app/sample_batch.h"
#include "support/random.h"

class TPopPedigree;

// Draws the simulated samples of a test in order, each with the generator
// state its analysis starts from, a batch at a time and one sample per step,
// so that the drawing of the next batch can go on between other work while
// the current one is analysed. Each draw starts where the previous sample's
// analysis is predicted to leave the generator, as in a one-thread run. The
// drawer keeps its own generator state and lends it to the calling thread for
// a draw only, so that thread may analyse samples between steps.
class SampleDrawer {
  public:
    // `analyser`, when given, readies each sample as it is drawn. With a
    // `setup` (above 0) the samples are drawn again where they are analysed:
    // the first is drawn here and summarised, not described; the others are
    // not drawn here at all while the draws and analyses are predicted to
    // take as many deviates as the first's did (the analysers find out).
    SampleDrawer(TPopPedigree& observed, std::int32_t n_initial,
                 const SampleAnalyser* analyser = nullptr, std::int64_t setup = 0);

    // Starts a batch of `size` samples from generator state `from`; a batch
    // begun before and not taken is dropped.
    void begin(std::int32_t size, const RandomState& from);
    // Draws the next sample of the batch; false when the batch is complete.
    bool step();
    // The batch, drawn to the end.
    std::vector<SimulatedSample> take();
    // Where the generator stands after the samples drawn so far.
    const RandomState& state() const { return _state; }
    // A prediction missed: from now on every sample is drawn here.
    void stop_predicting() { _predicting = false; }

  private:
    TPopPedigree& _observed;
    std::int32_t _n_initial;
    const SampleAnalyser* _analyser;
    std::int64_t _setup;
    bool _predicting;
    // Deviates the first draw and its analysis took, once known.
    std::optional<std::pair<std::int64_t, std::int64_t>> _per_draw;
    std::vector<SimulatedSample> _batch;
    std::size_t _size = 0;
    RandomState _state;
};
