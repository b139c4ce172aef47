#pragma once

#include <cstdint>
#include <fstream>
#include <ostream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

// A condition that stops the run. Its message is already in the log (and on
// the console where the condition calls for it) when it is thrown; only the
// entry point catches it, and the process ends with `status()`.
class FatalError : public std::runtime_error {
  public:
    static constexpr int kStatus = 255;

    explicit FatalError(const std::string& message, int status = kStatus)
        : std::runtime_error(message), _status(status) {}
    int status() const { return _status; }

  private:
    int _status;
};

// The program's message log: numbered warnings, errors and fatal messages.
// A fatal message (level 99) is written, then thrown as a FatalError.
class Errors {
  public:
    static constexpr int kWarning = 0;
    static constexpr int kContinuation = 3;
    static constexpr int kInfo = 10;
    static constexpr int kFatal = 99;

    // Creates or truncates the log file. The log counts as open even when the
    // file cannot be created; its output is then lost.
    void open(const char* file_name);
    // Writes the log into `target` instead (a file that is put in place at the
    // end of the run); a null target loses the output, as above.
    void open(std::ostream* target);
    // Writes one numbered line; throws FatalError after a level-99 line. Before
    // the log is opened, reports of every level are ignored.
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

// Routes the calling thread's console into `stream` while it lives, then
// back to where it went before, whatever ends the scope.
class ScopedConsole {
  public:
    explicit ScopedConsole(std::ostream* stream);
    ~ScopedConsole();
    ScopedConsole(const ScopedConsole&) = delete;
    ScopedConsole& operator=(const ScopedConsole&) = delete;

  private:
    std::ostream* _previous;
};

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

    // Writes the events through the log; a captured fatal message throws
    // there, on the replaying thread.
    void replay(std::ostream& log);
};

// Routes the calling thread's messages into `capture` (null: to the log).
void set_message_capture(MessageCapture* capture);

// Prints `text` and a newline on the console (and a hint line, if any, that
// only the console shows), then reports `text` as fatal (which throws).
[[noreturn]] void fatal_input_error(const std::string& text, const std::string& hint = "");
