#include "io/ped_file.h"

#include <algorithm>
#include <map>

#include "io/line_columns.h"

namespace {
constexpr std::size_t kFixedColumns = 6;
} // namespace

MarkerMap read_map_file(std::istream& is, const std::string& file_name,
                        const std::vector<std::string>& wanted) {
    MarkerMap map;
    map.file = file_name;
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
        const std::size_t position = map.count++;
        for (const std::string& w : wanted) {
            if (w == name || marker_number(w) == position + 1) {
                map.kept.emplace_back(position, name);
                break;
            }
        }
    }
    if (map.count == 0) {
        throw InputError(file_name, 0, "the marker map lists no marker");
    }
    return map;
}

GenotypeTable read_ped_file(std::istream& is, const std::string& file_name, const MarkerMap& map,
                            const std::vector<std::string>& wanted) {
    GenotypeTable table;
    table.file = file_name;
    // Only the columns of the markers asked for are kept: until the first line
    // has told how many markers there are, those of every reading of `wanted`.
    std::vector<std::size_t> keep;
    for (const auto& [position, name] : map.kept) {
        keep.push_back(position);
    }
    for (const std::string& w : wanted) {
        if (marker_number(w) >= 1) {
            keep.push_back(marker_number(w) - 1);
        }
    }
    std::vector<std::size_t> chosen;
    std::size_t expected = 0;
    std::size_t marker_count = 0;
    std::vector<std::string> fixed(kFixedColumns);
    std::map<std::size_t, std::string> alleles; // by allele column, from 0
    // Without a map a marker's name is its number, which `choose_markers` reads.
    auto find = [&](const std::string& w) -> std::optional<std::size_t> {
        for (const auto& [position, name] : map.kept) {
            if (name == w) {
                return position;
            }
        }
        return std::nullopt;
    };
    auto name_of = [&](std::size_t m) {
        for (const auto& [position, name] : map.kept) {
            if (position == m) {
                return name;
            }
        }
        return std::to_string(m + 1);
    };
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
            marker_count = map.file.empty() ? (n - kFixedColumns) / 2 : map.count;
            expected = kFixedColumns + 2 * marker_count;
            chosen = choose_markers(marker_count, find, name_of, wanted,
                                    map.file.empty() ? file_name : map.file, 0);
            for (const std::size_t m : chosen) {
                table.markers.push_back(name_of(m));
            }
            keep = chosen;
        }
        if (n != expected) {
            const std::string source =
                map.file.empty() ? "as on the first line"
                                 : "6 and two per marker of " + map.file + ", which lists " +
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
