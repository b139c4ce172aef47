// tovaquor_generate: writes a data file of nuclear families and single
// individuals drawn from known haplotype frequencies. See --help.

#include <charconv>
#include <cstdint>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <system_error>

#include "bench/generate_data.h"

namespace {

const char* const kUsage =
    "Usage: tovaquor_generate [options]\n"
    "\n"
    "Writes a data file (.mbd) of nuclear families and single individuals typed\n"
    "at one or two loci, drawn from haplotype frequencies made from the seed.\n"
    "Founders receive two haplotypes drawn from those frequencies, each child\n"
    "one haplotype of each parent. The same options give the same bytes.\n"
    "\n"
    "Options (defaults in brackets):\n"
    "  --families N        nuclear families [30]\n"
    "  --sibs MIN-MAX      children per family, MIN >= 1; a single number fixes it [1-4]\n"
    "  --untyped-share X   share of parents absent from the file, 0 to 1; they\n"
    "                      appear only as parents of their children [0.3]\n"
    "  --absent-parent W   first or second: exactly that parent of every family\n"
    "                      is absent (the first or second named on the children's\n"
    "                      lines), overriding --untyped-share; random: the share\n"
    "                      of --untyped-share [random]\n"
    "  --singles N         unrelated single individuals [10]\n"
    "  --loci L            1 or 2 [2]\n"
    "  --alleles A[,B]     alleles per locus; one number sets both loci [5,4]\n"
    "  --ld MODE           none: haplotype frequency = product of allele\n"
    "                      frequencies; moderate or strong: 20 or 80 per cent of\n"
    "                      the mass goes to one haplotype per allele of the\n"
    "                      locus with fewer alleles [none]\n"
    "  --allele-freqs K    random or even [random]\n"
    "  --samples S         samples in the file, each drawn afresh [1]\n"
    "  --simulated K       simulated samples of the test (run parameter) [0]\n"
    "  --initial I         random initial conditions (run parameter) [5]\n"
    "  --seed N            seed of the generator, 0 to 2^64-1 [1]\n"
    "  --name TEXT         sample name; several samples get a number appended\n"
    "                      [Generated sample]\n"
    "  --generations G     2, or 3: the first parent of every family is the child\n"
    "                      of two grandparents absent from the file [2]\n"
    "  --missing-locus X   share of the individuals written with one locus\n"
    "                      unknown (\"? ?\"; for --whole-pedigrees), 0 to 1 [0]\n"
    "  --output FILE       write there instead of standard output\n"
    "  --show-frequencies  print the haplotype frequencies used on standard error\n"
    "  -h, --help          show this text\n";

struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

template <typename T> T parse_number(std::string_view flag, std::string_view text) {
    T value{};
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc{} || end != text.data() + text.size()) {
        throw UsageError(std::string(flag) + ": '" + std::string(text) + "' is not a number");
    }
    return value;
}

int parse_count(std::string_view flag, std::string_view text, int lowest) {
    const int value = parse_number<int>(flag, text);
    if (value < lowest) {
        throw UsageError(std::string(flag) + ": " + std::string(text) + " is below " +
                         std::to_string(lowest));
    }
    return value;
}

double parse_share(std::string_view flag, std::string_view text) {
    // from_chars for double is not in every standard library we build with.
    std::size_t used = 0;
    double value = 0.0;
    try {
        value = std::stod(std::string(text), &used);
    } catch (const std::exception&) {
        used = 0;
    }
    if (used == 0 || used != text.size() || !(value >= 0.0 && value <= 1.0)) {
        throw UsageError(std::string(flag) + ": '" + std::string(text) +
                         "' is not a number from 0 to 1");
    }
    return value;
}

void parse_sibs(std::string_view text, datagen::Options& options) {
    const auto dash = text.find('-');
    if (dash == std::string_view::npos) {
        options.sibs_min = options.sibs_max = parse_count("--sibs", text, 1);
        return;
    }
    options.sibs_min = parse_count("--sibs", text.substr(0, dash), 1);
    options.sibs_max = parse_count("--sibs", text.substr(dash + 1), 1);
    if (options.sibs_max < options.sibs_min) {
        throw UsageError("--sibs: MAX is below MIN in '" + std::string(text) + "'");
    }
}

void parse_alleles(std::string_view text, datagen::Options& options) {
    const auto comma = text.find(',');
    if (comma == std::string_view::npos) {
        options.alleles[0] = options.alleles[1] = parse_count("--alleles", text, 1);
        return;
    }
    options.alleles[0] = parse_count("--alleles", text.substr(0, comma), 1);
    options.alleles[1] = parse_count("--alleles", text.substr(comma + 1), 1);
}

datagen::Linkage parse_ld(std::string_view text) {
    if (text == "none") {
        return datagen::Linkage::none;
    }
    if (text == "moderate") {
        return datagen::Linkage::moderate;
    }
    if (text == "strong") {
        return datagen::Linkage::strong;
    }
    throw UsageError("--ld: expected none, moderate or strong, found '" + std::string(text) + "'");
}

struct Command {
    datagen::Options options;
    std::optional<std::string> output;
    bool show_frequencies = false;
    bool help = false;
};

Command parse_command_line(int argc, char** argv) {
    Command c;
    datagen::Options& o = c.options;
    for (int i = 1; i < argc; ++i) {
        const std::string_view flag = argv[i];
        if (flag == "-h" || flag == "--help") {
            c.help = true;
            continue;
        }
        if (flag == "--show-frequencies") {
            c.show_frequencies = true;
            continue;
        }
        if (i + 1 >= argc) {
            throw UsageError(std::string(flag) + ": missing value, or unknown option");
        }
        const std::string_view value = argv[++i];
        if (flag == "--families") {
            o.families = parse_count(flag, value, 0);
        } else if (flag == "--sibs") {
            parse_sibs(value, o);
        } else if (flag == "--untyped-share") {
            o.untyped_share = parse_share(flag, value);
        } else if (flag == "--absent-parent") {
            if (value == "first") {
                o.absent_parent = datagen::AbsentParent::first;
            } else if (value == "second") {
                o.absent_parent = datagen::AbsentParent::second;
            } else if (value == "random") {
                o.absent_parent = datagen::AbsentParent::random;
            } else {
                throw UsageError("--absent-parent: expected first, second or random");
            }
        } else if (flag == "--singles") {
            o.singles = parse_count(flag, value, 0);
        } else if (flag == "--loci") {
            o.loci = parse_count(flag, value, 1);
            if (o.loci > 2) {
                throw UsageError("--loci: at most 2 loci");
            }
        } else if (flag == "--alleles") {
            parse_alleles(value, o);
        } else if (flag == "--ld") {
            o.ld = parse_ld(value);
        } else if (flag == "--allele-freqs") {
            if (value != "random" && value != "even") {
                throw UsageError("--allele-freqs: expected random or even");
            }
            o.even_alleles = value == "even";
        } else if (flag == "--generations") {
            o.generations = parse_count(flag, value, 2);
            if (o.generations > 3) {
                throw UsageError("--generations: 2 or 3");
            }
        } else if (flag == "--missing-locus") {
            o.missing_locus_share = parse_share(flag, value);
        } else if (flag == "--samples") {
            o.samples = parse_count(flag, value, 0);
        } else if (flag == "--simulated") {
            o.simulated = parse_count(flag, value, 0);
        } else if (flag == "--initial") {
            o.initial = parse_count(flag, value, 0);
        } else if (flag == "--seed") {
            o.seed = parse_number<std::uint64_t>(flag, value);
        } else if (flag == "--name") {
            // The reader takes the name as the rest of a line after skipping
            // white space: an empty name would swallow the first record.
            if (value.find_first_not_of(" \t\r\v\f") == std::string_view::npos ||
                value.find('\n') != std::string_view::npos) {
                throw UsageError("--name: the name must be one non-blank line");
            }
            o.name = std::string(value);
        } else if (flag == "--output") {
            c.output = std::string(value);
        } else {
            throw UsageError("unknown option " + std::string(flag));
        }
    }
    return c;
}

void show_frequencies(std::ostream& os, const datagen::Options& options,
                      const datagen::Frequencies& f) {
    os << std::fixed << std::setprecision(6);
    const std::size_t b = options.loci == 1 ? 1 : f.allele[1].size();
    for (std::size_t h = 0; h < f.haplotype.size(); ++h) {
        os << datagen::allele_name(0, h / b);
        if (options.loci == 2) {
            os << ' ' << datagen::allele_name(1, h % b);
        }
        os << ' ' << f.haplotype[h] << '\n';
    }
}

} // namespace

int main(int argc, char** argv) {
    Command command;
    try {
        command = parse_command_line(argc, argv);
    } catch (const UsageError& e) {
        std::cerr << "tovaquor_generate: " << e.what() << "\n(--help lists the options)\n";
        return 2;
    }
    if (command.help) {
        std::cout << kUsage;
        return 0;
    }
    std::ofstream file;
    if (command.output) {
        file.open(*command.output, std::ios::out | std::ios::trunc);
        if (!file) {
            std::cerr << "tovaquor_generate: cannot create " << *command.output << "\n";
            return 1;
        }
    }
    std::ostream& os = command.output ? static_cast<std::ostream&>(file) : std::cout;
    const datagen::Frequencies f = datagen::write_data_file(os, command.options);
    os.flush();
    if (!os) {
        std::cerr << "tovaquor_generate: write failed\n";
        return 1;
    }
    if (command.show_frequencies) {
        show_frequencies(std::cerr, command.options, f);
    }
    return 0;
}
