#include "app/options.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <thread>

namespace app {

namespace {

struct Option {
    std::string_view name;
    // Lines of the usage text, the first beside the name.
    std::string_view help;
    // Accepted anywhere before "--" (else only leading the arguments).
    bool anywhere;
    void (*apply)(CommandLine&); // null: handled apart (documented here only)
    // An option whose value is the next word: shown as "NAME N" in the usage.
    void (*apply_value)(CommandLine&, std::string_view) = nullptr;
};

constexpr std::int32_t kMostReplicates = 1000000;

void set_replicates(CommandLine& c, std::string_view text) {
    long value = 0;
    if (!text.empty() && text.size() <= 7 &&
        text.find_first_not_of("0123456789") == std::string_view::npos) {
        value = std::stol(std::string(text));
    }
    if (value < 1 || value > kMostReplicates) {
        c.invalid = "--bootstrap needs a number of replicates from 1 to " +
                    std::to_string(kMostReplicates) + ", not '" + std::string(text) + "'";
        return;
    }
    c.bootstrap = static_cast<std::int32_t>(value);
}

// --listed and --fast choose between the nuclear-family engines; beside
// --whole-pedigrees, in either order, they leave the whole-pedigree model on.
void set_nuclear_engine(CommandLine& c, EngineKind kind) {
    if (c.analysis.engine != EngineKind::whole_pedigrees) {
        c.analysis.engine = kind;
    }
}

constexpr Option kOptions[] = {
    {"--tables",
     "also write BASE.summary.tsv, BASE.alleles.tsv,\nBASE.haplotypes.tsv, BASE.simulated.tsv "
     "and\nBASE.hwe.tsv",
     false, [](CommandLine& c) { c.tables = true; }},
    {"--html", "also write the page BASE.html", false, [](CommandLine& c) { c.html = true; }},
    {"--listed",
     "list every genotypic combination of each family instead of\nsumming over the haplotypes "
     "parents pass on: the same\nresults, much slower when parents are absent",
     true, [](CommandLine& c) { set_nuclear_engine(c, EngineKind::listed); }},
    {"--fast", "sum over the haplotypes parents pass on (the default)", true,
     [](CommandLine& c) { set_nuclear_engine(c, EngineKind::summed); }},
    {"--phases",
     "also write BASE.phases.tsv: each typed individual's phased\nhaplotype pairs with their "
     "posterior probabilities",
     false, [](CommandLine& c) { c.phases = true; }},
    {"--bootstrap",
     "draw the families and singles with replacement N times\nand give 95 % intervals of the "
     "frequencies, D',\noverall D' and Wn in the tables and on the page",
     false, nullptr, set_replicates},
    {"--whole-pedigrees",
     "the joint likelihood of each whole pedigree (three generations,\nhalf-sibs, one known "
     "parent; ? for an unknown allele)\ninstead of each nuclear family on its own",
     true, [](CommandLine& c) { c.analysis.engine = EngineKind::whole_pedigrees; }},
    {"--", "end of options (for a BASE that starts with --)", false, nullptr},
    {"-h, --help", "show this text", false, nullptr},
    {"--version", "show the version", false, nullptr},
};

const Option* find_option(std::string_view arg, bool anywhere) {
    for (const Option& o : kOptions) {
        if ((o.apply != nullptr || o.apply_value != nullptr) && o.name == arg &&
            o.anywhere == anywhere) {
            return &o;
        }
    }
    return nullptr;
}

} // namespace

CommandLine parse_command_line(int argc, char** argv) {
    CommandLine command;
    // Options marked `anywhere` may stand anywhere before "--"; the others lead.
    std::vector<char*> kept;
    bool ended = false;
    for (int k = 0; k < argc; ++k) {
        const std::string_view arg = argv[k];
        ended = ended || (k > 0 && arg == "--");
        const Option* option = k > 0 && !ended ? find_option(arg, true) : nullptr;
        if (option != nullptr) {
            option->apply(command);
        } else {
            kept.push_back(argv[k]);
        }
    }
    argc = static_cast<int>(kept.size());
    argv = kept.data();
    int i = 1;
    for (; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--") {
            command.options_ended = true;
            ++i;
            break;
        }
        const Option* option = find_option(arg, false);
        if (option == nullptr) {
            break;
        }
        if (option->apply_value != nullptr) {
            option->apply_value(command, i + 1 < argc ? argv[i + 1] : "");
            if (!command.invalid.empty()) {
                return command;
            }
            ++i;
        } else {
            option->apply(command);
        }
    }
    // An argument of two leading dashes before "--" that no option knows is
    // a misspelt option, never a base name or a seed.
    if (!command.options_ended) {
        for (int k = i; k < argc; ++k) {
            const std::string_view arg = argv[k];
            if (arg == "--") {
                break;
            }
            if (arg.starts_with("--") && arg != "--help" && arg != "--version") {
                command.unknown = arg;
                break;
            }
        }
    }
    for (; i < argc; ++i) {
        command.arguments.emplace_back(argv[i]);
    }
    // Both work on nuclear families: phases per family, replicates drawn
    // family by family.
    if (command.analysis.engine == EngineKind::whole_pedigrees &&
        (command.phases || command.bootstrap > 0)) {
        command.invalid = "--phases and --bootstrap work on nuclear families, not with "
                          "--whole-pedigrees";
    }
    return command;
}

std::string usage_text() {
    std::string text =
        "Usage: tovaquor [--tables] [--html] [--phases] [--bootstrap N]\n"
        "                [--listed | --whole-pedigrees] BASE SEED\n"
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
        "With any other number of arguments the program asks for both.\n";
    constexpr std::size_t kColumn = 15;
    for (const Option& o : kOptions) {
        std::string line = "  " + std::string(o.name) + (o.apply_value != nullptr ? " N" : "");
        std::string_view help = o.help;
        // A name too long for its column takes a line of its own.
        if (line.size() >= kColumn) {
            text += line + "\n";
            line.clear();
        }
        for (;;) {
            line.resize(std::max(line.size() + 1, kColumn), ' ');
            const std::size_t end = help.find('\n');
            text += line + std::string(help.substr(0, end)) + "\n";
            if (end == std::string_view::npos) {
                break;
            }
            help.remove_prefix(end + 1);
            line.clear();
        }
    }
    text += "\n"
            "Exit status: 0 when every sample was analysed, 1 for a file problem, 2 when\n"
            "a sample got no estimate (its likelihood is zero, see mirbo.log), 255 for\n"
            "an error in the data.\n";
    return text;
}

std::int32_t threads_from_environment() {
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

} // namespace app
