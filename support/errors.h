#pragma once

#include <cstdint>
#include <fstream>
#include <ostream>
#include <string>

// The program's message log: numbered warnings, errors and fatal messages.
// A fatal message (level 99) stops the program with exit status -1.
class Errors {
  public:
    static constexpr int kWarning = 0;
    static constexpr int kContinuation = 3;
    static constexpr int kInfo = 10;
    static constexpr int kFatal = 99;

    // Creates or truncates the log file. The log counts as open even when the
    // file cannot be created; its output is then lost.
    void open(const char* file_name);
    // Writes one numbered line; does not return for level 99.
    void report(const std::string& text, int level);

    bool is_open() const { return opened != 0; }
    std::ostream& stream() { return *out; }

    // Redirects the log into another stream (used to capture a worker's messages);
    // returns the previous one.
    std::ostream* redirect(std::ostream* target);
    // The counters, so that captured messages can be replayed with the right numbers.
    struct Counters {
        std::int32_t message = 1;
        std::int32_t warning = 1;
        std::int32_t error = 1;
        std::string previous;
    };
    Counters& counters() { return count; }

    // Streams flushed before a fatal stop, so that nothing written before it is lost.
    void flush_on_fatal(std::ostream* report) { fatal_flush = report; }

  private:
    std::int32_t opened = 0;
    std::ofstream file;
    std::ostream* out = &file;
    Counters count;
    std::ostream* fatal_flush = nullptr;
};

extern Errors error_log;
extern const char* log_file_name;
extern std::ostream* log_stream;

// Prints `text` and a newline on the console, then reports it as fatal.
[[noreturn]] void fatal_input_error(const std::string& text);
