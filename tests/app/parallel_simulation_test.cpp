// The simulation test on worker threads: the output must not depend on the
// number of threads, and the generator must be positioned for each simulated
// sample exactly where a one-thread run would be.
#include <gtest/gtest.h>

#include <sstream>
#include <stdexcept>
#include <utility>
#include <vector>

#include "app/sample_batch.h"
#include "app/simulation.h"
#include "io/data_file_reader.h"
#include "population/pop_pedigree.h"
#include "support/errors.h"
#include "support/random.h"
#include "tests/harness/e2e_harness.h"

namespace {

struct Case {
    const char* file;
    const char* memory_mb; // "" for no limit; a limit is run with the listing engine
    int status;
};

// Names the case in test output (the default printer dumps raw bytes).
void PrintTo(const Case& c, std::ostream* os) {
    *os << c.file;
}

class ThreadCount : public ::testing::TestWithParam<Case> {};

e2e::Result run_with(const Case& c, const char* threads) {
    e2e::Env env{{"TOVAQUOR_THREADS", threads}};
    if (*c.memory_mb != '\0') {
        env.emplace_back("TOVAQUOR_MAX_MEMORY_MB", c.memory_mb);
    }
    // The limit is one the listing engine's combinations pass.
    std::vector<std::string> args{"data", "3"};
    if (*c.memory_mb != '\0') {
        args.insert(args.begin(), "--listed");
    }
    return e2e::run({args,
                     "",
                     {{"data.mbd", e2e::read_data(std::string("parallel/") + c.file)}},
                     env,
                     "data.mbr"});
}

TEST_P(ThreadCount, GivesTheSameReportConsoleAndLog) {
    const Case& c = GetParam();
    const e2e::Result one = run_with(c, "1");
    ASSERT_EQ(c.status, one.status) << one.console;
    for (const char* threads : {"2", "3", "4"}) {
        SCOPED_TRACE(std::string("threads ") + threads);
        const e2e::Result many = run_with(c, threads);
        EXPECT_EQ(one.status, many.status);
        EXPECT_EQ(one.console, many.console);
        EXPECT_EQ(e2e::mask_times(one.report), e2e::mask_times(many.report));
        EXPECT_EQ(e2e::mask_times(one.log), e2e::mask_times(many.log));
    }
}

INSTANTIATE_TEST_SUITE_P(Parallel, ThreadCount,
                         ::testing::Values(
                             // An inconsistent family (numbered warnings in the log, no estimate,
                             // so status 2), then a sample whose simulations come after them.
                             Case{"warnings_in_log.mbd", "", 2},
                             // With this limit the observed sample fits, and the fifth simulated
                             // sample stops the run: the rows before it, its console lines and the
                             // fatal message must come out as in one thread, and nothing after it.
                             Case{"fatal_in_simulation.mbd", "1", 255}));

TEST(ThreadCount, FatalInASimulatedSampleKeepsTheEarlierRows) {
    const e2e::Result r = run_with({"fatal_in_simulation.mbd", "1", 255}, "2");
    EXPECT_NE(r.report.find("\n     4 "), std::string::npos);
    EXPECT_EQ(r.report.find("\n     5 "), std::string::npos);
    EXPECT_EQ(r.report.find("Total computing time"), std::string::npos);
    EXPECT_NE(r.log.find("needs more than"), std::string::npos);
}

// Drawing a sample, then analysing it from the state saved after the draw,
// moves the generator by exactly the predicted number of deviates.
TEST(DeviatePrediction, MatchesWhatTheAnalysisTakes) {
    std::ostringstream sink;
    std::ostream* saved_log = log_stream;
    log_stream = &sink;
    set_console(&sink);
    const RandomState saved = current_random_state();
    std::int32_t seed = -4242;
    random_uniform(seed);

    const std::string data = e2e::read_data("parallel/fatal_in_simulation.mbd");
    std::istringstream in(data);
    DataFileReader reader(in);
    const RunParameters run = reader.read_run_parameters();
    TPopPedigree observed("Brand new pop");
    observed.analyse(reader.read_sample(reader.read_individual_count(1)), run.n_initial);

    for (std::int32_t initial : {0, 1, 3}) {
        SCOPED_TRACE(initial);
        observed.draw_random_sample();
        const SampleDescription sample = observed.describe_random_sample();
        const std::int64_t predicted = TPopPedigree::deviates_needed(sample, initial);

        const RandomState before = current_random_state();
        std::int32_t one = 1;
        for (std::int64_t k = 0; k < predicted; ++k) {
            random_uniform(one);
        }
        const RandomState expected = std::exchange(current_random_state(), before);

        TPopPedigree simulated("Brand new pop");
        simulated.analyse(sample, initial);
        EXPECT_TRUE(current_random_state() == expected);
        EXPECT_GT(predicted, 0);
    }

    current_random_state() = saved;
    set_console(nullptr);
    log_stream = saved_log;
}

// An analyser that loses its batch (another process failed): the report
// says where the run stopped, and the run stops with a fatal message.
class LosingAnalyser : public SampleAnalyser {
  public:
    std::int32_t batch_size() const override { return 4; }
    void analyse(std::vector<SimulatedSample>&, std::int32_t) override {
        throw std::runtime_error("rank 2 is gone");
    }
};

TEST(SampleAnalyser, AFailedBatchStopsTheRunAndSaysWhere) {
    std::ostringstream sink;
    std::ostream* saved_log = log_stream;
    log_stream = &sink;
    set_console(&sink);
    std::istringstream in(e2e::read_data("parallel/warnings_in_log.mbd"));
    DataFileReader reader(in);
    const RunParameters run = reader.read_run_parameters();
    TPopPedigree observed("Brand new pop");
    observed.analyse(reader.read_sample(reader.read_individual_count(1)), run.n_initial);

    LosingAnalyser losing;
    set_sample_analyser(&losing);
    std::ostringstream report;
    EXPECT_THROW(run_simulation(observed, 1.0, 6, 1, report), FatalError);
    set_sample_analyser(nullptr);
    set_console(nullptr);
    log_stream = saved_log;
    EXPECT_NE(std::string::npos,
              report.str().find("\nRun stopped before simulated sample 1: rank 2 is gone\n"));
    EXPECT_NE(std::string::npos, sink.str().find("run_simulation : rank 2 is gone\n"));
}

} // namespace
