// The program with --whole-pedigrees: what it reads, what it says, what it
// refuses, and the same bytes at any number of threads.
#include <gtest/gtest.h>

#include <string>

#include "tests/harness/e2e_harness.h"

namespace {

// Three generations, a listed untyped parent, a child with one known parent,
// partial typing; 4 simulated samples.
const char* const kPedigrees = "1 4 3\n10 Three generations\n"
                               "G1 0 0\nA1 ?\nA2 ?\n"
                               "P G1 G2\nA1 B1\nA2 B2\n"
                               "Q 0 0\n? ?\n? ?\n"
                               "K1 P Q\nA1 B1\nA1 B2\n"
                               "K2 P Q\nA2 ?\nA1 ?\n"
                               "K3 P Q\nA2 B2\nA2 B2\n"
                               "H 0 P\nA1 B1\nA2 B1\n"
                               "S 0 0\nA1 B1\nA2 B2\n"
                               "T 0 0\nA2 B2\nA2 B2\n"
                               "U 0 0\nA1 B2\nA1 B1\n";

e2e::Result run_whole(const std::string& data, const e2e::Env& env = {},
                      std::vector<std::string> extra = {}) {
    std::vector<std::string> args{"--whole-pedigrees"};
    args.insert(args.end(), extra.begin(), extra.end());
    args.insert(args.end(), {"ped", "7"});
    e2e::Run run{args, "", {{"ped.mbd", data}}, env};
    run.capture_errors = true;
    run.report_name = "ped.mbr";
    run.collect = {"ped.summary.tsv", "ped.html"};
    return e2e::run(run);
}

TEST(WholePedigreesRun, NamesTheModelWhereverTheRunIsDescribed) {
    const e2e::Result r = run_whole(kPedigrees, {}, {"--tables", "--html"});
    ASSERT_EQ(0, r.status) << r.console << r.errors;
    EXPECT_NE(std::string::npos, r.console.find("Model: whole pedigrees"));
    EXPECT_TRUE(r.errors.starts_with("Model: whole pedigrees")) << r.errors;
    const std::string& summary = r.collected.at("ped.summary.tsv");
    EXPECT_NE(std::string::npos, summary.find("\tmodel\n"));
    EXPECT_NE(std::string::npos, summary.find("\twhole pedigrees\n"));
    EXPECT_NE(std::string::npos,
              r.collected.at("ped.html").find("<dt>Model</dt><dd>whole pedigrees</dd>"));
    // The report keeps its layout: estimates, then the four simulated rows.
    EXPECT_NE(std::string::npos, r.report.find("(4 valid cases out of 4)"));
}

TEST(WholePedigreesRun, SameBytesOnOneOrTwoThreads) {
    const e2e::Result one = run_whole(kPedigrees, {{"TOVAQUOR_THREADS", "1"}});
    const e2e::Result two = run_whole(kPedigrees, {{"TOVAQUOR_THREADS", "2"}});
    ASSERT_EQ(0, one.status);
    auto masked = [](std::string report) { return report.substr(0, report.rfind("Total")); };
    EXPECT_EQ(masked(one.report), masked(two.report));
    EXPECT_EQ(one.console, two.console);
}

// --listed and --fast choose between the nuclear-family engines: beside the
// option, before or after it, they leave the whole-pedigree model on.
TEST(WholePedigreesRun, NuclearEngineOptionsBesideItChangeNoByte) {
    const e2e::Result alone = run_whole(kPedigrees);
    ASSERT_EQ(0, alone.status) << alone.errors;
    auto masked = [](std::string report) { return report.substr(0, report.rfind("Total")); };
    for (const std::string option : {"--listed", "--fast"}) {
        const e2e::Result after = run_whole(kPedigrees, {}, {option});
        e2e::Run before{{option, "--whole-pedigrees", "ped", "7"}, "", {{"ped.mbd", kPedigrees}}};
        before.report_name = "ped.mbr";
        const e2e::Result first = e2e::run(before);
        for (const e2e::Result* r : {&after, &first}) {
            EXPECT_EQ(masked(alone.report), masked(r->report)) << option;
            EXPECT_EQ(alone.console, r->console) << option;
        }
    }
}

// Unknown alleles without the option; options that work on nuclear families with it.
TEST(WholePedigreesRun, WhatTheModelsCannotReadIsRefused) {
    const e2e::Result r = e2e::run_data("ped", kPedigrees);
    EXPECT_EQ(255, r.status);
    EXPECT_NE(std::string::npos,
              r.log.find("individual G1 has an unknown allele ?, which only --whole-pedigrees "
                         "reads"));
    const e2e::Result phases = run_whole(kPedigrees, {}, {"--phases"});
    EXPECT_EQ(1, phases.status);
    EXPECT_NE(std::string::npos, phases.errors.find("work on nuclear families"));
}

// P's typing contradicts its own child, which the nuclear model never sees
// (it takes P as an untyped parent of K): no estimate, status 2.
TEST(WholePedigreesRun, AMiddleGenerationContradictingItsChildrenHasNoEstimate) {
    const std::string data = "1 2 2\n4 Contradiction\n"
                             "P G1 G2\nA1 B1\nA1 B1\n"
                             "Q 0 0\nA2 B2\nA1 B1\n"
                             "K P Q\nA2 B2\nA2 B2\n"
                             "S 0 0\nA1 B2\nA2 B1\n";
    EXPECT_EQ(0, e2e::run_data("ped", data).status);
    const e2e::Result r = run_whole(data);
    EXPECT_EQ(2, r.status);
    EXPECT_NE(std::string::npos, r.report.find("no estimate"));
    EXPECT_NE(std::string::npos,
              r.log.find("the pedigree of P, Q, K has zero probability as a whole pedigree"));
}

TEST(WholePedigreesRun, LoopsAreRefusedByName) {
    const std::string data = "1 0 1\n6 Cousins\nA G H\nA1 B1\nA1 B1\nB G H\nA1 B1\nA1 B1\n"
                             "C A X\nA1 B1\nA1 B1\nD B Y\nA1 B1\nA1 B1\nK C D\nA1 B1\nA1 B1\n"
                             "S 0 0\nA1 B1\nA1 B1\n";
    const e2e::Result r = run_whole(data);
    EXPECT_EQ(255, r.status);
    EXPECT_NE(std::string::npos, r.log.find("has a pedigree loop through"));
}

} // namespace
