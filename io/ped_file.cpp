#include "io/ped_file.h"

#include <algorithm>
#include <map>

#include "io/line_columns.h"

namespace {
constexpr std::size_t kFixedColumns = 6;
} // namespace

std::vector<std::string> read_map_file(std::istream& is, const std::string& file_name) {
    std::vector<std::string> names;
    LineColumns lines(is, LineColumns::Split::kBlanks);
    std::string column;
    std::string name;
    while (lines.next_line()) {
        std::size_t n = 0;
        while (lines.next_column(column)) {
            if (++n == 2) {
                name = column;
            }
        }
        if (n == 0) {
            continue;
        }
        if (n < 3 || n > 4) {
            throw InputError(file_name, lines.line(),
                             "a marker line has 3 or 4 columns (chromosome, marker name, "
                             "position...), this one has " +
                                 std::to_string(n));
        }
        names.push_back(name);
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
    // Only the columns of the markers asked for are kept: until the first line
    // has told how many markers there are, those of every reading of `wanted`.
    std::vector<std::size_t> keep = candidate_markers(marker_names, wanted);
    std::vector<std::size_t> chosen;
    std::size_t expected = 0;
    std::size_t marker_count = 0;
    std::vector<std::string> fixed(kFixedColumns);
    std::map<std::size_t, std::string> alleles; // by allele column, from 0
    std::string column;
    LineColumns lines(is, LineColumns::Split::kBlanks);
    while (lines.next_line()) {
        std::size_t n = 0;
        alleles.clear();
        for (; lines.next_column(column); ++n) {
            if (n < kFixedColumns) {
                fixed[n] = column;
            } else if (std::find(keep.begin(), keep.end(), (n - kFixedColumns) / 2) != keep.end()) {
                alleles[n - kFixedColumns] = column;
            }
        }
        if (n == 0) {
            continue;
        }
        const std::int64_t number = lines.line();
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
            if (marker_names.empty()) {
                marker_count = (n - kFixedColumns) / 2;
                expected = n;
                chosen = choose_markers(marker_count, wanted, file_name, 0);
                for (const std::size_t m : chosen) {
                    table.markers.push_back(std::to_string(m + 1));
                }
            } else {
                marker_count = marker_names.size();
                expected = kFixedColumns + 2 * marker_count;
                chosen = choose_markers(marker_names, wanted, map_name, 0);
                for (const std::size_t m : chosen) {
                    table.markers.push_back(marker_names[m]);
                }
            }
            keep = chosen;
        }
        if (n != expected) {
            const std::string source =
                marker_names.empty() ? "as on the first line"
                                     : "6 and two per marker of " + map_name + ", which lists " +
                                           std::to_string(marker_count) + " markers";
            throw InputError(file_name, number,
                             "wrong number of columns: " + std::to_string(n) + ", expected " +
                                 std::to_string(expected) + " (" + source + ")");
        }
        TableIndividual individual;
        individual.family = fixed[0];
        individual.id = fixed[1];
        individual.father = fixed[2];
        individual.mother = fixed[3];
        individual.line = number;
        for (const std::size_t m : chosen) {
            individual.genotypes.emplace_back(alleles.at(2 * m), alleles.at(2 * m + 1));
        }
        table.individuals.push_back(std::move(individual));
    }
    if (table.individuals.empty()) {
        throw InputError(file_name, 0, "the file holds no pedigree line");
    }
    return table;
}
