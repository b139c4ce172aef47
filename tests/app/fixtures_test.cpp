// The reference cases: data file, seed, and the report, console, log and exit
// status a correct run produces, compared byte for byte (times masked).
#include <gtest/gtest.h>

#include "tests/harness/e2e_harness.h"

namespace {

class Fixture : public ::testing::TestWithParam<const char*> {};

TEST_P(Fixture, ReproducesReportConsoleAndLog) {
    const std::string base = GetParam();
    const std::string dir = "fixtures/" + base;
    std::string seed = e2e::read_file(e2e::data_path(dir + ".seed"));
    while (!seed.empty() && (seed.back() == '\n' || seed.back() == '\r')) {
        seed.pop_back();
    }
    for (const char* threads : {"1", "2", "4"}) {
        SCOPED_TRACE(std::string("threads ") + threads);
        const e2e::Result r =
            e2e::run({{base, seed},
                      "",
                      {{base + ".mbd", e2e::read_file(e2e::data_path(dir + ".mbd"))}},
                      {{"TOVAQUOR_THREADS", threads}},
                      ""});
        EXPECT_EQ(std::to_string(r.status) + "\n", e2e::read_file(e2e::data_path(dir + ".rc")));
        EXPECT_EQ(e2e::read_file(e2e::data_path(dir + ".out")), r.console);
        EXPECT_EQ(e2e::mask_times(e2e::read_file(e2e::data_path(dir + ".mbr"))),
                  e2e::mask_times(r.report));
        EXPECT_EQ(e2e::mask_times(e2e::read_file(e2e::data_path(dir + ".log"))),
                  e2e::mask_times(r.log));
    }
}

INSTANTIATE_TEST_SUITE_P(Reference, Fixture,
                         ::testing::Values("singles", "untyped_parents", "two_samples"));

} // namespace
