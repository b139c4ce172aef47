#include "datatool/data_tool.h"

#include <iostream>
#include <new>
#include <string>
#include <vector>

#include "datatool/check_command.h"
#include "datatool/clean_command.h"
#include "datatool/command_line.h"
#include "datatool/convert.h"
#include "datatool/usage.h"
#include "io/genotype_table.h"
#include "support/atomic_output_file.h"
#include "support/display_text.h"
#include "support/errors.h"

const char* const kToolUsage =
    "Usage: tovaquor-data COMMAND ...\n"
    "\n"
    "Prepares data files for tovaquor.\n"
    "\n"
    "  convert INPUT -o OUTPUT.mbd --loci L1,L2|all [options]\n"
    "          writes a data file from a pedigree file (.ped) or a table (.tsv)\n"
    "  check INPUT.mbd\n"
    "          summarises a data file and lists the families that Mendelian\n"
    "          inheritance cannot explain\n"
    "  clean INPUT.mbd -o OUTPUT.mbd\n"
    "          writes a copy without those families\n"
    "\n"
    "tovaquor-data COMMAND --help shows a command's options.\n"
    "Exit status: 0 done, 1 refused input or command line, 2 (check) some family is\n"
    "incompatible.\n";

const char* const kConvertUsage =
    "Usage: tovaquor-data convert INPUT -o OUTPUT.mbd --loci L1,L2 [options]\n"
    "\n"
    "Writes a data file from a pedigree file or a table: one sample for one or two\n"
    "markers, one sample per pair of markers for more.\n"
    "\n"
    "  -o, --output FILE    the data file to write (written only when complete)\n"
    "  --loci L1[,L2,...]   markers by name or by number from 1, or all of them\n"
    "                       (all); more than two give every pair in marker order\n"
    "                       (1-2, 1-3, ..., 2-3, ...), each as if converted alone\n"
    "  --format ped|tsv     the input's format (default: ped for .ped, tsv for\n"
    "                       .tsv and .tab)\n"
    "  --map FILE           marker names for a pedigree file (default: the .map\n"
    "                       file beside it, if any; otherwise markers are numbered)\n"
    "  --missing CODE       the allele code of a missing genotype (default: 0;\n"
    "                       an empty table cell is missing too)\n"
    "  --simulations N      simulated samples for the test (default: 1000)\n"
    "  --starts N           random initial conditions of the EM (default: 5)\n"
    "  --name NAME          the sample name (default: the input's base name); with\n"
    "                       more than two markers each pair's sample is named\n"
    "                       \"NAME: MARKER1 x MARKER2\"\n"
    "  --keep-partial       write a partly typed individual with ? for its missing\n"
    "                       alleles, and an untyped one with a known parent and\n"
    "                       written children as ? ?, for tovaquor --whole-pedigrees\n"
    "  --changes FILE       list in FILE each individual dropped or changed, one\n"
    "                       line each: INPUT:LINE: IDENTIFIER: what happened (a\n"
    "                       \"Sample\" line heads each pair's list)\n"
    "\n"
    "Pedigree file: family, individual, father, mother, sex, phenotype, then two\n"
    "allele columns per marker, separated by blanks or tabs; 0 is an unknown parent.\n"
    "Table: tab-separated with a header row: id, father, mother, optional family,\n"
    "and per marker two columns M_1 and M_2 or one column M holding a/b.\n"
    "\n"
    "Identifiers become FAMILY_INDIVIDUAL; two different names that would join to\n"
    "the same one (family x_y, individual dad and family x, father y_dad) are\n"
    "refused. An individual missing any allele at the chosen markers is untyped:\n"
    "left out of the file, named as an absent parent by its children, or dropped\n"
    "when it has none (but see --keep-partial).\n";

const char* const kCheckUsage =
    "Usage: tovaquor-data check INPUT.mbd\n"
    "\n"
    "Summarises a data file (samples, individuals, families by number of sibs,\n"
    "singles, absent parents, generations, alleles with their counts) and lists every\n"
    "family that Mendelian inheritance cannot explain, at one locus or only as\n"
    "two-locus haplotypes. Individuals with unknown alleles (?) are counted and\n"
    "left out of that search, as if absent, so it may miss a family that only\n"
    "their alleles contradict (tovaquor --whole-pedigrees finds it).\n"
    "Exit status: 0 clean, 2 some family is incompatible, 1 the file cannot be read.\n";

const char* const kCleanUsage =
    "Usage: tovaquor-data clean INPUT.mbd -o OUTPUT.mbd\n"
    "\n"
    "Writes a copy of the data file without its incompatible families: their sibs,\n"
    "and those of their parents that belong to no other family. Lists what it\n"
    "removed.\n";

namespace {

// Messages quote names and lines from the files: no control character of
// theirs reaches the terminal.
std::string shown(const std::string& text) {
    return display_text::for_terminal(text, true);
}

} // namespace

int data_tool_main(int argc, char** argv) {
    remove_temporaries_on_signal();
    const std::vector<std::string> all(argv + 1, argv + argc);
    if (all.empty()) {
        std::cerr << kToolUsage;
        return 1;
    }
    const std::string& command = all[0];
    const std::vector<std::string> args(all.begin() + 1, all.end());
    try {
        if (command == "-h" || command == "--help") {
            std::cout << kToolUsage;
            return 0;
        }
        if (command == "--version") {
            std::cout << "tovaquor-data " << TOVAQUOR_VERSION << "\n";
            return 0;
        }
        if (command == "convert") {
            return run_convert(args, std::cout, std::cerr);
        }
        if (command == "check") {
            return run_check(args, std::cout, std::cerr);
        }
        if (command == "clean") {
            return run_clean(args, std::cout, std::cerr);
        }
        std::cerr << "tovaquor-data: unknown command \"" << shown(command)
                  << "\" (convert, check or clean)\nTry: tovaquor-data --help\n";
        return 1;
    } catch (const UsageError& e) {
        std::cerr << "tovaquor-data: " << shown(e.what()) << "\n"
                  << "Try: tovaquor-data " << shown(command) << " --help\n";
    } catch (const InputError& e) {
        std::cerr << shown(e.what()) << "\n";
    } catch (const FatalError& e) {
        std::cerr << "tovaquor-data: " << shown(e.what()) << "\n";
    } catch (const std::bad_alloc&) {
        std::cerr << "tovaquor-data: out of memory\n";
    } catch (const std::exception& e) {
        std::cerr << "tovaquor-data: " << shown(e.what()) << "\n";
    }
    return 1;
}
