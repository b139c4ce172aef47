#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

// Genotypes as pedigree files and spreadsheets hold them, before any rule of
// the data file applies: one row per individual, identifiers unique within a
// family only, and alleles as written (missing codes included).
struct TableIndividual {
    std::string family; // empty when the format has no family column
    std::string id;
    std::string father;
    std::string mother;
    // One pair of alleles per chosen marker, in the order the markers were chosen.
    std::vector<std::pair<std::string, std::string>> genotypes;
    std::int64_t line = 0;
};

struct GenotypeTable {
    std::string file;
    std::vector<std::string> markers; // the chosen markers' names
    std::vector<TableIndividual> individuals;
};

// A refused input: which file, which line (0: the file as a whole) and why.
class InputError : public std::runtime_error {
  public:
    InputError(std::string file, std::int64_t line, const std::string& message);
    const std::string& file() const { return _file; }
    std::int64_t line() const { return _line; }
    const std::string& message() const { return _message; }

  private:
    std::string _file;
    std::int64_t _line;
    std::string _message;
};

// Splits a line at runs of blanks and tabs.
std::vector<std::string> split_blanks(const std::string& line);
// Drops the carriage return of a CR LF line ending.
void drop_carriage_return(std::string& line);

// Positions in `names` of the markers asked for, each by name or by number
// from 1 (a name wins over a number), distinct; `all` alone (unless a marker
// has that name) takes every marker in file order.
inline constexpr const char* kAllMarkers = "all";
std::vector<std::size_t> choose_markers(const std::vector<std::string>& names,
                                        const std::vector<std::string>& wanted,
                                        const std::string& file, std::int64_t line);
