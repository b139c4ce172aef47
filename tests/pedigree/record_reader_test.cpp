// The reading rules of the data file: integers, tokens, and rule R (the rest of
// the line after skipping white space and blank lines).
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
using Fields = std::vector<std::string>;

// The four leading numbers, the name and the records, read in the program's
// order and stopping where it stops (an empty second parent).
Fields read_fields(const std::string& text) {
    std::istringstream in(text);
    Fields fields;
    for (int k = 0; k < 4; ++k) {
        std::int32_t value = 0;
        if (!read_int(in, value)) {
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
        for (const std::string& f :
             {id, parent1, parent2, read_rest_of_line(in), read_rest_of_line(in)}) {
            fields.push_back(f);
        }
    }
    return fields;
}

TEST(ReadFields, GivesTheFieldsInReadingOrder) {
    // Trailing blanks stay in the second parent; a tab stays inside an allele name.
    const Fields two_records = {"1",     "0",     "3",  "2",  "Pop A", "F1",   "0",       "0",
                                "12 14", "13 15", "S1", "F1", "M1   ", "12 3", "12\t14 3"};
    const std::string records = "F1 0 0\n12 14\n13 15\nS1 F1 M1   \n12 3\n12\t14 3\n";
    const struct {
        std::string text;
        Fields want;
    } cases[] = {
        {"1 0 3\n2 Pop A\n" + records, two_records},
        {"1\n0\n3\n2\nPop A\n" + records, two_records}, // the name on its own line
        {"1 0 3\n\n2\n\n   \nPop A\n\nF1 0 0\n\n12 14\n\t\n13 15\n\n\nS1 F1 M1   \n12 3\n\n"
         "12\t14 3\n\n",
         two_records},
        {"1 0 3\r\n2 Pop A\r\n\r\nF1 0 0\r\n12 14\r\n13 15\r\nS1 F1 M1   \r\n12 3\r\n12\t14 3\r\n",
         two_records},
        // The count says 5: reading stops quietly after the records present.
        {"1 0 3\n5 P\nF1 0 0\n1\n2\nF2 0 0\n3\n4\n",
         {"1", "0", "3", "5", "P", "F1", "0", "0", "1", "2", "F2", "0", "0", "3", "4"}},
        // Without a name every later field is read one line late.
        {"1 0 3\n1\nF1 0 0\n12 14\n13 15\n",
         {"1", "0", "3", "1", "F1 0 0", "12", "14", "13 15", "", ""}}};
    for (const auto& c : cases) {
        EXPECT_EQ(c.want, read_fields(c.text)) << c.text;
    }
}

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

TEST(ReadRestOfLine, KeepsInnerBlanksAndDropsOnlyTheFinalCarriageReturn) {
    std::istringstream in("\r\n \t\r\n\n   12  14  \nA \r B  \r\nlast");
    EXPECT_EQ("12  14  ", read_rest_of_line(in));
    EXPECT_EQ("A \r B  ", read_rest_of_line(in));
    EXPECT_EQ("last", read_rest_of_line(in)); // no newline at the end of the text
    EXPECT_EQ("", read_rest_of_line(in));
    EXPECT_EQ("", read_token(in));
}

} // namespace
