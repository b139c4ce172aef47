// From rows of a pedigree file or table to the records of a data file: joined
// identifiers, what becomes of untyped individuals, and every refusal.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "datatool/convert.h"
#include "io/ped_file.h"
#include "io/table_file.h"

namespace {

Conversion convert_ped(const std::string& text, const std::vector<std::string>& loci,
                       const std::string& missing = "0") {
    std::istringstream is(text);
    return convert_table(read_ped_file(is, "x.ped", {}, loci), missing);
}

std::string records(const SampleDescription& sample) {
    std::ostringstream os;
    for (const SampleRecord& r : sample.records) {
        os << r.id << " " << r.parent1 << " " << r.parent2 << " | " << r.allele_lines[0] << " | "
           << r.allele_lines[1] << "\n";
    }
    return os.str();
}

// Every way an individual can be left out, beside those written.
const std::string kFamilies = "f1 dad 0 0 1 0 0 0 0 0\n"     // untyped, a written child
                              "f1 mum 0 0 2 0 A1 A2 B1 B2\n" //
                              "f1 kid dad mum 0 0 A1 A1 B1 B2\n"
                              "f1 ghost dad mum 0 0 0 0 0 0\n" // untyped leaf
                              "f1 half dad mum 0 0 A1 0 B1 B2\n"
                              "f2 gp 0 0 0 0 0 0 0 0\n" // its only child is untyped
                              "f2 g gp 0 0 0 0 0 0 0\n"
                              "f3 s 0 0 0 0 A2 A2 B2 B2\n"
                              "f3 one x 0 0 0 A1 A2 B1 B1\n"; // x is not in the file

TEST(Convert, UntypedParentsBecomeAbsentAndUntypedLeavesAreDropped) {
    const Conversion c = convert_ped(kFamilies, {"1", "2"});
    EXPECT_EQ("f1_mum 0 0 | A1 B1 | A2 B2\n"
              "f1_kid f1_dad f1_mum | A1 B1 | A1 B2\n"
              "f3_s 0 0 | A2 B2 | A2 B2\n"
              "f3_one f3_x 0 | A1 B1 | A2 B1\n",
              records(c.sample));
    const ConversionSummary& s = c.summary;
    EXPECT_EQ(9U, s.read);
    EXPECT_EQ(4U, s.written);
    EXPECT_EQ(3U, s.dropped_no_children);
    EXPECT_EQ((std::map<std::size_t, std::size_t>{{1, 1}}), s.families_by_sibs);
    EXPECT_EQ(2U, s.singles);
    EXPECT_EQ((std::vector<std::vector<std::string>>{{"A1", "A2"}, {"B1", "B2"}}), s.alleles);
    // Each individual dropped or changed is named once, in line order
    // (the counts come from the same branches); the absent parent on the
    // line that first names it.
    std::ostringstream changes;
    print_changes(changes, "x.ped", s);
    EXPECT_EQ("x.ped:1: f1_dad: untyped, left out as an absent parent (its children name it)\n"
              "x.ped:4: f1_ghost: untyped, dropped (no children)\n"
              "x.ped:5: f1_half: typed at some alleles but not all, made untyped; dropped (no "
              "children)\n"
              "x.ped:6: f2_gp: untyped, dropped (its children were all dropped)\n"
              "x.ped:7: f2_g: untyped, dropped (no children)\n"
              "x.ped:9: f3_one: one known parent, analysed as without parents\n"
              "x.ped:9: f3_x: named as a parent but not in the input, made absent\n",
              changes.str());
}

// --keep-partial: "?" for a missing allele; an untyped individual that links
// a known parent to written children is written "? ?"; one known parent kept.
TEST(Convert, KeepPartialWritesUnknownAllelesAndLinkingUntypedIndividuals) {
    std::istringstream is(kFamilies + "f4 gm 0 0 0 0 A1 A2 B1 B1\n"
                                      "f4 mid gm 0 0 0 0 0 0 0\n"
                                      "f4 kid4 mid 0 0 0 A1 A1 B1 B2\n");
    const Conversion c = convert_table(read_ped_file(is, "x.ped", {}, {"1", "2"}), "0", true);
    EXPECT_EQ("f1_mum 0 0 | A1 B1 | A2 B2\n"
              "f1_kid f1_dad f1_mum | A1 B1 | A1 B2\n"
              "f1_half f1_dad f1_mum | A1 B1 | ? B2\n"
              "f3_s 0 0 | A2 B2 | A2 B2\n"
              "f3_one f3_x 0 | A1 B1 | A2 B1\n"
              "f4_gm 0 0 | A1 B1 | A2 B1\n"
              "f4_mid f4_gm 0 | ? ? | ? ?\n"
              "f4_kid4 f4_mid 0 | A1 B1 | A1 B2\n",
              records(c.sample));
    std::ostringstream summary;
    print_summary(summary, c.summary);
    EXPECT_NE(std::string::npos,
              summary.str().find("Individuals with one known parent (kept linked to it; "
                                 "--whole-pedigrees reads the link): 3\n"));
    std::ostringstream changes;
    print_changes(changes, "x.ped", c.summary);
    EXPECT_EQ("x.ped:1: f1_dad: untyped, left out as an absent parent (its children name it)\n"
              "x.ped:4: f1_ghost: untyped, dropped (no children)\n"
              "x.ped:5: f1_half: typed at some alleles but not all, written with ? for the "
              "missing ones\n"
              "x.ped:6: f2_gp: untyped, dropped (its children were all dropped)\n"
              "x.ped:7: f2_g: untyped, dropped (no children)\n"
              "x.ped:9: f3_one: one known parent, kept linked to it\n"
              "x.ped:9: f3_x: named as a parent but not in the input, made absent\n"
              "x.ped:11: f4_mid: untyped, written as ? ? to link its parents and children; one "
              "known parent, kept linked to it\n"
              "x.ped:12: f4_kid4: one known parent, kept linked to it\n",
              changes.str());
}

TEST(Convert, OneMarkerKeepsThoseTypedThere) {
    // "half" is typed at marker 2; "ghost" and "g" are not.
    const Conversion c = convert_ped(kFamilies, {"2"});
    EXPECT_EQ("f1_mum 0 0 | B1 | B2\n"
              "f1_kid f1_dad f1_mum | B1 | B2\n"
              "f1_half f1_dad f1_mum | B1 | B2\n"
              "f3_s 0 0 | B2 | B2\n"
              "f3_one f3_x 0 | B1 | B1\n",
              records(c.sample));
    EXPECT_EQ((std::map<std::size_t, std::size_t>{{2, 1}}), c.summary.families_by_sibs);
    EXPECT_EQ(0U, c.summary.partly_typed);
}

TEST(Convert, AnotherMissingCodeMakesZeroAnAllele) {
    const Conversion c = convert_ped("f a 0 0 0 0 0 -9\nf b 0 0 0 0 0 1\n", {"1"}, "-9");
    EXPECT_EQ("f_b 0 0 | 0 | 1\n", records(c.sample));
}

TEST(Convert, TableWithoutFamilyKeepsIdentifiers) {
    std::istringstream is("id\tfather\tmother\tA\n"
                          "p\t\t\t1/2\n"
                          "q\t0\t0\t\n"
                          "c\tp\tq\t2/2\n");
    const Conversion c = convert_table(read_table_file(is, "t.tsv", {"A"}), "0");
    EXPECT_EQ("p 0 0 | 1 | 2\nc p q | 2 | 2\n", records(c.sample));
    EXPECT_EQ(1U, c.summary.made_absent);
}

std::string refusal(const std::string& text, const std::string& format = "ped") {
    try {
        std::istringstream is(text);
        const GenotypeTable t = format == "ped" ? read_ped_file(is, "x.ped", {}, {"1"})
                                                : read_table_file(is, "x.tsv", {"1"});
        convert_table(t, "0");
    } catch (const InputError& e) {
        return e.what();
    }
    return "accepted";
}

TEST(Convert, RefusalsNameTheLine) {
    struct Case {
        std::string text;
        std::string format;
        std::string message;
    };
    const std::vector<Case> cases = {
        {"f a 0 0 0 0 1 2\n\nf a 0 0 0 0 1 2\n", "ped",
         "x.ped:3: duplicate identifier f_a (also on line 1)"},
        // Joined identifiers must not meet across families, as rows or as parents.
        {"a_b c 0 0 0 0 1 2\na b_c 0 0 0 0 1 2\n", "ped",
         "x.ped:2: individual b_c of family a becomes a_b_c, as does individual c of family a_b "
         "on line 1: the two would be one individual; rename one of them"},
        {"x_y dad 0 0 0 0 1 2\nx kid y_dad 0 0 0 1 2\n", "ped",
         "x.ped:2: father y_dad of family x becomes x_y_dad, as does individual dad of family x_y "
         "on line 1: the two would be one individual; rename one of them"},
        {"x kid 0 y_mum 0 0 1 2\nx_y mum 0 0 0 0 1 2\n", "ped",
         "x.ped:2: individual mum of family x_y becomes x_y_mum, as does mother y_mum of family x "
         "on line 1: the two would be one individual; rename one of them"},
        {"f a 0 0 0 0 1 2\nf b 0 b 0 0 1 2\n", "ped", "x.ped:2: individual f_b is its own parent"},
        {"f a b b 0 0 1 2\n", "ped", "x.ped:1: individual f_a has f_b as both father and mother"},
        {"f a b c 0 0 1 2\nf c 0 0 0 0 1 2\nf b a c 0 0 1 2\n", "ped",
         "x.ped:1: individual f_a is its own ancestor: f_a is a child of f_b is a child of f_a"},
        {"f a 0 0 0 0 A# 1\n", "ped",
         "x.ped:1: marker 1: allele \"A#\" cannot be written in a data file: it holds '#', which "
         "the report uses for unseen alleles"},
        {"f 0 0 0 0 0 1 2\n", "ped",
         "x.ped:1: the individual of family f has no identifier (\"0\" stands for an unknown one)"},
        {"f a 0 0 0 0 0 1\n", "ped",
         "x.ped: no individual is typed at the chosen markers: nothing to write"},
        {"id\tfather\tmother\tA_1\tA_2\nx\t0\t0\tA 1\tA2\n", "tsv",
         "x.tsv:2: marker A: allele \"A 1\" cannot be written in a data file: it holds a blank"},
        {"id\tfather\tmother\tA\nx y\t0\t0\t1/2\n", "tsv",
         "x.tsv:2: identifier \"x y\" cannot be written in a data file: it holds a blank"},
        {"family\tid\tfather\tmother\tA\nf\tx\tp q\t0\t1/2\n", "tsv",
         "x.tsv:2: parent \"p q\" cannot be written in a data file: it holds a blank"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.message, refusal(c.text, c.format)) << c.text;
    }
}

TEST(Convert, DeepPedigreesAreWalkedWithoutRecursion) {
    // Each individual the father of the next, far deeper than a call stack
    // would allow; then the first made a child of the last.
    std::string text;
    const int depth = 200000;
    for (int i = 0; i < depth; ++i) {
        text += "f i" + std::to_string(i) + " " + (i == 0 ? "0" : "i" + std::to_string(i - 1)) +
                " 0 0 0 1 2\n";
    }
    EXPECT_EQ(static_cast<std::size_t>(depth), convert_ped(text, {"1"}).summary.written);
    text.replace(text.find("f i0 0"), 6, "f i0 i" + std::to_string(depth - 1));
    const std::string message = refusal(text);
    EXPECT_EQ(0U, message.find("x.ped:1: individual f_i0 is its own ancestor: f_i0 is a child of "
                               "f_i199999 is a child of f_i199998"))
        << message.substr(0, 200);
}

} // namespace
