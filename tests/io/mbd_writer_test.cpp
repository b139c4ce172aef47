// The data file writer: exact bytes, and a file that appears only whole.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "io/mbd_writer.h"

namespace {

namespace fs = std::filesystem;

MbdContent two_samples() {
    MbdContent c;
    c.n_simulated = 100;
    c.n_initial = 5;
    c.samples.push_back(
        {"12 families",
         {{"a", "0", "0", {"A1 B2", "A2 B2"}}, {"b", "a", "x", {"A1 B1", "A1 B2"}}}});
    c.samples.push_back({"one", {{"s", "0", "0", {"7", "9"}}}});
    return c;
}

TEST(MbdWriter, WritesParametersThenCountNameAndRecords) {
    std::ostringstream os;
    write_mbd(os, two_samples());
    // The name on its own line: one starting with digits is not read as part of the count.
    EXPECT_EQ("2 100 5\n"
              "2\n12 families\n"
              "a 0 0\nA1 B2\nA2 B2\n"
              "b a x\nA1 B1\nA1 B2\n"
              "1\none\n"
              "s 0 0\n7\n9\n",
              os.str());
}

TEST(MbdWriter, SavesWholeAndLeavesNothingElseBehind) {
    const fs::path dir = fs::temp_directory_path() / ("mbd-writer-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const fs::path target = dir / "out.mbd";
    save_mbd(target.string(), two_samples());
    std::ostringstream expected;
    write_mbd(expected, two_samples());
    std::ifstream is(target);
    std::ostringstream written;
    written << is.rdbuf();
    EXPECT_EQ(expected.str(), written.str());
    EXPECT_EQ(1, std::distance(fs::directory_iterator(dir), fs::directory_iterator()));
    // A folder that does not exist: refused with the file's name, nothing created.
    EXPECT_THROW(save_mbd((dir / "no" / "out.mbd").string(), two_samples()), std::runtime_error);
    EXPECT_FALSE(fs::exists(dir / "no"));
    fs::remove_all(dir);
}

} // namespace
