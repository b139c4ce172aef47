#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "app/bootstrap.h"
#include "app/observed_sample.h"
#include "app/sample_batch.h"
#include "app/sample_replicas.h"

// The simulated samples of a batch shared among the ranks of an MPI job. Rank
// 0 keeps drawing, ordering and replaying them (so the output is what one
// process writes); its worker threads analyse samples too, while its main
// thread hands the others out, a few at a time, to whichever rank asks next,
// and between messages draws the next batch. Every rank holds the observed
// sample and draws each simulated sample again from where rank 0's draw
// started, so a job is a generator state, not a sample. Bootstrap replicates
// and whole observed samples (a run without simulated samples) are shared the
// same way.
class MpiAnalyser : public SampleAnalyser, public ReplicateSharer, public ObservedSharer {
  public:
    MpiAnalyser(std::int32_t ranks, std::int32_t threads);
    std::int32_t batch_size() const override;
    // Sends the observed sample down to the other ranks before its analysis
    // here, so that they analyse it too and draw its simulated samples
    // themselves: only where each draw starts goes out with a job.
    std::int64_t observe(const SampleDescription& sample, const AnalysisOptions& options,
                         std::int32_t n_initial) override;
    // Encodes the sample's job as soon as it is drawn.
    void prepare(SimulatedSample& sample) const override;
    void analyse(std::vector<SimulatedSample>& batch, std::int32_t n_initial,
                 const SideWork& side_work) override;
    void share(const ReplicateTask& task, std::int32_t replicates, std::atomic<std::int32_t>& next,
               std::vector<ReplicateEstimates>& done) override;
    // Whole observed samples, as many as a rank has threads to a rank that asks.
    std::int32_t capacity() const override;
    bool serve(const NextJob& next, const Arrived& arrived) override;
    void drain(const Arrived& arrived) override;
    // Tells every other rank to stop, once each has returned what it holds.
    void stop_workers();
    // An exchange with another rank failed: the others cannot be waited for.
    bool failed() const { return _failed; }

  private:
    // Waits for one message of the whole-sample exchange; outcomes to `arrived`.
    void receive_observed(const Arrived& arrived);
    // Whether some rank still holds work it was given.
    bool outstanding() const;
    // Waits for the next message from another rank: its reply `answer`
    // (bytes set) or a request for work (bytes left empty); either way the
    // rank waits for work from now on. Returns its number.
    std::size_t receive_reply(int answer, std::string& bytes, const SideWork& side_work = {});

    struct Rank {
        bool ready = false;             // its request waits for an answer
        std::vector<std::int32_t> held; // samples, replicates or tickets it is analysing
    };
    std::int32_t _threads;
    bool _failed = false;
    std::vector<Rank> _ranks; // index = rank number; entry 0 unused
    std::int64_t _last_setup = 0;
    // Copies of the last observed sample for this rank's own threads.
    std::unique_ptr<SampleReplicas> _replicas;
};

// What every rank other than 0 runs: analyse what rank 0 sends until it says stop.
void run_mpi_worker(std::int32_t threads);

// An MPI call failed; the message names the call and MPI's own text.
std::string mpi_failure(const char* call, int code);
