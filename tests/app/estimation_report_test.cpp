// End-to-end runs of the estimation: the whole report, console and log of small
// samples compared with reviewed expected files (times masked), and every fatal
// input of the data file with its message, its log line and status 255.
#include <gtest/gtest.h>

#include <string>

#include "tests/harness/e2e_harness.h"

namespace {

std::string expected(const std::string& name) {
    return e2e::read_file(e2e::data_path("e2e/" + name));
}

e2e::Result run_data(const std::string& base, const std::string& data,
                     const std::string& seed = "2024") {
    return e2e::run({{base, seed}, "", {{base + ".mbd", data}}, {}, ""});
}

// Each case is tests/data/e2e/<name>.mbd run with seed 2024; the expected .mbr,
// .out and .log were checked by hand against the formats (field widths, texts,
// orders) and, for the numbers, against a brute-force likelihood.
//
// singles_only     unrelated individuals; allele names of two widths, a double
//                  heterozygote resolved by the EM, blanks around alleles;
//                  haplotypes listed in name order ("12" before "7").
// untyped_family   one family of two absent parents, named in either order.
// merged_families  typed, untyped and half-typed parents; two pairs of identical
//                  families (parents swapped, alleles in either order) merged.
// one_locus        one-allele haplotypes, "105" before "1051", a typed family,
//                  a ratio just below zero from the single-precision likelihood.
// two_samples      parameters on three lines, a name on its own line and one on
//                  the count line; the second sample announces 5 and holds 4.
// zero_initial     0 initial conditions: the floor in full fixed notation and
//                  "LogLHood : -3.40282e+38 (0 equilibrium point(s))".
// inconsistent     a family no parent genotype explains: the incompatible-
//                  pedigree and zero-probability warnings with their printouts,
//                  the zero-based pedigree index, the floor in both columns.
class ReportCase : public ::testing::TestWithParam<const char*> {};

TEST_P(ReportCase, MatchesReviewedReportConsoleAndLog) {
    const std::string name = GetParam();
    const e2e::Result r = run_data(name, expected(name + ".mbd"));
    EXPECT_EQ(0, r.status);
    EXPECT_EQ(expected(name + ".out"), r.console);
    ASSERT_TRUE(r.has_report);
    EXPECT_EQ(e2e::mask_times(expected(name + ".mbr")), e2e::mask_times(r.report));
    EXPECT_EQ(e2e::mask_times(expected(name + ".log")), e2e::mask_times(r.log));
}

INSTANTIATE_TEST_SUITE_P(Samples, ReportCase,
                         ::testing::Values("singles_only", "untyped_family", "merged_families",
                                           "one_locus", "two_samples", "zero_initial",
                                           "inconsistent"));

TEST(ReportSeeds, OppositeSeedsGiveIdenticalRuns) {
    const std::string data = expected("merged_families.mbd");
    const e2e::Result plus = run_data("merged_families", data, "5");
    const e2e::Result minus = run_data("merged_families", data, "-5");
    EXPECT_EQ(e2e::mask_times(plus.report), e2e::mask_times(minus.report));
    EXPECT_EQ(plus.console, minus.console);
    EXPECT_EQ(e2e::mask_times(plus.log), e2e::mask_times(minus.log));
}

// A data file that stops the program.
struct FatalInput {
    const char* label;
    const char* data;
    std::string message;
};

// Names the case in test output (the default printer dumps raw bytes).
void PrintTo(const FatalInput& c, std::ostream* os) {
    *os << c.label;
}

const std::string kExpected = "run_analysis : expected the ";
const std::string kSamples = kExpected + "number of samples in the data file";
const std::string kSimulated = kExpected + "number of simulated samples in the data file";
const std::string kInitial = kExpected + "number of initial conditions in the data file";
const std::string kNegative =
    "run_analysis : the number of initial conditions must not be negative";
const std::string kSplit = "TPopPedigree::set_pseudo_haplotypes : individual ";
const std::string kThree = " has 3 alleles on an allele line, at most 2 loci are supported";
const std::string kRead = "TPopPedigree::read_pedigrees : individual ";
const std::string kTwice = " appears more than once in sample ";

std::string count_of(int k) {
    return kExpected + "individual count of sample " + std::to_string(k) + " in the data file";
}

// The message goes to the console after the banner and to the log as its first
// line; the report stays empty.
class FatalInputCase : public ::testing::TestWithParam<FatalInput> {};

TEST_P(FatalInputCase, StopsWithTheMessageOnConsoleAndLog) {
    const FatalInput& c = GetParam();
    const e2e::Result r = run_data("bad", c.data);
    EXPECT_EQ(255, r.status);
    EXPECT_EQ("\n\t\tTovaquor\n\t\t--------\n\n" + c.message + "\n", r.console);
    EXPECT_EQ("***1" + c.message + "\n", r.log);
    EXPECT_TRUE(r.has_report);
    EXPECT_EQ("", r.report);
}

const FatalInput kFatalInputs[] = {
    {"EmptyFile", "", kSamples},
    {"SamplesNotANumber", "x 0 1\n", kSamples},
    {"SamplesOutOfRange", "2147483648 0 1\n", kSamples},
    {"SimulatedMissing", "1\n", kSimulated},
    {"SimulatedNotANumber", "1 x 2\n", kSimulated},
    {"InitialMissing", "1 0\n", kInitial},
    {"InitialOutOfRange", "1 0 99999999999\n", kInitial},
    {"InitialNegative", "1 0 -1\n", kNegative},
    {"InitialNegativeNoSample", "0 0 -1\n", kNegative}, // refused even with no sample
    {"CountMissing", "1 0 2\n", count_of(1)},
    {"CountNotANumber", "1 0 2\nPop A\n", count_of(1)},
    {"ThreeAlleles", "1 0 1\n2 s\nA 0 0\n1 a b\n1 a c\nB 0 0\n1 a\n2 b\n", kSplit + "A" + kThree},
    // The file ends inside the record: its second allele line is empty.
    {"NoAllele", "1 0 1\n1 s\nA 0 0\n1 a\n", kSplit + "A has no allele on an allele line"},
    // Records are checked newest first: B, read last, sets the expected count.
    {"UnequalBetweenRecords", "1 0 1\n2 s\nA 0 0\n1 a\n1 a\nB 0 0\n1\n2\n",
     kSplit + "A has 2 alleles on an allele line, expected 1"},
    {"UnequalWithinRecord", "1 0 1\n2 s\nA 0 0\n1 a\n1\nB 0 0\n1 a\n2 b\n",
     kSplit + "A has 1 alleles on an allele line, expected 2"},
    // More than two alleles is named as such even when another count was expected.
    {"ThreeAllelesAfterOne", "1 0 1\n2 s\nA 0 0\n1 a b\n1 a b\nB 0 0\n1\n2\n",
     kSplit + "A" + kThree},
    {"Duplicate", "1 0 1\n2 Pop A\nA 0 0\n1 a\n1 b\nA 0 0\n1 a\n2 b\n",
     kRead + "A" + kTwice + "Pop A"},
    // Identifiers are checked while reading, before any allele line, and the
    // duplicate before the record naming itself as parent.
    {"DuplicateBeforeAlleles", "1 0 1\n2 s\nA 0 0\n1 a b\n1 a b\nA 0 0\n1 a\n2 b\n",
     kRead + "A" + kTwice + "s"},
    {"DuplicateBeforeOwnParent", "1 0 1\n2 s\nA 0 0\n1 a\n1 b\nA A 0\n1 a\n2 b\n",
     kRead + "A" + kTwice + "s"},
    {"OwnFirstParent", "1 0 1\n2 s\nA A 0\n1 a\n1 b\nB 0 0\n1 a\n2 b\n",
     kRead + "A is its own parent"},
    {"OwnSecondParent", "1 0 1\n2 s\nB 0 0\n1 a\n1 b\nA Z A\n1 a\n2 b\n",
     kRead + "A is its own parent"},
    // "0" is an identifier like any other here.
    {"IndividualNamedZero", "1 0 1\n1 s\n0 0 0\n1 a\n1 b\n", kRead + "0 is its own parent"},
};

INSTANTIATE_TEST_SUITE_P(DataFile, FatalInputCase, ::testing::ValuesIn(kFatalInputs),
                         [](const auto& info) { return std::string(info.param.label); });

// A second sample that stops the program leaves the first sample's report whole:
// the bytes of a run of the first sample alone, without the time line.
class FailingSecondSample : public ::testing::TestWithParam<FatalInput> {};

TEST_P(FailingSecondSample, KeepsTheCompleteFirstSample) {
    const FatalInput& c = GetParam();
    const std::string first = "3 First\nA 0 0\n1 a\n2 b\nB 0 0\n1 b\n1 b\nC A B\n1 b\n2 b\n";
    const e2e::Result alone = run_data("two", "1 1 2\n" + first);
    ASSERT_EQ(0, alone.status);
    const e2e::Result r = run_data("two", "2 1 2\n" + first + c.data);
    EXPECT_EQ(255, r.status);
    EXPECT_EQ(alone.report.substr(0, alone.report.rfind("\nTotal computing time : ")), r.report);
    EXPECT_EQ(alone.console + c.message + "\n", r.console);
    EXPECT_EQ(e2e::mask_times(alone.log) + "***1" + c.message + "\n", e2e::mask_times(r.log));
}

const FatalInput kSecondSampleFailures[] = {
    {"CountMissing", "", count_of(2)},
    {"Duplicate", "2 Second\nD 0 0\n1 a\n1 a\nD 0 0\n1 a\n1 a\n", kRead + "D" + kTwice + "Second"},
    {"ThreeAlleles", "1 Second\nD 0 0\n1 a b\n1 a b\n", kSplit + "D" + kThree},
};

INSTANTIATE_TEST_SUITE_P(Report, FailingSecondSample, ::testing::ValuesIn(kSecondSampleFailures),
                         [](const auto& info) { return std::string(info.param.label); });

} // namespace
