#include "support/run_stats.h"

#include <cstdlib>
#include <ctime>

RunStats& run_stats() {
    static RunStats stats;
    return stats;
}

bool run_stats_wanted() {
    static const bool wanted = std::getenv("TOVAQUOR_STATS") != nullptr;
    return wanted;
}

void RunStats::print(std::ostream& os) const {
    const std::int64_t visits = combination_visits.load();
    const double ns = static_cast<double>(em_nanoseconds.load());
    os << "stats: combinations " << combinations.load() << " em_iterations " << em_iterations.load()
       << " ns_per_combination_iteration " << (visits > 0 ? ns / static_cast<double>(visits) : 0.0)
       << " prediction_misses " << prediction_misses.load() << "\n";
}

std::int64_t thread_cpu_nanoseconds() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<std::int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

std::int64_t& helper_em_nanoseconds() {
    thread_local std::int64_t nanoseconds = 0;
    return nanoseconds;
}
