#pragma once

#include <cstdint>
#include <functional>
#include <ostream>
#include <string>

// Sign of life during a simulation test: one line on standard error,
// rewritten in place, with the samples done, the time spent and an estimate
// of the time left. Silent unless the stream is a terminal, so redirected
// output never fills with carriage returns.
class Progress {
  public:
    using Clock = std::function<std::int64_t()>; // milliseconds, any origin

    Progress(std::ostream& os, bool terminal, Clock clock);
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;
    // A run stopped mid-test leaves no half line behind.
    ~Progress() { finish(); }

    void start(const std::string& sample, std::int32_t total);
    void advance(std::int32_t done);
    // Clears the line, leaving the terminal as it was.
    void finish();

    // "m:ss", or "h:mm:ss" from an hour on.
    static std::string duration(std::int64_t ms);

  private:
    void show(std::int32_t done);

    std::ostream& _os;
    bool _terminal;
    Clock _clock;
    std::string _sample;
    std::int32_t _total = 0;
    std::int64_t _started = 0;
    std::int64_t _shown = 0;
    std::size_t _width = 0; // length of the line on screen
};
