// Outputs written whole or not at all, in a folder of their own per test.
#include "support/atomic_output_file.h"

#include <gtest/gtest.h>

#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <string>
#include <vector>

#include "support/folder_lock.h"
#include "tests/harness/e2e_harness.h"

namespace {
namespace fs = std::filesystem;

class AtomicOutput : public ::testing::Test {
  protected:
    std::string path(const std::string& name) const { return folder_.path(name); }
    void put(const std::string& name, const std::string& text) const { folder_.put(name, text); }
    std::string content(const std::string& name) const { return folder_.content(name); }
    std::vector<std::string> left() const { return folder_.left(); }

    e2e::Folder folder_;
};

TEST_F(AtomicOutput, TargetChangesOnlyAtCommitAndKeepsItsPermissions) {
    put("out.txt", "previous\n");
    ::chmod(path("out.txt").c_str(), 0640);
    {
        AtomicOutputFile file(path("out.txt"));
        EXPECT_EQ(0U, fs::path(file.temporary()).filename().string().find(".out.txt.tmp-"));
        file.stream() << std::string(100000, 'x') << "\n";
        EXPECT_EQ("previous\n", content("out.txt"));
        file.commit();
    }
    EXPECT_EQ(100001U, content("out.txt").size());
    EXPECT_EQ(fs::perms(0640), fs::status(path("out.txt")).permissions());
    {
        AtomicOutputFile dropped(path("out.txt"));
        dropped.stream() << "never seen";
    }
    EXPECT_EQ(100001U, content("out.txt").size());
    EXPECT_EQ(std::vector<std::string>{"out.txt"}, left());
}

TEST_F(AtomicOutput, TemporaryNamesAreExclusiveAndUnpredictable) {
    AtomicOutputFile first(path("a"));
    AtomicOutputFile second(path("a"));
    EXPECT_NE(first.temporary(), second.temporary());
    // A link written into the folder beforehand is never followed: the
    // temporary file is created where its name says or not at all.
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(first.temporary())));
}

TEST_F(AtomicOutput, ALinkAtTheTargetIsWrittenThrough) {
    put("real.txt", "old");
    fs::create_symlink("real.txt", path("link.txt"));
    AtomicOutputFile file(path("link.txt"));
    file.stream() << "new";
    file.commit();
    EXPECT_TRUE(fs::is_symlink(path("link.txt")));
    EXPECT_EQ("new", content("real.txt"));
}

TEST_F(AtomicOutput, RefusedTargets) {
    put("input.txt", "data");
    put("readonly.txt", "keep");
    ::chmod(path("readonly.txt").c_str(), 0444);
    fs::create_hard_link(path("input.txt"), path("hard.txt"));
    fs::create_directory(path("folder"));
    ASSERT_EQ(0, ::mkfifo(path("fifo").c_str(), 0644));
    const std::vector<std::string> inputs = {path("input.txt")};
    const std::vector<std::pair<std::string, std::string>> refused = {
        {path("input.txt"), "it is the input file"},
        {path("hard.txt"), "it is the input file"},
        {path("folder"), "it is a directory"},
        {path("fifo"), "it is not a regular file"},
        {"/dev/null", "it is not a regular file"},
        {path("readonly.txt"), "the file is read-only"}};
    for (const auto& [target, reason] : refused) {
        try {
            check_output_target(target, inputs);
            ADD_FAILURE() << target << " accepted";
        } catch (const OutputError& e) {
            EXPECT_EQ(0U, e.reason().find(reason)) << target << ": " << e.what();
            EXPECT_EQ(0U, std::string(e.what()).find("cannot write " + target + ": "));
        }
    }
    EXPECT_NO_THROW(check_output_target(path("new.txt"), inputs));
    EXPECT_THROW(AtomicOutputFile(path("no/such/folder.txt")), OutputError);
}

TEST_F(AtomicOutput, SigtermRemovesTheTemporaryFileAndEndsTheProcessBySignal) {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        remove_temporaries_on_signal();
        AtomicOutputFile file(path("out.txt"));
        file.stream() << "partial" << std::flush;
        ::raise(SIGTERM);
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(child, ::waitpid(child, &status, 0));
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM);
    EXPECT_TRUE(left().empty());
}

TEST_F(AtomicOutput, AFullDiskFailsTheFileAndLeavesThePreviousOne) {
    if (::geteuid() != 0 || ::mount("tmpfs", folder_.path().c_str(), "tmpfs", 0, "size=64k") != 0) {
        GTEST_SKIP() << "mounting a small tmpfs needs root";
    }
    put("out.txt", "previous");
    {
        AtomicOutputFile file(path("out.txt"));
        file.stream() << std::string(200000, 'x');
        EXPECT_FALSE(file.finish());
        EXPECT_EQ("No space left on device", file.error());
        EXPECT_THROW(file.commit(), OutputError);
    }
    EXPECT_EQ("previous", content("out.txt"));
    EXPECT_EQ(std::vector<std::string>{"out.txt"}, left());
}

TEST_F(AtomicOutput, FolderLockIsHeldByOneHolderAtATime) {
    FolderLock first(folder_.path());
    EXPECT_TRUE(first.acquired());
    // Another open of the folder is another holder, as another process is.
    EXPECT_FALSE(FolderLock(folder_.path()).acquired());
}

} // namespace
