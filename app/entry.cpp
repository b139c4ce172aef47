#include "app/entry.h"

#include <cstdlib>
#include <fstream>
#include <iostream>
#include <limits>
#include <new>
#include <string>
#include <vector>

#include "app/driver.h"
#include "report/report_writer.h"
#include "support/clock.h"
#include "support/errors.h"
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
    std::cout << "Usage: tovaquor BASE SEED\n"
                 "\n"
                 "Estimates two-locus haplotype frequencies by maximum likelihood from the\n"
                 "nuclear families and single individuals of BASE.mbd, and tests linkage and\n"
                 "Hardy-Weinberg equilibrium by simulation. Writes the report BASE.mbr and the\n"
                 "message log mirbo.log in the working directory.\n"
                 "\n"
                 "  BASE   data file name without its .mbd extension\n"
                 "  SEED   integer seed of the random number generator (s and -s give the\n"
                 "         same run)\n"
                 "\n"
                 "With any other number of arguments the program asks for both.\n"
                 "  -h, --help   show this text\n"
                 "  --version    show the version\n"
                 "  --fast       sum each family over the haplotypes its parents pass on\n"
                 "               instead of listing every genotype of an absent parent:\n"
                 "               the same estimates to about six digits, much quicker\n"
                 "               when parents are absent and alleles many\n"
                 "\n"
                 "Exit status: 0 when every sample was analysed, 1 for a file problem, 2 when\n"
                 "a sample got no estimate (its likelihood is zero, see mirbo.log), 255 for\n"
                 "an error in the data.\n";
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

} // namespace

std::int32_t parse_seed_argument(const std::string& text) {
    const long long value = std::strtoll(text.c_str(), nullptr, 10);
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(static_cast<std::uint64_t>(value)));
}

namespace {

int run(int argc, char** argv) {
    // Options may stand anywhere; what remains is read as before.
    std::vector<char*> args;
    bool fast = false;
    for (int i = 0; i < argc; ++i) {
        if (i > 0 && std::string(argv[i]) == "--fast") {
            fast = true;
        } else {
            args.push_back(argv[i]);
        }
    }
    argc = static_cast<int>(args.size());
    argv = args.data();
    if (argc == 2) {
        const std::string arg = argv[1];
        if (arg == "-h" || arg == "--help") {
            print_usage();
            return 0;
        }
        if (arg == "--version") {
            std::cout << "tovaquor " << TOVAQUOR_VERSION << "\n";
            return 0;
        }
    }
    error_log.open(log_file_name);
    if (!error_log.stream()) {
        std::cerr << "Warning: unable to create the log file " << log_file_name
                  << "; messages will not be kept\n";
    }
    log_stream = &error_log.stream();
    print_banner();

    std::string base;
    std::ifstream data;
    std::int32_t seed = 0;
    if (argc == 3) {
        base = argv[1];
        data.open(base + ".mbd");
        if (!data.is_open()) {
            std::cout << "Invalid file name, program terminated !"
                      << "\n";
            return 1;
        }
        seed = parse_seed_argument(argv[2]);
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
    std::ofstream report(report_name, std::ios::out | std::ios::trunc);
    if (!report.is_open()) {
        std::cout << "Unable to create report file " << report_name << ", program terminated !"
                  << "\n";
        return 1;
    }
    error_log.flush_on_fatal(&report);

    // Seeding takes the magnitude, so the lowest value is passed as it is.
    std::int32_t generator = seed == std::numeric_limits<std::int32_t>::min() ? seed : -seed;
    random_uniform(generator);

    const std::int32_t start = clock_ms();
    std::int32_t without_estimate = 0;
    try {
        without_estimate = run_analysis(data, report, fast);
    } catch (const std::bad_alloc&) {
        std::cout << "Out of memory, program terminated !"
                  << "\n";
        error_log.report("run_analysis : unable to allocate memory", Errors::kFatal);
    }
    ReportWriter(report).computing_time(elapsed_ms(start));
    report.close();
    data.close();
    if (run_stats_wanted()) {
        run_stats().print(std::cerr);
    }
    error_log.flush_on_fatal(nullptr);
    return without_estimate > 0 ? kNoEstimateStatus : 0;
}

} // namespace

int tovaquor_main(int argc, char** argv) {
    // The one place a fatal condition ends up: its message is written and
    // the report flushed where it was raised; what is left is the status.
    try {
        return run(argc, argv);
    } catch (const FatalError& e) {
        error_log.flush_on_fatal(nullptr);
        std::cout.flush();
        return e.status();
    } catch (const NoInput&) {
        return 1;
    }
}
