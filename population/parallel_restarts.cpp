#include "population/parallel_restarts.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <new>
#include <thread>

#include "support/run_stats.h"

ParallelRestarts::ParallelRestarts(const LikelihoodEngine& engine,
                                   const std::vector<TPedigree>& pedigrees,
                                   std::vector<std::vector<double>> starts,
                                   std::int32_t max_iterations, double tolerance,
                                   std::int32_t threads)
    : _results(starts.size()) {
    const auto n = static_cast<std::int64_t>(starts.size());
    std::atomic<std::int64_t> next{0};
    // Runs after the first irregular one are of no use.
    std::atomic<std::int64_t> first_irregular{n};
    std::atomic<std::int64_t> helper_ns{0};
    std::mutex last_mutex;
    auto work = [&] {
        try {
            std::unique_ptr<LikelihoodEngine::Scratch> w = engine.scratch();
            for (std::int64_t k = next++; k < n && k < first_irregular.load(); k = next++) {
                Result& r = _results[static_cast<std::size_t>(k)];
                r.frequencies = std::move(starts[static_cast<std::size_t>(k)]);
                LikelihoodEngine::EmRun run;
                r.regular =
                    engine.run_em(*w, pedigrees, r.frequencies, max_iterations, tolerance, run);
                r.ln_l = run.ln_l;
                r.iterations = run.iterations;
                if (!r.regular) {
                    std::int64_t seen = first_irregular.load();
                    while (k < seen && !first_irregular.compare_exchange_weak(seen, k)) {
                    }
                } else if (k == n - 1) {
                    // The last run: this thread takes no other.
                    const std::lock_guard<std::mutex> lock(last_mutex);
                    _last = std::move(w);
                    break;
                }
            }
        } catch (const std::bad_alloc&) {
            // Whatever this thread had not finished stays irregular; the
            // database runs it again, where running out of memory is reported.
            first_irregular = 0;
        }
    };
    std::vector<std::thread> helpers;
    for (std::int32_t t = 1; t < threads && t < n; ++t) {
        helpers.emplace_back([&] {
            const std::int64_t start = thread_cpu_nanoseconds();
            work();
            helper_ns += thread_cpu_nanoseconds() - start;
        });
    }
    work();
    for (std::thread& helper : helpers) {
        helper.join();
    }
    _helper_nanoseconds = helper_ns.load();
    // A run after an irregular one may have been made before it was known:
    // it is run again all the same, in order.
    const std::int64_t stop = first_irregular.load();
    for (std::int64_t k = stop; k < n; ++k) {
        _results[static_cast<std::size_t>(k)].regular = false;
    }
}
