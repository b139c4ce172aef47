#pragma once

#include <cstdint>
#include <fstream>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

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
// Where the calling thread writes progress lines of the log: the log file's
// stream on the main thread, a capture buffer on a worker thread.
extern thread_local std::ostream* log_stream;

// Console output of the calling thread: standard output, or a worker's buffer.
std::ostream& console();
void set_console(std::ostream* stream);

// What a worker thread would have written to the log, in order, so that the
// main thread can replay it with the right message numbers.
struct MessageCapture {
    struct Event {
        std::string text_before; // progress text written before the message
        std::string text;
        int level;
    };
    std::vector<Event> events;
    std::ostringstream progress; // the worker's log_stream
    bool fatal = false;

    void replay(std::ostream& log);
};

// Thrown on a worker thread instead of stopping the program: the fatal message
// is kept in the capture and replayed by the main thread, which stops there.
struct WorkerFatal {};

// Routes the calling thread's messages into `capture` (null: to the log).
void set_message_capture(MessageCapture* capture);

// Prints `text` and a newline on the console (and a hint line, if any, that
// only the console shows), then reports `text` as fatal.
[[noreturn]] void fatal_input_error(const std::string& text, const std::string& hint = "");
