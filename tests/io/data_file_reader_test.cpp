// The data file reader streams its input: refusals carry the file and the line
// where a number was expected, and record lines stay right past the reader's
// internal blocks.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "io/data_file_reader.h"
#include "io/input_error.h"

namespace {

std::string refusal(const std::string& text) {
    std::istringstream is(text);
    DataFileReader reader(is, "d.mbd");
    try {
        const RunParameters run = reader.read_run_parameters();
        reader.check_run_parameters(run);
        for (std::int32_t k = 1; k <= run.n_samples; ++k) {
            reader.read_sample(reader.read_individual_count(k));
        }
    } catch (const InputError& e) {
        return e.what();
    }
    return "accepted";
}

TEST(DataFileReader, RefusalsNameTheFileAndTheLine) {
    EXPECT_EQ("d.mbd:1: run_analysis : expected the number of samples in the data file",
              refusal("x 1 1\n"));
    EXPECT_EQ("d.mbd:3: run_analysis : the number of initial conditions must be at least 1",
              refusal("1\n0\n0\n"));
    EXPECT_EQ("d.mbd:7: run_analysis : expected the individual count of sample 2 in the data file",
              refusal("2 0 1\n1\nS\na 0 0\n1\n1\nS2\n"));
    EXPECT_EQ("accepted", refusal("1 0 1\n1\nS\na 0 0\n1\n1\n"));
}

TEST(DataFileReader, LinesStayRightAcrossBlocks) {
    // A name longer than a block, then enough records to cross several more.
    const std::string name(200000, 'n');
    std::string text = "1 0 1\n30000\n" + name + "\n";
    for (int i = 0; i < 30000; ++i) {
        text += "i" + std::to_string(i) + " 0 0\r\nA B\r\nA B\r\n";
    }
    std::istringstream is(text);
    DataFileReader reader(is);
    reader.read_run_parameters();
    const SampleDescription sample = reader.read_sample(reader.read_individual_count(1));
    ASSERT_EQ(30000U, sample.records.size());
    EXPECT_EQ(name, sample.name);
    EXPECT_EQ(4, sample.records[0].line);
    EXPECT_EQ(4 + 3 * 29999, sample.records.back().line);
    EXPECT_EQ("i29999", sample.records.back().id);
    EXPECT_EQ("A B", sample.records.back().allele_lines[1]);
}

} // namespace
