#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "app/sample_batch.h"
#include "io/sample_description.h"
#include "support/analysis_options.h"
#include "support/random.h"

class TPopPedigree;

// What another process needs to draw an observed sample's simulated samples
// itself: the sample, how it is analysed and the generator state its
// analysis starts from, so that analysing it again gives the same pedigree.
struct ObservedSetup {
    std::int64_t id = 0; // from 1, new for each observed sample of a run
    SampleDescription sample;
    AnalysisOptions options;
    std::int32_t n_initial = 0;
    RandomState start;
};

// Copies of an observed sample's analysed pedigree, one for each thread that
// draws from it at a time, each made by analysing the sample again (with its
// console and log text dropped). A simulated sample drawn elsewhere is drawn
// again here from where its draw started, so only that position travels.
class SampleReplicas {
  public:
    explicit SampleReplicas(ObservedSetup setup);
    ~SampleReplicas();
    SampleReplicas(const SampleReplicas&) = delete;
    SampleReplicas& operator=(const SampleReplicas&) = delete;

    const ObservedSetup& setup() const { return _setup; }
    // Makes the copies `threads` threads will need, side by side.
    void make(std::int32_t threads);
    // Fills `sample.sample` by drawing it again; false, with the reason kept
    // in failure(), when the draw is not the one the sample's summary names.
    bool redraw(SimulatedSample& sample);
    // Why a redraw failed; empty while none has.
    std::string failure() const;

  private:
    std::unique_ptr<TPopPedigree> acquire();
    void release(std::unique_ptr<TPopPedigree> copy);
    std::unique_ptr<TPopPedigree> copy() const;

    const ObservedSetup _setup;
    mutable std::mutex _mutex;
    std::vector<std::unique_ptr<TPopPedigree>> _free;
    std::string _failure;
};
