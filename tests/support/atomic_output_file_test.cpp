// Outputs written whole or not at all, in a folder of their own per test.
#include "support/atomic_output_file.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

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
        const AtomicOutputFile other(path("out.txt")); // names never collide
        EXPECT_NE(other.temporary(), file.temporary());
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

} // namespace
