// The pedigree-format and marker-map readers on inline files: what they keep
// and every refusal with its line.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "io/ped_file.h"

namespace {

GenotypeTable read(const std::string& text, const std::vector<std::string>& loci,
                   const std::string& map = "") {
    std::istringstream ped(text);
    MarkerMap markers;
    if (!map.empty()) {
        std::istringstream is(map);
        markers = read_map_file(is, "x.map", loci);
    }
    return read_ped_file(ped, "x.ped", markers, loci);
}

std::string refusal(const std::string& text, const std::vector<std::string>& loci,
                    const std::string& map = "") {
    try {
        read(text, loci, map);
    } catch (const InputError& e) {
        return e.what();
    }
    return "accepted";
}

TEST(PedFile, BlanksTabsAndCarriageReturnsSeparateTheSameColumns) {
    const GenotypeTable t = read("f1 a 0 0 1 -9 A1 A2  B1 B2 C1 C1\r\n"
                                 "\n"
                                 "f1\tb\ta\t0\t2\t-9\tA1\tA1\tB2\tB2\tC0\t0\r\n",
                                 {"3", "1"});
    ASSERT_EQ(2U, t.individuals.size());
    EXPECT_EQ((std::vector<std::string>{"3", "1"}), t.markers);
    const TableIndividual& b = t.individuals[1];
    EXPECT_EQ("f1", b.family);
    EXPECT_EQ("b", b.id);
    EXPECT_EQ("a", b.father);
    EXPECT_EQ("0", b.mother);
    EXPECT_EQ(3, b.line);
    EXPECT_EQ((std::vector<std::pair<std::string, std::string>>{{"C0", "0"}, {"A1", "A1"}}),
              b.genotypes);
}

TEST(PedFile, WideLinesKeepTheChosenMarkersOnly) {
    // Marker m holds alleles "m" and "m'": only the columns asked for are kept,
    // whether the markers are numbered or named by a map (whose first lines
    // take a blank line, tabs, CR LF and three columns).
    std::string line = "f a 0 0 1 -9";
    std::string map = "1 rs1 0 100\n\n1\trs2\t200\r\n";
    for (int m = 1; m <= 100000; ++m) {
        line += " " + std::to_string(m) + " " + std::to_string(m) + "'";
        map += m <= 2 ? "" : "1 rs" + std::to_string(m) + " 0\n";
    }
    const GenotypeTable numbered = read(line + "\n" + line, {"100000", "2"});
    ASSERT_EQ(2U, numbered.individuals.size());
    EXPECT_EQ(
        (std::vector<std::pair<std::string, std::string>>{{"100000", "100000'"}, {"2", "2'"}}),
        numbered.individuals[1].genotypes);
    const GenotypeTable named = read(line, {"rs2", "99999"}, map);
    EXPECT_EQ((std::vector<std::string>{"rs2", "rs99999"}), named.markers);
    EXPECT_EQ((std::vector<std::pair<std::string, std::string>>{{"2", "2'"}, {"99999", "99999'"}}),
              named.individuals[0].genotypes);
}

TEST(PedFile, RefusedFilesNameTheirLine) {
    const std::string good = "f a 0 0 1 -9 1 2 3 4\n";
    struct Case {
        std::string text;
        std::vector<std::string> loci;
        std::string map;
        std::string message;
    };
    const std::vector<Case> cases = {
        {"\nf a 0 0 1 -9 1\n",
         {"1"},
         "",
         "x.ped:2: a pedigree line has 6 columns (family, individual, father, mother, sex, "
         "phenotype) and two allele columns per marker; this one has 7 columns"},
        {"f a 0 0 1 -9 1 2 3\n",
         {"1"},
         "",
         "x.ped:1: odd number of allele columns (3): each marker takes two"},
        {good + "f b 0 0 1 -9 1 2 3 4 5 6\n",
         {"1"},
         "",
         "x.ped:2: wrong number of columns: 12, expected 10 (as on the first line)"},
        {good,
         {"1"},
         "1 m1 0 1\n1 m2 0 2\n1 m3 0 3\n",
         "x.ped:1: wrong number of columns: 10, expected 12 (6 and two per marker of x.map, "
         "which lists 3 markers)"},
        {good,
         {"rs9"},
         "",
         "x.ped: unknown marker name \"rs9\" (the file has 2 markers: give a name it lists or a "
         "number from 1 to 2)"},
        {good,
         {"3"},
         "",
         "x.ped: unknown marker name \"3\" (the file has 2 markers: give a name it "
         "lists or a number from 1 to 2)"},
        {good, {"1", "2", "1"}, "", "x.ped: choose one or two markers with --loci (3 given)"},
        {good, {"2", "2"}, "", "x.ped: marker \"2\" is chosen twice"},
        {good,
         {"1"},
         "1 m1\n",
         "x.map:1: a marker line has 3 or 4 columns (chromosome, marker "
         "name, position...), this one has 2"},
        {"\n \n", {"1"}, "", "x.ped: the file holds no pedigree line"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.message, refusal(c.text, c.loci, c.map)) << c.text;
    }
}

} // namespace
