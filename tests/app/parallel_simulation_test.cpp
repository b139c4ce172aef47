// The simulation test on worker threads: the output must not depend on the
// number of threads, and the generator must be positioned for each simulated
// sample exactly where a one-thread run would be.
#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <stdexcept>
#include <vector>

#include "app/sample_batch.h"
#include "app/sample_drawer.h"
#include "app/sample_replicas.h"
#include "app/simulation.h"
#include "io/data_file_reader.h"
#include "population/pop_pedigree.h"
#include "support/errors.h"
#include "support/random.h"
#include "support/run_stats.h"
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

// Console and log go to a sink while a test drives the simulation directly;
// the generator state is restored afterwards.
class DirectSimulation : public ::testing::Test {
  protected:
    void SetUp() override {
        _saved_log = log_stream;
        log_stream = &sink;
        set_console(&sink);
        _saved_state = current_random_state();
    }
    void TearDown() override {
        set_sample_analyser(nullptr);
        current_random_state() = _saved_state;
        set_console(nullptr);
        log_stream = _saved_log;
    }
    // The first sample of a test data file, analysed from a fixed seed; the
    // sample and the state its analysis starts from go to `setup` if given.
    std::unique_ptr<TPopPedigree> observed(const std::string& file,
                                           ObservedSetup* setup = nullptr) {
        std::int32_t seed = -4242;
        random_uniform(seed);
        std::istringstream in(e2e::read_data(file));
        DataFileReader reader(in);
        const RunParameters run = reader.read_run_parameters();
        const SampleDescription sample = reader.read_sample(reader.read_individual_count(1));
        if (setup != nullptr) {
            setup->sample = sample;
            setup->n_initial = run.n_initial;
            setup->start = current_random_state();
        }
        auto pop = std::make_unique<TPopPedigree>("Brand new pop");
        pop->analyse(sample, run.n_initial);
        return pop;
    }

    std::ostringstream sink;

  private:
    std::ostream* _saved_log = nullptr;
    RandomState _saved_state;
};

// Drawing a sample, then analysing it from the state saved after the draw,
// moves the generator by exactly the predicted number of deviates.
TEST_F(DirectSimulation, DeviatePredictionMatchesWhatTheAnalysisTakes) {
    const std::unique_ptr<TPopPedigree> pop = observed("parallel/fatal_in_simulation.mbd");
    for (std::int32_t initial : {0, 1, 3}) {
        SCOPED_TRACE(initial);
        SampleDrawer drawer(*pop, initial);
        drawer.begin(1, current_random_state());
        const std::vector<SimulatedSample> batch = drawer.take();
        const SimulatedSample& drawn = batch.at(0);
        EXPECT_TRUE(drawer.state() == drawn.expected);
        EXPECT_FALSE(drawn.start == drawn.expected);

        current_random_state() = drawn.start;
        TPopPedigree simulated("Brand new pop");
        simulated.analyse(drawn.sample, initial);
        EXPECT_TRUE(current_random_state() == drawn.expected);
    }
}

// Analyses each sample on the calling thread after one step of drawing the
// next batch, as rank 0 interleaves drawing with its messages: neither the
// drawing's generator state nor the analyses' may leak into the other.
class InterleavingAnalyser : public SampleAnalyser {
  public:
    std::int32_t batch_size() const override { return 3; }
    void prepare(SimulatedSample& sample) const override { sample.job = "ready"; }
    void analyse(std::vector<SimulatedSample>& batch, std::int32_t n_initial,
                 const SideWork& side_work) override {
        for (SimulatedSample& sample : batch) {
            EXPECT_EQ("ready", sample.job);
            side_work();
            analyse_buffered(sample, n_initial);
        }
        sizes.push_back(batch.size());
    }
    std::vector<std::size_t> sizes;
};

TEST_F(DirectSimulation, DrawingBetweenAnalysesGivesTheOneThreadReport) {
    std::ostringstream one_thread;
    run_simulation(*observed("simulation/untyped_parents.mbd"), 0.5, 8, 2, one_thread);
    InterleavingAnalyser interleaving;
    set_sample_analyser(&interleaving);
    std::ostringstream interleaved;
    run_simulation(*observed("simulation/untyped_parents.mbd"), 0.5, 8, 2, interleaved);
    EXPECT_EQ(one_thread.str(), interleaved.str());
    // A small first batch: nothing overlaps its drawing.
    EXPECT_EQ((std::vector<std::size_t>{1, 3, 3, 1}), interleaving.sizes);
}

// Pretends that the analysis of the third sample took one deviate more than
// predicted: the samples after it must be drawn again from where it left the
// generator, not taken from the batch drawn ahead.
class MissingAnalyser : public SampleAnalyser {
  public:
    std::int32_t batch_size() const override { return 3; }
    void analyse(std::vector<SimulatedSample>& batch, std::int32_t n_initial,
                 const SideWork& side_work) override {
        while (side_work()) {
        }
        for (SimulatedSample& sample : batch) {
            analyse_buffered(sample, n_initial);
            starts.push_back(sample.start);
            if (starts.size() == 3) {
                current_random_state() = sample.finished;
                std::int32_t seed = 1;
                random_uniform(seed);
                sample.finished = moved = current_random_state();
            }
        }
    }
    std::vector<RandomState> starts;
    RandomState moved;
};

TEST_F(DirectSimulation, AMissedPredictionDrawsTheNextSamplesAgain) {
    const std::unique_ptr<TPopPedigree> pop = observed("simulation/untyped_parents.mbd");
    MissingAnalyser missing;
    set_sample_analyser(&missing);
    std::ostringstream report;
    run_simulation(*pop, 0.5, 6, 2, report);
    // Batches: sample 1; samples 2 to 4, the third missing; samples 4 to 6 again.
    ASSERT_EQ(7U, missing.starts.size());
    SampleDrawer drawer(*pop, 2);
    drawer.begin(1, missing.moved);
    EXPECT_TRUE(drawer.take().at(0).start == missing.starts[4]);
    EXPECT_FALSE(missing.starts[3] == missing.starts[4]);
    EXPECT_NE(std::string::npos, report.str().find("\n     6 "));
}

// Draws each sample again on copies of the observed pedigree, last sample
// first, as the ranks of a cluster run do from the draw's start only.
class RedrawingAnalyser : public SampleAnalyser {
  public:
    explicit RedrawingAnalyser(ObservedSetup setup) : replicas(std::move(setup)) {}
    std::int32_t batch_size() const override { return 4; }
    void analyse(std::vector<SimulatedSample>& batch, std::int32_t n_initial,
                 const SideWork& side_work) override {
        while (side_work()) {
        }
        for (auto sample = batch.rbegin(); sample != batch.rend(); ++sample) {
            EXPECT_TRUE(sample->sample.records.empty());
            predicted += sample->predicted ? 1 : 0;
            ASSERT_TRUE(replicas.redraw(*sample)) << replicas.failure();
            analyse_buffered(*sample, n_initial);
        }
    }
    SampleReplicas replicas;
    int predicted = 0;
};

TEST_F(DirectSimulation, SamplesDrawnAgainOnCopiesGiveTheOneThreadReport) {
    // In the first file a later sample lacks an allele the first had: its
    // analysis takes fewer deviates than predicted, and the rest are drawn
    // here; in the second every prediction holds.
    const std::pair<const char*, std::int64_t> cases[] = {{"simulation/untyped_parents.mbd", 1},
                                                          {"parallel/warnings_in_log.mbd", 0}};
    for (const auto& [file, expected_misses] : cases) {
        SCOPED_TRACE(file);
        std::ostringstream one_thread;
        run_simulation(*observed(file), 0.5, 9, 2, one_thread);

        ObservedSetup setup;
        setup.id = 1;
        const std::unique_ptr<TPopPedigree> pop = observed(file, &setup);
        RedrawingAnalyser redrawing(setup);
        set_sample_analyser(&redrawing);
        std::ostringstream redrawn;
        const std::int64_t misses = run_stats().prediction_misses;
        run_simulation(*pop, 0.5, 9, 2, redrawn, nullptr, nullptr, setup.id);
        set_sample_analyser(nullptr);
        EXPECT_EQ(one_thread.str(), redrawn.str());
        EXPECT_EQ(expected_misses, run_stats().prediction_misses - misses);
        EXPECT_GT(redrawing.predicted, 0);

        // A copy that drew otherwise is caught, not analysed.
        SimulatedSample wrong;
        wrong.setup = 1;
        wrong.drawn_from = current_random_state();
        EXPECT_FALSE(redrawing.replicas.redraw(wrong));
        EXPECT_EQ("a simulated sample drawn again differs from the one drawn first",
                  redrawing.replicas.failure());
    }
}

// An analyser that loses its batch (another process failed): the report
// says where the run stopped, and the run stops with a fatal message.
class LosingAnalyser : public SampleAnalyser {
  public:
    std::int32_t batch_size() const override { return 4; }
    void analyse(std::vector<SimulatedSample>&, std::int32_t, const SideWork&) override {
        throw std::runtime_error("rank 2 is gone");
    }
};

TEST_F(DirectSimulation, AFailedBatchStopsTheRunAndSaysWhere) {
    const std::unique_ptr<TPopPedigree> pop = observed("parallel/warnings_in_log.mbd");
    LosingAnalyser losing;
    set_sample_analyser(&losing);
    std::ostringstream report;
    EXPECT_THROW(run_simulation(*pop, 1.0, 6, 1, report), FatalError);
    EXPECT_NE(std::string::npos,
              report.str().find("\nRun stopped before simulated sample 1: rank 2 is gone\n"));
    EXPECT_NE(std::string::npos, sink.str().find("run_simulation : rank 2 is gone\n"));
}

} // namespace
