#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "io/sample_description.h"
#include "support/atomic_output_file.h"

// What a data file holds, as the writer takes it: the run parameters and the
// samples (their announced counts are not written: each count written is the
// number of records the sample holds).
struct DataFileContent {
    std::int32_t n_simulated = 0;
    std::int32_t n_initial = 0;
    std::vector<SampleDescription> samples;
};

// Writes the file: the three run parameters on the first line, then per
// sample its individual count and, on the next line, its name (a name on its
// own line may start with a digit), then three lines per record.
void write_mbd(std::ostream& os, const DataFileContent& content);

// Writes `content` to `path` whole or not at all (AtomicOutputFile). Throws
// OutputError, naming the file, when it cannot be written or when `path`
// may not be replaced: a directory or other non-regular file, a read-only
// file, or one of `inputs`.
void save_mbd(const std::string& path, const DataFileContent& content,
              const std::vector<std::string>& inputs = {});
