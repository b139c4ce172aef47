#pragma once

#include <atomic>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "io/sample_description.h"
#include "report/report_writer.h"
#include "support/analysis_options.h"
#include "support/errors.h"
#include "support/random.h"

// One drawn simulated sample on its way through an analyser: what it needs
// (the sample and the generator state its analysis starts from) and what its
// analysis gave, including everything it would have printed.
struct SimulatedSample {
    SampleDescription sample;
    AnalysisOptions options; // what it is analysed with
    RandomState start;       // generator state its analysis starts from
    RandomState expected;    // state its analysis is predicted to leave
    RandomState finished;    // state its analysis did leave
    EstimateLine result;
    std::string console;
    MessageCapture messages;
    bool out_of_memory = false;
};

// While alive, the calling thread's console text, log messages and log
// progress go to buffers of their own, which the owner may read or drop:
// work beside the run (its extras) leaves the console and the log as they were.
class CapturedOutput {
  public:
    CapturedOutput();
    ~CapturedOutput();
    CapturedOutput(const CapturedOutput&) = delete;
    CapturedOutput& operator=(const CapturedOutput&) = delete;

    std::ostringstream console;
    MessageCapture messages;

  private:
    std::ostream* _saved_log;
};

// Analyses a simulated sample exactly like an observed one, with `options`
// (whatever they say, the sample was not read from a data file).
EstimateLine analyse_sample(const SampleDescription& sample, std::int32_t n_initial,
                            const AnalysisOptions& options = {});

// Analyses `sample` from its own generator state on the calling thread, with
// its console text and log messages kept in it for an ordered replay.
void analyse_buffered(SimulatedSample& sample, std::int32_t n_initial);

// Analyses the samples of `batch` taken in turn from `next` (shared by
// several threads) until none is left.
void analyse_pulled(std::vector<SimulatedSample>& batch, std::atomic<std::int32_t>& next,
                    std::int32_t n_initial);

// Where the samples of a batch are analysed: worker threads here, other
// processes in a cluster build. Results land in the samples; their order and
// replay are the caller's.
class SampleAnalyser {
  public:
    virtual ~SampleAnalyser() = default;
    // How many samples to draw ahead for one batch.
    virtual std::int32_t batch_size() const = 0;
    virtual void analyse(std::vector<SimulatedSample>& batch, std::int32_t n_initial) = 0;
};

// Worker threads of this process pulling samples from the batch in turn.
class ThreadAnalyser : public SampleAnalyser {
  public:
    explicit ThreadAnalyser(std::int32_t threads) : _threads(threads) {}
    std::int32_t batch_size() const override { return 8 * _threads; }
    void analyse(std::vector<SimulatedSample>& batch, std::int32_t n_initial) override;

  private:
    std::int32_t _threads;
};
