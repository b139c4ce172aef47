#include "io/line_columns.h"

namespace {
using Traits = std::char_traits<char>;
const int kEnd = Traits::eof();
} // namespace

LineColumns::LineColumns(std::istream& is, Split split) : _in(is.rdbuf()), _split(split) {}

bool LineColumns::ends_line(int c) {
    if (c == kEnd || c == '\n') {
        return true;
    }
    if (c == '\r') {
        const int next = _in->sgetc();
        if (next == kEnd || next == '\n') {
            _in->sbumpc();
            return true;
        }
    }
    return false;
}

bool LineColumns::next_line() {
    while (_in_line) {
        if (ends_line(_in->sbumpc())) {
            _in_line = false;
        }
    }
    if (_in == nullptr || _in->sgetc() == kEnd) {
        return false;
    }
    ++_line;
    _in_line = true;
    return true;
}

bool LineColumns::next_column(std::string& column) {
    column.clear();
    if (!_in_line) {
        return false;
    }
    if (_split == Split::kBlanks) {
        int c = _in->sbumpc();
        while (c == ' ' || c == '\t') {
            c = _in->sbumpc();
        }
        while (!ends_line(c)) {
            column.push_back(Traits::to_char_type(c));
            c = _in->sgetc();
            if (c == ' ' || c == '\t') {
                return true;
            }
            _in->sbumpc();
        }
        _in_line = false;
        return !column.empty();
    }
    for (int c = _in->sbumpc();; c = _in->sbumpc()) {
        if (ends_line(c)) {
            _in_line = false;
            break;
        }
        if (c == '\t') {
            break;
        }
        column.push_back(Traits::to_char_type(c));
    }
    const std::size_t first = column.find_first_not_of(' ');
    column.erase(0, first == std::string::npos ? column.size() : first);
    column.erase(column.find_last_not_of(' ') + 1);
    return true;
}
