// The reading rules of the data file: integers, tokens, and the rest of the line
// after skipping white space and blank lines. The order in which the program
// reads its fields is pinned by the end-to-end reports.
#include <gtest/gtest.h>

#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "io/record_reader.h"

namespace {

using record_reader::read_int;
using record_reader::read_rest_of_line;
using record_reader::read_token;

TEST(ReadInt, ExtractsLikeAnInt) {
    // Pairs of a text and "value|what the next rest-of-line read gives".
    const std::vector<std::string> accepted = {
        "\n\n  12\nPop A\n", "12|Pop A",     "12abc def\n",  "12|abc def", "+7 x", "7|x",
        "-2147483648\n",     "-2147483648|", "2147483647\n", "2147483647|"};
    for (std::size_t k = 0; k < accepted.size(); k += 2) {
        std::istringstream in(accepted[k]);
        std::int32_t value = -77;
        ASSERT_TRUE(read_int(in, value)) << accepted[k];
        EXPECT_EQ(accepted[k + 1], std::to_string(value) + "|" + read_rest_of_line(in));
    }
    for (const char* refused :
         {"2147483648\n", "-2147483649\n", "99999999999999999999\n", "abc\n", "", "- 3\n"}) {
        std::istringstream in(refused);
        std::int32_t value = -77;
        EXPECT_FALSE(read_int(in, value)) << refused;
    }
}

// Tabs and blanks inside a line, trailing blanks among them, are kept: allele
// lines are split at blanks later, and a second parent keeps its blanks.
TEST(ReadRestOfLine, KeepsInnerBlanksAndDropsOnlyTheFinalCarriageReturn) {
    std::istringstream in("\r\n \t\r\n\n   12\t 14  \nS1 F1 M1   \r\nA \r B  \r\nlast");
    EXPECT_EQ("12\t 14  ", read_rest_of_line(in));
    EXPECT_EQ("S1", read_token(in));
    EXPECT_EQ("F1", read_token(in));
    EXPECT_EQ("M1   ", read_rest_of_line(in));
    EXPECT_EQ("A \r B  ", read_rest_of_line(in));
    EXPECT_EQ("last", read_rest_of_line(in)); // no newline at the end of the text
    EXPECT_EQ("", read_rest_of_line(in));
    EXPECT_EQ("", read_token(in));
}

} // namespace
