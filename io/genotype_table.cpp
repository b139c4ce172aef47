#include "io/genotype_table.h"

#include <algorithm>

std::size_t marker_number(const std::string& text) {
    const bool digits =
        !text.empty() && text.size() < 10 &&
        std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
    return digits ? std::stoul(text) : 0;
}

std::vector<std::size_t>
choose_markers(std::size_t count,
               const std::function<std::optional<std::size_t>(const std::string&)>& find,
               const std::function<std::string(std::size_t)>& name_of,
               const std::vector<std::string>& wanted, const std::string& file, std::int64_t line) {
    if (wanted.empty() || wanted.size() > 2) {
        throw InputError(file, 0,
                         "choose one or two markers with --loci (" + std::to_string(wanted.size()) +
                             " given)");
    }
    std::vector<std::size_t> chosen;
    for (const std::string& w : wanted) {
        std::size_t index = 0;
        if (const std::optional<std::size_t> named = find(w)) {
            index = *named;
        } else if (marker_number(w) >= 1 && marker_number(w) <= count) {
            index = marker_number(w) - 1;
        } else {
            throw InputError(file, line,
                             "unknown marker name \"" + w + "\" (the file has " +
                                 std::to_string(count) + (count == 1 ? " marker" : " markers") +
                                 ": give a name it lists or a number from 1 to " +
                                 std::to_string(count) + ")");
        }
        if (std::find(chosen.begin(), chosen.end(), index) != chosen.end()) {
            throw InputError(file, 0, "marker \"" + name_of(index) + "\" is chosen twice");
        }
        chosen.push_back(index);
    }
    return chosen;
}

std::vector<std::size_t> choose_markers(const std::vector<std::string>& names,
                                        const std::vector<std::string>& wanted,
                                        const std::string& file, std::int64_t line) {
    return choose_markers(
        names.size(),
        [&](const std::string& w) -> std::optional<std::size_t> {
            const auto named = std::find(names.begin(), names.end(), w);
            if (named == names.end()) {
                return std::nullopt;
            }
            return static_cast<std::size_t>(named - names.begin());
        },
        [&](std::size_t index) { return names[index]; }, wanted, file, line);
}
