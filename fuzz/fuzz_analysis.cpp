// libFuzzer entry point: arbitrary bytes as a data file, through the reader
// and the whole analysis (estimation and simulation test) of every sample,
// once with each likelihood engine; then the same bytes as a pedigree file
// and as a table, through the data tool's readers.
//
// Small limits keep an input to milliseconds: inputs asking for more than
// three initial conditions or simulated samples are skipped after a cheap
// look at the leading numbers (the rest of the file is not touched), tables
// are limited to 64 MiB and the simulation runs on the calling thread.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <iostream>
#include <sstream>
#include <streambuf>
#include <string>

#include "app/driver.h"
#include "io/ped_file.h"
#include "io/table_file.h"
#include "pedigree/pedigree.h"
#include "support/errors.h"
#include "support/random.h"

namespace {

constexpr std::int32_t kMaxInitialConditions = 3;
constexpr std::int32_t kMaxSimulatedSamples = 3;

// Swallows everything: the console is of no interest here, only that writing
// to it does not fail.
class NullBuffer : public std::streambuf {
  protected:
    int_type overflow(int_type c) override { return traits_type::not_eof(c); }
    std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
};

NullBuffer null_buffer;
std::ostream null_console(&null_buffer);
std::ostringstream log_text;

// The run parameters read the way the program reads them; false when the
// input asks for more work than a fuzzing run should spend on it.
bool small_enough(const std::string& text) {
    std::istringstream is(text);
    int n_samples = 0;
    int n_simulated = 0;
    int n_initial = 0;
    if (!(is >> n_samples >> n_simulated >> n_initial)) {
        return true; // refused by the program straight away
    }
    return n_simulated <= kMaxSimulatedSamples && n_initial <= kMaxInitialConditions;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // A smaller limit set outside is kept: it buys executions per second.
    setenv("TOVAQUOR_MAX_MEMORY_MB", "64", 0);
    setenv("TOVAQUOR_THREADS", "1", 1);
    error_log.open("/dev/null");
    error_log.redirect(&log_text);
    log_stream = &log_text;
    set_console(&null_console);
    std::cout.setstate(std::ios::badbit);
    return 0;
}

namespace {

// The analysis of `text` as a fresh process would make it: same seed, empty
// log, estimation switch off.
void analyse(const std::string& text, EngineKind engine) {
    log_text.str("");
    log_text.clear();
    error_log.counters() = Errors::Counters{};
    UseAllCombinations = false;
    std::int32_t seed = -2026;
    random_uniform(seed);

    std::istringstream is(text);
    std::ostringstream report;
    error_log.flush_on_fatal(&report);
    AnalysisOptions options;
    options.engine = engine;
    try {
        run_analysis(is, report, options);
    } catch (const FatalError&) {
        // A fatal message: the expected end of a refused input.
    }
    error_log.flush_on_fatal(nullptr);
}

// The readers refuse what they cannot read with an InputError; anything
// else they throw is a finding.
template <typename Read> void read_refusing(const std::string& text, Read read) {
    std::istringstream is(text);
    try {
        read(is);
    } catch (const InputError&) {
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    if (!small_enough(text)) {
        return -1; // not added to the corpus
    }
    // The engines may round a last digit differently, so their reports are
    // not compared here (the test suite compares the reviewed cases).
    analyse(text, EngineKind::summed);
    analyse(text, EngineKind::listed);
    read_refusing(text, [](std::istream& is) {
        return read_ped_file(is, "fuzz.ped", {}, "", {"1", "2"});
    });
    read_refusing(text, [](std::istream& is) { return read_table_file(is, "fuzz.tsv", {}); });
    return 0;
}
