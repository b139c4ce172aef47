// Samples analysed side by side when no simulated sample is asked for: the
// report, console and log of one thread whatever the number of threads, the
// random stream carried over as one thread carries it, and a file that breaks
// off still stopping after the samples before the break; whole samples
// handed to other processes come back as what one thread writes.
#include <gtest/gtest.h>

#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "app/driver.h"
#include "app/observed_sample.h"
#include "app/sample_codec.h"
#include "support/errors.h"
#include "support/random.h"
#include "tests/harness/e2e_harness.h"

namespace {

// The samples of a data file, without its first line.
std::string samples_of(const std::string& data) {
    return data.substr(data.find('\n') + 1);
}

// Seven samples, no simulated sample: the example's families, an
// inconsistent family (warnings, no estimate), a one-locus sample, untyped
// parents, and the example again (its own start state, far down the stream).
std::string panel_like_file(const std::string& tail = "") {
    const std::string example = samples_of(e2e::read_example("example.mbd"));
    return "7 0 3\n" + example + samples_of(e2e::read_data("parallel/warnings_in_log.mbd")) +
           samples_of(e2e::read_data("e2e/one_locus.mbd")) +
           samples_of(e2e::read_data("e2e/untyped_family.mbd")) + example +
           samples_of(e2e::read_data("e2e/untyped_family.mbd")) + tail;
}

e2e::Result run_on(const std::string& data, const char* threads) {
    e2e::Run run{{"p", "11"}};
    run.files = {{"p.mbd", data}};
    run.env = {{"TOVAQUOR_THREADS", threads}, {"TOVAQUOR_STATS", "1"}};
    run.capture_errors = true;
    return e2e::run(run);
}

TEST(SideBySide, AnyThreadCountWritesWhatOneThreadWrites) {
    // The last sample breaks off: the six before it are written, then the stop.
    for (const std::string& data :
         {panel_like_file(), panel_like_file("3\nBroken\nA 0 0\n1 a\n").replace(0, 1, "8")}) {
        const e2e::Result one = run_on(data, "1");
        EXPECT_EQ(data[0] == '7' ? 2 : 255, one.status) << one.console;
        EXPECT_NE(std::string::npos, one.report.find("Sample One family, parents untyped"));
        for (const char* threads : {"2", "3"}) {
            SCOPED_TRACE(threads);
            const e2e::Result many = run_on(data, threads);
            EXPECT_EQ(one.status, many.status);
            EXPECT_EQ(one.console, many.console);
            EXPECT_EQ(e2e::mask_times(one.report), e2e::mask_times(many.report));
            EXPECT_EQ(e2e::mask_times(one.log), e2e::mask_times(many.log));
            if (many.status != 255) {
                EXPECT_NE(std::string::npos, many.errors.find(" prediction_misses 0\n"));
            }
        }
    }
}

// Another process as a cluster has it, here: each call takes two jobs as
// bytes, analyses them and hands back their outcomes as bytes.
class InProcessSharer : public ObservedSharer {
  public:
    std::int32_t capacity() const override { return 3; }
    bool serve(const NextJob& next, const Arrived& arrived) override {
        std::vector<std::string> jobs;
        std::vector<std::int32_t> tickets;
        std::int32_t ticket = 0;
        std::string job;
        while (jobs.size() < 2 && next(ticket, job)) {
            tickets.push_back(ticket);
            jobs.push_back(job);
        }
        for (std::size_t i = 0; i < jobs.size(); ++i) {
            arrived(tickets[i], analyse_whole_job(jobs[i]));
        }
        taken += static_cast<std::int32_t>(jobs.size());
        return !jobs.empty();
    }
    void drain(const Arrived&) override {}
    std::int32_t taken = 0;
};

// Everything run_analysis writes and gathers, in this process.
struct InProcess {
    std::string report, console, errors, log, results;
};

InProcess analyse_in_process(const std::string& data, std::int32_t threads,
                             ObservedSharer* sharer) {
    std::ostringstream console;
    std::ostringstream errors;
    std::ostringstream log;
    std::streambuf* const saved_out = std::cout.rdbuf(console.rdbuf());
    std::streambuf* const saved_err = std::cerr.rdbuf(errors.rdbuf());
    error_log.open(&log);
    error_log.counters() = {};
    log_stream = &log;
    std::int32_t generator = -11;
    current_random_state() = RandomState{};
    random_uniform(generator);
    set_observed_sharer(sharer);

    RunResults results;
    results.seed = 11;
    results.phases_requested = true;
    results.hardy_weinberg_requested = true;
    results.bootstrap_replicates = 3;
    AnalysisOptions options;
    options.threads = threads;
    std::istringstream in(data);
    std::ostringstream report;
    run_analysis(in, report, options, results, nullptr);

    set_observed_sharer(nullptr);
    error_log.open(static_cast<std::ostream*>(nullptr));
    log_stream = &error_log.stream();
    std::cout.rdbuf(saved_out);
    std::cerr.rdbuf(saved_err);
    InProcess out{report.str(), console.str(), errors.str(), log.str(), ""};
    for (const SampleResults& sample : results.samples) {
        ObservedOutcome held;
        held.results = sample;
        // After the generator state, whose padding holds whatever it held.
        out.results += sample_codec::encode_observed_outcome(held).substr(sizeof(RandomState));
    }
    return out;
}

TEST(SideBySide, WholeSamplesElsewhereWriteWhatOneThreadWrites) {
    const std::string data = panel_like_file();
    const InProcess one = analyse_in_process(data, 1, nullptr);
    EXPECT_NE(std::string::npos, one.console.find(": no estimate, the likelihood is zero"));
    for (std::int32_t threads : {1, 2}) {
        SCOPED_TRACE(threads);
        InProcessSharer elsewhere;
        const InProcess whole = analyse_in_process(data, threads, &elsewhere);
        EXPECT_GT(elsewhere.taken, 0);
        EXPECT_EQ(one.report, whole.report);
        EXPECT_EQ(one.console, whole.console);
        EXPECT_EQ(one.errors, whole.errors);
        EXPECT_EQ(e2e::mask_times(one.log), e2e::mask_times(whole.log));
        EXPECT_EQ(one.results, whole.results);
    }
}

} // namespace
