// End-to-end runs of malformed and hostile data files: what a spreadsheet, an
// editor or another program may leave in a file. Each either stops with its
// message on the console and in the log (status 255, nothing in the report), or
// is analysed, and then either reads like a well-formed file or is pinned by
// reviewed expected files. Bad leading numbers, three alleles, unequal counts,
// empty allele lines, duplicates and own parents are in estimation_report_test.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "tests/harness/e2e_harness.h"

namespace {

using namespace std::string_literals;

const std::string kBanner = "\n\t\tTovaquor\n\t\t--------\n\n";
const std::string kTabHint = "Hint: this allele line holds a tab; alleles must be separated by "
                             "blanks (a tab is part of an allele name), so convert tab-separated "
                             "files first.";

using Env = std::vector<std::pair<std::string, std::string>>;

e2e::Result run_data(const std::string& data, const Env& env = {}) {
    return e2e::run({{"bad", "2024"}, "", {{"bad.mbd", data}}, env, ""});
}

std::string expected(const std::string& name) {
    return e2e::read_file(e2e::data_path("malformed/" + name));
}

// Runs of blanks made one blank.
std::string squeeze_blanks(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c != ' ' || out.empty() || out.back() != ' ') {
            out += c;
        }
    }
    return out;
}

std::string replace_all(std::string text, const std::string& from, const std::string& to) {
    for (std::size_t at = text.find(from); at != std::string::npos;
         at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
    return text;
}

// A data file the program refuses.
struct Stop {
    const char* label;
    std::string data;
    std::string message;
    std::string hint; // console-only line after the message
};

void PrintTo(const Stop& c, std::ostream* os) {
    *os << c.label;
}

class RefusedFile : public ::testing::TestWithParam<Stop> {};

TEST_P(RefusedFile, StopsWithTheMessageOnConsoleAndLog) {
    const Stop& c = GetParam();
    const e2e::Result r = run_data(c.data);
    EXPECT_EQ(255, r.status);
    EXPECT_EQ(kBanner + c.message + "\n" + (c.hint.empty() ? "" : c.hint + "\n"), r.console);
    EXPECT_EQ("***1" + c.message + "\n", r.log);
    EXPECT_TRUE(r.has_report);
    EXPECT_EQ("", r.report);
}

const std::string kLongId(100000, 'i');
const std::string kSplit = "TPopPedigree::set_pseudo_haplotypes : individual ";

const Stop kRefused[] = {
    {"OnlyWhiteSpace", "\n \t\r\n\n",
     "run_analysis : expected the number of samples in the data file", ""},
    {"HeaderWithoutNewline", "1 0 2",
     "run_analysis : expected the individual count of sample 1 in the data file", ""},
    // The last record is checked first (newest first): C, with both lines missing.
    {"EndsAfterIdentifierLine", "1 0 1\n3 s\nA 0 0\n1 a\n2 b\nB 0 0\n1 a\n1 a\nC A B\n",
     kSplit + "C has no allele on an allele line", ""},
    {"EndsAfterIdentifierLineWithoutNewline", "1 0 1\n3 s\nA 0 0\n1 a\n2 b\nB 0 0\n1 a\n1 a\nC A B",
     kSplit + "C has no allele on an allele line", ""},
    {"EndsAfterFirstAlleleLine", "1 0 1\n3 s\nA 0 0\n1 a\n2 b\nB 0 0\n1 a\n1 a\nC A B\n1 a\n",
     kSplit + "C has no allele on an allele line", ""},
    // A name line of blanks is skipped like a blank line: the first record line
    // becomes the name and every field after it is read one line late.
    {"SampleNameOnlyBlanks", "1 0 1\n2    \nA 0 0\n1 a\n1 b\nB 0 0\n1 a\n2 b\n",
     kSplit + "1 has 3 alleles on an allele line, at most 2 loci are supported", ""},
    // A tab file whose lines disagree with a blank-separated one: the hint goes
    // to the console only.
    {"TabsAgainstBlanks", "1 0 1\n2 s\nA\t0\t0\n1\ta\n2\tb\nB 0 0\n1 a\n1 a\n",
     kSplit + "A has 1 alleles on an allele line, expected 2", kTabHint},
    {"TabInsideThreeAlleles", "1 0 1\n2 s\nA 0 0\n1\ta b c\n2 b\nB 0 0\n1 a\n1 a\n",
     kSplit + "A has 3 alleles on an allele line, at most 2 loci are supported", kTabHint},
    // No hint without a tab on the refused line, even when others hold one.
    {"TabOnAnotherLine", "1 0 1\n2 s\nA 0 0\n1 a b\n2\tb\nB 0 0\n1\ta\n1\ta\n",
     kSplit + "A has 3 alleles on an allele line, at most 2 loci are supported", ""},
    // Identifiers are kept whole in messages, whatever their bytes.
    {"LongDuplicateIdentifier",
     "1 0 1\n2 s\n" + kLongId + " 0 0\n1 a\n1 b\n" + kLongId + " 0 0\n1 a\n1 b\n",
     "TPopPedigree::read_pedigrees : individual " + kLongId + " appears more than once in sample s",
     ""},
    {"NulInDuplicateIdentifier", "1 0 1\n2 s\nA\0B 0 0\n1 b\n3 b\nA\0B 0 0\n3 b\n3 b\n"s,
     "TPopPedigree::read_pedigrees : individual A\0B appears more than once in sample s"s, ""},
    {"NonAsciiOwnParent",
     "1 0 1\n1 \xc3\x89"
     "chantillon\n\xc3\x85sa \xc3\x85sa 0\n1 a\n1 b\n",
     "TPopPedigree::read_pedigrees : individual \xc3\x85sa is its own parent", ""},
};

INSTANTIATE_TEST_SUITE_P(Malformed, RefusedFile, ::testing::ValuesIn(kRefused),
                         [](const ::testing::TestParamInfo<Stop>& info) {
                             return std::string(info.param.label);
                         });

// A file analysed exactly like a well-formed reference: same console, log and
// report (times masked), the header's individual count aside when the two
// announce different counts.
struct Alike {
    const char* label;
    std::string data;
    std::string reference;
    std::string header;           // header text of `data`...
    std::string reference_header; // ...standing for this one of `reference`
};

void PrintTo(const Alike& c, std::ostream* os) {
    *os << c.label;
}

class ReadLikeReference : public ::testing::TestWithParam<Alike> {};

TEST_P(ReadLikeReference, GivesTheReferenceRun) {
    const Alike& c = GetParam();
    const e2e::Result r = run_data(c.data);
    const e2e::Result ref = run_data(c.reference);
    ASSERT_EQ(0, ref.status);
    EXPECT_EQ(0, r.status);
    EXPECT_EQ(ref.console, r.console);
    EXPECT_EQ(e2e::mask_times(ref.log), e2e::mask_times(r.log));
    std::string report = e2e::mask_times(r.report);
    if (!c.header.empty()) {
        ASSERT_NE(std::string::npos, report.find(c.header)) << report;
        report = replace_all(report, c.header, c.reference_header);
    }
    EXPECT_EQ(e2e::mask_times(ref.report), report);
}

// Three records, a family of two founders and a sib, with two simulated samples
// so that the drawn samples are read back as well.
const std::string kFamily = "1 2 2\n3 Fam\nA 0 0\n1 a\n2 b\nB 0 0\n1 a\n1 a\nC A B\n1 a\n2 a\n";
const std::string kFounders = "1 2 2\n3 Fam\nA 0 0\n1 a\n2 b\nB 0 0\n1 a\n1 a\n";

const Alike kAlike[] = {
    {"CrLf", replace_all(kFamily, "\n", "\r\n"), kFamily, "", ""},
    // CR LF on some lines, blank CR LF lines between records, blanks before CR.
    {"MixedLineEndings",
     "1 2 2\r\n3 Fam\nA 0 0\r\n\r\n1 a \r\n2 b\nB 0 0\n\r\n1 a\r\n1 a\nC A B\r\n1 a\n2 a\r\n",
     kFamily, "", ""},
    {"FewerRecordsThanAnnounced", replace_all(kFamily, "3 Fam", "5 Fam"), kFamily,
     "(5 individuals in sample)", "(3 individuals in sample)"},
    // An announced count is never used to reserve memory.
    {"LargestCountAnnounced", replace_all(kFamily, "3 Fam", "2147483647 Fam"), kFamily,
     "(2147483647 individuals in sample)", "(3 individuals in sample)"},
    // A record cut inside its identifier line has no second parent: it is dropped.
    {"EndsAfterFirstParent", kFounders + "C A", kFounders, "", ""},
    {"EndsAfterIdentifier", kFounders + "C\n", kFounders, "", ""},
};

INSTANTIATE_TEST_SUITE_P(Malformed, ReadLikeReference, ::testing::ValuesIn(kAlike),
                         [](const ::testing::TestParamInfo<Alike>& info) {
                             return std::string(info.param.label);
                         });

// Files analysed in their own way, pinned by reviewed expected files:
// parent_cycle   A a sib of B's family and B of A's: both families are analysed
//                and the simulated samples transmit in array order, no hang.
// tab_separated  tabs do not separate alleles: one locus with names "1<tab>a".
// non_ascii      UTF-8 and Latin-1 bytes (0xff, 0xe9, a lone 0xa0 allele) are
//                name bytes; widths count bytes.
// nul_bytes      NUL bytes inside the sample name, identifiers and alleles.
class PinnedRun : public ::testing::TestWithParam<const char*> {};

TEST_P(PinnedRun, MatchesReviewedReportConsoleAndLog) {
    const std::string name = GetParam();
    const e2e::Result r = run_data(expected(name + ".mbd"));
    EXPECT_EQ(0, r.status);
    EXPECT_EQ(expected(name + ".out"), r.console);
    EXPECT_EQ(e2e::mask_times(expected(name + ".log")), e2e::mask_times(r.log));
    EXPECT_EQ(e2e::mask_times(expected(name + ".mbr")), e2e::mask_times(r.report));
}

INSTANTIATE_TEST_SUITE_P(Malformed, PinnedRun,
                         ::testing::Values("parent_cycle", "tab_separated", "non_ascii",
                                           "nul_bytes"));

// Carriage returns alone do not end lines: the whole file after the count is
// the sample name, and the sample is analysed with no individual.
TEST(MalformedLineEndings, CarriageReturnsAloneMakeOneNameLine) {
    const e2e::Result r = run_data(replace_all(kFamily, "\n", "\r"));
    EXPECT_EQ(0, r.status);
    const std::string empty_run = "..\nLogLHood : 0 (1 equilibrium point(s))\n";
    EXPECT_EQ(kBanner + empty_run + empty_run + empty_run, r.console);
    const std::string name = "Fam\rA 0 0\r1 a\r2 b\rB 0 0\r1 a\r1 a\rC A B\r1 a\r2 a";
    EXPECT_EQ(0U, r.report.find("\n" + std::string(69, '=') + "\nSample " + name +
                                "  (3 individuals in sample)\n"))
        << r.report;
    EXPECT_NE(std::string::npos, r.report.find("Haplotype database content (0 possible "
                                               "haplotypes)"));
    EXPECT_NE(std::string::npos, r.report.find("(2 valid cases out of 2)"));
}

// No sample at all is a run with an empty report but its time line.
TEST(MalformedCounts, NoSampleOrANegativeNumberOfSamplesRunsNothing) {
    for (const char* data : {"0 0 2\n", "-3 5 2\n"}) {
        const e2e::Result r = run_data(data);
        EXPECT_EQ(0, r.status) << data;
        EXPECT_EQ(kBanner, r.console) << data;
        EXPECT_EQ("", r.log) << data;
        EXPECT_EQ("\nTotal computing time : N ms\n", e2e::mask_times(r.report)) << data;
    }
}

// Identifiers and allele names of 100 kB: the run is the one with short names;
// only the padding of the allele table, made as wide as the longest name, differs.
TEST(MalformedNames, HundredKilobyteNamesAnalyseLikeShortOnes) {
    const std::string p(100000, 'x');
    auto family = [](const std::string& p) {
        return "1 2 2\n3 Fam\n" + p + "A 0 0\n" + p + "1 " + p + "a\n" + p + "2 " + p + "b\n" + p +
               "B 0 0\n" + p + "1 " + p + "a\n" + p + "1 " + p + "a\n" + p + "C " + p + "A " + p +
               "B\n" + p + "1 " + p + "a\n" + p + "2 " + p + "a\n";
    };
    const e2e::Result r = run_data(family(p));
    const e2e::Result ref = run_data(family(""));
    EXPECT_EQ(0, r.status);
    EXPECT_EQ(ref.console, r.console);
    EXPECT_EQ(e2e::mask_times(ref.log), e2e::mask_times(r.log));
    EXPECT_NE(std::string::npos, r.report.find("   0.50000     " + p + "1 " + p + "a \n"));
    EXPECT_EQ(squeeze_blanks(e2e::mask_times(ref.report)),
              squeeze_blanks(e2e::mask_times(replace_all(r.report, p, ""))));
}

// The memory limit, with files written here: one locus of many alleles refused
// before any table is built, and families whose combinations outgrow it.
std::string one_locus_alleles(int n) {
    std::string text = "1 0 1\n" + std::to_string(n) + " Many\n";
    for (int i = 0; i < n; ++i) {
        text += "I" + std::to_string(i) + " 0 0\nA" + std::to_string(i) + "\nA" +
                std::to_string((i + 1) % n) + "\n";
    }
    return text;
}

std::string table_limit_message(int alleles, long long genotypes, int mib, int limit) {
    return "TPopPedigree::analyse : sample Many has " + std::to_string(alleles) +
           " alleles (with \"#\") at its loci, which make " + std::to_string(alleles) +
           " haplotypes and " + std::to_string(genotypes) + " genotypes: " + std::to_string(mib) +
           " MiB of tables, more than the memory limit of " + std::to_string(limit) +
           " MiB (TOVAQUOR_MAX_MEMORY_MB sets the limit)";
}

TEST(MemoryLimit, ThousandsOfAllelesAtOneLocusAreRefusedByTheLimit) {
    const e2e::Result r = run_data(one_locus_alleles(3000),
                                   {{"TOVAQUOR_MAX_MEMORY_MB", "64"}, {"TOVAQUOR_THREADS", "1"}});
    const std::string message = table_limit_message(3001, 4504501, 138, 64);
    EXPECT_EQ(255, r.status);
    EXPECT_EQ(kBanner + message + "\n", r.console);
    EXPECT_EQ("***1" + message + "\n", r.log);
    EXPECT_EQ("", r.report);
}

// The estimate is exact enough to draw the line between two neighbouring files:
// 253 alleles with "#" fit in 1 MiB, 254 do not.
TEST(MemoryLimit, TheTableEstimateDrawsTheLineAtOneAllele) {
    const Env env = {{"TOVAQUOR_MAX_MEMORY_MB", "1"}};
    const e2e::Result fits = run_data(one_locus_alleles(252), env);
    EXPECT_EQ(0, fits.status);
    EXPECT_NE(std::string::npos, fits.report.find("(253 possible haplotypes)"));

    const e2e::Result refused = run_data(one_locus_alleles(253), env);
    const std::string message = table_limit_message(254, 32385, 2, 1);
    EXPECT_EQ(255, refused.status);
    EXPECT_EQ(kBanner + message + "\n", refused.console);
    EXPECT_EQ("***1" + message + "\n", refused.log);
}

// Twelve alleles at both loci spread by unrelated individuals, then families
// whose parents are absent from the file (untyped), the first family of the
// file last in the individual list. `identical_sibs`: every sib of a family is
// the same double heterozygote (few sib combinations, many parent pairs);
// otherwise the sibs take all four children of two fixed parents.
std::string untyped_families(const std::vector<int>& sibs, bool identical_sibs) {
    const int k = 12;
    std::string records;
    int n = 0;
    auto allele = [&](char locus, int i) { return std::string(1, locus) + std::to_string(i % k); };
    for (int i = 0; i < k; ++i, ++n) {
        records += "S" + std::to_string(i) + " 0 0\n" + allele('A', i) + " " + allele('B', i) +
                   "\n" + allele('A', i + 1) + " " + allele('B', i + 2) + "\n";
    }
    for (std::size_t f = 0; f < sibs.size(); ++f) {
        const int h = static_cast<int>(f) + 1;
        const std::string family = "F" + std::to_string(h);
        for (int j = 0; j < sibs[f]; ++j, ++n) {
            records += family + "C" + std::to_string(j) + " " + family + "P " + family + "M\n";
            if (identical_sibs) {
                records += allele('A', h) + " " + allele('B', h) + "\n" + allele('A', h + 1) + " " +
                           allele('B', h + 1) + "\n";
            } else {
                const int father = h + (j % 2);
                const int mother = h + 3 + 2 * ((j / 2) % 2);
                records += allele('A', father) + " " + allele('B', father + (j % 2)) + "\n" +
                           allele('A', mother) + " " + allele('B', mother + 1) + "\n";
            }
        }
    }
    return "1 0 1\n" + std::to_string(n) + " Wide\n" + records;
}

struct FamilyLimit {
    const char* label;
    std::vector<int> sibs;
    bool identical_sibs;
    std::string limit_mb;
    std::string locus_runs; // console lines of the allele-frequency runs before the stop
    std::string message;
};

void PrintTo(const FamilyLimit& c, std::ostream* os) {
    *os << c.label;
}

class FamilyOverLimit : public ::testing::TestWithParam<FamilyLimit> {};

TEST_P(FamilyOverLimit, NamesTheSamplePedigreeParentsAndSibs) {
    const FamilyLimit& c = GetParam();
    const e2e::Result r = run_data(untyped_families(c.sibs, c.identical_sibs),
                                   {{"TOVAQUOR_MAX_MEMORY_MB", c.limit_mb}});
    const std::string message = "TPedDB::build_all_genotypic_combinations : " + c.message +
                                " (TOVAQUOR_MAX_MEMORY_MB sets the limit)";
    EXPECT_EQ(255, r.status);
    EXPECT_EQ(kBanner + c.locus_runs + message + "\n", r.console);
    // The stop comes inside the progress line of the genotype building.
    EXPECT_EQ("Building genotypes ... ***1" + message + "\n", r.log);
    EXPECT_EQ("", r.report);
}

const FamilyLimit kFamilyLimits[] = {
    // 2^15 sib combinations of 15 sibs are refused before any is made.
    {"SibCombinations",
     {15, 6, 10},
     false,
     "16",
     "..\nLogLHood : -116.516 (1 equilibrium point(s))\n"
     "..\nLogLHood : -116.856 (1 equilibrium point(s))\n",
     "pedigree #3 of sample Wide (parents F1P and F1M, 15 sibs) needs 32768 combinations of its "
     "sibs' genotypes, more than the memory limit of 16 MiB allows"},
    // Each family stores some 57 000 combinations; the limit is for all of them.
    {"StoredCombinations",
     {2, 2, 2, 2},
     true,
     "16",
     "..\nLogLHood : -71.4858 (1 equilibrium point(s))\n"
     "..\nLogLHood : -71.4858 (1 equilibrium point(s))\n",
     "pedigree #4 of sample Wide (parents F1P and F1M, 2 sibs) needs more than the 3384 genotypic "
     "combinations that the memory limit of 16 MiB leaves for it"},
};

INSTANTIATE_TEST_SUITE_P(MemoryLimit, FamilyOverLimit, ::testing::ValuesIn(kFamilyLimits),
                         [](const ::testing::TestParamInfo<FamilyLimit>& info) {
                             return std::string(info.param.label);
                         });

} // namespace
