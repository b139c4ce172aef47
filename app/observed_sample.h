#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <ostream>
#include <string>

#include "io/sample_description.h"
#include "report/sample_results.h"
#include "support/analysis_options.h"
#include "support/errors.h"
#include "support/random.h"

class TPopPedigree;
class Progress;

// What a run asks of each observed sample once it is analysed.
struct ObservedSettings {
    std::int32_t n_simulated = 0;
    std::int32_t n_initial = 0;
    std::int32_t seed = 0; // the run's, for the side streams of the extras
    std::int32_t bootstrap_replicates = 0;
    std::int32_t bootstrap_threads = 1;
    bool phases = false;
    bool hardy_weinberg = false;
    // Replicates may go to the installed sharer (only from the thread that talks to it).
    bool share_replicates = true;
};

// Writes the part of an analysed sample (`index` from 0 in the file) to
// `report`, its notices to `errors` and its console lines to the console:
// estimates, the simulation test and the extras asked for. Returns its
// results. `setup` is what announce_observed gave for the sample, if anything.
SampleResults write_observed(TPopPedigree& pop, const SampleDescription& sample,
                             std::int32_t announced, std::int32_t index,
                             const ObservedSettings& settings, std::ostream& report,
                             std::ostream& errors, Progress* progress, std::int64_t setup = 0);

// A whole observed sample for analysis elsewhere: everything its analysis
// and its part of the outputs depend on.
struct ObservedJob {
    SampleDescription sample;
    std::int32_t announced = 0;
    std::int32_t index = 0;
    AnalysisOptions options;
    RandomState start;
    ObservedSettings settings;
};

// What a whole sample gave: its part of the report, standard error and
// results, and what its analysis printed, for an ordered replay.
struct ObservedOutcome {
    RandomState finished; // generator state its analysis left
    std::string console;
    MessageCapture messages;
    bool out_of_memory = false;
    bool written = false; // false: the analysis stopped (the messages say how)
    std::string report;
    std::string errors;
    SampleResults results;
};

// Analyses `job` and makes its part on the calling thread, its EM and its
// replicates on that thread alone. A fatal stop stays in the messages;
// anything unforeseen but running out of memory is returned.
std::exception_ptr analyse_whole(const ObservedJob& job, ObservedOutcome& outcome);

// A job as bytes analysed whole on the calling thread, its outcome as bytes;
// anything unforeseen but running out of memory is thrown.
std::string analyse_whole_job(const std::string& job);

// Where whole observed samples go beyond this process (the other processes
// of a cluster job). Jobs and outcomes travel as bytes, each outcome with
// the ticket its job went out with.
class ObservedSharer {
  public:
    // Sets the next job and its ticket; false when none is left to give.
    using NextJob = std::function<bool(std::int32_t& ticket, std::string& job)>;
    using Arrived = std::function<void(std::int32_t ticket, const std::string& outcome)>;

    virtual ~ObservedSharer() = default;
    // Threads of the whole job, this process's included.
    virtual std::int32_t capacity() const = 0;
    // Gives jobs from `next` to every process that waits for work, then
    // answers one message if one came, its outcomes to `arrived`. False
    // when no message came.
    virtual bool serve(const NextJob& next, const Arrived& arrived) = 0;
    // Waits for every job given out, their outcomes to `arrived`.
    virtual void drain(const Arrived& arrived) = 0;
};

// Whole samples go through `sharer` from now on; none: this process only.
void set_observed_sharer(ObservedSharer* sharer);
ObservedSharer* observed_sharer();
