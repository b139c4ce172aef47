// End-to-end runs of tovaquor-data on small files in a temporary directory:
// conversions pinned byte for byte, refusals with their lines and no output
// left behind, the check and the clean of planted incompatible families, and
// round trips through the analysis.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/harness/e2e_harness.h"

namespace {

using Files = std::vector<std::pair<std::string, std::string>>;

// Blanks and tabs mixed, Windows line endings, markers named by a map beside it.
const std::string kPed = "fam1\tdad 0 0 1 -9 0 0 0 0\r\n"
                         "fam1 mum 0 0 2 -9\tA1 A2\tB1 B2\r\n"
                         "fam1 k1 dad mum 1 -9 A1 A3 B1 B1\r\n"
                         "\r\n"
                         "fam1 k2 dad mum 2 -9 A2 A3 B2 B1\r\n"
                         "fam1 k3 dad mum 2 -9 0 0 0 0\r\n"
                         "fam2 p 0 0 1 -9 A3 A3 B2 B2\r\n"
                         "fam2 q 0 0 2 -9 A1 0 B1 B1\r\n"
                         "fam2 r p q 1 -9 A3 A1 B2 B1\r\n"
                         "un s1 0 0 0 -9 A1 A2 B1 B2\r\n"
                         "un s2 0 0 0 -9 A2 A2 B2 B2\r\n"
                         "un s3 0 0 0 -9 A1 A3 B1 B2\r\n";
const std::string kMap = "1 A 0 100\r\n1 B 0 200\r\n";

const std::string kConvertedSummary =
    "Individuals read: 11\n"
    "Individuals written: 8\n"
    "Untyped parents made absent (their children name them): 2\n"
    "Parents named by their children but not in the input (absent): 0\n"
    "Individuals dropped: 1\n"
    "  untyped, without children: 1\n"
    "  untyped, whose children were all dropped: 0\n"
    "Individuals typed at some alleles but not all (made untyped): 1\n"
    "Families: 2 (1 with 1 child, 1 with 2 children)\n"
    "Singles: 3\n";

TEST(DataToolConvert, PedigreeFileWithMapTabsAndCarriageReturns) {
    const e2e::Result r = e2e::run_data_tool({"convert", "fam.ped", "-o", "fam.mbd", "--loci",
                                              "A,B", "--simulations", "20", "--starts", "3"},
                                             {{"fam.ped", kPed}, {"fam.map", kMap}}, {"fam.mbd"});
    EXPECT_EQ(0, r.status) << r.errors;
    EXPECT_EQ("", r.errors);
    EXPECT_EQ("1 20 3\n8\nfam\n"
              "fam1_mum 0 0\nA1 B1\nA2 B2\n"
              "fam1_k1 fam1_dad fam1_mum\nA1 B1\nA3 B1\n"
              "fam1_k2 fam1_dad fam1_mum\nA2 B2\nA3 B1\n"
              "fam2_p 0 0\nA3 B2\nA3 B2\n"
              "fam2_r fam2_p fam2_q\nA3 B2\nA1 B1\n"
              "un_s1 0 0\nA1 B1\nA2 B2\n"
              "un_s2 0 0\nA2 B2\nA2 B2\n"
              "un_s3 0 0\nA1 B1\nA3 B2\n",
              r.collected.at("fam.mbd"));
    EXPECT_EQ("Wrote fam.mbd: sample \"fam\", 8 individuals, 2 loci, 20 simulated samples, 3 "
              "initial conditions\n" +
                  kConvertedSummary +
                  "Locus 1 (marker A): 3 alleles: A1 A2 A3\n"
                  "Locus 2 (marker B): 2 alleles: B1 B2\n",
              r.console);
    // --changes names what the summary counts and adds one line; the data
    // file stays the same.
    const e2e::Result listed =
        e2e::run_data_tool({"convert", "fam.ped", "-o", "fam.mbd", "--loci", "A,B", "--simulations",
                            "20", "--starts", "3", "--changes", "changed.txt"},
                           {{"fam.ped", kPed}, {"fam.map", kMap}}, {"fam.mbd", "changed.txt"});
    EXPECT_EQ(0, listed.status) << listed.errors;
    EXPECT_EQ(r.collected.at("fam.mbd"), listed.collected.at("fam.mbd"));
    EXPECT_EQ(r.console + "Individuals dropped or changed, one line each: 3, in changed.txt\n",
              listed.console);
    EXPECT_EQ("fam.ped:1: fam1_dad: untyped, left out as an absent parent (its children name "
              "it)\n"
              "fam.ped:6: fam1_k3: untyped, dropped (no children)\n"
              "fam.ped:8: fam2_q: typed at some alleles but not all, made untyped; left out as an "
              "absent parent (its children name it)\n",
              listed.collected.at("changed.txt"));
}

TEST(DataToolConvert, OneLocusByNumberWithoutMapAndDefaults) {
    // Without a map the markers are numbered; "q" is typed at marker 2.
    const e2e::Result r = e2e::run_data_tool(
        {"convert", "fam.ped", "--output=one.mbd", "--loci", "2", "--name", "Marker two"},
        {{"fam.ped", kPed}}, {"one.mbd"});
    EXPECT_EQ(0, r.status) << r.errors;
    // The defaults, then records as in the two-marker file, with q kept.
    const std::string written = r.collected.at("one.mbd");
    EXPECT_EQ(0U, written.find("1 1000 5\n9\nMarker two\nfam1_mum 0 0\nB1\nB2\n"));
    EXPECT_NE(std::string::npos, r.console.find("Locus 1 (marker 2): 2 alleles: B1 B2\n"));
}

TEST(DataToolConvert, RefusedInputsNameFileAndLineAndWriteNothing) {
    struct Case {
        Files files;
        std::vector<std::string> args;
        std::string errors;
    };
    const std::string ok = "f a 0 0 0 0 1 2\n";
    // Refused by the map, by the conversion after reading and by the table
    // reader, and a map that cannot be opened; the wording of each message is
    // pinned by the readers' and the conversion's own tests.
    const std::vector<Case> cases = {
        {{{"x.ped", ok}, {"x.map", "1 A 0 1\n"}},
         {"--loci", "B"},
         "x.map: unknown marker name \"B\" (the file has 1 marker: give a name it lists or a "
         "number from 1 to 1)\n"},
        {{{"x.ped", ok + "f c 0 0 0 0 1 2\nf a 0 0 0 0 1 2\n"}},
         {"--loci", "1"},
         "x.ped:3: duplicate identifier f_a (also on line 1)\n"},
        {{{"x.tsv", "id\tfather\tmother\tA\nx\t0\t0\t1/2\ny\t0\t0\n"}},
         {"--loci", "A"},
         "x.tsv:3: wrong number of columns: 3, expected 4 as in the header (columns are "
         "separated by tabs)\n"},
        {{{"x.ped", ok}}, {"--loci", "1", "--map", "none.map"}, "none.map: cannot open the file\n"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args{"convert", c.files[0].first, "-o", "out.mbd"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const e2e::Result r = e2e::run_data_tool(args, c.files);
        EXPECT_EQ(1, r.status) << c.errors;
        EXPECT_EQ(c.errors, r.errors);
        EXPECT_EQ("", r.console);
        std::vector<std::string> inputs;
        for (const auto& [name, text] : c.files) {
            inputs.push_back(name);
        }
        std::sort(inputs.begin(), inputs.end());
        EXPECT_EQ(inputs, r.left) << c.errors; // no output, whole or partial
    }
}

TEST(DataToolConvert, CommandLineMistakesPointToHelp) {
    const Files files{{"x.ped", "f a 0 0 0 0 1 2\n"}};
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"convert", "x.ped", "-o", "y.mbd"},
         "convert needs the markers to keep: --loci L1,L2 (one marker, or more for every pair of "
         "them, or all)"},
        {{"convert", "x.ped", "--loci", "1"}, "convert needs the output file: -o OUTPUT.mbd"},
        {{"convert", "x.ped", "-o", "y.mbd", "--loci", "1", "--starts", "-2"},
         "--starts takes a whole number from 0 to 999999999, not \"-2\""},
        {{"convert", "x.ped", "-o", "y.mbd", "--loci", "1", "--starts", "0"},
         "--starts must be at least 1"},
        {{"convert", "x.ped", "-o", "y.mbd", "--loci", "1", "--colour", "red"},
         "unknown option --colour"},
        {{"convert", "x.txt", "-o", "y.mbd", "--loci", "1"},
         "cannot tell the format of x.txt from its name: give --format ped or --format tsv"},
        {{"convert", "x.ped", "-o", "y.mbd", "--loci", "1", "--changes", "y.mbd"},
         "--changes needs a file of its own, not the data file"},
    };
    for (const auto& [args, message] : cases) {
        const e2e::Result r = e2e::run_data_tool(args, files);
        EXPECT_EQ(1, r.status) << message;
        EXPECT_EQ("tovaquor-data: " + message + "\nTry: tovaquor-data convert --help\n", r.errors);
    }
    const e2e::Result help = e2e::run_data_tool({"convert", "--help"}, {});
    EXPECT_EQ(0, help.status);
    EXPECT_NE(std::string::npos, help.console.find("--simulations N      simulated samples for "
                                                   "the test (default: 1000)"));
}

TEST(DataTool, CommandsAndOutputsThatCannotBeUsed) {
    const e2e::Result unknown = e2e::run_data_tool({"frob"}, {});
    EXPECT_EQ(1, unknown.status);
    EXPECT_EQ("tovaquor-data: unknown command \"frob\" (convert, check or clean)\n"
              "Try: tovaquor-data --help\n",
              unknown.errors);
    const e2e::Result none = e2e::run_data_tool({}, {});
    EXPECT_EQ(1, none.status);
    EXPECT_EQ(0U, none.errors.find("Usage: tovaquor-data COMMAND ...\n"));
    const e2e::Result missing = e2e::run_data_tool({"check", "nope.mbd"}, {});
    EXPECT_EQ(1, missing.status);
    EXPECT_EQ("nope.mbd: cannot open the file\n", missing.errors);
    const e2e::Result unwritable = e2e::run_data_tool({"clean", "in.mbd", "-o", "no/out.mbd"},
                                                      {{"in.mbd", "1 0 1\n1 S\nA 0 0\n1\n2\n"}});
    EXPECT_EQ(1, unwritable.status);
    EXPECT_EQ("tovaquor-data: cannot write no/out.mbd: No such file or directory\n",
              unwritable.errors);
    EXPECT_EQ(std::vector<std::string>{"in.mbd"}, unwritable.left);
    // The input under another name (a link) is refused before it is read.
    const std::string data = "1 0 1\n1 S\nA 0 0\n1\n2\n";
    const e2e::Result itself =
        e2e::run_data_tool({"clean", "in.mbd", "-o", "./in.mbd"}, {{"in.mbd", data}}, {"in.mbd"});
    EXPECT_EQ(1, itself.status);
    EXPECT_EQ("tovaquor-data: cannot write ./in.mbd: it is the input file in.mbd\n", itself.errors);
    EXPECT_EQ(data, itself.collected.at("in.mbd"));
}

TEST(DataToolRoundTrip, ExamplePedigreeFileGivesTheExampleReport) {
    const e2e::Result converted =
        e2e::run_data_tool({"convert", "example.ped", "-o", "converted.mbd", "--loci", "A,B",
                            "--simulations", "0", "--starts", "5", "--name", "Example families"},
                           {{"example.ped", e2e::read_example("example.ped")},
                            {"example.map", e2e::read_example("example.map")}},
                           {"converted.mbd"});
    ASSERT_EQ(0, converted.status) << converted.errors;
    // The example asks for 500 simulated samples; the estimates do not depend on them.
    std::string example = e2e::read_example("example.mbd");
    ASSERT_EQ(0U, example.find("1 500 5\n"));
    example.replace(0, 7, "1 0 5");
    const e2e::Result original = e2e::run_data("example", example, "2026");
    const e2e::Result from_ped =
        e2e::run_data("converted", converted.collected.at("converted.mbd"), "2026");
    EXPECT_EQ(0, from_ped.status);
    EXPECT_EQ(e2e::mask_times(original.report), e2e::mask_times(from_ped.report));
}

// Three families planted: one fails at locus 1, one (an absent mother) at locus
// 2, one only as two-locus haplotypes (the father would pass A1 B1 to one child
// and A1 B2 to the other). M1 is also the mother of a family that fits.
const std::string kPlanted = "1 0 2\n13 Planted\n"
                             "F1 0 0\nA1 B1\nA1 B1\n"
                             "M1 0 0\nA1 B1\nA1 B1\n"
                             "K1 F1 M1\nA2 B1\nA2 B1\n"
                             "F2 0 0\nA1 B1\nA1 B1\n"
                             "K2 F2 M2\nA1 B2\nA1 B2\n"
                             "F3 0 0\nA1 B1\nA2 B2\n"
                             "M3 0 0\nA3 B3\nA3 B3\n"
                             "K3a F3 M3\nA1 B1\nA3 B3\n"
                             "K3b F3 M3\nA1 B2\nA3 B3\n"
                             "F4 0 0\nA1 B1\nA2 B2\n"
                             "K4 F4 M4\nA2 B2\nA3 B1\n"
                             "K5 F4 M1\nA1 B1\nA2 B2\n"
                             "S1 0 0\nA1 B1\nA2 B2\n";

TEST(DataToolCheck, FindsExactlyThePlantedFamilies) {
    const e2e::Result r = e2e::run_data_tool({"check", "planted.mbd"}, {{"planted.mbd", kPlanted}});
    EXPECT_EQ(2, r.status);
    EXPECT_EQ("", r.errors);
    EXPECT_EQ("File planted.mbd: 1 sample, 0 simulated samples per sample, 2 initial conditions\n"
              "Sample 1: Planted\n"
              "  Individuals: 13\n"
              "  Absent parents (named by their children only): 2\n"
              "  Families: 5 (4 with 1 sib, 1 with 2 sibs)\n"
              "  Singles: 1\n"
              "  Generations: 2\n"
              "  Locus 1: 3 alleles: A1 (14), A2 (7), A3 (5)\n"
              "  Locus 2: 3 alleles: B1 (14), B2 (8), B3 (4)\n"
              "  Incompatible families: 3\n"
              "  - family of F1 and M1: fails at locus 1\n"
              "      parent F1  line 3: A1/A1 B1/B1\n"
              "      parent M1  line 6: A1/A1 B1/B1\n"
              "      sib    K1  line 9: A2/A2 B1/B1\n"
              "  - family of F2 and M2: fails at locus 2\n"
              "      parent F2  line 12: A1/A1 B1/B1\n"
              "      parent M2  absent (untyped)\n"
              "      sib    K2  line 15: A1/A1 B2/B2\n"
              "  - family of F3 and M3: each locus alone fits, the two-locus haplotypes do not\n"
              "      parent F3   line 18: A1/A2 B1/B2\n"
              "      parent M3   line 21: A3/A3 B3/B3\n"
              "      sib    K3a  line 24: A1/A3 B1/B3\n"
              "      sib    K3b  line 27: A1/A3 B2/B3\n"
              "Total: 13 individuals, 3 incompatible families: the analysis finds no estimate "
              "for a sample that holds one (tovaquor-data clean removes them)\n",
              r.console);
    // The analysis agrees: it warns of an incompatible pedigree.
    const e2e::Result analysis = e2e::run_data("planted", kPlanted);
    EXPECT_NE(std::string::npos, analysis.log.find("Incompatible pedigree"));
}

TEST(DataToolCheck, UnreadableFilesStopWithTheAnalysisMessageAndLine) {
    struct Case {
        std::string data;
        std::int64_t line;
        std::string message; // as the analysis prints it
    };
    const std::string tab_hint = "\nHint: this allele line holds a tab; alleles must be "
                                 "separated by blanks (a tab is part of an allele name), so "
                                 "convert tab-separated files first.";
    const std::vector<Case> cases = {
        {"1 0 1\n2 S\nA 0 0\n1\n2\n\nA 0 0\n1\n2\n", 7,
         "TPopPedigree::read_pedigrees : individual A appears more than once in sample S"},
        {"1 0 1\n2 S\nA 0 0\n1\t2\n1\t2\nB 0 0\n1 2\n1 2\n", 3,
         "TPopPedigree::set_pseudo_haplotypes : individual A has 1 alleles on an allele line, "
         "expected 2" +
             tab_hint},
        {"1 0 1\n2 S\nP 0 0\n1 a\n2 b\nC P P\n1 a\n1 b\n", 6,
         "TPopPedigree::read_pedigrees : individual C names P as both parents"},
        {"1 0 1\n2 S\nA 0 0\n1 a\n2 b\nB 0 0\n1 a\n# b\n", 6,
         "TPopPedigree::set_pseudo_haplotypes : individual B has an allele named #, which the "
         "report keeps for unseen alleles"},
        {"\nx\n", 2, "run_analysis : expected the number of samples in the data file"},
    };
    for (const Case& c : cases) {
        const e2e::Result analysis = e2e::run_data("bad", c.data);
        ASSERT_EQ(255, analysis.status) << c.message;
        ASSERT_TRUE(analysis.console.ends_with(c.message + "\n")) << analysis.console;
        const e2e::Result check = e2e::run_data_tool({"check", "bad.mbd"}, {{"bad.mbd", c.data}});
        EXPECT_EQ(1, check.status) << c.message;
        EXPECT_EQ("bad.mbd:" + std::to_string(c.line) + ": " + c.message + "\n", check.errors);
        EXPECT_EQ("", check.console);
        const e2e::Result clean =
            e2e::run_data_tool({"clean", "bad.mbd", "-o", "out.mbd"}, {{"bad.mbd", c.data}});
        EXPECT_EQ(1, clean.status);
        EXPECT_EQ(check.errors, clean.errors);
        EXPECT_EQ(std::vector<std::string>{"bad.mbd"}, clean.left);
    }
}

TEST(DataToolClean, RemovesThePlantedFamiliesAndTheAnalysisReachesAnEstimate) {
    const e2e::Result r = e2e::run_data_tool({"clean", "planted.mbd", "-o", "clean.mbd"},
                                             {{"planted.mbd", kPlanted}}, {"clean.mbd"});
    EXPECT_EQ(0, r.status) << r.errors;
    EXPECT_EQ("Removed F1 (sample 1, line 3): parent in the incompatible family of F1 and M1, in "
              "no other family\n"
              "Removed K1 (sample 1, line 9): sib in the incompatible family of F1 and M1\n"
              "Removed F2 (sample 1, line 12): parent in the incompatible family of F2 and M2, in "
              "no other family\n"
              "Removed K2 (sample 1, line 15): sib in the incompatible family of F2 and M2\n"
              "Removed F3 (sample 1, line 18): parent in the incompatible family of F3 and M3, in "
              "no other family\n"
              "Removed M3 (sample 1, line 21): parent in the incompatible family of F3 and M3, in "
              "no other family\n"
              "Removed K3a (sample 1, line 24): sib in the incompatible family of F3 and M3\n"
              "Removed K3b (sample 1, line 27): sib in the incompatible family of F3 and M3\n"
              "Wrote clean.mbd: 1 sample, 5 individuals kept, 8 removed\n",
              r.console);
    const std::string cleaned = r.collected.at("clean.mbd");
    EXPECT_EQ("1 0 2\n5\nPlanted\n"
              "M1 0 0\nA1 B1\nA1 B1\n"
              "F4 0 0\nA1 B1\nA2 B2\n"
              "K4 F4 M4\nA2 B2\nA3 B1\n"
              "K5 F4 M1\nA1 B1\nA2 B2\n"
              "S1 0 0\nA1 B1\nA2 B2\n",
              cleaned);
    const e2e::Result check = e2e::run_data_tool({"check", "c.mbd"}, {{"c.mbd", cleaned}});
    EXPECT_EQ(0, check.status);
    EXPECT_TRUE(check.console.ends_with("Total: 5 individuals, no incompatible family\n"));
    const e2e::Result analysis = e2e::run_data("clean", cleaned);
    EXPECT_EQ(0, analysis.status); // 2 for a sample without estimate
    EXPECT_EQ(std::string::npos, analysis.log.find("WARNING"));
}

TEST(DataToolClean, SibHeadingAnotherFamilyLeavesItAsAnAbsentParent) {
    // K is a sib of an incompatible family and the father of a family that fits.
    const std::string data = "1 0 1\n5 S\n"
                             "F 0 0\n1\n1\n"
                             "M 0 0\n1\n1\n"
                             "K F M\n2\n2\n"
                             "W 0 0\n2\n3\n"
                             "G K W\n2\n3\n";
    const e2e::Result r =
        e2e::run_data_tool({"clean", "in.mbd", "-o", "out.mbd"}, {{"in.mbd", data}}, {"out.mbd"});
    EXPECT_EQ(0, r.status);
    EXPECT_NE(std::string::npos,
              r.console.find("Removed K (sample 1, line 9): sib in the incompatible family of F "
                             "and M (its own children now name it as an absent parent)\n"));
    EXPECT_EQ("1 0 1\n2\nS\nW 0 0\n2\n3\nG K W\n2\n3\n", r.collected.at("out.mbd"));
}

TEST(DataToolCheck, TablesBeyondTheMemoryLimitStopAsTheAnalysisDoes) {
    // The child's absent parent Q needs the table of all haplotype pairs.
    std::string data = "1 0 1\n62 Many\nP 0 0\nA0 B0\nA0 B0\nC P Q\nA0 B0\nA1 B0\n";
    for (int i = 0; i < 60; ++i) {
        data += "I" + std::to_string(i) + " 0 0\nA" + std::to_string(i) + " B" + std::to_string(i) +
                "\nA" + std::to_string((i + 1) % 60) + " B0\n";
    }
    const e2e::Env env{{"TOVAQUOR_MAX_MEMORY_MB", "1"}};
    // The check foresees the tables of the listing engine.
    const e2e::Result analysis = e2e::run({{"--listed", "bad", "1"}, "", {{"bad.mbd", data}}, env});
    ASSERT_EQ(255, analysis.status);
    const std::string message = analysis.console.substr(e2e::kBanner.size());
    ASSERT_EQ(0U, message.find("TPopPedigree::analyse : sample Many has 61 and 61 alleles"));
    e2e::Run check{{"check", "bad.mbd"}, "", {{"bad.mbd", data}}, env, "-"};
    check.program = TOVAQUOR_DATA_BINARY;
    const e2e::Result r = e2e::run(check);
    EXPECT_EQ(1, r.status);
    EXPECT_EQ("bad.mbd: " + message, r.errors);
    EXPECT_EQ("", r.console);
}

// A typed middle generation and a child with one known parent: check and the
// analysis say what the nuclear model makes of them, and name the option.
TEST(DataToolCheck, SaysWhatTheNuclearModelLeavesUnlinked) {
    const std::string data = "1 0 1\n5 Three\nP 0 0\n1\n2\nQ 0 0\n1\n1\nC P Q\n1\n1\n"
                             "K C D\n1\n3\nH P 0\n2\n2\n";
    const std::string note =
        "the nuclear-family model takes 1 typed individual who is both child and parent as an "
        "untyped parent, and 1 individual with one known parent as unrelated to that parent; "
        "--whole-pedigrees gives the joint likelihood of whole pedigrees";
    const e2e::Result check = e2e::run_data_tool({"check", "three.mbd"}, {{"three.mbd", data}});
    EXPECT_NE(std::string::npos, check.console.find("  Generations: 3\n  Note: " + note + "\n"))
        << check.console;
    const e2e::Result analysis = e2e::run_data("three", data);
    EXPECT_TRUE(analysis.log.starts_with(
        "***1::INFO :TPopPedigree::analyse : sample Three: " + note + "\n"))
        << analysis.log;
}

// Unknown alleles: counted, and their individuals left out of the search, so
// C's A3 (neither parent's) lists nothing while K's family is still found.
TEST(DataToolCheck, UnknownAllelesAreCountedAndLeftOutOfTheFamilyCheck) {
    const std::string data = "1 0 1\n6 Partial\nP 0 0\nA1 B1\nA2 B2\nQ 0 0\nA1 B1\nA1 B1\n"
                             "C P Q\nA3 ?\nA1 B1\nD P Q\nA2 B2\nA1 B1\n"
                             "R 0 0\nA1 B1\nA1 B1\nK R S\nA2 B1\nA2 B1\n";
    const e2e::Result check = e2e::run_data_tool({"check", "p.mbd"}, {{"p.mbd", data}});
    EXPECT_EQ(2, check.status) << check.errors;
    EXPECT_EQ("", check.errors);
    EXPECT_EQ("File p.mbd: 1 sample, 0 simulated samples per sample, 1 initial conditions\n"
              "Sample 1: Partial\n"
              "  Individuals: 6\n"
              "  Absent parents (named by their children only): 1\n"
              "  Families: 2 (1 with 1 sib, 1 with 2 sibs)\n"
              "  Singles: 0\n"
              "  Generations: 2\n"
              "  Individuals with unknown alleles (?): 1\n"
              "  Note: only tovaquor --whole-pedigrees reads unknown alleles; the check of "
              "families below leaves these individuals out, as if absent, so it misses a family "
              "that only their alleles contradict\n"
              "  Locus 1: 3 alleles: A2 (4), A1 (7), A3 (1)\n"
              "  Locus 2: 2 alleles: B1 (9), B2 (2)\n"
              "  Incompatible families: 1\n"
              "  - family of R and S: fails at locus 1\n"
              "      parent R  line 15: A1/A1 B1/B1\n"
              "      parent S  absent (untyped)\n"
              "      sib    K  line 18: A2/A2 B1/B1\n"
              "Total: 6 individuals, 1 incompatible family: the analysis finds no estimate for a "
              "sample that holds one (tovaquor-data clean removes them)\n",
              check.console);
}

TEST(DataToolCheck, OneLocusFilesAndSeveralSamples) {
    // Sample 1 fits; in sample 2 the second child cannot be the parents'.
    const std::string data = "2 10 3\n"
                             "2 Fits\nP 0 0\n1\n2\nC P Q\n1\n3\n"
                             "3 Does not\nP 0 0\n1\n1\nC1 P Q\n1\n2\nC2 P Q\n2\n2\n";
    const e2e::Result check = e2e::run_data_tool({"check", "two.mbd"}, {{"two.mbd", data}});
    EXPECT_EQ(2, check.status);
    EXPECT_NE(std::string::npos, check.console.find("Sample 1: Fits\n"));
    EXPECT_NE(std::string::npos,
              check.console.find("Sample 2: Does not\n"
                                 "  Individuals: 3\n"
                                 "  Absent parents (named by their children only): 1\n"
                                 "  Families: 1 (1 with 2 sibs)\n"
                                 "  Singles: 0\n"
                                 "  Generations: 2\n"
                                 "  Locus 1: 2 alleles: 2 (3), 1 (3)\n"
                                 "  Incompatible families: 1\n"
                                 "  - family of P and Q: fails at locus 1\n"));
    const e2e::Result clean =
        e2e::run_data_tool({"clean", "two.mbd", "-o", "out.mbd"}, {{"two.mbd", data}}, {"out.mbd"});
    EXPECT_EQ(0, clean.status);
    // The emptied sample stays, so that samples keep their numbers.
    EXPECT_EQ("2 10 3\n2\nFits\nP 0 0\n1\n2\nC P Q\n1\n3\n0\nDoes not\n",
              clean.collected.at("out.mbd"));
    EXPECT_NE(std::string::npos,
              clean.console.find("Sample 2 (Does not) has no individual left\n"));
}

} // namespace
