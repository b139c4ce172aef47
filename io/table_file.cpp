#include "io/table_file.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <optional>

#include "io/line_columns.h"

namespace {

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
    LineColumns lines(is, LineColumns::Split::kTabs);
    std::string cell;
    // The header's names are kept (markers are found by name); the rows keep
    // only the cells of their chosen columns.
    std::vector<std::string> header;
    std::int64_t header_line = 0;
    while (header.empty() && lines.next_line()) {
        bool blank = true;
        while (lines.next_column(cell)) {
            blank = blank && cell.empty();
            header.push_back(cell);
        }
        if (blank) {
            header.clear();
        } else {
            header_line = lines.line();
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
    std::vector<std::size_t> wanted_columns = {role.at("id"), role.at("father"), role.at("mother")};
    if (family != role.end()) {
        wanted_columns.push_back(family->second);
    }
    for (const std::size_t m : chosen) {
        wanted_columns.push_back(markers[m].first);
        if (markers[m].second) {
            wanted_columns.push_back(*markers[m].second);
        }
    }
    std::map<std::size_t, std::string> cells;
    while (lines.next_line()) {
        cells.clear();
        std::size_t n = 0;
        bool blank = true;
        for (; lines.next_column(cell); ++n) {
            blank = blank && cell.empty();
            if (std::find(wanted_columns.begin(), wanted_columns.end(), n) !=
                wanted_columns.end()) {
                cells[n] = cell;
            }
        }
        // Cells lose their blanks, so only a line of blanks and tabs has no text.
        if (blank) {
            continue;
        }
        const std::int64_t number = lines.line();
        if (n != header.size()) {
            throw InputError(file_name, number,
                             "wrong number of columns: " + std::to_string(n) + ", expected " +
                                 std::to_string(header.size()) +
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
            const std::string& text = cells[columns.first];
            const std::size_t slash = text.find('/');
            if (text.empty()) {
                individual.genotypes.emplace_back("", "");
            } else if (slash == std::string::npos ||
                       text.find('/', slash + 1) != std::string::npos) {
                throw InputError(file_name, number,
                                 "marker " + columns.name + ": \"" + text +
                                     "\" is not a genotype written a/b");
            } else {
                individual.genotypes.emplace_back(text.substr(0, slash), text.substr(slash + 1));
            }
        }
        table.individuals.push_back(std::move(individual));
    }
    if (table.individuals.empty()) {
        throw InputError(file_name, 0, "the table has a header but no individual");
    }
    return table;
}
