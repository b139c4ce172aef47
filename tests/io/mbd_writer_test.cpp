// The data file writer: exact bytes.
#include <gtest/gtest.h>

#include <sstream>

#include "io/mbd_writer.h"

namespace {

DataFileContent two_samples() {
    DataFileContent c;
    c.n_simulated = 100;
    c.n_initial = 5;
    SampleDescription first{"12 families", 7, {}};
    first.records.push_back({"a", "0", "0", {"A1 B2", "A2 B2"}, 3});
    first.records.push_back({"b", "a", "x", {"A1 B1", "A1 B2"}, 6});
    c.samples.push_back(first);
    SampleDescription second{"one", 1, {}};
    second.records.push_back({"s", "0", "0", {"7", "9"}, 0});
    c.samples.push_back(second);
    return c;
}

TEST(MbdWriter, WritesParametersThenCountNameAndRecords) {
    std::ostringstream os;
    write_mbd(os, two_samples());
    // The counts written are the records held, not the counts announced; the
    // name on its own line, where one starting with digits stays a name.
    EXPECT_EQ("2 100 5\n"
              "2\n12 families\n"
              "a 0 0\nA1 B2\nA2 B2\n"
              "b a x\nA1 B1\nA1 B2\n"
              "1\none\n"
              "s 0 0\n7\n9\n",
              os.str());
}

} // namespace
