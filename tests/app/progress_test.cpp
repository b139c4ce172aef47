// The progress line on a terminal, against a clock the test moves.
#include "app/progress.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <sstream>

namespace {

struct Clocked {
    std::int64_t now = 1000;
    std::ostringstream out;
    Progress progress;
    explicit Clocked(bool terminal) : progress(out, terminal, [this] { return now; }) {}
};

// A line shorter than the one before is padded over it; the blanks that clear
// the last line cover its text.
TEST(Progress, RewritesOneLineWithTheTimeLeftAndClearsIt) {
    Clocked c(true);
    c.progress.start("S", 100);
    c.now += 1'000'000; // 16:40 for the first 20 samples: 1:06:40 left
    c.progress.advance(20);
    c.now += 50; // too soon to redraw
    c.progress.advance(21);
    c.now += 799'950;
    c.progress.advance(100); // the last sample is always shown
    c.progress.finish();
    const std::string first = "Sample S: simulated 0 of 100, 0:00 elapsed";
    const std::string second = "Sample S: simulated 20 of 100, 16:40 elapsed, about 1:06:40 left";
    const std::string last = "Sample S: simulated 100 of 100, 30:00 elapsed, about 0:00 left";
    EXPECT_EQ("\r" + first + "\r" + second + "\r" + last + "  \r" + std::string(last.size(), ' ') +
                  "\r",
              c.out.str());
}

TEST(Progress, SilentWhenNotATerminalOrNothingToSimulate) {
    Clocked off(false);
    off.progress.start("S", 10);
    off.progress.advance(5);
    off.progress.finish();
    EXPECT_EQ("", off.out.str());
    Clocked none(true);
    none.progress.start("S", 0);
    none.progress.finish();
    EXPECT_EQ("", none.out.str());
}

} // namespace
