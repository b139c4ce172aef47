#pragma once

#include <cstdint>
#include <istream>
#include <string>

// Reads a text line by line and column by column straight from its stream,
// never holding a whole line: a file of one 50 MB line costs the columns a
// reader keeps, not the line. A carriage return before a line feed (or the
// end of the text) ends the line with it; anywhere else it is text.
class LineColumns {
  public:
    enum class Split {
        kBlanks, // columns are runs of anything but blanks and tabs
        kTabs,   // columns are the cells between tabs, blanks around them trimmed
    };

    LineColumns(std::istream& is, Split split);

    // Moves to the next line (the rest of the current one is skipped); false
    // at the end of the text.
    bool next_line();
    // The next column of the current line into `column`; false when the line
    // has no more. Split by tabs, every line has at least one (maybe empty) cell.
    bool next_column(std::string& column);
    // The current line, from 1.
    std::int64_t line() const { return _line; }

  private:
    // True when the character just taken ends the line (consuming its CR LF).
    bool ends_line(int c);

    std::streambuf* _in;
    Split _split;
    std::int64_t _line = 0;
    bool _in_line = false;
};
