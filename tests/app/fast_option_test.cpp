// The option --fast end to end: where it may stand, what it prints, its
// memory estimate, and the notice an exact run gives when it would serve
// better. Its numbers are compared with the exact engine's in
// tests/population/fast_agreement_test.cpp.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "tests/harness/e2e_harness.h"

namespace {

// Runs tovaquor with standard error collected.
e2e::Result run_capturing(std::vector<std::string> args, const std::string& base,
                          const std::string& data, const e2e::Env& env,
                          const std::string& report_name = "") {
    e2e::Run what;
    what.args = std::move(args);
    what.files = {{base + ".mbd", data}};
    what.env = env;
    what.report_name = report_name;
    what.capture_errors = true;
    return e2e::run(what);
}

// On the reference cases the summed sums round to the same printed digits,
// so report, console and log (times masked) are the reviewed ones. Where the
// option stands is tested below.
TEST(FastOption, ReferenceCasesPrintAsTheExactRun) {
    for (const std::string name : {"singles", "untyped_parents", "two_samples"}) {
        SCOPED_TRACE(name);
        std::string seed = e2e::read_data("fixtures/" + name + ".seed");
        seed.erase(seed.find_last_not_of("\r\n") + 1);
        const e2e::Result r =
            run_capturing({name, seed, "--fast"}, name, e2e::read_data("fixtures/" + name + ".mbd"),
                          {{"TOVAQUOR_THREADS", "2"}}, name + ".mbr");
        EXPECT_EQ(0, r.status);
        EXPECT_EQ(e2e::read_data("fixtures/" + name + ".out"), r.console);
        EXPECT_EQ(e2e::mask_times(e2e::read_data("fixtures/" + name + ".mbr")),
                  e2e::mask_times(r.report));
        EXPECT_EQ(e2e::mask_times(e2e::read_data("fixtures/" + name + ".log")),
                  e2e::mask_times(r.log));
        EXPECT_EQ(std::string::npos, r.errors.find("tovaquor:")); // no notice beside the summary
    }
}

TEST(FastOption, OptionStandsAnywhereAndHelpNamesIt) {
    const std::string data = "1 0 1\n2 Two\nI1 0 0\n1 a\n2 b\nI2 0 0\n2 a\n1 b\n";
    std::string reference;
    for (const std::vector<std::string>& args : {std::vector<std::string>{"--fast", "d", "3"},
                                                 std::vector<std::string>{"d", "--fast", "3"},
                                                 std::vector<std::string>{"d", "3", "--fast"}}) {
        const e2e::Result r = e2e::run({args, "", {{"d.mbd", data}}});
        EXPECT_EQ(0, r.status);
        if (reference.empty()) {
            reference = e2e::mask_times(r.report);
        }
        EXPECT_EQ(reference, e2e::mask_times(r.report));
    }
    EXPECT_NE(std::string::npos, reference.find("Sample Two"));
    // Alone, it leaves the prompts as they are.
    const e2e::Result prompted = e2e::run({{"--fast"}, "d\n3\n", {{"d.mbd", data}}, {}, "d.mbr"});
    EXPECT_EQ(reference, e2e::mask_times(prompted.report));
    const e2e::Result help = e2e::run({{"--help"}});
    EXPECT_NE(std::string::npos, help.console.find("  --fast  "));
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

TEST(FastOption, HasItsOwnMemoryEstimate) {
    const e2e::Env limit{{"TOVAQUOR_MAX_MEMORY_MB", "20"}};
    const e2e::Result exact = run_capturing({"m", "5"}, "m", many_alleles(), limit);
    EXPECT_EQ(255, exact.status);
    EXPECT_NE(std::string::npos, exact.console.find("more than the memory limit of 20 MiB"));
    const e2e::Result fast = run_capturing({"m", "5", "--fast"}, "m", many_alleles(), limit);
    EXPECT_EQ(0, fast.status);
    EXPECT_NE(std::string::npos, fast.report.find("1681 possible haplotypes"));
    EXPECT_EQ(std::string::npos, fast.errors.find("tovaquor:")); // no notice beside the summary
}

// Lone children of absent parents with 12 alleles per locus: tens of
// thousands of combinations each for the exact engine (every genotype of one
// parent that carries one of the child's haplotypes, times every genotype of
// the other), four configurations for --fast.
std::string absent_parent_families() {
    std::ostringstream text;
    text << "1 0 1\n12 Absent parents\n";
    for (int i = 0; i < 12; ++i) {
        text << "C" << i << " P" << i << " Q" << i << "\nA" << i << " B" << i << "\nA"
             << (i + 1) % 12 << " B" << (i + 5) % 12 << "\n";
    }
    return text.str();
}

TEST(FastOption, ExactRunOverTheMemoryLimitNamesTheOption) {
    const e2e::Env limit{{"TOVAQUOR_MAX_MEMORY_MB", "1"}};
    const e2e::Result exact = run_capturing({"f", "5"}, "f", absent_parent_families(), limit);
    EXPECT_EQ(255, exact.status);
    EXPECT_NE(std::string::npos, exact.console.find("genotypic combinations that the memory"));
    EXPECT_NE(std::string::npos, exact.errors.find("the option --fast sums over the haplotypes"));
    // Said once, though every locus and the haplotypes would say it.
    EXPECT_EQ(exact.errors.find("tovaquor:"), exact.errors.rfind("tovaquor:"));
    const e2e::Result fast =
        run_capturing({"f", "5", "--fast"}, "f", absent_parent_families(), limit);
    EXPECT_EQ(0, fast.status);
    EXPECT_EQ(std::string::npos, fast.errors.find("tovaquor:")); // no notice beside the summary
}

} // namespace
