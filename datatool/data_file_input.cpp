#include "datatool/data_file_input.h"

#include <set>
#include <sstream>

#include "io/data_file_reader.h"
#include "support/errors.h"

namespace {

std::size_t count_alleles(const std::string& line) {
    std::size_t n = 0;
    bool in_name = false;
    for (const char c : line) {
        const bool blank = c == ' ';
        n += (!blank && !in_name) ? 1 : 0;
        in_name = !blank;
    }
    return n;
}

// The reader prints its fatal messages on the console; here they become the
// tool's own message, on standard error.
class QuietConsole {
  public:
    QuietConsole() { set_console(&_sink); }
    ~QuietConsole() { set_console(nullptr); }
    QuietConsole(const QuietConsole&) = delete;
    QuietConsole& operator=(const QuietConsole&) = delete;

  private:
    std::ostringstream _sink;
};

} // namespace

DataFileInput read_data_file(std::istream& is) {
    DataFileReader reader(is);
    DataFileInput input;
    const QuietConsole quiet;
    try {
        input.run = reader.read_run_parameters();
        check_run_parameters(input.run);
        for (std::int32_t k = 0; k < input.run.n_samples; ++k) {
            const std::int32_t announced = reader.read_individual_count(k + 1);
            input.samples.push_back(reader.read_sample(announced));
        }
    } catch (const FatalError& e) {
        input.stop = DataFileError{reader.current_line(), e.what(), ""};
    }
    return input;
}

std::optional<DataFileError> sample_error(const SampleDescription& sample) {
    std::set<std::string> ids;
    for (const SampleRecord& r : sample.records) {
        const std::string where = "TPopPedigree::read_pedigrees : individual " + r.id;
        if (!ids.insert(r.id).second) {
            return DataFileError{r.line, where + " appears more than once in sample " + sample.name,
                                 ""};
        }
        if (r.id == r.parent1 || r.id == r.parent2) {
            return DataFileError{r.line, where + " is its own parent", ""};
        }
    }
    std::size_t expected = 0;
    bool first = true;
    for (auto r = sample.records.rbegin(); r != sample.records.rend(); ++r) {
        for (const std::string& line : r->allele_lines) {
            const std::size_t n = count_alleles(line);
            const std::string who = "TPopPedigree::set_pseudo_haplotypes : individual " + r->id;
            const std::string hint =
                line.find('\t') == std::string::npos
                    ? ""
                    : "Hint: this allele line holds a tab; alleles must be separated by blanks "
                      "(a tab is part of an allele name), so convert tab-separated files first.";
            if (n == 0) {
                return DataFileError{r->line, who + " has no allele on an allele line", hint};
            }
            if (n > 2) {
                return DataFileError{r->line,
                                     who + " has " + std::to_string(n) +
                                         " alleles on an allele line, at most 2 loci are supported",
                                     hint};
            }
            if (first) {
                expected = n;
                first = false;
            } else if (n != expected) {
                return DataFileError{r->line,
                                     who + " has " + std::to_string(n) +
                                         " alleles on an allele line, expected " +
                                         std::to_string(expected),
                                     hint};
            }
        }
    }
    return std::nullopt;
}
