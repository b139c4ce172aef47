#pragma once

#include <cstdint>

// Threads that the EM of an analysis on the calling thread may use to run its
// random initial conditions side by side: 1 unless a RestartThreads object
// alive on this thread says otherwise. A thread that is itself one of several
// workers keeps 1, so that the machine is not oversubscribed.
std::int32_t restart_threads();

class RestartThreads {
  public:
    explicit RestartThreads(std::int32_t threads);
    ~RestartThreads();
    RestartThreads(const RestartThreads&) = delete;
    RestartThreads& operator=(const RestartThreads&) = delete;

  private:
    std::int32_t _saved;
};
