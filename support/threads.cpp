#include "support/threads.h"

#include <algorithm>

namespace {
thread_local std::int32_t restart_thread_count = 1;
} // namespace

std::int32_t restart_threads() {
    return restart_thread_count;
}

RestartThreads::RestartThreads(std::int32_t threads) : _saved(restart_thread_count) {
    restart_thread_count = std::max(threads, 1);
}

RestartThreads::~RestartThreads() {
    restart_thread_count = _saved;
}
