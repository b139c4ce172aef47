#include "datatool/data_file_input.h"

#include <algorithm>
#include <iterator>
#include <set>
#include <sstream>

#include "pedigree/record_reader.h"

namespace {

// Line numbers of stream positions in a text held whole.
class LineIndex {
  public:
    explicit LineIndex(const std::string& text) {
        for (std::size_t i = 0; i < text.size(); ++i) {
            if (text[i] == '\n') {
                _newlines.push_back(i);
            }
        }
        _last = static_cast<std::int64_t>(_newlines.size()) +
                (text.empty() || text.back() == '\n' ? 0 : 1);
    }
    // The line of the next character `is` would read (the last line at the end).
    std::int64_t line_of(std::istream& is) const {
        is >> std::ws;
        const std::streamoff at = is.fail() || is.eof() ? -1 : std::streamoff(is.tellg());
        if (at < 0) {
            return std::max<std::int64_t>(_last, 1);
        }
        const auto before =
            std::lower_bound(_newlines.begin(), _newlines.end(), static_cast<std::size_t>(at));
        return std::distance(_newlines.begin(), before) + 1;
    }

  private:
    std::vector<std::size_t> _newlines;
    std::int64_t _last = 1;
};

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

} // namespace

DataFileInput read_data_file(std::istream& source) {
    using namespace record_reader;
    const std::string text{std::istreambuf_iterator<char>(source),
                           std::istreambuf_iterator<char>()};
    std::istringstream is(text);
    const LineIndex lines(text);
    DataFileInput input;
    auto parameter = [&](std::int32_t& value, const std::string& what) {
        const std::int64_t line = lines.line_of(is);
        if (!read_int(is, value)) {
            input.stop =
                DataFileError{line, "run_analysis : expected " + what + " in the data file", ""};
            return false;
        }
        return true;
    };
    if (!parameter(input.n_samples, "the number of samples") ||
        !parameter(input.n_simulated, "the number of simulated samples") ||
        !parameter(input.n_initial, "the number of initial conditions")) {
        return input;
    }
    if (input.n_initial < 0) {
        input.stop = DataFileError{
            1, "run_analysis : the number of initial conditions must not be negative", ""};
        return input;
    }
    for (std::int32_t k = 0; k < input.n_samples; ++k) {
        InputSample sample;
        if (!parameter(sample.announced,
                       "the individual count of sample " + std::to_string(k + 1))) {
            return input;
        }
        sample.name = read_rest_of_line(is);
        std::set<std::string> ids;
        for (std::int32_t i = 0; i < sample.announced; ++i) {
            if (is.fail()) {
                break;
            }
            InputRecord r;
            r.line = lines.line_of(is);
            r.record.id = read_token(is);
            r.record.parent1 = read_token(is);
            r.record.parent2 = read_rest_of_line(is);
            if (r.record.parent2.empty()) {
                break;
            }
            const std::string& id = r.record.id;
            const std::string where = "TPopPedigree::read_pedigrees : individual " + id;
            if (!ids.insert(id).second) {
                input.stop = DataFileError{
                    r.line, where + " appears more than once in sample " + sample.name, ""};
                return input;
            }
            if (id == r.record.parent1 || id == r.record.parent2) {
                input.stop = DataFileError{r.line, where + " is its own parent", ""};
                return input;
            }
            for (std::size_t slot = 0; slot < 2; ++slot) {
                r.allele_line[slot] = lines.line_of(is);
                r.record.allele_lines[slot] = read_rest_of_line(is);
            }
            sample.records.push_back(std::move(r));
        }
        input.samples.push_back(std::move(sample));
    }
    return input;
}

std::optional<DataFileError> allele_line_error(const InputSample& sample) {
    std::size_t expected = 0;
    bool first = true;
    // The analysis keeps its records newest first and checks them in that order.
    for (auto r = sample.records.rbegin(); r != sample.records.rend(); ++r) {
        for (std::size_t slot = 0; slot < 2; ++slot) {
            const std::string& line = r->record.allele_lines[slot];
            const std::size_t n = count_alleles(line);
            const std::string who =
                "TPopPedigree::set_pseudo_haplotypes : individual " + r->record.id;
            const std::string hint =
                line.find('\t') == std::string::npos
                    ? ""
                    : "Hint: this allele line holds a tab; alleles must be separated by blanks "
                      "(a tab is part of an allele name), so convert tab-separated files first.";
            const std::int64_t at = r->allele_line[slot];
            if (n == 0) {
                return DataFileError{at, who + " has no allele on an allele line", hint};
            }
            if (n > 2) {
                return DataFileError{at,
                                     who + " has " + std::to_string(n) +
                                         " alleles on an allele line, at most 2 loci are supported",
                                     hint};
            }
            if (first) {
                expected = n;
                first = false;
            } else if (n != expected) {
                return DataFileError{at,
                                     who + " has " + std::to_string(n) +
                                         " alleles on an allele line, expected " +
                                         std::to_string(expected),
                                     hint};
            }
        }
    }
    return std::nullopt;
}
