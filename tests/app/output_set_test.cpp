// A run's files as a set: a second run in the folder, a killed run and a
// full disk never leave a torn or mixed set behind.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "support/folder_lock.h"
#include "tests/harness/e2e_harness.h"

namespace {
namespace fs = std::filesystem;

class OutputSet : public ::testing::Test {
  protected:
    void put(const std::string& name, const std::string& text) const { folder_.put(name, text); }
    std::string content(const std::string& name) const { return folder_.content(name); }
    std::vector<std::string> left() const { return folder_.left(); }

    // Runs tovaquor in the folder with standard error kept in `errors`
    // (outside the folder, which may be full); returns its status.
    int run(const std::string& args, std::string& errors) const {
        const std::string err = dir_.string() + ".err";
        const int status = std::system(("cd '" + dir_.string() + "' && " + TOVAQUOR_BINARY + " " +
                                        args + " >/dev/null 2>'" + err + "'")
                                           .c_str());
        std::ifstream in(err);
        std::ostringstream s;
        s << in.rdbuf();
        errors = s.str();
        fs::remove(err);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    e2e::Folder folder_;
    const fs::path dir_ = folder_.path();
};

TEST_F(OutputSet, ASecondRunInTheFolderStopsBeforeWritingAnything) {
    put("data.mbd", e2e::read_data("fixtures/singles.mbd"));
    put("mirbo.log", "the first run's log\n");
    const FolderLock first(dir_.string());
    ASSERT_TRUE(first.acquired());
    std::string errors;
    EXPECT_EQ(1, run("data 7", errors));
    EXPECT_EQ("tovaquor: another run is using this folder (its mirbo.log); nothing was written. "
              "Wait for it to end, or run in another folder.\n",
              errors);
    EXPECT_EQ("the first run's log\n", content("mirbo.log"));
    EXPECT_EQ((std::vector<std::string>{"data.mbd", "mirbo.log"}), left());
}

TEST_F(OutputSet, KilledRunLeavesThePreviousSetAndNoTemporaryFile) {
    // The previous set comes quickly from a few simulated samples; the
    // killed runs are still simulating 20000 when the signal comes.
    const std::string example = e2e::read_example("example.mbd");
    ASSERT_EQ(0U, example.find("1 500 5\n"));
    put("ex.mbd", "1 5 5\n" + example.substr(8));
    std::string errors;
    ASSERT_EQ(0, run("--tables --html ex 3", errors));
    put("ex.mbd", "1 20000 5\n" + example.substr(8));
    const std::vector<std::string> names = {"ex.mbr", "mirbo.log", "ex.summary.tsv", "ex.html"};
    std::vector<std::string> before;
    for (const std::string& name : names) {
        before.push_back(content(name));
    }
    for (const int signal : {SIGTERM, SIGINT}) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::signal(SIGINT, SIG_DFL);
            const int null = ::open("/dev/null", O_WRONLY);
            ::dup2(null, STDOUT_FILENO);
            ::dup2(null, STDERR_FILENO);
            if (::chdir(dir_.c_str()) == 0) {
                ::execl(TOVAQUOR_BINARY, "tovaquor", "--tables", "--html", "ex", "9", nullptr);
            }
            ::_exit(127);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        ::kill(child, signal);
        int status = 0;
        ::waitpid(child, &status, 0);
        EXPECT_TRUE(WIFSIGNALED(status)) << "the run ended before the signal";
        for (std::size_t i = 0; i < names.size(); ++i) {
            EXPECT_EQ(before[i], content(names[i])) << names[i];
        }
        EXPECT_EQ(9U, left().size()); // the data file and the eight outputs
    }
}

TEST_F(OutputSet, AReportThatDoesNotFitReplacesNothing) {
    if (::geteuid() != 0 || ::mount("tmpfs", dir_.c_str(), "tmpfs", 0, "size=64k") != 0) {
        GTEST_SKIP() << "mounting a small tmpfs needs root";
    }
    put("data.mbd", e2e::read_data("fixtures/singles.mbd"));
    put("data.mbr", "previous report\n");
    put("data.summary.tsv", "previous table\n");
    put("pad", std::string(56 * 1024, 'x'));
    std::string errors;
    EXPECT_EQ(1, run("--tables data 7", errors));
    EXPECT_NE(std::string::npos,
              errors.find("Unable to write the report data.mbr: No space left on device\n"));
    EXPECT_NE(std::string::npos, errors.find("No file of this run replaced the previous ones.\n"));
    EXPECT_EQ(std::string::npos, errors.find("Report: "));
    EXPECT_EQ("previous report\n", content("data.mbr"));
    EXPECT_EQ("previous table\n", content("data.summary.tsv"));
    EXPECT_EQ((std::vector<std::string>{"data.mbd", "data.mbr", "data.summary.tsv", "pad"}),
              left());
}

} // namespace
