#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "app/observed_sample.h"
#include "io/data_file_reader.h"
#include "io/sample_description.h"
#include "support/analysis_options.h"

class TPopPedigree;

// What is done with an analysed observed sample, in file order on the calling
// thread: the pedigree, the sample as read, its announced count and its index
// in the file (from 0).
using SampleWriter = std::function<void(TPopPedigree&, const SampleDescription&,
                                        std::int32_t announced, std::int32_t index)>;

// Analyses an observed sample on the calling thread with `options`.
std::unique_ptr<TPopPedigree> analyse_observed(const SampleDescription& sample,
                                               std::int32_t n_initial,
                                               const AnalysisOptions& options);

// The samples of a run without simulated samples, analysed with `options`
// side by side on `options.threads` worker threads and handed to `write` in file order, with the
// console and log text of each replayed before it: the output is that of one
// thread. Each analysis starts from the generator state the analyses before
// it leave (predicted from their deviate counts); should a prediction miss,
// the samples after it are analysed one at a time here.
// With `whole`, other processes take samples too (through `whole->sharer`),
// and every sample's part of the outputs is made where it is analysed, then
// handed to `whole->append` in file order; `write` only serves the samples
// after a missed prediction.
struct WholeSamples {
    ObservedSettings settings;
    ObservedSharer* sharer = nullptr;
    std::function<void(ObservedOutcome&)> append;
};
void analyse_side_by_side(DataFileReader& reader, std::int32_t n_samples, std::int32_t n_initial,
                          const AnalysisOptions& options, const SampleWriter& write,
                          const WholeSamples* whole = nullptr);
