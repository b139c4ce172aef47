// The engine options end to end: where they stand, what the help says, the
// memory estimate of each engine, and the notice a listing run gives when it
// grows large. Whole reviewed runs with either engine are in fixtures_test;
// the numbers of both engines in tests/population/fast_agreement_test.cpp.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "tests/harness/e2e_harness.h"

namespace {

// Runs tovaquor with standard error collected.
e2e::Result run_capturing(std::vector<std::string> args, const std::string& base,
                          const std::string& data, const e2e::Env& env) {
    e2e::Run what;
    what.args = std::move(args);
    what.files = {{base + ".mbd", data}};
    what.env = env;
    what.capture_errors = true;
    return e2e::run(what);
}

TEST(EngineOptions, StandAnywhereBeforeTheArgumentsAndChangeNoByte) {
    const std::string data = "1 0 1\n2 Two\nI1 0 0\n1 a\n2 b\nI2 0 0\n2 a\n1 b\n";
    const std::string reference =
        e2e::mask_times(e2e::run({{"d", "3"}, "", {{"d.mbd", data}}}).report);
    EXPECT_NE(std::string::npos, reference.find("Sample Two"));
    for (const std::string option : {"--fast", "--listed"}) {
        for (const std::vector<std::string>& args :
             {std::vector<std::string>{option, "d", "3"},
              std::vector<std::string>{"d", option, "3"},
              std::vector<std::string>{"--tables", "d", "3", option}}) {
            const e2e::Result r = e2e::run({args, "", {{"d.mbd", data}}, {}, "d.mbr"});
            EXPECT_EQ(0, r.status) << option;
            EXPECT_EQ(reference, e2e::mask_times(r.report)) << option;
        }
        // Alone, it leaves the prompts as they are.
        const e2e::Result prompted = e2e::run({{option}, "d\n3\n", {{"d.mbd", data}}, {}, "d.mbr"});
        EXPECT_EQ(reference, e2e::mask_times(prompted.report));
    }
    const e2e::Result help = e2e::run({{"--help"}});
    EXPECT_NE(std::string::npos, help.console.find("\n  --listed     list every genotypic"));
    EXPECT_NE(std::string::npos, help.console.find("\n  --fast       sum over the haplotypes"));
}

// 40 alleles at each locus from 40 singles: 1681 haplotypes with "#", so
// 1.4 million genotypes for the child's absent parent, about 45 MiB of
// tables, which 20 MiB refuse; the summed likelihood keeps a few numbers per
// haplotype.
std::string many_alleles() {
    std::ostringstream text;
    text << "1 0 1\n42 Many alleles\nP 0 0\nA0 B0\nA0 B0\nC P Q\nA0 B0\nA1 B1\n";
    for (int i = 0; i < 40; ++i) {
        text << "I" << i << " 0 0\nA" << i << " B" << i << "\nA" << (i + 1) % 40 << " B"
             << (i + 7) % 40 << "\n";
    }
    return text.str();
}

TEST(EngineOptions, EachEngineHasItsOwnMemoryEstimate) {
    const e2e::Env limit{{"TOVAQUOR_MAX_MEMORY_MB", "20"}};
    const e2e::Result listed = run_capturing({"--listed", "m", "5"}, "m", many_alleles(), limit);
    EXPECT_EQ(255, listed.status);
    EXPECT_NE(std::string::npos, listed.console.find("more than the memory limit of 20 MiB"));
    const e2e::Result summed = run_capturing({"m", "5"}, "m", many_alleles(), limit);
    EXPECT_EQ(0, summed.status);
    EXPECT_NE(std::string::npos, summed.report.find("1681 possible haplotypes"));
    EXPECT_EQ(std::string::npos, summed.errors.find("tovaquor:")); // no notice beside the summary
}

// Lone children of absent parents with 12 alleles per locus: tens of
// thousands of combinations each for the listing engine (every genotype of
// one parent that carries one of the child's haplotypes, times every
// genotype of the other), four configurations for the summed one.
std::string absent_parent_families() {
    std::ostringstream text;
    text << "1 0 1\n12 Absent parents\n";
    for (int i = 0; i < 12; ++i) {
        text << "C" << i << " P" << i << " Q" << i << "\nA" << i << " B" << i << "\nA"
             << (i + 1) % 12 << " B" << (i + 5) % 12 << "\n";
    }
    return text.str();
}

TEST(EngineOptions, ListedRunOverTheMemoryLimitPointsToTheDefault) {
    const e2e::Env limit{{"TOVAQUOR_MAX_MEMORY_MB", "1"}};
    const e2e::Result listed =
        run_capturing({"f", "5", "--listed"}, "f", absent_parent_families(), limit);
    EXPECT_EQ(255, listed.status);
    EXPECT_NE(std::string::npos, listed.console.find("genotypic combinations that the memory"));
    EXPECT_NE(std::string::npos, listed.errors.find("without --listed, the default engine sums"));
    // Said once, though every locus and the haplotypes would say it.
    EXPECT_EQ(listed.errors.find("default engine"), listed.errors.rfind("default engine"));
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"f", "5"}, std::vector<std::string>{"--fast", "f", "5"}}) {
        const e2e::Result summed = run_capturing(args, "f", absent_parent_families(), limit);
        EXPECT_EQ(0, summed.status);
        EXPECT_EQ(std::string::npos, summed.errors.find("tovaquor:")) << summed.errors;
    }
}

} // namespace
