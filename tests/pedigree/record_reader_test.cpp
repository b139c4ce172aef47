// The reading rules of the data file: integer and token extraction, and the
// rest-of-line rule that skips white space and blank lines first.
#include <gtest/gtest.h>

#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "pedigree/record_reader.h"

namespace {

using record_reader::read_int;
using record_reader::read_rest_of_line;
using record_reader::read_token;

// The fields of a data file head and one sample, read in the order the
// program reads them, stopping where it stops (an empty second parent).
std::vector<std::string> read_fields(const std::string& text) {
    std::istringstream in(text);
    std::vector<std::string> fields;
    std::int32_t value = 0;
    for (int k = 0; k < 4; ++k) {
        if (!read_int(in, value)) {
            fields.push_back("<not a number>");
            return fields;
        }
        fields.push_back(std::to_string(value));
    }
    fields.push_back(read_rest_of_line(in));
    while (!in.fail()) {
        const std::string id = read_token(in);
        const std::string parent1 = read_token(in);
        const std::string parent2 = read_rest_of_line(in);
        if (parent2.empty()) {
            break;
        }
        for (const std::string& field :
             {id, parent1, parent2, read_rest_of_line(in), read_rest_of_line(in)}) {
            fields.push_back(field);
        }
    }
    return fields;
}

const std::vector<std::string> kTwoRecords = {
    "1",  "0",  "3",     "2",     "Pop A",    //
    "F1", "0",  "0",     "12 14", "13 15",    //
    "S1", "F1", "M1   ", "12 3",  "12\t14 3", //
};

TEST(ReadFields, LeadingNumbersOnOneLineOrThree) {
    const std::string records = "F1 0 0\n12 14\n13 15\nS1 F1 M1   \n12 3\n12\t14 3\n";
    EXPECT_EQ(kTwoRecords, read_fields("1 0 3\n2 Pop A\n" + records));
    EXPECT_EQ(kTwoRecords, read_fields("1\n0\n3\n2\nPop A\n" + records));
}

TEST(ReadFields, BlankLinesBetweenRecordsAreSkipped) {
    EXPECT_EQ(kTwoRecords, read_fields("1 0 3\n\n2\n\n   \nPop A\n\nF1 0 0\n\n12 14\n\t\n13 15\n"
                                       "\n\nS1 F1 M1   \n12 3\n\n12\t14 3\n\n"));
}

TEST(ReadFields, CrLfReadsLikeLf) {
    const std::string lf = "1 0 3\n2 Pop A\nF1 0 0\n12 14\n13 15\n\nS1 F1 M1   \n12 3\n12\t14 3\n";
    std::string crlf;
    for (char c : lf) {
        if (c == '\n') {
            crlf += '\r';
        }
        crlf += c;
    }
    EXPECT_EQ(kTwoRecords, read_fields(lf));
    EXPECT_EQ(kTwoRecords, read_fields(crlf));
}

TEST(ReadFields, CountLargerThanTheRecordsStopsAtTheEnd) {
    // The count says 5; reading stops quietly after the records present.
    const std::vector<std::string> fields = read_fields("1 0 3\n5 P\nF1 0 0\n1\n2\nF2 0 0\n3\n4\n");
    EXPECT_EQ((std::vector<std::string>{"1", "0", "3", "5", "P", "F1", "0", "0", "1", "2", "F2",
                                        "0", "0", "3", "4"}),
              fields);
}

TEST(ReadFields, MissingNameLineShiftsEveryFieldOneLineLate) {
    EXPECT_EQ((std::vector<std::string>{"1", "0", "3", "1", "F1 0 0", "12", "14", "13 15", "", ""}),
              read_fields("1 0 3\n1\nF1 0 0\n12 14\n13 15\n"));
}

struct IntCase {
    const char* text;
    bool ok;
    std::int32_t value;
    const char* rest; // what the next rest-of-line read gives
};

void PrintTo(const IntCase& c, std::ostream* os) {
    *os << '"' << c.text << '"';
}

class ReadInt : public ::testing::TestWithParam<IntCase> {};

TEST_P(ReadInt, ExtractsLikeAnInt) {
    const IntCase& c = GetParam();
    std::istringstream in(c.text);
    std::int32_t value = -77;
    ASSERT_EQ(c.ok, read_int(in, value));
    if (c.ok) {
        EXPECT_EQ(c.value, value);
        EXPECT_EQ(c.rest, read_rest_of_line(in));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReadInt,
    ::testing::Values(
        IntCase{"12 Pop A\n", true, 12, "Pop A"}, IntCase{"\n\n  12\nPop A\n", true, 12, "Pop A"},
        IntCase{"12abc def\n", true, 12, "abc def"}, IntCase{"-3\n", true, -3, ""},
        IntCase{"+7 x", true, 7, "x"}, IntCase{"2147483647\n", true, 2147483647, ""},
        IntCase{"-2147483648\n", true, -2147483647 - 1, ""}, IntCase{"2147483648\n", false, 0, ""},
        IntCase{"-2147483649\n", false, 0, ""}, IntCase{"99999999999999999999\n", false, 0, ""},
        IntCase{"abc\n", false, 0, ""}, IntCase{"", false, 0, ""}, IntCase{"- 3\n", false, 0, ""}));

TEST(ReadRestOfLine, KeepsInnerAndTrailingBlanksAndInnerTabs) {
    std::istringstream in("S1 F1 M1   \n   12  14  \n12\t14 3\n");
    EXPECT_EQ("S1", read_token(in));
    EXPECT_EQ("F1", read_token(in));
    EXPECT_EQ("M1   ", read_rest_of_line(in));
    EXPECT_EQ("12  14  ", read_rest_of_line(in));
    EXPECT_EQ("12\t14 3", read_rest_of_line(in));
}

TEST(ReadRestOfLine, SkipsBlankLinesAndDropsOnlyTheFinalCarriageReturn) {
    std::istringstream in("\r\n \t\r\n\nA \r B  \r\nlast");
    EXPECT_EQ("A \r B  ", read_rest_of_line(in));
    EXPECT_EQ("last", read_rest_of_line(in)); // no newline at the end of the text
    EXPECT_EQ("", read_rest_of_line(in));
    EXPECT_EQ("", read_token(in));
}

} // namespace
