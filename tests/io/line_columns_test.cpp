// Columns read straight from the stream, with the line-ending rules the
// readers have always had: a carriage return ends a line only before a line
// feed or the end of the text.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "io/line_columns.h"

namespace {

// Each line as "n:col|col|", lines joined.
std::string columns(const std::string& text, LineColumns::Split split) {
    std::istringstream is(text);
    LineColumns lines(is, split);
    std::string out;
    std::string column;
    while (lines.next_line()) {
        out += std::to_string(lines.line()) + ":";
        while (lines.next_column(column)) {
            out += column + "|";
        }
        out += " ";
    }
    return out;
}

TEST(LineColumns, BlanksAndTabsSeparateColumns) {
    EXPECT_EQ("1:a|b|c| 2: 3:d\re|f\r| 4:g| ",
              columns("a  b\tc \r\n \t\nd\re f\r\r\ng", LineColumns::Split::kBlanks));
}

TEST(LineColumns, TabsSeparateTrimmedCellsAndKeepEmptyOnes) {
    EXPECT_EQ("1:a|b||c| 2:| 3:|| ", columns(" a \tb\t\t  c\r\n\n\t", LineColumns::Split::kTabs));
}

} // namespace
