#include "support/threads.h"

#include <algorithm>
#include <cstdlib>
#include <thread>

namespace {
thread_local std::int32_t restart_thread_count = 1;
} // namespace

std::int32_t worker_threads() {
    if (const char* value = std::getenv("TOVAQUOR_THREADS")) {
        char* end = nullptr;
        const long n = std::strtol(value, &end, 10);
        if (end != value && *end == '\0' && n >= 1) {
            return static_cast<std::int32_t>(std::min<long>(n, 256));
        }
    }
    const unsigned hardware = std::thread::hardware_concurrency();
    return hardware == 0 ? 1 : static_cast<std::int32_t>(hardware);
}

std::int32_t restart_threads() {
    return restart_thread_count;
}

RestartThreads::RestartThreads(std::int32_t threads) : _saved(restart_thread_count) {
    restart_thread_count = std::max(threads, 1);
}

RestartThreads::~RestartThreads() {
    restart_thread_count = _saved;
}
