// End-to-end runs of malformed and hostile data files: what a spreadsheet, an
// editor or another program may leave in a file. Each either stops with its
// message on the console and in the log (status 255, nothing in the report), or
// is analysed like a well-formed file. Files analysed in their own way are
// pinned in fixtures_test.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "tests/harness/e2e_harness.h"

namespace {

using namespace std::string_literals;
using e2e::kBanner;

const std::string kTabHint = "Hint: this allele line holds a tab; alleles must be separated by "
                             "blanks (a tab is part of an allele name), so convert tab-separated "
                             "files first.\n";

e2e::Result run_data(const std::string& data, const e2e::Env& env = {},
                     const std::vector<std::string>& options = {}) {
    std::vector<std::string> args = options;
    args.insert(args.end(), {"bad", "2024"});
    return e2e::run({args, "", {{"bad.mbd", data}}, env, "bad.mbr"});
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

// One locus of `n` alleles spread over `n` singles, and with `absent_parent`
// a child of a typed parent and one absent from the file, who may carry any
// pair of haplotypes: only then is the table of all pairs built.
std::string one_locus_alleles(int n, bool absent_parent = true) {
    std::string text = "1 0 1\n" + std::to_string(n + (absent_parent ? 2 : 0)) + " Many\n";
    for (int i = 0; i < n; ++i) {
        text += "I" + std::to_string(i) + " 0 0\nA" + std::to_string(i) + "\nA" +
                std::to_string((i + 1) % n) + "\n";
    }
    if (absent_parent) {
        text += "P 0 0\nA0\nA0\nC P Q\nA0\nA1\n";
    }
    return text;
}

// Two loci of `n` alleles each over `n` singles, no family.
std::string two_locus_singles(int n) {
    std::string text = "1 0 1\n" + std::to_string(n) + " Many\n";
    for (int i = 0; i < n; ++i) {
        const std::string a = std::to_string(i);
        const std::string b = std::to_string((i + 1) % n);
        text += "I" + a + " 0 0\nA" + a + " B" + a + "\nA" + b + " B" + b + "\n";
    }
    return text;
}

// Twelve alleles at both loci spread by unrelated individuals, then families
// whose parents are absent from the file (untyped), the first family of the
// file last in the individual list. `identical_sibs`: every sib of a family is
// the same double heterozygote (few sib combinations, many parent pairs);
// otherwise the sibs take all four children of two fixed parents.
std::string untyped_families(const std::vector<int>& sibs, bool identical_sibs) {
    auto haplotype = [](int a, int b) {
        return "A" + std::to_string(a % 12) + " B" + std::to_string(b % 12) + "\n";
    };
    std::string records;
    int n = 12;
    for (int i = 0; i < 12; ++i) {
        records += "S" + std::to_string(i) + " 0 0\n" + haplotype(i, i) + haplotype(i + 1, i + 2);
    }
    for (int h = 1; h <= static_cast<int>(sibs.size()); ++h) {
        const std::string family = "F" + std::to_string(h);
        for (int j = 0; j < sibs[h - 1]; ++j, ++n) {
            const int father = h + (j % 2);
            const int mother = h + 3 + 2 * ((j / 2) % 2);
            records += family + "C" + std::to_string(j) + " " + family + "P " + family + "M\n" +
                       (identical_sibs
                            ? haplotype(h, h) + haplotype(h + 1, h + 1)
                            : haplotype(father, father + j % 2) + haplotype(mother, mother + 1));
        }
    }
    return "1 0 1\n" + std::to_string(n) + " Wide\n" + records;
}

// A data file the program refuses.
struct Stop {
    const char* label;
    std::string data;
    std::string message;
    std::string hint = {}; // console-only line after the message
    e2e::Env env = {};
    std::string console_before = {}; // console lines between the banner and the message
    std::string log_before = {};
    std::vector<std::string> options = {}; // before the arguments
};

// Names a case by its label in test output (the default printer dumps raw bytes).
void PrintTo(const Stop& c, std::ostream* os) {
    *os << c.label;
}

template <typename Case> std::string label_of(const ::testing::TestParamInfo<Case>& info) {
    return info.param.label;
}

class RefusedFile : public ::testing::TestWithParam<Stop> {};

TEST_P(RefusedFile, StopsWithTheMessageOnConsoleAndLog) {
    const Stop& c = GetParam();
    const e2e::Result r = run_data(c.data, c.env, c.options);
    EXPECT_EQ(255, r.status);
    EXPECT_EQ(kBanner + c.console_before + c.message + "\n" + c.hint, r.console);
    EXPECT_EQ(c.log_before + "***1" + c.message + "\n", r.log);
    EXPECT_TRUE(r.has_report);
    EXPECT_EQ("", r.report);
}

const std::string kExpected = "run_analysis : expected the ";
const std::string kSamples = kExpected + "number of samples in the data file";
const std::string kInitial = kExpected + "number of initial conditions in the data file";
const std::string kNoSample = "run_analysis : the number of samples must be at least 1";
const std::string kNegativeSimulated =
    "run_analysis : the number of simulated samples must not be negative";
const std::string kSplit = "TPopPedigree::set_pseudo_haplotypes : individual ";
const std::string kThree = " has 3 alleles on an allele line, at most 2 loci are supported";
const std::string kRead = "TPopPedigree::read_pedigrees : individual ";
const std::string kTwice = " appears more than once in sample ";
const std::string kLongId(100000, 'i');
const std::string kHash = " has an allele named #, which the report keeps for unseen alleles";

// A family over a limit of 16 MiB stops inside the progress line of the genotype
// building, after the two allele-frequency runs and their log-likelihoods.
Stop family_over_limit(const char* label, const std::string& data, const std::string& text,
                       const std::string& first, const std::string& second) {
    const std::string runs = "..\nLogLHood : " + first + " (1 equilibrium point(s))\n" +
                             "..\nLogLHood : " + second + " (1 equilibrium point(s))\n";
    return {.label = label,
            .data = data,
            .message = "TPedDB::build_all_genotypic_combinations : " + text +
                       " (TOVAQUOR_MAX_MEMORY_MB sets the limit)",
            .env = {{"TOVAQUOR_MAX_MEMORY_MB", "16"}},
            .console_before = runs,
            .log_before = "Building genotypes ... ",
            .options = {"--listed"}};
}

std::string count_of(int k) {
    return kExpected + "individual count of sample " + std::to_string(k) + " in the data file";
}

const Stop kRefused[] = {
    {"OnlyWhiteSpace", "\n \t\r\n\n", kSamples},
    {"SimulatedNotANumber", "1 x 2\n", kExpected + "number of simulated samples in the data file"},
    {"InitialMissing", "1 0\n", kInitial},
    // Parameters that cannot give a result, checked once all three are read,
    // in this order.
    {"NegativeSamples", "-3 5 2\n", kNoSample},
    {"NoSampleBeforeTheOtherParameters", "0 -1 0\n", kNoSample},
    {"NoSampleButInitialMissing", "0 0\n", kInitial},
    {"SimulatedNegativeBeforeInitial", "1 -1 0\n", kNegativeSimulated},
    {"HeaderWithoutNewline", "1 0 2", count_of(1)},
    // Records are checked newest first: C, its second line missing.
    {"EndsAfterFirstAlleleLine", "1 0 1\n3 s\nA 0 0\n1 a\n2 b\nB 0 0\n1 a\n1 a\nC A B\n1 a\n",
     kSplit + "C has no allele on an allele line"},
    {"UnequalWithinRecord", "1 0 1\n2 s\nA 0 0\n1 a\n1\nB 0 0\n1 a\n2 b\n",
     kSplit + "A has 1 alleles on an allele line, expected 2"},
    // More than two alleles is named as such even when another count was expected.
    {"ThreeAllelesAfterOne", "1 0 1\n2 s\nA 0 0\n1 a b\n1 a b\nB 0 0\n1\n2\n",
     kSplit + "A" + kThree},
    // A name line of blanks is skipped like a blank line: the first record line
    // becomes the name and every field after it is read one line late.
    {"SampleNameOnlyBlanks", "1 0 1\n2    \nA 0 0\n1 a\n1 b\nB 0 0\n1 a\n2 b\n",
     kSplit + "1" + kThree},
    // The hint goes to the console only.
    {"TabInsideThreeAlleles", "1 0 1\n2 s\nA 0 0\n1\ta b c\n2 b\nB 0 0\n1 a\n1 a\n",
     kSplit + "A" + kThree, kTabHint},
    // No hint without a tab on the refused line, even when others hold one.
    {"TabOnAnotherLine", "1 0 1\n2 s\nA 0 0\n1 a b\n2\tb\nB 0 0\n1\ta\n1\ta\n",
     kSplit + "A" + kThree},
    // Identifiers are checked while reading, before any allele line, and the
    // duplicate before the record naming itself as parent.
    {"DuplicateBeforeAlleles", "1 0 1\n2 Pop A\nA 0 0\n1 a b\n1 a b\nA 0 0\n1 a\n2 b\n",
     kRead + "A" + kTwice + "Pop A"},
    {"DuplicateBeforeOwnParent", "1 0 1\n2 s\nA 0 0\n1 a\n1 b\nA A 0\n1 a\n2 b\n",
     kRead + "A" + kTwice + "s"},
    // Identifiers are kept whole in messages, whatever their bytes.
    {"LongDuplicateIdentifier",
     "1 0 1\n2 s\n" + kLongId + " 0 0\n1 a\n1 b\n" + kLongId + " 0 0\n1 a\n1 b\n",
     kRead + kLongId + kTwice + "s"},
    {"NulInDuplicateIdentifier", "1 0 1\n2 s\nA\0B 0 0\n1 b\n3 b\nA\0B 0 0\n3 b\n3 b\n"s,
     kRead + "A\0B"s + kTwice + "s"},
    {"NonAsciiOwnParent",
     "1 0 1\n1 \xc3\x89"
     "chantillon\n\xc3\x85sa \xc3\x85sa 0\n1 a\n1 b\n",
     kRead + "\xc3\x85sa is its own parent"},
    {"OwnSecondParent", "1 0 1\n2 s\nB 0 0\n1 a\n1 b\nA Z A\n1 a\n2 b\n",
     kRead + "A is its own parent"},
    // "0" is an identifier like any other here.
    {"IndividualNamedZero", "1 0 1\n1 s\n0 0 0\n1 a\n1 b\n", kRead + "0 is its own parent"},
    // One individual named as both parents, after the own-parent check.
    {"AbsentParentTwice", "1 0 1\n1 s\nC X X\n1 a\n1 a\n", kRead + "C names X as both parents"},
    {"OwnParentTwice", "1 0 1\n1 s\nC C C\n1 a\n1 a\n", kRead + "C is its own parent"},
    // The allele "#", which the report keeps for unseen alleles: after the
    // counts of its own line, before the lines visited after it (records
    // newest first, first allele line first).
    {"UnseenAlleleNameOneLocus", "1 0 1\n1 s\nA 0 0\n#\n1\n", kSplit + "A" + kHash},
    {"UnseenAlleleBeforeTheNextLinesCount", "1 0 1\n2 s\nA 0 0\n1 a b\n1 a\nB 0 0\n# a\n1\n",
     kSplit + "B" + kHash},
    {"CountBeforeUnseenAlleleOfTheSameLine", "1 0 1\n1 s\nA 0 0\n# a b\n1 a\n",
     kSplit + "A" + kThree},
    {"CountOfAnEarlierLineFirst", "1 0 1\n2 s\nA 0 0\n# a\n1 a\nB 0 0\n1 a b\n1 a\n",
     kSplit + "B" + kThree},
    // The memory limit refuses one locus of many alleles before any table is
    // built, to the allele: 253 alleles with "#" fit in 1 MiB (see below), 254 do not.
    {.label = "OneAlleleOverTheLimit",
     .data = one_locus_alleles(253),
     .message = "TPopPedigree::analyse : sample Many has 254 alleles (with \"#\") at its loci, "
                "which make 254 haplotypes and 32385 genotypes: 2 MiB of tables, more than the "
                "memory limit of 1 MiB (TOVAQUOR_MAX_MEMORY_MB sets the limit)",
     .env = {{"TOVAQUOR_MAX_MEMORY_MB", "1"}},
     .options = {"--listed"}},
    // Without a parent absent from the file only the haplotypes are tabled:
    // 151 x 151 of them at 56 bytes take 1.2 MiB.
    {.label = "HaplotypesOverTheLimit",
     .data = two_locus_singles(150),
     .message = "TPopPedigree::analyse : sample Many has 151 and 151 alleles (with \"#\") at its "
                "loci, which make 22801 haplotypes: 2 MiB of tables, more than the memory limit "
                "of 1 MiB (TOVAQUOR_MAX_MEMORY_MB sets the limit)",
     .env = {{"TOVAQUOR_MAX_MEMORY_MB", "1"}},
     .options = {"--listed"}},
    // ...and families whose combinations outgrow it. 2^15 sib combinations of 15
    // sibs are refused before any is made.
    family_over_limit("SibCombinations", untyped_families({15, 6, 10}, false),
                      "pedigree #3 of sample Wide (parents F1P and F1M, 15 sibs) needs 32768 "
                      "combinations of its sibs' genotypes, more than the memory limit of 16 MiB "
                      "allows",
                      "-116.516", "-116.856"),
    // Each family stores some 57 000 combinations; the limit is for all of them.
    family_over_limit("StoredCombinations", untyped_families({2, 2, 2, 2}, true),
                      "pedigree #4 of sample Wide (parents F1P and F1M, 2 sibs) needs more than "
                      "the 3384 genotypic combinations that the memory limit of 16 MiB leaves "
                      "for it",
                      "-71.4858", "-71.4858"),
};

INSTANTIATE_TEST_SUITE_P(Malformed, RefusedFile, ::testing::ValuesIn(kRefused), label_of<Stop>);

// Just below the limit with a family of absent parents; and the alleles refused
// above with such a family, without it: singles alone need no table of pairs.
TEST(MemoryLimit, FilesWithinTheLimitAreAnalysed) {
    for (const auto& [alleles, absent_parent] :
         {std::pair{252, true}, {253, false}, {3000, false}}) {
        const e2e::Result r =
            run_data(one_locus_alleles(alleles, absent_parent), {{"TOVAQUOR_MAX_MEMORY_MB", "1"}});
        EXPECT_EQ(0, r.status) << alleles << " alleles";
        EXPECT_NE(std::string::npos,
                  r.report.find("(" + std::to_string(alleles + 1) + " possible haplotypes)"));
    }
}

// A second sample that stops the program leaves the first sample's report whole:
// the bytes of a run of the first sample alone, without the time line.
class FailingSecondSample : public ::testing::TestWithParam<Stop> {};

TEST_P(FailingSecondSample, KeepsTheCompleteFirstSample) {
    const Stop& c = GetParam();
    const std::string first = "3 First\nA 0 0\n1 a\n2 b\nB 0 0\n1 b\n1 b\nC A B\n1 b\n2 b\n";
    const e2e::Result alone = e2e::run_data("two", "1 1 2\n" + first);
    ASSERT_EQ(0, alone.status);
    const e2e::Result r = e2e::run_data("two", "2 1 2\n" + first + c.data);
    EXPECT_EQ(255, r.status);
    EXPECT_EQ(alone.report.substr(0, alone.report.rfind("\nTotal computing time : ")), r.report);
    EXPECT_EQ(alone.console + c.message + "\n", r.console);
    EXPECT_EQ(e2e::mask_times(alone.log) + "***1" + c.message + "\n", e2e::mask_times(r.log));
}

const Stop kSecondSampleFailures[] = {
    {"CountMissing", "", count_of(2)},
    {"Duplicate", "2 Second\nD 0 0\n1 a\n1 a\nD 0 0\n1 a\n1 a\n", kRead + "D" + kTwice + "Second"},
    {"ThreeAlleles", "1 Second\nD 0 0\n1 a b\n1 a b\n", kSplit + "D" + kThree},
};

INSTANTIATE_TEST_SUITE_P(Report, FailingSecondSample, ::testing::ValuesIn(kSecondSampleFailures),
                         label_of<Stop>);

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
    // CR LF on lines of every kind but not all, blank CR LF lines between
    // records, blanks before CR.
    {"MixedLineEndings",
     "1 2 2\r\n3 Fam\r\nA 0 0\r\n\r\n1 a \r\n2 b\nB 0 0\n\r\n1 a\r\n1 a\nC A B\r\n1 a\n2 a\r\n",
     kFamily, "", ""},
    // More records announced than given; the count is never used to reserve memory.
    {"LargestCountAnnounced", replace_all(kFamily, "3 Fam", "2147483647 Fam"), kFamily,
     "(2147483647 individuals in sample)", "(3 individuals in sample)"},
    // A record cut inside its identifier line has no second parent: it is dropped.
    {"EndsAfterFirstParent", kFounders + "C A", kFounders, "", ""},
    {"EndsAfterIdentifier", kFounders + "C\n", kFounders, "", ""},
};

INSTANTIATE_TEST_SUITE_P(Malformed, ReadLikeReference, ::testing::ValuesIn(kAlike),
                         label_of<Alike>);

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

} // namespace
