// The tab-separated table reader: header roles, the two ways of writing a
// marker, and every refusal with its line.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "io/table_file.h"

namespace {

using Genotypes = std::vector<std::pair<std::string, std::string>>;

GenotypeTable read(const std::string& text, const std::vector<std::string>& loci) {
    std::istringstream is(text);
    return read_table_file(is, "t.tsv", loci);
}

std::string refusal(const std::string& text, const std::vector<std::string>& loci) {
    try {
        read(text, loci);
    } catch (const InputError& e) {
        return e.what();
    }
    return "accepted";
}

TEST(TableFile, PairedColumnsSlashCellsAndPaddedCells) {
    const GenotypeTable t = read("Family\tID\tsex\tFather\tMother\tA_1\tA_2\tB\r\n"
                                 "\r\n"
                                 "f1\t c1 \t2\tp\tq\tA1\tA2\tB1/B3\r\n"
                                 "f1\tc2\t1\tp\tq\t0\t\t\r\n",
                                 {"B", "A"});
    EXPECT_EQ((std::vector<std::string>{"B", "A"}), t.markers);
    ASSERT_EQ(2U, t.individuals.size());
    EXPECT_EQ("f1", t.individuals[0].family);
    EXPECT_EQ("c1", t.individuals[0].id);
    EXPECT_EQ(3, t.individuals[0].line);
    EXPECT_EQ((Genotypes{{"B1", "B3"}, {"A1", "A2"}}), t.individuals[0].genotypes);
    EXPECT_EQ((Genotypes{{"", ""}, {"0", ""}}), t.individuals[1].genotypes);
}

TEST(TableFile, WithoutFamilyColumnAndMarkersByNumber) {
    // Markers in header order: sex is marker 1, A marker 2.
    const GenotypeTable t = read("id\tfather\tmother\tsex\tA\nx\t0\t0\t1\t3/4\n", {"2"});
    EXPECT_EQ("", t.individuals[0].family);
    EXPECT_EQ((Genotypes{{"3", "4"}}), t.individuals[0].genotypes);
}

TEST(TableFile, RefusedTablesNameTheirLine) {
    const std::string header = "id\tfather\tmother\tA\n";
    struct Case {
        std::string text;
        std::string message;
    };
    const std::vector<Case> cases = {
        {"\n", "t.tsv: the file is empty: a header row is expected"},
        {"\nid\tfather\tA\n", "t.tsv:2: the header has no column \"mother\""},
        {"id\tfather\tmother\tA\tA\n", "t.tsv:1: column \"A\" appears twice"},
        {"id\tfather\tmother\tID\n", "t.tsv:1: column \"id\" appears twice"},
        {"id\tfather\tmother\t\tA\n", "t.tsv:1: column 4 of the header has no name"},
        {header + "x 0 0 1/2\n",
         "t.tsv:2: wrong number of columns: 1, expected 4 as in the header (columns are separated "
         "by tabs)"},
        {header + "x\t0\t0\t1/2\ny\t0\t0\t1-2\n",
         "t.tsv:3: marker A: \"1-2\" is not a genotype written a/b"},
        {header + "x\t0\t0\t1/2/3\n", "t.tsv:2: marker A: \"1/2/3\" is not a genotype written a/b"},
        {header, "t.tsv: the table has a header but no individual"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.message, refusal(c.text, {"A"})) << c.text;
    }
    EXPECT_EQ("t.tsv:1: unknown marker name \"B\" (the file has 1 marker: give a name it lists "
              "or a number from 1 to 1)",
              refusal(header, {"B"}));
}

} // namespace
