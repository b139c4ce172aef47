// End-to-end runs of the entry point: command line and prompts, file naming,
// the seed argument, and the stops before any analysis.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "tests/harness/e2e_harness.h"

namespace {

using e2e::kBanner;
const std::string kName = "Input file name : ";
const std::string kSeed = "Seed for random number generator : ";
const std::string kNoInput = "\nNo input, program terminated !\n";
const std::string kInvalid = "Invalid file name, program terminated !\n";

// Two singles and one simulated sample: small, yet every seed leaves its mark on
// the report through the estimation restarts and the simulated row.
const std::string kData = "1 1 2\n2 Seeded\nI1 0 0\n1 a\n2 b\nI2 0 0\n2 a\n1 b\n";

e2e::Result run_args(std::vector<std::string> args, const std::string& input = "") {
    return e2e::run({std::move(args), input, {{"data.mbd", kData}}, {}, "data.mbr"});
}

std::string report_of(std::vector<std::string> args, const std::string& input = "") {
    return e2e::mask_times(run_args(std::move(args), input).report);
}

TEST(Entry, MissingDataFileStopsWithStatusOneAndAnEmptyLog) {
    // "--help" beside a seed is a base name like any other, and the extension
    // is always appended: "data.mbd" looks for data.mbd.mbd.
    for (const char* base : {"missing", "--help", "data.mbd"}) {
        const e2e::Result r =
            e2e::run({{base, "7"}, "", {{"data.mbd", kData}}, {}, "", "", {}, true});
        EXPECT_EQ(1, r.status) << base;
        EXPECT_EQ(kBanner + kInvalid, r.console) << base;
        // Standard error names the path tried.
        EXPECT_EQ("tovaquor: cannot open the data file " + std::string(base) +
                      ".mbd: No such file or directory\n",
                  r.errors);
        EXPECT_TRUE(r.has_log) << base;
        EXPECT_EQ("", r.log) << base;
        EXPECT_FALSE(r.has_report) << base;
    }
    const e2e::Result found = e2e::run({{"data.mbd", "7"}, "", {{"data.mbd.mbd", kData}}});
    EXPECT_EQ(0, found.status);
    EXPECT_TRUE(found.has_report);
}

TEST(Entry, UnknownDoubleDashArgumentStopsBeforeAnyPrompt) {
    // Leading, between or after the arguments, and alone (which would prompt).
    for (const std::vector<std::string>& args : {std::vector<std::string>{"--tabels", "data", "17"},
                                                 {"data", "--tabels", "17"},
                                                 {"data", "17", "--tabels"},
                                                 {"--listed", "--tabels"},
                                                 {"--tabels"}}) {
        const e2e::Result r =
            e2e::run({args, "data\n17\n", {{"data.mbd", kData}}, {}, "data.mbr", "", {}, true});
        EXPECT_EQ(1, r.status);
        EXPECT_EQ("", r.console);
        EXPECT_FALSE(r.has_log);
        EXPECT_FALSE(r.has_report);
        EXPECT_TRUE(r.errors.starts_with("tovaquor: unknown option --tabels (tovaquor --help "
                                         "lists the options)\n\nUsage: tovaquor "))
            << r.errors;
    }
}

TEST(Entry, FatalStopSaysSoOnStandardErrorInOneLine) {
    // A name with a terminal escape reaches standard error escaped.
    const std::string data = "1 0 1\n2 s\nA\x1b[2J 0 0\n1 a\n1 b\nA\x1b[2J 0 0\n1 a\n1 b\n";
    const e2e::Result r = e2e::run({{"data", "7"}, "", {{"data.mbd", data}}, {}, "", "", {}, true});
    EXPECT_EQ(255, r.status);
    EXPECT_TRUE(r.errors.starts_with("tovaquor: stopped: TPopPedigree::read_pedigrees : "
                                     "individual A\\x1B[2J appears more than once in sample s\n"))
        << r.errors;
    EXPECT_NE(std::string::npos, r.console.find("individual A\x1b[2J appears more than once"));
}

TEST(Entry, ReportThatCannotBeCreatedStopsBeforeTheAnalysis) {
    // A directory of the report's name blocks its creation.
    const e2e::Result r = e2e::run({{"data", "7"}, "", {{"data.mbd", kData}, {"data.mbr/", ""}}});
    EXPECT_EQ(1, r.status);
    EXPECT_EQ(kBanner + "Unable to create report file data.mbr, program terminated !\n", r.console);
    EXPECT_EQ("", r.log);
}

// Any argument count but two asks for the file (again after a wrong name) and
// the seed, and then runs as the two-argument form does.
class Prompting : public ::testing::TestWithParam<std::vector<std::string>> {};

TEST_P(Prompting, AsksForFileAndSeed) {
    const e2e::Result r = run_args(GetParam(), "nope\ndata\n7\n");
    EXPECT_EQ(0, r.status);
    const std::string prompts = kBanner + kName + kName + kSeed;
    ASSERT_TRUE(r.console.starts_with(prompts)) << r.console;
    const e2e::Result direct = run_args({"data", "7"});
    EXPECT_EQ(e2e::mask_times(direct.report), e2e::mask_times(r.report));
    EXPECT_EQ(direct.console.substr(kBanner.size()), r.console.substr(prompts.size()));
}

INSTANTIATE_TEST_SUITE_P(ArgumentCounts, Prompting,
                         ::testing::Values(std::vector<std::string>{},
                                           std::vector<std::string>{"data"},
                                           std::vector<std::string>{"data", "7", "extra"}));

TEST(EntryPrompt, EndOfInputWhileAPromptWaitsStops) {
    // A refused seed line shows the prompt again, whether or not a newline ends it.
    const std::pair<const char*, std::string> cases[] = {{"nope\n", kName + kName},
                                                         {"data\n", kName + kSeed},
                                                         {"data\nabc\n", kName + kSeed + kSeed},
                                                         {"data\nabc", kName + kSeed + kSeed}};
    for (const auto& [input, prompts] : cases) {
        const e2e::Result r = run_args({}, input);
        EXPECT_EQ(1, r.status) << input;
        EXPECT_EQ(kBanner + prompts + kNoInput, r.console) << input;
        EXPECT_FALSE(r.has_report) << input;
    }
}

TEST(EntryPrompt, NonNumericSeedIsAskedAgainWithTheRestOfItsLineDropped) {
    const e2e::Result r = run_args({}, "data\nabc 9\n7\n");
    EXPECT_EQ(0, r.status);
    EXPECT_TRUE(r.console.starts_with(kBanner + kName + kSeed + kSeed)) << r.console;
    EXPECT_EQ(report_of({"data", "7"}), e2e::mask_times(r.report)); // not 9
}

TEST(SeedArgument, ConvertsLikeStrtolThenTo32BitsWithSAndMinusSAlike) {
    const std::pair<const char*, const char*> same[] = {{"abc", "0"},        {"12x", "12"},
                                                        {" 12", "12"},       {"-5", "5"},
                                                        {"4294967297", "1"}, {"161803400", "1"}};
    for (const auto& [given, as] : same) {
        const e2e::Result a = run_args({"data", given});
        const e2e::Result b = run_args({"data", as});
        EXPECT_EQ(0, a.status) << given;
        EXPECT_EQ(e2e::mask_times(b.report), e2e::mask_times(a.report)) << given;
        EXPECT_EQ(b.console, a.console) << given;
    }
    // Guards the cases above against a seed that changes nothing.
    const std::string r0 = report_of({"data", "0"});
    const std::string r1 = report_of({"data", "1"});
    const std::string r12 = report_of({"data", "12"});
    EXPECT_TRUE(r0 != r1 && r1 != r12 && r0 != r12);
}

TEST(EntryOptions, HelpAndVersionPrintAndExitWithoutALog) {
    for (const char* flag : {"-h", "--help"}) {
        const e2e::Result r = run_args({flag});
        EXPECT_EQ(0, r.status) << flag;
        EXPECT_TRUE(
            r.console.starts_with("Usage: tovaquor [--tables] [--html] [--phases] [--bootstrap N]\n"
                                  "                [--listed | --whole-pedigrees] BASE SEED\n"))
            << r.console;
        EXPECT_TRUE(r.console.ends_with(
            "\nExit status: 0 when every sample was analysed, 1 for a file problem, 2 when\n"
            "a sample got no estimate (its likelihood is zero, see mirbo.log), 255 for\n"
            "an error in the data.\n"))
            << r.console;
        EXPECT_FALSE(r.has_log) << flag;
    }
    const e2e::Result v = run_args({"--version"});
    EXPECT_EQ(0, v.status);
    EXPECT_EQ(std::string("tovaquor ") + TOVAQUOR_VERSION + "\n", v.console);
    EXPECT_FALSE(v.has_log);
}

// A count that is not one is refused before anything is opened; the count
// is the next word, whatever it looks like.
TEST(EntryOptions, BootstrapTakesACountFromOneUp) {
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--bootstrap", "x", "data", "7"},
          {"--bootstrap", "0", "data", "7"},
          {"--bootstrap", "-3", "data", "7"},
          {"--bootstrap", "1000001", "data", "7"},
          {"--tables", "--bootstrap"}}) {
        const e2e::Result r = e2e::run({args, "", {{"data.mbd", kData}}, {}, "", "", {}, true});
        EXPECT_EQ(1, r.status) << args[1];
        EXPECT_FALSE(r.has_log);
        EXPECT_TRUE(r.errors.starts_with("tovaquor: --bootstrap needs a number of replicates from "
                                         "1 to 1000000, not '"))
            << r.errors;
    }
    const e2e::Result ok =
        e2e::run({{"--bootstrap", "3", "data", "7"}, "", {{"data.mbd", kData}}, {}, "data.mbr"});
    EXPECT_EQ(0, ok.status);
    EXPECT_EQ(report_of({"data", "7"}), e2e::mask_times(ok.report));
}

} // namespace
