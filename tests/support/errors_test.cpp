// The message log, read back byte for byte from its file.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <initializer_list>
#include <iomanip>
#include <sstream>
#include <string>
#include <utility>

#include <unistd.h>

#include "support/errors.h"

namespace {

// A log file of its own per test, holding stale text that `open` must drop.
class ErrorsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        path_ = ::testing::TempDir() + "tovaquor_errors_" + info->name() + "_" +
                std::to_string(::getpid()) + ".log";
        std::ofstream(path_) << "from an earlier run\n";
    }
    void TearDown() override { std::remove(path_.c_str()); }

    std::string log() const {
        std::ifstream in(path_, std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }

    // The log after reporting each (text, level) in turn.
    using Reports = std::initializer_list<std::pair<const char*, int>>;
    std::string logged(Reports reports) {
        Errors e;
        return logged(reports, e);
    }
    std::string logged(Reports reports, Errors& e) {
        e.open(path_.c_str());
        for (const auto& [text, level] : reports) {
            e.report(text, level);
        }
        e.stream().flush();
        return log();
    }

    std::string path_;
};

// Warnings and errors count separately; other levels take only a message number.
TEST_F(ErrorsTest, PrefixesAndCountersPerLevel) {
    EXPECT_EQ("***1::ERROR[1]e\n"
              "***2::WARNING[1]w\n"
              "***3\t...c\n"
              "***4::INFO :i\n"
              "***5::ERROR[2]f\n"
              "***6::WARNING[2]w2\n"
              "***7::ERROR[3]g\n",
              logged({{"e", 1}, {"w", 0}, {"c", 3}, {"i", 10}, {"f", 42}, {"w2", 0}, {"g", -7}}));
}

TEST_F(ErrorsTest, RepeatedTextIsOmittedExceptForWarnings) {
    EXPECT_EQ("***1::WARNING[1]same\n"
              "***2::WARNING[2]same\n"
              "***3::ERROR[1]\n"
              "***4::INFO :\n"
              "***5\t...\n"
              "***6::WARNING[3]same\n"
              "***7::ERROR[2]other\n"
              "***8::ERROR[3]same\n",
              logged({{"same", 0},
                      {"same", 0},
                      {"same", 1},
                      {"same", 10},
                      {"same", 3},
                      {"same", 0},
                      {"other", 1},
                      {"same", 1}}));
}

// The '*' fill stays on the stream after a numbered line.
TEST_F(ErrorsTest, NumbersFillFourColumnsThenPrintInFull) {
    Errors e;
    e.open(path_.c_str());
    for (int n = 1; n <= 10000; ++n) {
        e.report("m" + std::to_string(n), Errors::kInfo);
    }
    e.stream() << std::setw(7) << 12 << "\n";
    e.stream().flush();
    const std::string all = "\n" + log();
    for (const char* line : {"\n***1::INFO :m1\n", "\n**10::INFO :m10\n", "\n*100::INFO :m100\n",
                             "\n9999::INFO :m9999\n", "\n10000::INFO :m10000\n*****12\n"}) {
        EXPECT_NE(std::string::npos, all.find(line)) << line;
    }
}

// Nothing is counted, and no previous text recorded, before the log is open.
TEST_F(ErrorsTest, ReportsBeforeOpenAreIgnoredEvenWhenFatal) {
    Errors e;
    e.report("lost", 0);
    e.report("lost too", 99);
    e.report("kept", 1);
    EXPECT_FALSE(e.is_open());
    e.open(path_.c_str());
    e.report("kept", 1);
    e.report("w", 0);
    EXPECT_EQ("***1::ERROR[1]kept\n***2::WARNING[1]w\n", log());
}

// A fatal line is written and flushed, then thrown with the status the
// process ends with; a fatal input error stops even without a log.
TEST_F(ErrorsTest, FatalWritesItsLineAndThrowsStatus255) {
    try {
        logged({{"first", 0}, {"Stop here", 1}, {"Stop here", 99}, {"never", 0}});
        ADD_FAILURE() << "a fatal report must throw";
    } catch (const FatalError& e) {
        EXPECT_EQ(255, e.status());
        EXPECT_STREQ("Stop here", e.what());
    }
    EXPECT_EQ("***1::WARNING[1]first\n***2::ERROR[1]Stop here\n***3\n", log());

    // A scoped console takes the lines while it lives and gives the console
    // back however its scope ends.
    std::ostringstream outer;
    std::ostringstream inner;
    set_console(&outer);
    try {
        const ScopedConsole quiet(&inner);
        fatal_input_error("bad input", "a hint");
    } catch (const FatalError&) {
    }
    console() << "after\n";
    set_console(nullptr);
    EXPECT_EQ("bad input\na hint\n", inner.str());
    EXPECT_EQ("after\n", outer.str());
}

} // namespace
