#include "io/table_file.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <optional>

namespace {

// Cells split at tabs, each without the blanks around it (a spreadsheet may pad).
std::vector<std::string> split_cells(const std::string& line) {
    std::vector<std::string> cells;
    std::size_t start = 0;
    while (true) {
        const std::size_t end = std::min(line.find('\t', start), line.size());
        std::string cell = line.substr(start, end - start);
        const std::size_t first = cell.find_first_not_of(' ');
        const std::size_t last = cell.find_last_not_of(' ');
        cells.push_back(first == std::string::npos ? "" : cell.substr(first, last - first + 1));
        if (end == line.size()) {
            return cells;
        }
        start = end + 1;
    }
}

std::string lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// A marker's columns: two (one allele each) or one holding "a/b".
struct MarkerColumns {
    std::string name;
    std::size_t first;
    std::optional<std::size_t> second;
};

} // namespace

GenotypeTable read_table_file(std::istream& is, const std::string& file_name,
                              const std::vector<std::string>& wanted) {
    GenotypeTable table;
    table.file = file_name;
    std::string line;
    std::int64_t number = 0;
    std::vector<std::string> header;
    std::int64_t header_line = 0;
    while (header.empty() && std::getline(is, line)) {
        ++number;
        drop_carriage_return(line);
        if (line.find_first_not_of(" \t") != std::string::npos) {
            header = split_cells(line);
            header_line = number;
        }
    }
    if (header.empty()) {
        throw InputError(file_name, 0, "the file is empty: a header row is expected");
    }
    std::map<std::string, std::size_t> role;
    std::map<std::string, std::size_t> position;
    for (std::size_t c = 0; c < header.size(); ++c) {
        const std::string& name = header[c];
        if (name.empty()) {
            throw InputError(file_name, header_line,
                             "column " + std::to_string(c + 1) + " of the header has no name");
        }
        if (!position.emplace(name, c).second) {
            throw InputError(file_name, header_line, "column \"" + name + "\" appears twice");
        }
        const std::string key = lower(name);
        if (key == "id" || key == "father" || key == "mother" || key == "family") {
            if (!role.emplace(key, c).second) {
                throw InputError(file_name, header_line, "column \"" + key + "\" appears twice");
            }
        }
    }
    for (const char* needed : {"id", "father", "mother"}) {
        if (role.count(needed) == 0) {
            throw InputError(file_name, header_line,
                             std::string("the header has no column \"") + needed + "\"");
        }
    }
    std::vector<MarkerColumns> markers;
    for (std::size_t c = 0; c < header.size(); ++c) {
        const std::string& name = header[c];
        if (role.count(lower(name)) != 0) {
            continue;
        }
        const bool paired_name = name.size() > 2 && name[name.size() - 2] == '_';
        const std::string base = paired_name ? name.substr(0, name.size() - 2) : name;
        if (paired_name && name.back() == '1' && position.count(base + "_2") != 0) {
            markers.push_back({base, c, position.at(base + "_2")});
        } else if (paired_name && name.back() == '2' && position.count(base + "_1") != 0) {
            continue;
        } else {
            markers.push_back({name, c, std::nullopt});
        }
    }
    std::vector<std::string> names;
    for (const MarkerColumns& m : markers) {
        names.push_back(m.name);
    }
    const std::vector<std::size_t> chosen = choose_markers(names, wanted, file_name, header_line);
    for (const std::size_t m : chosen) {
        table.markers.push_back(names[m]);
    }
    const auto family = role.find("family");
    while (std::getline(is, line)) {
        ++number;
        drop_carriage_return(line);
        if (line.find_first_not_of(" \t") == std::string::npos) {
            continue;
        }
        const std::vector<std::string> cells = split_cells(line);
        if (cells.size() != header.size()) {
            throw InputError(file_name, number,
                             "wrong number of columns: " + std::to_string(cells.size()) +
                                 ", expected " + std::to_string(header.size()) +
                                 " as in the header (columns are separated by tabs)");
        }
        TableIndividual individual;
        individual.family = family != role.end() ? cells[family->second] : "";
        individual.id = cells[role.at("id")];
        individual.father = cells[role.at("father")];
        individual.mother = cells[role.at("mother")];
        individual.line = number;
        for (const std::size_t m : chosen) {
            const MarkerColumns& columns = markers[m];
            if (columns.second) {
                individual.genotypes.emplace_back(cells[columns.first], cells[*columns.second]);
                continue;
            }
            const std::string& cell = cells[columns.first];
            const std::size_t slash = cell.find('/');
            if (cell.empty()) {
                individual.genotypes.emplace_back("", "");
            } else if (slash == std::string::npos ||
                       cell.find('/', slash + 1) != std::string::npos) {
                throw InputError(file_name, number,
                                 "marker " + columns.name + ": \"" + cell +
                                     "\" is not a genotype written a/b");
            } else {
                individual.genotypes.emplace_back(cell.substr(0, slash), cell.substr(slash + 1));
            }
        }
        table.individuals.push_back(std::move(individual));
    }
    if (table.individuals.empty()) {
        throw InputError(file_name, 0, "the table has a header but no individual");
    }
    return table;
}
