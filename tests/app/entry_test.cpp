// End-to-end runs of the entry point: command line and prompts, file naming,
// the seed argument, and the stops before any analysis.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "tests/harness/e2e_harness.h"

namespace {

const std::string kBanner = "\n\t\tTovaquor\n\t\t--------\n\n";
const std::string kNamePrompt = "Input file name : ";
const std::string kSeedPrompt = "Seed for random number generator : ";
const std::string kNoInput = "\nNo input, program terminated !\n";

// Two singles and one simulated sample: small, yet every seed leaves its mark on
// the report through the estimation restarts and the simulated row.
const std::string kData = "1 1 2\n2 Seeded\nI1 0 0\n1 a\n2 b\nI2 0 0\n2 a\n1 b\n";

e2e::Result run_args(std::vector<std::string> args, const std::string& input = "") {
    return e2e::run({std::move(args), input, {{"data.mbd", kData}}, {}, "data.mbr"});
}

bool starts_with(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

bool ends_with(const std::string& text, const std::string& suffix) {
    return text.size() >= suffix.size() &&
           text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

TEST(Entry, TwoArgumentsRunWithoutPromptAndEndTheReportWithTheTime) {
    const e2e::Result r = run_args({"data", "7"});
    EXPECT_EQ(0, r.status);
    EXPECT_TRUE(starts_with(r.console, kBanner));
    EXPECT_EQ(std::string::npos, r.console.find(kNamePrompt));
    EXPECT_EQ(std::string::npos, r.console.find(kSeedPrompt));
    ASSERT_TRUE(r.has_report);
    EXPECT_TRUE(starts_with(r.report, "\n=====")) << r.report;
    EXPECT_TRUE(ends_with(e2e::mask_times(r.report), "\n\nTotal computing time : N ms\n"))
        << r.report;
    EXPECT_TRUE(r.has_log);
}

TEST(Entry, ExtensionIsAlwaysAppended) {
    const e2e::Result found =
        e2e::run({{"data.mbd", "7"}, "", {{"data.mbd.mbd", kData}}, {}, "data.mbd.mbr"});
    EXPECT_EQ(0, found.status);
    EXPECT_TRUE(found.has_report);

    const e2e::Result missing = run_args({"data.mbd", "7"});
    EXPECT_EQ(1, missing.status);
    EXPECT_EQ(kBanner + "Invalid file name, program terminated !\n", missing.console);
}

TEST(Entry, MissingDataFileStopsWithStatusOneAndAnEmptyLog) {
    const e2e::Result r = e2e::run({{"missing", "7"}, "", {}, {}, ""});
    EXPECT_EQ(1, r.status);
    EXPECT_EQ(kBanner + "Invalid file name, program terminated !\n", r.console);
    EXPECT_TRUE(r.has_log);
    EXPECT_EQ("", r.log);
    EXPECT_FALSE(r.has_report);
}

TEST(Entry, ReportThatCannotBeCreatedStopsBeforeTheAnalysis) {
    // A directory of the report's name, beside the data file, blocks its creation.
    namespace fs = std::filesystem;
    std::string templ = (fs::temp_directory_path() / "tovaquor-entry-XXXXXX").string();
    ASSERT_NE(nullptr, mkdtemp(templ.data()));
    const fs::path dir = templ;
    { std::ofstream(dir / "data.mbd") << kData; }
    fs::create_directory(dir / "data.mbr");
    const std::string base = (dir / "data").string();

    const e2e::Result r = e2e::run({{base, "7"}, "", {}, {}, ""});
    fs::remove_all(dir);

    EXPECT_EQ(1, r.status);
    EXPECT_EQ(kBanner + "Unable to create report file " + base + ".mbr, program terminated !\n",
              r.console);
    EXPECT_EQ("", r.log);
}

// Any argument count but two asks for the file (again after a wrong name) and
// the seed, and then runs as the two-argument form does.
class Prompting : public ::testing::TestWithParam<std::vector<std::string>> {};

TEST_P(Prompting, AsksForFileAndSeed) {
    const e2e::Result r = run_args(GetParam(), "nope\ndata\n7\n");
    EXPECT_EQ(0, r.status);
    const std::string prompts = kBanner + kNamePrompt + kNamePrompt + kSeedPrompt;
    ASSERT_TRUE(starts_with(r.console, prompts)) << r.console;
    const e2e::Result direct = run_args({"data", "7"});
    EXPECT_EQ(e2e::mask_times(direct.report), e2e::mask_times(r.report));
    EXPECT_EQ(direct.console.substr(kBanner.size()), r.console.substr(prompts.size()));
}

INSTANTIATE_TEST_SUITE_P(ArgumentCounts, Prompting,
                         ::testing::Values(std::vector<std::string>{},
                                           std::vector<std::string>{"data"},
                                           std::vector<std::string>{"data", "7", "extra"}));

TEST(EntryPrompt, EndOfInputAtTheFileNameStops) {
    const e2e::Result r = run_args({}, "nope\n");
    EXPECT_EQ(1, r.status);
    EXPECT_EQ(kBanner + kNamePrompt + kNamePrompt + kNoInput, r.console);
    EXPECT_FALSE(r.has_report);
}

TEST(EntryPrompt, EndOfInputAtTheSeedStops) {
    const e2e::Result r = run_args({}, "data\n");
    EXPECT_EQ(1, r.status);
    EXPECT_EQ(kBanner + kNamePrompt + kSeedPrompt + kNoInput, r.console);
    EXPECT_FALSE(r.has_report);
}

TEST(EntryPrompt, NonNumericSeedIsAskedAgainWithTheRestOfItsLineDropped) {
    const e2e::Result r = run_args({}, "data\nabc 9\n7\n");
    EXPECT_EQ(0, r.status);
    const std::string prompts = kBanner + kNamePrompt + kSeedPrompt + kSeedPrompt;
    EXPECT_TRUE(starts_with(r.console, prompts)) << r.console;
    // The 9 on the refused line was dropped: the run used 7.
    EXPECT_EQ(e2e::mask_times(run_args({"data", "7"}).report), e2e::mask_times(r.report));
}

TEST(EntryPrompt, EndOfInputAfterARefusedSeedLineStops) {
    const e2e::Result r = run_args({}, "data\nabc\n");
    EXPECT_EQ(1, r.status);
    EXPECT_EQ(kBanner + kNamePrompt + kSeedPrompt + kSeedPrompt + kNoInput, r.console);
}

// A refused answer on the last, unterminated line is still a refused answer: the
// prompt is shown again before the end of input is noticed, as it is when the
// line ends with a newline (the case above).
TEST(EntryPrompt, EndOfInputInsideARefusedSeedLineShowsThePromptAgain) {
    const e2e::Result r = run_args({}, "data\nabc");
    EXPECT_EQ(1, r.status);
    EXPECT_EQ(kBanner + kNamePrompt + kSeedPrompt + kSeedPrompt + kNoInput, r.console);
}

// Seed arguments converted like strtol, then to 32 bits; s and -s seed alike.
struct SeedPair {
    const char* given;
    const char* same_as;
};

class SeedArgument : public ::testing::TestWithParam<SeedPair> {};

TEST_P(SeedArgument, RunsLikeItsEquivalent) {
    const e2e::Result a = run_args({"data", GetParam().given});
    const e2e::Result b = run_args({"data", GetParam().same_as});
    EXPECT_EQ(0, a.status);
    EXPECT_EQ(e2e::mask_times(b.report), e2e::mask_times(a.report));
    EXPECT_EQ(b.console, a.console);
}

INSTANTIATE_TEST_SUITE_P(Conversions, SeedArgument,
                         ::testing::Values(SeedPair{"abc", "0"}, SeedPair{"12x", "12"},
                                           SeedPair{" 12", "12"}, SeedPair{"-5", "5"},
                                           SeedPair{"4294967297", "1"},
                                           SeedPair{"161803400", "1"}));

// Guards the cases above against a seed that changes nothing.
TEST(SeedArgument, DifferentSeedsGiveDifferentReports) {
    const std::string r0 = e2e::mask_times(run_args({"data", "0"}).report);
    const std::string r1 = e2e::mask_times(run_args({"data", "1"}).report);
    const std::string r12 = e2e::mask_times(run_args({"data", "12"}).report);
    EXPECT_NE(r0, r1);
    EXPECT_NE(r1, r12);
    EXPECT_NE(r0, r12);
}

TEST(EntryOptions, HelpAndVersionPrintAndExitWithoutALog) {
    for (const char* flag : {"-h", "--help"}) {
        const e2e::Result r = run_args({flag});
        EXPECT_EQ(0, r.status) << flag;
        EXPECT_TRUE(starts_with(r.console, "Usage: tovaquor BASE SEED\n")) << r.console;
        EXPECT_FALSE(r.has_log) << flag;
    }
    const e2e::Result v = run_args({"--version"});
    EXPECT_EQ(0, v.status);
    EXPECT_EQ(std::string("tovaquor ") + TOVAQUOR_VERSION + "\n", v.console);
    EXPECT_FALSE(v.has_log);
}

TEST(EntryOptions, HelpBesideASeedIsABaseName) {
    const e2e::Result r = run_args({"--help", "7"});
    EXPECT_EQ(1, r.status);
    EXPECT_EQ(kBanner + "Invalid file name, program terminated !\n", r.console);
}

} // namespace
