#pragma once

#include <atomic>
#include <cstdint>
#include <exception>
#include <functional>
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
    std::string job; // the sample as bytes for another process, when made ahead

    // A sample drawn to be drawn again where it is analysed (setup above 0)
    // carries no description: only where its draw starts, which observed
    // sample it is drawn from and the fingerprint of what was drawn, or, if
    // it was not drawn before (predicted), nothing to check the draw by:
    // its start is then where the draw again leaves the generator.
    std::int64_t setup = 0;
    RandomState drawn_from;
    std::uint64_t fingerprint = 0;
    bool predicted = false;
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

// Runs `analyse` on the calling thread from generator state `start`, leaving
// in `finished` the state it ends with, its console text in `console` and its
// log in `messages`, for an ordered replay. A fatal stop stays in `messages`,
// whose replay stops the run there; any other exception is returned.
std::exception_ptr analyse_captured(const RandomState& start, RandomState& finished,
                                    std::string& console, MessageCapture& messages,
                                    const std::function<void()>& analyse);

// Analyses a simulated sample exactly like an observed one, with `options`
// (whatever they say, the sample was not read from a data file).
EstimateLine analyse_sample(const SampleDescription& sample, std::int32_t n_initial,
                            const AnalysisOptions& options = {});

// Analyses `sample` from its own generator state on the calling thread, with
// its console text and log messages kept in it for an ordered replay.
void analyse_buffered(SimulatedSample& sample, std::int32_t n_initial);

class SampleReplicas;

// Analyses the samples of `batch` taken in turn from `next` (shared by
// several threads) until none is left. A sample drawn to be drawn again is
// drawn from `replicas` first; should that fail, the rest are left (the
// replicas keep the reason).
void analyse_pulled(std::vector<SimulatedSample>& batch, std::atomic<std::int32_t>& next,
                    std::int32_t n_initial, SampleReplicas* replicas = nullptr);

// Other work for the thread that calls an analyser, done while the batch is
// analysed elsewhere: one step a call (drawing one sample of the next batch),
// false once nothing is left. May be empty.
using SideWork = std::function<bool()>;

// Where the samples of a batch are analysed: worker threads here, other
// processes in a cluster build. Results land in the samples; their order and
// replay are the caller's.
class SampleAnalyser {
  public:
    virtual ~SampleAnalyser() = default;
    // How many samples to draw ahead for one batch.
    virtual std::int32_t batch_size() const = 0;
    // Readies a sample on the drawing thread as soon as it is drawn.
    virtual void prepare(SimulatedSample&) const {}
    // Hears of each observed sample before its analysis. An analyser that
    // answers with its setup id (above 0) has the simulated samples drawn
    // from it drawn again where they are analysed, and gets them summarised
    // only: only where each draw starts has to travel.
    virtual std::int64_t observe(const SampleDescription& /*sample*/,
                                 const AnalysisOptions& /*options*/, std::int32_t /*n_initial*/) {
        return 0;
    }
    // Analyses `batch`; the calling thread does `side_work` to its end first
    // or between its own duties, and may analyse samples too.
    virtual void analyse(std::vector<SimulatedSample>& batch, std::int32_t n_initial,
                         const SideWork& side_work) = 0;
};

// Worker threads of this process pulling samples from the batch in turn; the
// calling thread is one of them once its side work is done.
class ThreadAnalyser : public SampleAnalyser {
  public:
    explicit ThreadAnalyser(std::int32_t threads) : _threads(threads) {}
    std::int32_t batch_size() const override { return 8 * _threads; }
    void analyse(std::vector<SimulatedSample>& batch, std::int32_t n_initial,
                 const SideWork& side_work) override;

  private:
    std::int32_t _threads;
};
