#include "io/sample_checks.h"

#include <algorithm>
#include <set>

namespace {

// The identifier that stands for an unknown parent.
const char* const kUnknownParent = "0";

} // namespace

std::vector<std::string> split_allele_line(const std::string& line, char separator) {
    std::vector<std::string> pieces;
    std::size_t start = 0;
    while (start <= line.size()) {
        std::size_t end = line.find(separator, start);
        if (end == std::string::npos) {
            end = line.size();
        }
        if (end > start) {
            pieces.push_back(line.substr(start, end - start));
        }
        start = end + 1;
    }
    return pieces;
}

std::optional<RecordError> first_record_error(const SampleDescription& sample,
                                              bool from_data_file) {
    std::set<std::string> ids;
    for (const SampleRecord& r : sample.records) {
        const std::string who = "TPopPedigree::read_pedigrees : individual " + r.id;
        if (!ids.insert(r.id).second) {
            return RecordError{r.line, who + " appears more than once in sample " + sample.name,
                               ""};
        }
        if (r.id == r.parent1 || r.id == r.parent2) {
            return RecordError{r.line, who + " is its own parent", ""};
        }
        if (r.parent1 == r.parent2 && r.parent1 != kUnknownParent) {
            return RecordError{r.line, who + " names " + r.parent1 + " as both parents", ""};
        }
    }
    std::size_t expected = 0;
    bool first = true;
    for (auto r = sample.records.rbegin(); r != sample.records.rend(); ++r) {
        for (const std::string& line : r->allele_lines) {
            const std::vector<std::string> pieces = split_allele_line(line);
            const std::size_t n = pieces.size();
            const std::string who = "TPopPedigree::set_pseudo_haplotypes : individual " + r->id;
            // Tabs do not separate alleles: a tab-separated file fails here.
            const std::string hint =
                line.find('\t') == std::string::npos
                    ? ""
                    : "Hint: this allele line holds a tab; alleles must be separated by blanks "
                      "(a tab is part of an allele name), so convert tab-separated files first.";
            if (n == 0) {
                return RecordError{r->line, who + " has no allele on an allele line", hint};
            }
            if (n > 2) {
                return RecordError{r->line,
                                   who + " has " + std::to_string(n) +
                                       " alleles on an allele line, at most 2 loci are supported",
                                   hint};
            }
            if (first) {
                expected = n;
                first = false;
            } else if (n != expected) {
                return RecordError{r->line,
                                   who + " has " + std::to_string(n) +
                                       " alleles on an allele line, expected " +
                                       std::to_string(expected),
                                   hint};
            }
            // A drawn sample may legitimately carry "#": an absent parent can draw it.
            if (from_data_file && std::find(pieces.begin(), pieces.end(), "#") != pieces.end()) {
                return RecordError{r->line,
                                   who + " has an allele named #, which the report keeps for "
                                         "unseen alleles",
                                   ""};
            }
        }
    }
    return std::nullopt;
}
