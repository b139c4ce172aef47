#include "cluster/mpi_analyser.h"

#include <mpi.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <exception>
#include <stdexcept>
#include <thread>

#include "app/sample_codec.h"

namespace {

enum Tag : int {
    kReady = 1,
    kResults = 2,
    kJobs = 3,
    kStop = 4,
    kReplicates = 5,
    kEstimates = 6,
    kSetup = 7
};
// Whole observed samples, numbered apart so that tags added above never meet them.
enum ObservedTag : int { kObservedJobs = 21, kObservedOutcomes = 22 };

// Waiting ranks poll with a pause rather than spin inside MPI: on a machine
// with fewer cores than ranks and threads, a spinning wait takes a core
// from the analyses.
constexpr auto kPollPause = std::chrono::microseconds(200);

void check(int code, const char* call) {
    if (code != MPI_SUCCESS) {
        throw std::runtime_error(mpi_failure(call, code));
    }
}

void send(const std::string& bytes, int to, int tag) {
    check(MPI_Send(bytes.data(), static_cast<int>(bytes.size()), MPI_BYTE, to, tag, MPI_COMM_WORLD),
          "MPI_Send");
}

// The next message from `from` (any rank when MPI_ANY_SOURCE) with `tag`
// (any when MPI_ANY_TAG), waited for without holding a core; until it comes,
// `side_work` goes on a step at a time.
std::string receive(int from, MPI_Status& status, const SideWork& side_work = {},
                    int tag = MPI_ANY_TAG) {
    for (;;) {
        int arrived = 0;
        check(MPI_Iprobe(from, tag, MPI_COMM_WORLD, &arrived, &status), "MPI_Iprobe");
        if (arrived != 0) {
            break;
        }
        if (!side_work || !side_work()) {
            std::this_thread::sleep_for(kPollPause);
        }
    }
    int size = 0;
    check(MPI_Get_count(&status, MPI_BYTE, &size), "MPI_Get_count");
    std::string bytes(static_cast<std::size_t>(size), '\0');
    check(MPI_Recv(bytes.data(), size, MPI_BYTE, status.MPI_SOURCE, status.MPI_TAG, MPI_COMM_WORLD,
                   MPI_STATUS_IGNORE),
          "MPI_Recv");
    return bytes;
}

// An observed sample's setup goes down a binary tree of the ranks (rank r
// passes it to 2r + 1 and 2r + 2), so that rank 0 sends it twice however
// many ranks there are.
void pass_setup_down(const std::string& bytes, int rank, int ranks) {
    for (int child = 2 * rank + 1; child <= 2 * rank + 2 && child < ranks; ++child) {
        send(bytes, child, kSetup);
    }
}

} // namespace

std::string mpi_failure(const char* call, int code) {
    char text[MPI_MAX_ERROR_STRING] = {};
    int length = 0;
    if (MPI_Error_string(code, text, &length) != MPI_SUCCESS) {
        length = 0;
    }
    return std::string(call) + " failed: " + std::string(text, static_cast<std::size_t>(length));
}

MpiAnalyser::MpiAnalyser(std::int32_t ranks, std::int32_t threads)
    : _threads(threads), _ranks(static_cast<std::size_t>(ranks)) {}

std::int32_t MpiAnalyser::batch_size() const {
    return 8 * _threads * static_cast<std::int32_t>(_ranks.size());
}

std::int64_t MpiAnalyser::observe(const SampleDescription& sample, const AnalysisOptions& options,
                                  std::int32_t n_initial) {
    ObservedSetup setup{++_last_setup, sample, options, n_initial, current_random_state()};
    try {
        pass_setup_down(sample_codec::encode_setup(setup), 0, static_cast<int>(_ranks.size()));
    } catch (...) {
        _failed = true;
        throw;
    }
    _replicas = std::make_unique<SampleReplicas>(std::move(setup));
    return _last_setup;
}

void MpiAnalyser::prepare(SimulatedSample& sample) const {
    sample.job = sample_codec::encode_job(sample);
}

void MpiAnalyser::analyse(std::vector<SimulatedSample>& batch, std::int32_t n_initial,
                          const SideWork& side_work) {
    const auto size = static_cast<std::int32_t>(batch.size());
    std::atomic<std::int32_t> next{0};
    const RandomState caller_state = current_random_state();
    auto work = [&] { analyse_pulled(batch, next, n_initial, _replicas.get()); };
    std::vector<std::thread> local;
    for (std::int32_t t = 0; t < std::min(_threads, size); ++t) {
        local.emplace_back(work);
    }
    // Hands the next samples (as many as the rank has threads) to a rank
    // whose request waits; false when none are left.
    auto hand_out = [&](std::size_t rank) {
        Rank& r = _ranks[rank];
        std::vector<std::string> jobs;
        for (std::int32_t k = 0; k < _threads; ++k) {
            const std::int32_t i = next++;
            if (i >= size) {
                break;
            }
            r.held.push_back(i);
            SimulatedSample& sample = batch[static_cast<std::size_t>(i)];
            if (sample.job.empty()) {
                prepare(sample);
            }
            jobs.push_back(std::move(sample.job));
        }
        if (jobs.empty()) {
            return false;
        }
        r.ready = false;
        send(sample_codec::jobs_message(n_initial, jobs), static_cast<int>(rank), kJobs);
        return true;
    };
    try {
        for (std::size_t rank = 1; rank < _ranks.size(); ++rank) {
            if (_ranks[rank].ready) {
                hand_out(rank);
            }
        }
        while (outstanding() || next.load() < size) {
            std::string bytes;
            const std::size_t rank = receive_reply(kResults, bytes, side_work);
            Rank& r = _ranks[rank];
            if (!bytes.empty()) {
                std::vector<SimulatedSample*> into;
                for (std::int32_t i : r.held) {
                    into.push_back(&batch[static_cast<std::size_t>(i)]);
                }
                sample_codec::decode_outcomes(bytes, into);
                r.held.clear();
            }
            hand_out(rank);
        }
        // The ranks wait for the next batch: finish drawing it.
        while (side_work && side_work()) {
        }
    } catch (...) {
        _failed = true;
        next = size; // the local threads stop after their current sample
        for (std::thread& t : local) {
            t.join();
        }
        throw;
    }
    for (std::thread& t : local) {
        t.join();
    }
    current_random_state() = caller_state;
    if (_replicas && !_replicas->failure().empty()) {
        _failed = true;
        throw std::runtime_error(_replicas->failure());
    }
}

void MpiAnalyser::share(const ReplicateTask& task, std::int32_t replicates,
                        std::atomic<std::int32_t>& next, std::vector<ReplicateEstimates>& done) {
    // As many replicates as the rank has threads to a rank whose request
    // waits; false when none are left.
    auto hand_out = [&](std::size_t rank) {
        Rank& r = _ranks[rank];
        for (std::int32_t k = 0; k < _threads; ++k) {
            const std::int32_t i = next++;
            if (i >= replicates) {
                break;
            }
            r.held.push_back(i);
        }
        if (r.held.empty()) {
            return false;
        }
        r.ready = false;
        send(sample_codec::encode_replicate_jobs(task, r.held), static_cast<int>(rank),
             kReplicates);
        return true;
    };
    try {
        for (std::size_t rank = 1; rank < _ranks.size(); ++rank) {
            if (_ranks[rank].ready) {
                hand_out(rank);
            }
        }
        while (outstanding() || next.load() < replicates) {
            std::string bytes;
            const std::size_t rank = receive_reply(kEstimates, bytes);
            Rank& r = _ranks[rank];
            if (!bytes.empty()) {
                sample_codec::decode_replicate_outcomes(bytes, r.held, done);
                r.held.clear();
            }
            hand_out(rank);
        }
    } catch (...) {
        _failed = true;
        throw;
    }
}

std::int32_t MpiAnalyser::capacity() const {
    return _threads * static_cast<std::int32_t>(_ranks.size());
}

bool MpiAnalyser::serve(const NextJob& next, const Arrived& arrived) {
    // The next jobs (as many as the rank has threads) to a rank whose request waits.
    auto hand_out = [&](std::size_t rank) {
        Rank& r = _ranks[rank];
        std::vector<std::string> jobs;
        std::int32_t ticket = 0;
        std::string job;
        while (static_cast<std::int32_t>(jobs.size()) < _threads && next(ticket, job)) {
            r.held.push_back(ticket);
            jobs.push_back(std::move(job));
        }
        if (!jobs.empty()) {
            r.ready = false;
            send(sample_codec::pack(jobs), static_cast<int>(rank), kObservedJobs);
        }
    };
    try {
        for (std::size_t rank = 1; rank < _ranks.size(); ++rank) {
            if (_ranks[rank].ready) {
                hand_out(rank);
            }
        }
        MPI_Status status;
        int came = 0;
        check(MPI_Iprobe(MPI_ANY_SOURCE, MPI_ANY_TAG, MPI_COMM_WORLD, &came, &status),
              "MPI_Iprobe");
        if (came == 0) {
            return false;
        }
        receive_observed(arrived);
        for (std::size_t rank = 1; rank < _ranks.size(); ++rank) {
            if (_ranks[rank].ready) {
                hand_out(rank);
            }
        }
        return true;
    } catch (...) {
        _failed = true;
        throw;
    }
}

void MpiAnalyser::drain(const Arrived& arrived) {
    try {
        while (outstanding()) {
            receive_observed(arrived);
        }
    } catch (...) {
        _failed = true;
        throw;
    }
}

void MpiAnalyser::receive_observed(const Arrived& arrived) {
    std::string bytes;
    Rank& r = _ranks[receive_reply(kObservedOutcomes, bytes)];
    if (!bytes.empty()) {
        const std::vector<std::string> outcomes = sample_codec::unpack(bytes);
        if (outcomes.size() != r.held.size()) {
            throw sample_codec::DecodeError("outcome count differs from the samples sent");
        }
        for (std::size_t i = 0; i < outcomes.size(); ++i) {
            arrived(r.held[i], outcomes[i]);
        }
        r.held.clear();
    }
}

bool MpiAnalyser::outstanding() const {
    return std::any_of(_ranks.begin() + 1, _ranks.end(),
                       [](const Rank& r) { return !r.held.empty(); });
}

std::size_t MpiAnalyser::receive_reply(int answer, std::string& bytes, const SideWork& side_work) {
    MPI_Status status;
    std::string received = receive(MPI_ANY_SOURCE, status, side_work);
    const auto rank = static_cast<std::size_t>(status.MPI_SOURCE);
    if (rank == 0 || rank >= _ranks.size()) {
        throw std::runtime_error("a message came from an unknown rank");
    }
    if (status.MPI_TAG == answer) {
        bytes = std::move(received);
    } else if (status.MPI_TAG != kReady) {
        throw std::runtime_error("a rank answered what it was not asked");
    }
    _ranks[rank].ready = true;
    return rank;
}

void MpiAnalyser::stop_workers() {
    for (std::size_t rank = 1; rank < _ranks.size(); ++rank) {
        Rank& r = _ranks[rank];
        while (!r.ready || !r.held.empty()) {
            MPI_Status status;
            receive(static_cast<int>(rank), status);
            r.held.clear();
            r.ready = true;
        }
        send(std::string(), static_cast<int>(rank), kStop);
        r.ready = false;
    }
}

namespace {

// Runs `work` on `threads` threads, the calling thread one of them.
template <class Work> void on_threads(std::int32_t threads, const Work& work) {
    std::vector<std::thread> helpers;
    for (std::int32_t t = 1; t < threads; ++t) {
        helpers.emplace_back(work);
    }
    work();
    for (std::thread& helper : helpers) {
        helper.join();
    }
}

// The replicates of `bytes` on `threads` threads, their estimates as bytes.
std::string analyse_replicates(const std::string& bytes, std::int32_t threads) {
    ReplicateTask task;
    const std::vector<std::int32_t> indices = sample_codec::decode_replicate_jobs(bytes, task);
    const std::vector<std::vector<std::size_t>> units = sample_units(task.sample);
    const auto size = static_cast<std::int32_t>(indices.size());
    std::vector<ReplicateEstimates> done(indices.size());
    std::atomic<std::int32_t> next{0};
    auto work = [&] {
        for (std::int32_t i = next++; i < size; i = next++) {
            done[static_cast<std::size_t>(i)] =
                analyse_replicate(task, units, indices[static_cast<std::size_t>(i)]);
        }
    };
    on_threads(std::min(threads, size), work);
    return sample_codec::encode_replicate_outcomes(done);
}

// The whole observed samples of `bytes` on `threads` threads, their outcomes as bytes.
std::string analyse_whole_samples(const std::string& bytes, std::int32_t threads) {
    const std::vector<std::string> jobs = sample_codec::unpack(bytes);
    const auto size = static_cast<std::int32_t>(jobs.size());
    std::vector<std::string> outcomes(jobs.size());
    std::vector<std::exception_ptr> failures(jobs.size());
    std::atomic<std::int32_t> next{0};
    auto work = [&] {
        for (std::int32_t i = next++; i < size; i = next++) {
            const auto at = static_cast<std::size_t>(i);
            try {
                outcomes[at] = analyse_whole_job(jobs[at]);
            } catch (...) {
                failures[at] = std::current_exception();
            }
        }
    };
    on_threads(std::min(threads, size), work);
    for (const std::exception_ptr& failure : failures) {
        if (failure) {
            std::rethrow_exception(failure);
        }
    }
    return sample_codec::pack(outcomes);
}

// What a rank other than 0 keeps between messages: the copies of the
// observed sample whose simulated samples it draws again.
class Worker {
  public:
    explicit Worker(std::int32_t threads) : _threads(threads) {
        MPI_Comm_rank(MPI_COMM_WORLD, &_rank);
        MPI_Comm_size(MPI_COMM_WORLD, &_ranks);
    }

    // Passes the setup on, then makes a copy of its sample for each thread.
    void set_up(const std::string& bytes) {
        pass_setup_down(bytes, _rank, _ranks);
        _replicas = std::make_unique<SampleReplicas>(sample_codec::decode_setup(bytes));
        _replicas->make(_threads);
    }

    std::string analyse(const std::string& bytes) {
        std::vector<SimulatedSample> jobs;
        const std::int32_t n_initial = sample_codec::decode_jobs(bytes, jobs);
        for (const SimulatedSample& job : jobs) {
            // Rank 0's jobs may overtake a setup that comes through another rank.
            while (job.setup > 0 && (!_replicas || _replicas->setup().id < job.setup)) {
                MPI_Status status;
                set_up(receive(MPI_ANY_SOURCE, status, {}, kSetup));
            }
            if (job.setup > 0 && _replicas->setup().id != job.setup) {
                throw std::runtime_error("a simulated sample of an observed sample already passed");
            }
        }
        const auto size = static_cast<std::int32_t>(jobs.size());
        std::atomic<std::int32_t> next{0};
        auto work = [&] { analyse_pulled(jobs, next, n_initial, _replicas.get()); };
        on_threads(std::min(_threads, size), work);
        if (_replicas && !_replicas->failure().empty()) {
            throw std::runtime_error(_replicas->failure());
        }
        return sample_codec::encode_outcomes(jobs);
    }

  private:
    std::int32_t _threads;
    int _rank = 0;
    int _ranks = 1;
    std::unique_ptr<SampleReplicas> _replicas;
};

} // namespace

void run_mpi_worker(std::int32_t threads) {
    Worker worker(threads);
    send(std::string(), 0, kReady);
    for (;;) {
        MPI_Status status;
        const std::string bytes = receive(MPI_ANY_SOURCE, status);
        switch (status.MPI_TAG) {
        case kStop:
            return;
        case kSetup:
            worker.set_up(bytes);
            break;
        case kReplicates:
            send(analyse_replicates(bytes, threads), 0, kEstimates);
            break;
        case kObservedJobs:
            send(analyse_whole_samples(bytes, threads), 0, kObservedOutcomes);
            break;
        default:
            send(worker.analyse(bytes), 0, kResults);
            break;
        }
    }
}
