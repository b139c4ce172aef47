#include "io/genotype_table.h"

#include <algorithm>

InputError::InputError(std::string file, std::int64_t line, const std::string& message)
    : std::runtime_error(file + (line > 0 ? ":" + std::to_string(line) : "") + ": " + message),
      _file(std::move(file)), _line(line), _message(message) {}

std::vector<std::string> split_blanks(const std::string& line) {
    std::vector<std::string> pieces;
    std::size_t at = 0;
    while (true) {
        at = line.find_first_not_of(" \t", at);
        if (at == std::string::npos) {
            return pieces;
        }
        const std::size_t end = std::min(line.find_first_of(" \t", at), line.size());
        pieces.push_back(line.substr(at, end - at));
        at = end;
    }
}

void drop_carriage_return(std::string& line) {
    if (!line.empty() && line.back() == '\r') {
        line.pop_back();
    }
}

namespace {
bool is_number(const std::string& text) {
    return !text.empty() && text.size() < 10 &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}
} // namespace

std::vector<std::size_t> choose_markers(const std::vector<std::string>& names,
                                        const std::vector<std::string>& wanted,
                                        const std::string& file, std::int64_t line) {
    if (wanted.empty()) {
        throw InputError(file, 0, "choose the markers with --loci (none given)");
    }
    std::vector<std::size_t> chosen;
    if (wanted.size() == 1 && wanted[0] == kAllMarkers &&
        std::find(names.begin(), names.end(), kAllMarkers) == names.end()) {
        for (std::size_t m = 0; m < names.size(); ++m) {
            chosen.push_back(m);
        }
        return chosen;
    }
    for (const std::string& w : wanted) {
        const auto named = std::find(names.begin(), names.end(), w);
        std::size_t index = 0;
        if (named != names.end()) {
            index = static_cast<std::size_t>(named - names.begin());
        } else if (is_number(w) && std::stoul(w) >= 1 && std::stoul(w) <= names.size()) {
            index = std::stoul(w) - 1;
        } else {
            throw InputError(file, line,
                             "unknown marker name \"" + w + "\" (the file has " +
                                 std::to_string(names.size()) +
                                 (names.size() == 1 ? " marker" : " markers") +
                                 ": give a name it lists or a number from 1 to " +
                                 std::to_string(names.size()) + ")");
        }
        if (std::find(chosen.begin(), chosen.end(), index) != chosen.end()) {
            throw InputError(file, 0, "marker \"" + names[index] + "\" is chosen twice");
        }
        chosen.push_back(index);
    }
    return chosen;
}
