// The message log: numbering, prefixes, counters, the repeated-text rule and
// the fatal stop, read back byte for byte from the log file.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iomanip>
#include <sstream>
#include <string>

#include <unistd.h>

#include "support/errors.h"

namespace {

std::string read_all(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// A log file of its own per test, removed afterwards.
class ErrorsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        path_ = (std::filesystem::temp_directory_path() /
                 (std::string("tovaquor_errors_") + info->name() + "_" +
                  std::to_string(::getpid()) + ".log"))
                    .string();
        std::filesystem::remove(path_);
    }
    void TearDown() override { std::filesystem::remove(path_); }

    std::string log() const { return read_all(path_); }

    std::string path_;
};

TEST_F(ErrorsTest, FirstWarningIsNumberedWithStarFill) {
    Errors e;
    e.open(path_.c_str());
    e.report("text", Errors::kWarning);
    EXPECT_EQ("***1::WARNING[1]text\n", log());
}

// Warnings and errors count separately; other levels take only a message number.
TEST_F(ErrorsTest, PrefixesAndCountersPerLevel) {
    Errors e;
    e.open(path_.c_str());
    e.report("e", 1);
    e.report("w", 0);
    e.report("c", 3);
    e.report("i", 10);
    e.report("f", 42);
    e.report("w2", 0);
    e.report("g", -7);
    EXPECT_EQ("***1::ERROR[1]e\n"
              "***2::WARNING[1]w\n"
              "***3\t...c\n"
              "***4::INFO :i\n"
              "***5::ERROR[2]f\n"
              "***6::WARNING[2]w2\n"
              "***7::ERROR[3]g\n",
              log());
}

TEST_F(ErrorsTest, NumbersFillFourColumnsThenPrintInFull) {
    Errors e;
    e.open(path_.c_str());
    for (int n = 1; n <= 10000; ++n) {
        e.report("m" + std::to_string(n), 10);
    }
    const std::string all = log();
    EXPECT_EQ(0U, all.find("***1::INFO :m1\n"));
    EXPECT_NE(std::string::npos, all.find("\n**10::INFO :m10\n"));
    EXPECT_NE(std::string::npos, all.find("\n*100::INFO :m100\n"));
    EXPECT_NE(std::string::npos, all.find("\n9999::INFO :m9999\n"));
    EXPECT_NE(std::string::npos, all.find("\n10000::INFO :m10000\n"));
}

TEST_F(ErrorsTest, StarFillStaysOnTheStream) {
    Errors e;
    e.open(path_.c_str());
    e.report("x", 10);
    e.stream() << std::setw(5) << 12 << "\n";
    e.stream().flush();
    EXPECT_EQ("***1::INFO :x\n***12\n", log());
}

TEST_F(ErrorsTest, RepeatedTextIsOmittedExceptForWarnings) {
    Errors e;
    e.open(path_.c_str());
    e.report("same", 0);
    e.report("same", 0);
    e.report("same", 1);
    e.report("same", 10);
    e.report("same", 3);
    e.report("same", 0);
    e.report("other", 1);
    e.report("same", 1);
    EXPECT_EQ("***1::WARNING[1]same\n"
              "***2::WARNING[2]same\n"
              "***3::ERROR[1]\n"
              "***4::INFO :\n"
              "***5\t...\n"
              "***6::WARNING[3]same\n"
              "***7::ERROR[2]other\n"
              "***8::ERROR[3]same\n",
              log());
}

TEST_F(ErrorsTest, ReportsBeforeOpenAreIgnoredEvenWhenFatal) {
    Errors e;
    e.report("lost", 0);
    e.report("lost too", 99);
    e.report("kept", 1);
    EXPECT_FALSE(e.is_open());
    e.open(path_.c_str());
    // Nothing counted and no previous text recorded before the log was open.
    e.report("kept", 1);
    e.report("w", 0);
    EXPECT_EQ("***1::ERROR[1]kept\n***2::WARNING[1]w\n", log());
}

TEST_F(ErrorsTest, OpenTruncatesAnExistingLog) {
    {
        std::ofstream old(path_);
        old << "from an earlier run\n";
    }
    Errors e;
    e.open(path_.c_str());
    e.report("new", 10);
    EXPECT_EQ("***1::INFO :new\n", log());
}

using ErrorsDeathTest = ErrorsTest;

TEST_F(ErrorsDeathTest, FatalReportWritesItsLineAndExits255) {
    EXPECT_EXIT(
        {
            Errors e;
            e.open(path_.c_str());
            e.report("first", 0);
            e.report("Stop here", 1);
            e.report("Stop here", 99);
        },
        ::testing::ExitedWithCode(255), "");
    // A fatal line repeating the previous text carries its number only.
    EXPECT_EQ("***1::WARNING[1]first\n***2::ERROR[1]Stop here\n***3\n", log());
}

TEST_F(ErrorsDeathTest, FatalStopsEvenWhenTheLogIsLost) {
    EXPECT_EXIT(
        {
            Errors e;
            e.open("/nonexistent-tovaquor-dir/sub/x.log");
            e.report("boom", 99);
        },
        ::testing::ExitedWithCode(255), "");
}

TEST_F(ErrorsDeathTest, GlobalLogStopsTheProcess) {
    EXPECT_EXIT(
        {
            error_log.open(path_.c_str());
            error_log.report("global stop", 99);
        },
        ::testing::ExitedWithCode(255), "");
    EXPECT_EQ("***1global stop\n", log());
}

} // namespace
