#include "io/ped_file.h"

namespace {
constexpr std::size_t kFixedColumns = 6;

// The columns of the next line that holds any, counting lines in `number`;
// false at the end of the text.
bool next_columns(std::istream& is, std::int64_t& number, std::vector<std::string>& columns) {
    std::string line;
    while (std::getline(is, line)) {
        ++number;
        drop_carriage_return(line);
        columns = split_blanks(line);
        if (!columns.empty()) {
            return true;
        }
    }
    return false;
}
} // namespace

std::vector<std::string> read_map_file(std::istream& is, const std::string& file_name) {
    std::vector<std::string> names;
    std::vector<std::string> columns;
    std::int64_t number = 0;
    while (next_columns(is, number, columns)) {
        if (columns.size() < 3 || columns.size() > 4) {
            throw InputError(file_name, number,
                             "a marker line has 3 or 4 columns (chromosome, marker name, "
                             "position...), this one has " +
                                 std::to_string(columns.size()));
        }
        names.push_back(columns[1]);
    }
    if (names.empty()) {
        throw InputError(file_name, 0, "the marker map lists no marker");
    }
    return names;
}

GenotypeTable read_ped_file(std::istream& is, const std::string& file_name,
                            const std::vector<std::string>& marker_names,
                            const std::string& map_name, const std::vector<std::string>& wanted) {
    GenotypeTable table;
    table.file = file_name;
    std::vector<std::string> names = marker_names;
    std::vector<std::size_t> chosen;
    std::size_t expected = 0;
    std::vector<std::string> columns;
    std::int64_t number = 0;
    while (next_columns(is, number, columns)) {
        const std::size_t n = columns.size();
        if (n < kFixedColumns + 2) {
            throw InputError(file_name, number,
                             "a pedigree line has 6 columns (family, individual, father, mother, "
                             "sex, phenotype) and two allele columns per marker; this one has " +
                                 std::to_string(n) + " columns");
        }
        if ((n - kFixedColumns) % 2 != 0) {
            throw InputError(file_name, number,
                             "odd number of allele columns (" + std::to_string(n - kFixedColumns) +
                                 "): each marker takes two");
        }
        if (expected == 0) {
            if (names.empty()) {
                for (std::size_t m = 1; m <= (n - kFixedColumns) / 2; ++m) {
                    names.push_back(std::to_string(m));
                }
                expected = n;
                chosen = choose_markers(names, wanted, file_name, 0);
            } else {
                expected = kFixedColumns + 2 * names.size();
                chosen = choose_markers(names, wanted, map_name, 0);
            }
            for (const std::size_t m : chosen) {
                table.markers.push_back(names[m]);
            }
        }
        if (n != expected) {
            const std::string source =
                marker_names.empty() ? "as on the first line"
                                     : "6 and two per marker of " + map_name + ", which lists " +
                                           std::to_string(names.size()) + " markers";
            throw InputError(file_name, number,
                             "wrong number of columns: " + std::to_string(n) + ", expected " +
                                 std::to_string(expected) + " (" + source + ")");
        }
        TableIndividual individual;
        individual.family = columns[0];
        individual.id = columns[1];
        individual.father = columns[2];
        individual.mother = columns[3];
        individual.line = number;
        for (const std::size_t m : chosen) {
            individual.genotypes.emplace_back(columns[kFixedColumns + 2 * m],
                                              columns[kFixedColumns + 2 * m + 1]);
        }
        table.individuals.push_back(std::move(individual));
    }
    if (table.individuals.empty()) {
        throw InputError(file_name, 0, "the file holds no pedigree line");
    }
    return table;
}
