#include "datatool/convert.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <optional>
#include <set>
#include <unordered_map>

#include "datatool/command_line.h"
#include "datatool/usage.h"
#include "io/pair_name.h"
#include "io/ped_file.h"
#include "io/table_file.h"
#include "population/sample_families.h"
#include "support/atomic_output_file.h"

namespace {

const char* const kUnknownParent = "0";

// Why a name cannot go into a data file, or "" when it can: blanks separate
// names there, and '#' is the report's name for unseen alleles.
std::string unsafe_reason(const std::string& name) {
    if (name.empty()) {
        return "is empty";
    }
    for (const char c : name) {
        if (c == ' ' || c == '\t') {
            return "holds a blank";
        }
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) {
            return "holds a control character";
        }
        if (c == '#') {
            return "holds '#', which the report uses for unseen alleles";
        }
    }
    return "";
}

std::string joined_id(const std::string& family, const std::string& id) {
    return family.empty() ? id : family + "_" + id;
}

bool unknown_parent(const std::string& parent) {
    return parent.empty() || parent == kUnknownParent;
}

// Who a joined identifier stands for: the family and identifier as written,
// and the first line that yields it.
struct JoinedSource {
    std::string family;
    std::string id;
    std::string role; // "individual", "father" or "mother"
    std::int64_t line = 0;
};

std::string describe(const JoinedSource& s) {
    return s.role + " " + s.id + (s.family.empty() ? "" : " of family " + s.family);
}

// Refuses a joined identifier that another family's name also yields
// (family x_y, individual dad and family x, father y_dad both give x_y_dad):
// the data file would make them one individual.
void refuse_collision(const GenotypeTable& table,
                      std::unordered_map<std::string, JoinedSource>& sources,
                      const std::string& joined, JoinedSource source) {
    const auto [known, inserted] = sources.emplace(joined, source);
    const JoinedSource& first = known->second;
    if (inserted || (first.family == source.family && first.id == source.id)) {
        return;
    }
    throw InputError(table.file, source.line,
                     describe(source) + " becomes " + joined + ", as does " + describe(first) +
                         " on line " + std::to_string(first.line) +
                         ": the two would be one individual; rename one of them");
}

struct Row {
    std::string id;
    std::string father; // joined, or "" when unknown
    std::string mother;
    bool typed = false;
};

void check_name(const GenotypeTable& table, const TableIndividual& who, const std::string& what,
                const std::string& name) {
    const std::string reason = unsafe_reason(name);
    if (!reason.empty()) {
        throw InputError(table.file, who.line,
                         what + " \"" + name + "\" cannot be written in a data file: it " + reason);
    }
}

// Stops at an individual that is its own ancestor, naming the chain. The walk
// keeps its own stack: a pedigree may be deeper than the call stack.
void refuse_cycles(const GenotypeTable& table, const std::vector<Row>& rows,
                   const std::unordered_map<std::string, std::size_t>& row_of) {
    enum class Mark { kNew, kOpen, kDone };
    std::vector<Mark> mark(rows.size(), Mark::kNew);
    auto parent_row = [&](std::size_t i, std::size_t which) -> std::optional<std::size_t> {
        const std::string& parent = which == 0 ? rows[i].father : rows[i].mother;
        const auto it = row_of.find(parent);
        return parent.empty() || it == row_of.end() ? std::nullopt
                                                    : std::optional<std::size_t>(it->second);
    };
    // The open path: each row with the parent it looks at next.
    std::vector<std::pair<std::size_t, std::size_t>> path;
    for (std::size_t start = 0; start < rows.size(); ++start) {
        if (mark[start] != Mark::kNew) {
            continue;
        }
        mark[start] = Mark::kOpen;
        path.emplace_back(start, 0);
        while (!path.empty()) {
            auto& [i, which] = path.back();
            if (which == 2) {
                mark[i] = Mark::kDone;
                path.pop_back();
                continue;
            }
            const std::optional<std::size_t> p = parent_row(i, which++);
            if (!p || mark[*p] == Mark::kDone) {
                continue;
            }
            if (mark[*p] == Mark::kOpen) {
                std::string chain;
                auto k = path.begin();
                while (k->first != *p) {
                    ++k;
                }
                for (; k != path.end(); ++k) {
                    chain += rows[k->first].id + " is a child of ";
                }
                chain += rows[*p].id;
                throw InputError(table.file, table.individuals[*p].line,
                                 "individual " + rows[*p].id + " is its own ancestor: " + chain);
            }
            mark[*p] = Mark::kOpen;
            path.emplace_back(*p, 0);
        }
    }
}

} // namespace

Conversion convert_table(const GenotypeTable& table, const std::string& missing,
                         bool keep_partial) {
    Conversion result;
    ConversionSummary& summary = result.summary;
    summary.keep_partial = keep_partial;
    auto is_missing = [&](const std::string& allele) {
        return allele.empty() || allele == missing;
    };
    summary.read = table.individuals.size();
    summary.markers = table.markers;
    summary.alleles.resize(table.markers.size());

    std::vector<Row> rows;
    std::unordered_map<std::string, std::size_t> row_of;
    std::unordered_map<std::string, JoinedSource> sources;
    std::vector<bool> partly; // per row: typed at some alleles but not all
    for (const TableIndividual& x : table.individuals) {
        const std::string where = x.family.empty() ? "" : " of family " + x.family;
        if (!x.family.empty()) {
            check_name(table, x, "family", x.family);
        }
        if (unknown_parent(x.id)) {
            throw InputError(table.file, x.line,
                             "the individual" + where + " has no identifier (\"" + x.id +
                                 "\" stands for an unknown one)");
        }
        check_name(table, x, "identifier", x.id);
        Row row;
        row.id = joined_id(x.family, x.id);
        for (auto [raw, joined] :
             {std::pair{&x.father, &row.father}, std::pair{&x.mother, &row.mother}}) {
            if (!unknown_parent(*raw)) {
                check_name(table, x, "parent", *raw);
                *joined = joined_id(x.family, *raw);
            }
        }
        if (row.father == row.id || row.mother == row.id) {
            throw InputError(table.file, x.line, "individual " + row.id + " is its own parent");
        }
        if (!row.father.empty() && row.father == row.mother) {
            throw InputError(table.file, x.line,
                             "individual " + row.id + " has " + row.father +
                                 " as both father and mother");
        }
        refuse_collision(table, sources, row.id, {x.family, x.id, "individual", x.line});
        if (!row.father.empty()) {
            refuse_collision(table, sources, row.father, {x.family, x.father, "father", x.line});
        }
        if (!row.mother.empty()) {
            refuse_collision(table, sources, row.mother, {x.family, x.mother, "mother", x.line});
        }
        const auto [seen, inserted] = row_of.emplace(row.id, rows.size());
        if (!inserted) {
            throw InputError(table.file, x.line,
                             "duplicate identifier " + row.id + " (also on line " +
                                 std::to_string(table.individuals[seen->second].line) + ")");
        }
        std::size_t present = 0;
        for (std::size_t m = 0; m < x.genotypes.size(); ++m) {
            for (const std::string* allele : {&x.genotypes[m].first, &x.genotypes[m].second}) {
                if (is_missing(*allele)) {
                    continue;
                }
                check_name(table, x, "marker " + table.markers[m] + ": allele", *allele);
                ++present;
            }
        }
        row.typed = present == 2 * x.genotypes.size();
        partly.push_back(present > 0 && !row.typed);
        if (partly.back()) {
            ++summary.partly_typed;
            row.typed = keep_partial;
        }
        rows.push_back(std::move(row));
    }
    refuse_cycles(table, rows, row_of);

    // Who is named as a parent by someone written, and by anyone at all.
    std::set<std::string> named_by_written;
    std::set<std::string> named;
    for (const Row& row : rows) {
        for (const std::string* parent : {&row.father, &row.mother}) {
            if (parent->empty()) {
                continue;
            }
            named.insert(*parent);
            if (row.typed) {
                named_by_written.insert(*parent);
            }
        }
    }
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const Row& row = rows[i];
        const TableIndividual& x = table.individuals[i];
        const bool links = keep_partial && named_by_written.count(row.id) != 0 &&
                           (!row.father.empty() || !row.mother.empty());
        std::string what = partly[i] ? (keep_partial ? "typed at some alleles but not all, "
                                                       "written with ? for the missing ones"
                                                     : "typed at some alleles but not all, "
                                                       "made untyped")
                                     : "";
        auto note = [&](const std::string& text) { what += (what.empty() ? "" : "; ") + text; };
        auto untyped = [&](const std::string& text) {
            note((what.empty() ? "untyped, " : "") + text);
        };
        if (links && !row.typed) {
            ++summary.listed_untyped;
            note("untyped, written as ? ? to link its parents and children");
        } else if (!row.typed) {
            if (named_by_written.count(row.id) != 0) {
                ++summary.made_absent;
                untyped("left out as an absent parent (its children name it)");
            } else if (named.count(row.id) != 0) {
                ++summary.dropped_children_dropped;
                untyped("dropped (its children were all dropped)");
            } else {
                ++summary.dropped_no_children;
                untyped("dropped (no children)");
            }
            summary.changes.push_back({x.line, row.id, what});
            continue;
        }
        SampleRecord record;
        record.id = row.id;
        record.parent1 = row.father.empty() ? kUnknownParent : row.father;
        record.parent2 = row.mother.empty() ? kUnknownParent : row.mother;
        for (std::size_t m = 0; m < x.genotypes.size(); ++m) {
            const std::string& a = is_missing(x.genotypes[m].first) ? "?" : x.genotypes[m].first;
            const std::string& b = is_missing(x.genotypes[m].second) ? "?" : x.genotypes[m].second;
            record.allele_lines[0] += (m == 0 ? "" : " ") + a;
            record.allele_lines[1] += (m == 0 ? "" : " ") + b;
            for (const std::string* allele : {&a, &b}) {
                auto& seen = summary.alleles[m];
                if (*allele != "?" && std::find(seen.begin(), seen.end(), *allele) == seen.end()) {
                    seen.push_back(*allele);
                }
            }
        }
        result.sample.records.push_back(std::move(record));
        if (row.father.empty() != row.mother.empty()) {
            ++summary.one_known_parent;
            note(keep_partial ? "one known parent, kept linked to it"
                              : "one known parent, analysed as without parents");
        }
        if (!what.empty()) {
            summary.changes.push_back({x.line, row.id, what});
        }
    }
    for (const std::string& id : named_by_written) {
        if (row_of.count(id) == 0) {
            ++summary.parents_not_read;
            summary.changes.push_back(
                {sources.at(id).line, id, "named as a parent but not in the input, made absent"});
        }
    }
    std::stable_sort(
        summary.changes.begin(), summary.changes.end(),
        [](const ConversionChange& a, const ConversionChange& b) { return a.line < b.line; });
    const FamilyStructure structure = family_structure(result.sample);
    summary.families_by_sibs = structure.families_by_sibs;
    summary.singles = structure.singles;
    summary.written = result.sample.records.size();
    if (summary.written == 0) {
        throw InputError(table.file, 0,
                         "no individual is typed at the chosen markers: nothing to write");
    }
    return result;
}

std::vector<Conversion> convert_pairs(const GenotypeTable& table, const std::string& missing,
                                      const std::string& panel, bool keep_partial) {
    for (const std::string& marker : table.markers) {
        if (!pair_marker_name_ok(marker)) {
            throw InputError(table.file, 0,
                             "marker \"" + marker +
                                 "\" cannot name a pair's sample (PANEL: MARKER1 x MARKER2): "
                                 "it holds a blank");
        }
    }
    std::vector<Conversion> pairs;
    for (std::size_t first = 0; first < table.markers.size(); ++first) {
        for (std::size_t second = first + 1; second < table.markers.size(); ++second) {
            GenotypeTable pair{table.file, {table.markers[first], table.markers[second]}, {}};
            pair.individuals = table.individuals;
            for (TableIndividual& x : pair.individuals) {
                x.genotypes = {x.genotypes[first], x.genotypes[second]};
            }
            try {
                pairs.push_back(convert_table(pair, missing, keep_partial));
            } catch (const InputError& e) {
                // Only the empty pair is refused for the whole file (line 0):
                // say which pair it is.
                if (e.line() != 0) {
                    throw;
                }
                throw InputError(e.file(), 0,
                                 "markers " + pair.markers[0] + " and " + pair.markers[1] + ": " +
                                     e.message());
            }
            pairs.back().sample.name = pair_sample_name(panel, pair.markers[0], pair.markers[1]);
        }
    }
    return pairs;
}

void print_summary(std::ostream& os, const ConversionSummary& s) {
    os << "Individuals read: " << s.read << "\n"
       << "Individuals written: " << s.written << "\n"
       << "Untyped parents made absent (their children name them): " << s.made_absent << "\n"
       << "Parents named by their children but not in the input (absent): " << s.parents_not_read
       << "\n"
       << "Individuals dropped: " << s.dropped_no_children + s.dropped_children_dropped << "\n"
       << "  untyped, without children: " << s.dropped_no_children << "\n"
       << "  untyped, whose children were all dropped: " << s.dropped_children_dropped << "\n"
       << "Individuals typed at some alleles but not all ("
       << (s.keep_partial ? "written with ? for the missing ones" : "made untyped")
       << "): " << s.partly_typed << "\n";
    if (s.keep_partial) {
        os << "Untyped individuals written as ? ? to link their parents and children: "
           << s.listed_untyped << "\n";
    }
    if (s.one_known_parent > 0) {
        os << "Individuals with one known parent ("
           << (s.keep_partial ? "kept linked to it; --whole-pedigrees reads the link"
                              : "analysed as without parents")
           << "): " << s.one_known_parent << "\n";
    }
    std::size_t families = 0;
    for (const auto& [sibs, count] : s.families_by_sibs) {
        families += count;
    }
    os << "Families: " << families;
    const char* separator = " (";
    for (const auto& [sibs, count] : s.families_by_sibs) {
        os << separator << count << " with " << sibs << (sibs == 1 ? " child" : " children");
        separator = ", ";
    }
    os << (families > 0 ? ")" : "") << "\n"
       << "Singles: " << s.singles << "\n";
    for (std::size_t m = 0; m < s.markers.size(); ++m) {
        os << "Locus " << m + 1 << " (marker " << s.markers[m] << "): " << s.alleles[m].size()
           << (s.alleles[m].size() == 1 ? " allele:" : " alleles:");
        for (const std::string& a : s.alleles[m]) {
            os << " " << a;
        }
        os << "\n";
    }
}

void print_changes(std::ostream& os, const std::string& file, const ConversionSummary& s) {
    for (const ConversionChange& change : s.changes) {
        os << file << ":" << change.line << ": " << change.id << ": " << change.what << "\n";
    }
}

namespace {

std::vector<std::string> split_commas(const std::string& text) {
    std::vector<std::string> pieces;
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t end = std::min(text.find(',', start), text.size());
        pieces.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return pieces;
}

std::ifstream open_input(const std::string& path) {
    std::ifstream is(path, std::ios::binary);
    if (!is) {
        throw InputError(path, 0, "cannot open the file");
    }
    return is;
}

std::string format_of(const datatool::CommandLine& line, const std::string& input) {
    const std::string given = line.option("format");
    if (!given.empty()) {
        if (given != "ped" && given != "tsv") {
            throw UsageError("--format is ped or tsv, not \"" + given + "\"");
        }
        return given;
    }
    const std::string extension = std::filesystem::path(input).extension().string();
    if (extension == ".ped") {
        return "ped";
    }
    if (extension == ".tsv" || extension == ".tab") {
        return "tsv";
    }
    throw UsageError("cannot tell the format of " + input +
                     " from its name: give --format ped or --format tsv");
}

} // namespace

int run_convert(const std::vector<std::string>& args, std::ostream& out, std::ostream& /*err*/) {
    const datatool::CommandLine line = datatool::parse_command_line(
        args,
        {"output", "loci", "format", "map", "missing", "simulations", "starts", "name", "changes"},
        {"keep-partial"});
    if (line.help) {
        out << kConvertUsage;
        return 0;
    }
    if (line.positional.size() != 1) {
        throw UsageError("convert takes one input file");
    }
    const std::string input = line.positional[0];
    const std::string output = line.option("output");
    if (output.empty()) {
        throw UsageError("convert needs the output file: -o OUTPUT.mbd");
    }
    // Every file read, the map beside the input too, must stay as it is.
    const std::vector<std::string> inputs = {
        input, line.option("map"), std::filesystem::path(input).replace_extension(".map").string()};
    check_output_target(output, inputs);
    const std::string changes = line.option("changes");
    if (line.options.count("changes") != 0) {
        if (changes.empty() || changes == output) {
            throw UsageError("--changes needs a file of its own, not the data file");
        }
        std::vector<std::string> read_and_written = inputs;
        read_and_written.push_back(output);
        check_output_target(changes, read_and_written);
    }
    if (line.option("loci").empty()) {
        throw UsageError(
            "convert needs the markers to keep: --loci L1,L2 (one marker, or more for every "
            "pair of them, or all)");
    }
    const std::vector<std::string> loci = split_commas(line.option("loci"));
    const std::string missing = line.option("missing", "0");
    const std::int32_t simulations = line.count("simulations", kDefaultSimulations);
    const std::int32_t starts = line.count("starts", kDefaultStarts);
    if (starts < 1) {
        throw UsageError("--starts must be at least 1");
    }
    std::string name = line.option("name", std::filesystem::path(input).stem().string());
    if (name.find_first_not_of(" \t") == std::string::npos ||
        name.find_first_of("\r\n") != std::string::npos) {
        throw UsageError("the sample name must be one line, not blank");
    }
    name = name.substr(name.find_first_not_of(" \t"));

    GenotypeTable table;
    const std::string format = format_of(line, input);
    std::ifstream is = open_input(input);
    if (format == "ped") {
        std::string map_name = line.option("map");
        if (map_name.empty()) {
            const std::string beside =
                std::filesystem::path(input).replace_extension(".map").string();
            if (beside != input && std::filesystem::exists(beside)) {
                map_name = beside;
            }
        }
        MarkerMap markers;
        if (!map_name.empty()) {
            std::ifstream map = open_input(map_name);
            markers = read_map_file(map, map_name, loci);
        }
        table = read_ped_file(is, input, markers, loci);
    } else {
        table = read_table_file(is, input, loci);
    }
    const bool keep_partial = line.flags.count("keep-partial") != 0;
    std::vector<Conversion> conversions;
    if (table.markers.size() <= 2) {
        conversions.push_back(convert_table(table, missing, keep_partial));
        conversions.back().sample.name = name;
    } else {
        conversions = convert_pairs(table, missing, name, keep_partial);
    }
    DataFileContent content;
    content.n_simulated = simulations;
    content.n_initial = starts;
    for (const Conversion& conversion : conversions) {
        content.samples.push_back(conversion.sample);
    }
    // The list is finished before the data file is saved and renamed after
    // it, so that a failure leaves no list beside an older data file.
    std::optional<AtomicOutputFile> list;
    std::size_t listed = 0;
    if (!changes.empty()) {
        list.emplace(changes);
        for (const Conversion& conversion : conversions) {
            if (conversions.size() > 1) {
                list->stream() << "Sample \"" << conversion.sample.name << "\":\n";
            }
            print_changes(list->stream(), input, conversion.summary);
            listed += conversion.summary.changes.size();
        }
        if (!list->finish()) {
            throw OutputError(changes, list->error());
        }
    }
    save_mbd(output, content, inputs);
    if (list) {
        list->commit();
    }
    const std::string listed_line =
        list ? "Individuals dropped or changed, one line each: " + std::to_string(listed) +
                   ", in " + changes + "\n"
             : "";
    const std::string run_parameters = std::to_string(simulations) + " simulated samples, " +
                                       std::to_string(starts) + " initial conditions\n";
    if (conversions.size() == 1) {
        const Conversion& conversion = conversions.front();
        out << "Wrote " << output << ": sample \"" << conversion.sample.name << "\", "
            << conversion.sample.records.size() << " individuals, " << table.markers.size()
            << (table.markers.size() == 1 ? " locus, " : " loci, ") << run_parameters;
        print_summary(out, conversion.summary);
        out << listed_line;
        return 0;
    }
    out << "Wrote " << output << ": " << conversions.size() << " samples, one per pair of "
        << table.markers.size() << " markers (";
    for (std::size_t m = 0; m < table.markers.size(); ++m) {
        out << (m == 0 ? "" : ", ") << table.markers[m];
    }
    out << "), " << run_parameters;
    for (const Conversion& conversion : conversions) {
        out << "\nSample \"" << conversion.sample.name << "\": " << conversion.sample.records.size()
            << " individuals\n";
        print_summary(out, conversion.summary);
    }
    out << (listed_line.empty() ? "" : "\n" + listed_line);
    return 0;
}
