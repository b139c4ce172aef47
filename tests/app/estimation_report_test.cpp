// End-to-end runs of the estimation: the whole report, console and log of small
// samples compared with reviewed expected files (times masked), and every fatal
// input of the data file with its message, its log line and status 255.
#include <gtest/gtest.h>

#include <string>

#include "tests/harness/e2e_harness.h"

namespace {

const char* const kBanner = "\n\t\tTovaquor\n\t\t--------\n\n";
const char* const kSeed = "2024";

std::string expected(const std::string& name) {
    return e2e::read_file(e2e::data_path("e2e/" + name));
}

e2e::Result run_data(const std::string& base, const std::string& data,
                     const std::string& seed = kSeed) {
    return e2e::run({{base, seed}, "", {{base + ".mbd", data}}, {}, ""});
}

std::string without_time_line(const std::string& report) {
    const std::string tail = "\nTotal computing time : ";
    const std::size_t at = report.rfind(tail);
    return at == std::string::npos ? report : report.substr(0, at);
}

// Each case is tests/data/e2e/<name>.mbd run with the seed above; the expected
// .mbr, .out and .log were produced once and checked by hand against the report,
// console and log formats (field widths, texts, orders) and, for the numbers,
// against a separate brute-force likelihood at the printed frequencies.
//
// singles_only     unrelated individuals only; allele names of two widths ("7",
//                  "12", "Bb"), a double heterozygote resolved by the EM, blanks
//                  around alleles; haplotypes listed in name order ("12" before
//                  "7"), not database order.
// untyped_family   one family whose two parents are absent from the file (the
//                  symmetric untyped pair), the sibs naming them in either order.
// merged_families  typed parents, untyped parents and one typed with one absent
//                  parent; two pairs of identical families (parents swapped,
//                  alleles in either order) merged into one representative each.
// one_locus        a one-locus sample: one-allele haplotypes, "105" sorting before
//                  "1051", a typed family, and a ratio slightly below zero because
//                  the sample log-likelihood is kept in single precision.
// two_samples      two blocks in file order; parameters on three lines, a name on
//                  its own line and a name on the count line; the second sample
//                  announces 5 individuals and holds 4 (the header keeps 5).
// zero_initial     0 initial conditions: no dot on the last summary line, the
//                  floor value in full fixed notation, 0 maxima, the haplotype
//                  database left at the equilibrium frequencies.
// inconsistent     a family no parent genotype can explain: the incompatible-
//                  pedigree and zero-probability warnings with their blank-padded
//                  printouts (an untyped parent prints its identifier line only),
//                  the zero-based pedigree index, the floor in both columns, and
//                  the allele counts left in place when no run beats the floor.
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

// The lines that matter most in the zero-initial-conditions case, spelled out so
// that a failure names them.
TEST(ReportZeroInitialConditions, PrintsTheFloorInFullAndNoMaximum) {
    const e2e::Result r = run_data("zero_initial", expected("zero_initial.mbd"));
    const std::string console_tail = "\n\nLogLHood : -3.40282e+38 (0 equilibrium point(s))\n";
    ASSERT_GE(r.console.size(), console_tail.size());
    EXPECT_EQ(console_tail, r.console.substr(r.console.size() - console_tail.size()));
    EXPECT_NE(std::string::npos,
              r.report.find("\n-340282346638528859811704183484516925440.00000000         "
                            "-5.89852629-680564693277057719623408366969033850880.00000000"
                            "        0\n"));
    EXPECT_NE(std::string::npos, r.log.find("Computing sample lnLHood ...\n (-3.40282e+38) "));
}

TEST(ReportSeeds, OppositeSeedsGiveIdenticalRuns) {
    const std::string data = expected("merged_families.mbd");
    const e2e::Result plus = run_data("merged_families", data, "5");
    const e2e::Result minus = run_data("merged_families", data, "-5");
    EXPECT_EQ(e2e::mask_times(plus.report), e2e::mask_times(minus.report));
    EXPECT_EQ(plus.console, minus.console);
    EXPECT_EQ(e2e::mask_times(plus.log), e2e::mask_times(minus.log));
}

// A data file that stops the program: the message goes to the console after the
// banner and to the log as its first line, the report stays empty.
struct FatalInput {
    const char* label;
    const char* data;
    const char* message;
};

class FatalInputCase : public ::testing::TestWithParam<FatalInput> {};

TEST_P(FatalInputCase, StopsWithTheMessageOnConsoleAndLog) {
    const FatalInput& c = GetParam();
    const e2e::Result r = run_data("bad", c.data);
    EXPECT_EQ(255, r.status);
    EXPECT_EQ(std::string(kBanner) + c.message + "\n", r.console);
    EXPECT_EQ(std::string("***1") + c.message + "\n", r.log);
    EXPECT_TRUE(r.has_report);
    EXPECT_EQ("", r.report);
}

const FatalInput kFatalInputs[] = {
    {"EmptyFile", "", "run_analysis : expected the number of samples in the data file"},
    {"SamplesNotANumber", "x 0 1\n",
     "run_analysis : expected the number of samples in the data file"},
    {"SamplesOutOfRange", "2147483648 0 1\n",
     "run_analysis : expected the number of samples in the data file"},
    {"SimulatedMissing", "1\n",
     "run_analysis : expected the number of simulated samples in the data file"},
    {"SimulatedNotANumber", "1 x 2\n",
     "run_analysis : expected the number of simulated samples in the data file"},
    {"InitialMissing", "1 0\n",
     "run_analysis : expected the number of initial conditions in the data file"},
    {"InitialOutOfRange", "1 0 99999999999\n",
     "run_analysis : expected the number of initial conditions in the data file"},
    {"InitialNegative", "1 0 -1\n",
     "run_analysis : the number of initial conditions must not be negative"},
    // Refused even when no sample follows.
    {"InitialNegativeNoSample", "0 0 -1\n",
     "run_analysis : the number of initial conditions must not be negative"},
    {"CountMissing", "1 0 2\n",
     "run_analysis : expected the individual count of sample 1 in the data file"},
    {"CountNotANumber", "1 0 2\nPop A\n",
     "run_analysis : expected the individual count of sample 1 in the data file"},
    {"ThreeAlleles", "1 0 1\n2 s\nA 0 0\n1 a b\n1 a c\nB 0 0\n1 a\n2 b\n",
     "TPopPedigree::set_pseudo_haplotypes : individual A has 3 alleles on an allele line, "
     "at most 2 loci are supported"},
    // The file ends inside the record: its second allele line is empty.
    {"NoAllele", "1 0 1\n1 s\nA 0 0\n1 a\n",
     "TPopPedigree::set_pseudo_haplotypes : individual A has no allele on an allele line"},
    // Records are checked newest first: B, read last, sets the expected count.
    {"UnequalBetweenRecords", "1 0 1\n2 s\nA 0 0\n1 a\n1 a\nB 0 0\n1\n2\n",
     "TPopPedigree::set_pseudo_haplotypes : individual A has 2 alleles on an allele line, "
     "expected 1"},
    {"UnequalWithinRecord", "1 0 1\n2 s\nA 0 0\n1 a\n1\nB 0 0\n1 a\n2 b\n",
     "TPopPedigree::set_pseudo_haplotypes : individual A has 1 alleles on an allele line, "
     "expected 2"},
    // More than two alleles is named as such even when another count was expected.
    {"ThreeAllelesAfterOne", "1 0 1\n2 s\nA 0 0\n1 a b\n1 a b\nB 0 0\n1\n2\n",
     "TPopPedigree::set_pseudo_haplotypes : individual A has 3 alleles on an allele line, "
     "at most 2 loci are supported"},
    {"Duplicate", "1 0 1\n2 Pop A\nA 0 0\n1 a\n1 b\nA 0 0\n1 a\n2 b\n",
     "TPopPedigree::read_pedigrees : individual A appears more than once in sample Pop A"},
    // Identifiers are checked while reading, before any allele line.
    {"DuplicateBeforeAlleles", "1 0 1\n2 s\nA 0 0\n1 a b\n1 a b\nA 0 0\n1 a\n2 b\n",
     "TPopPedigree::read_pedigrees : individual A appears more than once in sample s"},
    // The duplicate is found before the record naming itself as parent.
    {"DuplicateBeforeOwnParent", "1 0 1\n2 s\nA 0 0\n1 a\n1 b\nA A 0\n1 a\n2 b\n",
     "TPopPedigree::read_pedigrees : individual A appears more than once in sample s"},
    {"OwnFirstParent", "1 0 1\n2 s\nA A 0\n1 a\n1 b\nB 0 0\n1 a\n2 b\n",
     "TPopPedigree::read_pedigrees : individual A is its own parent"},
    {"OwnSecondParent", "1 0 1\n2 s\nB 0 0\n1 a\n1 b\nA Z A\n1 a\n2 b\n",
     "TPopPedigree::read_pedigrees : individual A is its own parent"},
    // "0" is an identifier like any other here.
    {"IndividualNamedZero", "1 0 1\n1 s\n0 0 0\n1 a\n1 b\n",
     "TPopPedigree::read_pedigrees : individual 0 is its own parent"},
};

INSTANTIATE_TEST_SUITE_P(DataFile, FatalInputCase, ::testing::ValuesIn(kFatalInputs),
                         [](const ::testing::TestParamInfo<FatalInput>& info) {
                             return std::string(info.param.label);
                         });

// A second sample that stops the program leaves the first sample's report whole:
// the same bytes as a run of the first sample alone, without the time line.
class FailingSecondSample : public ::testing::TestWithParam<FatalInput> {};

TEST_P(FailingSecondSample, KeepsTheCompleteFirstSample) {
    const FatalInput& c = GetParam();
    const std::string first = "3 First\nA 0 0\n1 a\n2 b\nB 0 0\n1 b\n1 b\nC A B\n1 b\n2 b\n";
    const e2e::Result alone = run_data("two", "1 1 2\n" + first);
    ASSERT_EQ(0, alone.status);
    const e2e::Result r = run_data("two", "2 1 2\n" + first + c.data);

    EXPECT_EQ(255, r.status);
    EXPECT_EQ(without_time_line(alone.report), r.report);
    EXPECT_EQ(alone.console + c.message + "\n", r.console);
    EXPECT_EQ(e2e::mask_times(alone.log) + "***1" + c.message + "\n", e2e::mask_times(r.log));
}

const FatalInput kSecondSampleFailures[] = {
    {"CountMissing", "",
     "run_analysis : expected the individual count of sample 2 in the data file"},
    {"Duplicate", "2 Second\nD 0 0\n1 a\n1 a\nD 0 0\n1 a\n1 a\n",
     "TPopPedigree::read_pedigrees : individual D appears more than once in sample Second"},
    {"ThreeAlleles", "1 Second\nD 0 0\n1 a b\n1 a b\n",
     "TPopPedigree::set_pseudo_haplotypes : individual D has 3 alleles on an allele line, "
     "at most 2 loci are supported"},
};

INSTANTIATE_TEST_SUITE_P(Report, FailingSecondSample, ::testing::ValuesIn(kSecondSampleFailures),
                         [](const ::testing::TestParamInfo<FatalInput>& info) {
                             return std::string(info.param.label);
                         });

} // namespace
