// Samples analysed side by side when no simulated sample is asked for: the
// report, console and log of one thread whatever the number of threads, the
// random stream carried over as one thread carries it, and a file that breaks
// off still stopping after the samples before the break.
#include <gtest/gtest.h>

#include <string>

#include "tests/harness/e2e_harness.h"

namespace {

// The samples of a data file, without its first line.
std::string samples_of(const std::string& data) {
    return data.substr(data.find('\n') + 1);
}

// Seven samples, no simulated sample: the example's families, an
// inconsistent family (warnings, no estimate), a one-locus sample, untyped
// parents, and the example again (its own start state, far down the stream).
std::string panel_like_file(const std::string& tail = "") {
    const std::string example = samples_of(e2e::read_example("example.mbd"));
    return "7 0 3\n" + example + samples_of(e2e::read_data("parallel/warnings_in_log.mbd")) +
           samples_of(e2e::read_data("e2e/one_locus.mbd")) +
           samples_of(e2e::read_data("e2e/untyped_family.mbd")) + example +
           samples_of(e2e::read_data("e2e/untyped_family.mbd")) + tail;
}

e2e::Result run_on(const std::string& data, const char* threads) {
    e2e::Run run{{"p", "11"}};
    run.files = {{"p.mbd", data}};
    run.env = {{"TOVAQUOR_THREADS", threads}, {"TOVAQUOR_STATS", "1"}};
    run.capture_errors = true;
    return e2e::run(run);
}

TEST(SideBySide, AnyThreadCountWritesWhatOneThreadWrites) {
    // The last sample breaks off: the six before it are written, then the stop.
    for (const std::string& data :
         {panel_like_file(), panel_like_file("3\nBroken\nA 0 0\n1 a\n").replace(0, 1, "8")}) {
        const e2e::Result one = run_on(data, "1");
        EXPECT_EQ(data[0] == '7' ? 2 : 255, one.status) << one.console;
        EXPECT_NE(std::string::npos, one.report.find("Sample One family, parents untyped"));
        for (const char* threads : {"2", "3"}) {
            SCOPED_TRACE(threads);
            const e2e::Result many = run_on(data, threads);
            EXPECT_EQ(one.status, many.status);
            EXPECT_EQ(one.console, many.console);
            EXPECT_EQ(e2e::mask_times(one.report), e2e::mask_times(many.report));
            EXPECT_EQ(e2e::mask_times(one.log), e2e::mask_times(many.log));
            if (many.status != 255) {
                EXPECT_NE(std::string::npos, many.errors.find(" prediction_misses 0\n"));
            }
        }
    }
}

} // namespace
