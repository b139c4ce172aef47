#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/bootstrap.h"
#include "app/observed_sample.h"
#include "app/sample_batch.h"
#include "app/sample_replicas.h"

// Simulated samples as bytes, for analysis in another process: a job (the
// sample, its analysis options and the generator state it starts from) goes
// out, an outcome (what its analysis gave and printed) comes back. Both ends are this program, so
// the layout is the machine's own.
namespace sample_codec {

// Raised on bytes that do not decode: a truncated or foreign message.
class DecodeError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

std::string encode_jobs(std::int32_t n_initial, const std::vector<const SimulatedSample*>& jobs);
// The same message in two steps, so that each job can be encoded ahead of
// sending: one job's bytes, then the message for jobs encoded so.
std::string encode_job(const SimulatedSample& job);
std::string jobs_message(std::int32_t n_initial, const std::vector<std::string>& jobs);
// Fills `jobs` with the samples to analyse; returns the number of initial conditions.
std::int32_t decode_jobs(const std::string& bytes, std::vector<SimulatedSample>& jobs);

std::string encode_outcomes(const std::vector<SimulatedSample>& done);
// Sets the outcome fields of `into[i]` for the i-th outcome in `bytes`.
void decode_outcomes(const std::string& bytes, const std::vector<SimulatedSample*>& into);

// An observed sample for the processes that draw its simulated samples again.
std::string encode_setup(const ObservedSetup& setup);
ObservedSetup decode_setup(const std::string& bytes);

// Bootstrap replicates the same way: the task and the replicate numbers go
// out, each replicate's estimates come back.
std::string encode_replicate_jobs(const ReplicateTask& task,
                                  const std::vector<std::int32_t>& indices);
// Fills `task` and returns the replicate numbers.
std::vector<std::int32_t> decode_replicate_jobs(const std::string& bytes, ReplicateTask& task);
std::string encode_replicate_outcomes(const std::vector<ReplicateEstimates>& done);
// Sets `done[i]` for each i of `indices`, in the order of the outcomes.
void decode_replicate_outcomes(const std::string& bytes, const std::vector<std::int32_t>& indices,
                               std::vector<ReplicateEstimates>& done);

// Whole observed samples (a run without simulated samples, its samples
// handed out): the job goes out, the outcome comes back with the sample's
// part of every output.
ObservedJob decode_observed_job(const std::string& bytes);
std::string encode_observed_job(const ObservedJob& job);
ObservedOutcome decode_observed_outcome(const std::string& bytes);
std::string encode_observed_outcome(const ObservedOutcome& outcome);
// Several encoded jobs or outcomes in one message, and back.
std::string pack(const std::vector<std::string>& parts);
std::vector<std::string> unpack(const std::string& bytes);

} // namespace sample_codec
