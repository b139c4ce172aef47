#pragma once

#include <cstdint>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "io/genotype_table.h"
#include "io/mbd_writer.h"

// One individual dropped or changed by a conversion: the input line that
// holds it (for a parent not in the input, the first line naming it), its
// joined identifier and what happened to it.
struct ConversionChange {
    std::int64_t line = 0;
    std::string id;
    std::string what;
};

// What a conversion wrote and what it left out, and why.
struct ConversionSummary {
    std::size_t read = 0;
    std::size_t written = 0;
    std::size_t made_absent = 0;      // untyped parents left out: their children name them
    std::size_t parents_not_read = 0; // parents named by children but absent from the input
    std::size_t dropped_no_children = 0;
    std::size_t dropped_children_dropped = 0;
    std::size_t partly_typed = 0; // some alleles present, some missing: made untyped
    std::size_t one_known_parent = 0;
    // With `keep_partial`: the partly typed are written with "?" for the
    // missing alleles, and untyped individuals with a known parent and written
    // children as "? ?" (they link the generations).
    bool keep_partial = false;
    std::size_t listed_untyped = 0;
    std::map<std::size_t, std::size_t> families_by_sibs;
    std::size_t singles = 0;
    std::vector<std::string> markers;
    std::vector<std::vector<std::string>> alleles; // per marker, in order of appearance
    std::vector<ConversionChange> changes;         // in line order
};

struct Conversion {
    SampleDescription sample;
    ConversionSummary summary;
};

// Turns the rows of a pedigree file or table into one sample of a data file.
// Identifiers become family_individual (unique across the file); an individual
// missing any allele (`missing`, or an empty cell) is untyped: left out, named
// as an absent parent by its children when it has written children, dropped
// otherwise (but see ConversionSummary::keep_partial). Throws InputError
// naming the line of what cannot be written.
Conversion convert_table(const GenotypeTable& table, const std::string& missing,
                         bool keep_partial = false);

// Every pair of the table's markers in marker order (1-2, 1-3, ..., 2-3, ...),
// each converted exactly as the pair alone and named by pair_sample_name.
// Throws InputError when a marker name cannot stand in a sample name or a
// pair has nobody typed at both markers.
std::vector<Conversion> convert_pairs(const GenotypeTable& table, const std::string& missing,
                                      const std::string& panel, bool keep_partial = false);

void print_summary(std::ostream& os, const ConversionSummary& summary);

// One line per change: "FILE:LINE: ID: what happened".
void print_changes(std::ostream& os, const std::string& file, const ConversionSummary& summary);

// The `convert` command; `args` follow the command's name.
int run_convert(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
