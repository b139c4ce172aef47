#include "io/record_reader.h"

namespace record_reader {

bool read_int(std::istream& is, std::int32_t& value) {
    int v = 0;
    is >> v;
    if (is.fail()) {
        return false;
    }
    value = v;
    return true;
}

std::string read_token(std::istream& is) {
    std::string token;
    is >> token;
    return token;
}

std::string read_rest_of_line(std::istream& is) {
    std::string line;
    is >> std::ws;
    std::getline(is, line);
    if (!line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    return line;
}

} // namespace record_reader
