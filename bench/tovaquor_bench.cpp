// Timing of the two hot spots of an analysis on generated data of growing
// size: one EM iteration over the stored combinations, and the building of
// those combinations. Whole-program timings are bench/run.sh's job.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <iostream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <tuple>

#include "app/sample_batch.h"
#include "app/sample_codec.h"
#include "app/sample_drawer.h"
#include "bench/generate_data.h"
#include "io/data_file_reader.h"
#include "pedigree/ped_db.h"
#include "population/pop_pedigree.h"
#include "support/errors.h"
#include "support/random.h"
#include "support/run_stats.h"

namespace {

// What the EM reads per stored combination of a family: two genotype slots, a
// factor code and the haplotype looked up by the expectation step (see
// CompactCombinations). About one combination in ten also reads a 20-byte
// record; the probabilities passed between the two steps stay in cache.
constexpr double kBytesWalkedPerCombination = 3 * sizeof(std::uint32_t) + sizeof(std::uint8_t);

// The simulated samples of the per-sample cases: initial conditions of each
// analysis (as in bench/mpi_scaling.sh), and how many are drawn to analyse in turn.
constexpr std::int32_t kSimulatedInitial = 5;
constexpr std::size_t kDrawnSamples = 8;

struct DataCase {
    int families;
    int alleles;         // at each of the two loci
    int untyped_percent; // share of parent places left out of the file
    int sibs_min;
    int sibs_max;
    bool fast = false; // summed over passed-on haplotypes (--fast)

    auto key() const {
        return std::tie(families, alleles, untyped_percent, sibs_min, sibs_max, fast);
    }
    bool operator<(const DataCase& other) const { return key() < other.key(); }
};

// Console dots, summary lines and log progress go to a sink while a sample is
// analysed, so that the benchmark's own output stays readable.
class Silenced {
  public:
    Silenced() : _cout(std::cout.rdbuf(_sink.rdbuf())), _log(log_stream) {
        set_console(&_sink);
        log_stream = &_sink;
    }
    ~Silenced() {
        log_stream = _log;
        set_console(nullptr);
        std::cout.rdbuf(_cout);
    }
    Silenced(const Silenced&) = delete;
    Silenced& operator=(const Silenced&) = delete;

  private:
    std::ostringstream _sink;
    std::streambuf* _cout;
    std::ostream* _log;
};

// Generates one sample, reads it and runs the analysis with no random initial
// condition: the combinations are built and the linkage-equilibrium
// likelihood computed, but no EM run is made. The sample's HaplDB then holds
// the equilibrium frequencies, from which further iterations start.
std::unique_ptr<TPopPedigree> analyse_generated(const DataCase& c) {
    datagen::Options options;
    options.families = c.families;
    options.alleles[0] = c.alleles;
    options.alleles[1] = c.alleles;
    options.untyped_share = c.untyped_percent / 100.0;
    options.sibs_min = c.sibs_min;
    options.sibs_max = c.sibs_max;
    options.singles = 0;
    options.ld = datagen::Linkage::moderate;
    options.seed = 20260;
    std::ostringstream text;
    datagen::write_data_file(text, options);

    std::istringstream is(text.str());
    DataFileReader reader(is);
    reader.read_run_parameters();
    const SampleDescription sample = reader.read_sample(reader.read_individual_count(1));

    AnalysisOptions analysis;
    analysis.engine = c.fast ? EngineKind::summed : EngineKind::listed;
    auto pop = std::make_unique<TPopPedigree>("Brand new pop", analysis);
    const Silenced silenced;
    std::int32_t seed = -1;
    random_uniform(seed);
    pop->analyse(sample, 0);
    return pop;
}

// Each data set is generated and analysed once per process, however many
// times the benchmark library calls a case.
TPopPedigree& analysed(const DataCase& c) {
    static std::map<DataCase, std::unique_ptr<TPopPedigree>> cache;
    auto& entry = cache[c];
    if (!entry) {
        entry = analyse_generated(c);
    }
    return *entry;
}

DataCase case_from(const benchmark::State& state) {
    return DataCase{static_cast<int>(state.range(0)), static_cast<int>(state.range(1)),
                    static_cast<int>(state.range(2)), static_cast<int>(state.range(3)),
                    static_cast<int>(state.range(4))};
}

// The same with the summed engine, the program's default.
DataCase summed_case_from(const benchmark::State& state) {
    DataCase c = case_from(state);
    c.fast = true;
    return c;
}

// One EM iteration as the estimation runs it: the likelihood pass (which also
// forms the expected counts) and the step that turns them into frequencies.
void BM_EmIteration(benchmark::State& state) {
    TPopPedigree& pop = analysed(case_from(state));
    TPedDB& peds = pop.PedDB;
    for (auto _ : state) {
        benchmark::DoNotOptimize(peds.calc_ln_likelihood());
        peds.add_expected_counts(pop.HaplDB);
        benchmark::ClobberMemory();
    }
    const auto combinations = static_cast<double>(peds.n_compact_combinations());
    state.counters["combinations"] = combinations;
    state.counters["MB_walked"] = combinations * kBytesWalkedPerCombination / 1.0e6;
    // Processor time per stored combination per iteration.
    state.counters["per_combination"] = benchmark::Counter(
        combinations, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// The same iteration with the summed engine: a few phase configurations per family
// instead of its combinations, then the free copies spread over every
// haplotype, so the time per family, not per combination, is the measure.
void BM_SummedEmIteration(benchmark::State& state) {
    const DataCase c = summed_case_from(state);
    TPopPedigree& pop = analysed(c);
    TPedDB& peds = pop.PedDB;
    for (auto _ : state) {
        benchmark::DoNotOptimize(peds.calc_ln_likelihood());
        peds.add_expected_counts(pop.HaplDB);
        benchmark::ClobberMemory();
    }
    state.counters["configurations"] = static_cast<double>(peds.n_compact_combinations());
    state.counters["haplotypes"] = pop.HaplDB.size();
    state.counters["per_family"] = benchmark::Counter(
        c.families, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// Building the genotypic combinations of every pedigree, as the analysis does
// after reading: fresh pedigree structures over the sample's individuals,
// then the timed build (which ends with the packed copy the EM walks).
void BM_BuildCombinations(benchmark::State& state) {
    const DataCase c = case_from(state);
    TPopPedigree& pop = analysed(c);
    const std::size_t expected = pop.PedDB.n_compact_combinations();
    for (auto _ : state) {
        state.PauseTiming();
        pop.PhenPedDB.reset_parent_flags();
        auto peds = std::make_unique<TPedDB>();
        peds->_sample_name = pop.Name;
        peds->build_pedigree_structures(pop.PhenPedDB);
        peds->find_redundant_pedigrees();
        peds->normalise_weights();
        state.ResumeTiming();
        peds->build_all_genotypic_combinations(pop.HaplDB, pop.SmallGenDB, -1, 0);
        state.PauseTiming();
        const bool same = peds->n_compact_combinations() == expected;
        peds.reset();
        state.ResumeTiming();
        if (!same) {
            state.SkipWithError("the rebuilt combinations differ from the analysis's");
            break;
        }
    }
    state.counters["combinations"] = static_cast<double>(expected);
    state.counters["per_family"] = benchmark::Counter(
        c.families, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// Arguments: families, alleles per locus, per cent of parents untyped, and
// the range of sibs per family. The last EM case holds tens of megabytes of
// packed combinations, far beyond the caches of the development machine.
void em_cases(benchmark::internal::Benchmark* b) {
    b->ArgNames({"families", "alleles", "untyped", "sibs_min", "sibs_max"});
    b->Args({100, 6, 30, 2, 4});
    b->Args({500, 6, 30, 2, 4});
    b->Args({2000, 7, 40, 2, 3});
    b->Args({3000, 8, 50, 2, 2});
    b->Args({5000, 8, 50, 2, 2});
    b->Args({8000, 8, 50, 2, 2});
}

// The exact engine's cases, then the 2-sib series with half the parents
// absent that it cannot reach (60 alleles: millions of combinations a family).
void summed_cases(benchmark::internal::Benchmark* b) {
    em_cases(b);
    for (const int alleles : {15, 20, 30, 60}) {
        b->Args({alleles == 60 ? 1000 : 300, alleles, 50, 2, 2});
    }
}

void build_cases(benchmark::internal::Benchmark* b) {
    b->ArgNames({"families", "alleles", "untyped", "sibs_min", "sibs_max"});
    for (const int untyped : {0, 40}) {
        b->Args({500, 6, untyped, 2, 4});
        b->Args({2000, 6, untyped, 2, 4});
    }
    b->Args({2000, 8, 50, 2, 2});
}

} // namespace

// What the process that writes the report spends on each simulated sample,
// in the order SampleDrawer and an MPI rank 0 spend it: drawing the genotypes,
// summarising the draw (the deviates its analysis takes, by which the
// generator is moved, and the fingerprint of the drawn alleles), and, when
// the sample goes to another rank, encoding the job (where the draw starts)
// and decoding the outcome. The counters give each part's processor
// milliseconds per sample; the analyses run elsewhere, so these bound how
// many threads or ranks one drawing thread can keep busy. `describe_ms` is
// what a rank adds to draw the sample again: describing it for its analysis.
void BM_DrawForAnotherRank(benchmark::State& state) {
    TPopPedigree& pop = analysed(summed_case_from(state));
    const std::string outcome = sample_codec::encode_outcomes(std::vector<SimulatedSample>(1));
    constexpr int kParts = 5;
    std::int64_t parts[kParts] = {};
    std::size_t bytes = 0;
    for (auto _ : state) {
        std::int64_t at = thread_cpu_nanoseconds();
        int part = 0;
        auto lap = [&] {
            const std::int64_t now = thread_cpu_nanoseconds();
            parts[part++] += now - at;
            at = now;
        };
        SimulatedSample job;
        job.setup = 1;
        job.drawn_from = current_random_state();
        pop.draw_random_sample();
        lap();
        job.start = current_random_state();
        const DrawSummary summary = pop.summarise_draw(kSimulatedInitial);
        job.fingerprint = summary.fingerprint;
        std::int32_t seed = 1;
        for (std::int64_t k = 0; k < summary.deviates; ++k) {
            random_uniform(seed);
        }
        lap();
        const std::string message =
            sample_codec::jobs_message(kSimulatedInitial, {sample_codec::encode_job(job)});
        lap();
        SimulatedSample back;
        sample_codec::decode_outcomes(outcome, {&back});
        lap();
        benchmark::DoNotOptimize(pop.describe_random_sample());
        lap();
        bytes = message.size();
        benchmark::DoNotOptimize(message.data());
    }
    const char* names[kParts] = {"draw_ms", "summarise_ms", "encode_ms", "decode_ms",
                                 "describe_ms"};
    for (int k = 0; k < kParts; ++k) {
        state.counters[names[k]] =
            static_cast<double>(parts[k]) / 1e6 / static_cast<double>(state.iterations());
    }
    state.counters["job_bytes"] = static_cast<double>(bytes);
}

// What rank 0 spends on each sample while its draws are predicted (the
// first of a run drawn and summarised, the others only moved past): per
// sample of a batch of 100, encoding each job included.
void BM_PredictForAnotherRank(benchmark::State& state) {
    TPopPedigree& pop = analysed(summed_case_from(state));
    constexpr std::int32_t kBatch = 100;
    class Encoding : public SampleAnalyser {
      public:
        std::int32_t batch_size() const override { return kBatch; }
        void prepare(SimulatedSample& sample) const override {
            sample.job = sample_codec::encode_job(sample);
        }
        void analyse(std::vector<SimulatedSample>&, std::int32_t, const SideWork&) override {}
    } encoding;
    std::int64_t spent = 0;
    for (auto _ : state) {
        const std::int64_t at = thread_cpu_nanoseconds();
        SampleDrawer drawer(pop, kSimulatedInitial, &encoding, 1);
        drawer.begin(kBatch, current_random_state());
        benchmark::DoNotOptimize(drawer.take());
        spent += thread_cpu_nanoseconds() - at;
    }
    state.counters["per_sample_ms"] =
        static_cast<double>(spent) / 1e6 / kBatch / static_cast<double>(state.iterations());
}

// The analysis of one drawn sample, as a worker does it, with the default
// engine and the initial conditions of the scaling case: what one sample
// costs a thread or rank.
void BM_AnalyseDrawnSample(benchmark::State& state) {
    TPopPedigree& pop = analysed(summed_case_from(state));
    SampleDrawer drawer(pop, kSimulatedInitial);
    drawer.begin(static_cast<std::int32_t>(kDrawnSamples), current_random_state());
    const std::vector<SimulatedSample> samples = drawer.take();
    std::size_t next = 0;
    const Silenced silenced;
    for (auto _ : state) {
        const SimulatedSample& sample = samples[next++ % samples.size()];
        current_random_state() = sample.start;
        benchmark::DoNotOptimize(analyse_sample(sample.sample, kSimulatedInitial, sample.options));
    }
}

BENCHMARK(BM_EmIteration)->Apply(em_cases)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SummedEmIteration)->Apply(summed_cases)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DrawForAnotherRank)->Args({1000, 6, 30, 1, 4})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PredictForAnotherRank)->Args({1000, 6, 30, 1, 4})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AnalyseDrawnSample)->Args({1000, 6, 30, 1, 4})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BuildCombinations)->Apply(build_cases)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
