#include "app/entry.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <limits>
#include <new>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "app/driver.h"
#include "app/progress.h"
#include "app/run_outputs.h"
#include "app/run_summary.h"
#include "report/html_report.h"
#include "report/report_writer.h"
#include "report/tables.h"
#include "support/clock.h"
#include "support/display_text.h"
#include "support/errors.h"
#include "support/folder_lock.h"
#include "support/random.h"
#include "support/run_stats.h"

namespace {

const char* const kTitle = "Tovaquor";
// The exit status of a run in which some sample got no estimate.
constexpr int kNoEstimateStatus = 2;

void print_banner() {
    const std::string title = kTitle;
    std::cout << "\n\t\t" << title << "\n"
              << "\t\t" << std::string(title.size(), '-') << "\n\n";
}

void print_usage() {
    std::cout << app::usage_text();
}

// Ends the run when standard input closes before both answers were given.
struct NoInput {};

[[noreturn]] void no_input() {
    std::cout << "\n"
              << "No input, program terminated !"
              << "\n";
    std::cout.flush();
    throw NoInput{};
}

std::int32_t prompt_seed() {
    for (;;) {
        std::cout << "Seed for random number generator : ";
        std::cout.flush();
        long long value = 0;
        if (std::cin >> value) {
            return static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
        }
        if (std::cin.eof()) {
            no_input();
        }
        // Drop the rest of the refused line; the prompt then shows again, and
        // an input that ended meanwhile is noticed there.
        std::cin.clear();
        std::cin.ignore(std::numeric_limits<std::streamsize>::max(), '\n');
    }
}

// The progress line goes to standard error when it is a terminal, unless the
// console is written to that same terminal: its lines would tear the line
// rewritten in place, and they are a sign of life of their own.
bool show_progress() {
    if (isatty(STDERR_FILENO) == 0) {
        return false;
    }
    struct stat out {};
    struct stat err {};
    return isatty(STDOUT_FILENO) == 0 || fstat(STDOUT_FILENO, &out) != 0 ||
           fstat(STDERR_FILENO, &err) != 0 || out.st_rdev != err.st_rdev;
}

// A message as one line of standard error: surrounding line breaks dropped,
// inner ones as blanks, other control bytes escaped, so that a name in it
// cannot move the terminal's cursor or colours.
std::string printable(const std::string& text) {
    const std::size_t first = text.find_first_not_of("\r\n");
    if (first == std::string::npos) {
        return {};
    }
    std::string line = text.substr(first, text.find_last_not_of("\r\n") - first + 1);
    std::replace_if(
        line.begin(), line.end(), [](char c) { return c == '\n' || c == '\r'; }, ' ');
    return display_text::for_terminal(line);
}

std::int64_t steady_ms() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Writes the tables and the page of a run, puts every file of the run in
// place, and writes the summary on standard error; false when a file could
// not be written.
bool write_outputs(const app::CommandLine& command, RunOutputs& outputs, const std::string& base,
                   const std::string& report_name, const RunResults& results) {
    std::vector<std::pair<std::string, std::string>> files = {{"Report", report_name}};
    if (command.tables) {
        std::string names;
        for (const tables::Table& table : tables::all(base)) {
            std::string reason;
            if (std::ostream* os = outputs.open("table", table.file_name, reason)) {
                table.write(*os, results);
            }
            names += (names.empty() ? "" : ", ") + table.file_name;
        }
        files.emplace_back("Tables", names);
    }
    if (command.phases) {
        const std::string name = tables::phases_file_name(base);
        std::string reason;
        if (std::ostream* os = outputs.open("table", name, reason)) {
            tables::write_phases(*os, results);
        }
        files.emplace_back("Phases", name);
    }
    if (command.html) {
        const std::string page = base + ".html";
        std::string reason;
        if (std::ostream* os = outputs.open("page", page, reason)) {
            html_report::write(*os, results);
        }
        files.emplace_back("Page", page);
    }
    std::ostringstream failures;
    const bool written = outputs.commit(failures);
    write_run_summary(std::cerr, results, written ? files : decltype(files){});
    std::cerr << failures.str() << std::flush;
    return written;
}

} // namespace

std::int32_t parse_seed_argument(const std::string& text) {
    const long long value = std::strtoll(text.c_str(), nullptr, 10);
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(static_cast<std::uint64_t>(value)));
}

namespace {

// What the run has produced so far, kept where a fatal stop can still reach it.
struct RunState {
    std::string base;
    std::string report_name;
    bool analysing = false; // the report is open and the analysis has begun
    RunResults results;
    RunOutputs outputs;
    std::optional<FolderLock> lock;
};

int run(const app::CommandLine& command, RunState& state) {
    const std::vector<std::string>& args = command.arguments;
    if (args.size() == 1 && !command.options_ended) {
        const std::string& arg = args[0];
        if (arg == "-h" || arg == "--help") {
            print_usage();
            return 0;
        }
        if (arg == "--version") {
            std::cout << "tovaquor " << TOVAQUOR_VERSION << "\n";
            return 0;
        }
    }
    // The log and the reports have fixed names: one run per folder at a time.
    if (!state.lock.emplace(".").acquired()) {
        std::cerr << "tovaquor: another run is using this folder (its mirbo.log); nothing was "
                     "written. Wait for it to end, or run in another folder.\n";
        return 1;
    }
    std::string reason;
    error_log.open(state.outputs.open("log", log_file_name, reason));
    if (!reason.empty()) {
        std::cerr << "Warning: unable to create the log file " << log_file_name
                  << "; messages will not be kept (" << reason << ")\n";
    }
    log_stream = &error_log.stream();
    print_banner();

    std::string base;
    std::ifstream data;
    std::int32_t seed = 0;
    if (args.size() == 2) {
        base = args[0];
        data.open(base + ".mbd");
        if (!data.is_open()) {
            const int error = errno;
            std::cout << "Invalid file name, program terminated !"
                      << "\n";
            std::cerr << "tovaquor: cannot open the data file "
                      << display_text::for_terminal(base + ".mbd")
                      << (error != 0 ? std::string(": ") + std::strerror(error) : "") << "\n";
            return 1;
        }
        seed = parse_seed_argument(args[1]);
    } else {
        do {
            std::cout << "Input file name : ";
            std::cout.flush();
            if (!(std::cin >> base)) {
                no_input();
            }
            data.open(base + ".mbd");
        } while (!data.is_open());
        seed = prompt_seed();
    }

    const std::string report_name = base + ".mbr";
    state.outputs.protect(base + ".mbd");
    std::ostream* opened = nullptr;
    try {
        opened = &state.outputs.open_report(report_name);
    } catch (const OutputError& e) {
        std::cout << "Unable to create report file " << report_name << ", program terminated !"
                  << "\n";
        std::cout.flush();
        std::cerr << "tovaquor: " << display_text::for_terminal(e.what()) << "\n";
        return 1;
    }
    std::ostream& report = *opened;
    error_log.flush_on_fatal(&report);

    // Seeding takes the magnitude, so the lowest value is passed as it is.
    std::int32_t generator = seed == std::numeric_limits<std::int32_t>::min() ? seed : -seed;
    random_uniform(generator);

    state.base = base;
    state.report_name = report_name;
    state.analysing = true;
    RunResults& results = state.results;
    results.version = TOVAQUOR_VERSION;
    results.data_file = base + ".mbd";
    results.seed = seed;
    results.phases_requested = command.phases;
    results.hardy_weinberg_requested = command.tables || command.html;
    results.bootstrap_replicates = command.bootstrap;
    Progress progress(std::cerr, show_progress(), steady_ms);
    const std::int32_t start = clock_ms();
    std::int32_t without_estimate = 0;
    try {
        without_estimate = run_analysis(data, report, command.analysis, results, &progress);
    } catch (const std::bad_alloc&) {
        std::cout << "Out of memory, program terminated !"
                  << "\n";
        error_log.report("run_analysis : unable to allocate memory", Errors::kFatal);
    }
    ReportWriter(report).computing_time(elapsed_ms(start));
    data.close();
    if (run_stats_wanted()) {
        run_stats().print(std::cerr);
    }
    error_log.flush_on_fatal(nullptr);
    state.analysing = false;
    if (!write_outputs(command, state.outputs, base, report_name, results)) {
        return 1;
    }
    return without_estimate > 0 ? kNoEstimateStatus : 0;
}

} // namespace

int tovaquor_main(int argc, char** argv) {
    app::CommandLine command = app::parse_command_line(argc, argv);
    command.analysis.threads = app::threads_from_environment();
    if (!command.invalid.empty()) {
        std::cerr << "tovaquor: " << command.invalid << " (tovaquor --help lists the options)\n";
        return 1;
    }
    remove_temporaries_on_signal();
    if (!command.unknown.empty()) {
        std::cerr << "tovaquor: unknown option " << display_text::for_terminal(command.unknown)
                  << " (tovaquor --help lists the options)\n\n"
                  << app::usage_text();
        return 1;
    }
    // The one place a fatal condition ends up: its message is written and
    // the report flushed where it was raised; what is left is the status.
    RunState state;
    int status = 1;
    try {
        status = run(command, state);
    } catch (const FatalError& e) {
        error_log.flush_on_fatal(nullptr);
        std::cout.flush();
        status = e.status();
        // The console may be redirected: the terminal hears of the stop too.
        std::cerr << "tovaquor: stopped: " << printable(e.what()) << "\n";
        if (state.analysing) {
            // Like the report, the tables and the page keep the samples
            // finished before the stop.
            std::vector<SampleResults>& samples = state.results.samples;
            std::erase_if(samples, [](const SampleResults& s) { return !s.complete; });
            write_outputs(command, state.outputs, state.base, state.report_name, state.results);
        }
    } catch (const NoInput&) {
        status = 1;
    }
    // A run that stopped early has its log still to put in place.
    if (!state.outputs.commit(std::cerr) && status == 0) {
        status = 1;
    }
    // The log's stream went with its file.
    error_log.open(static_cast<std::ostream*>(nullptr));
    log_stream = &error_log.stream();
    return status;
}
