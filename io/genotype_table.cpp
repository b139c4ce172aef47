#include "io/genotype_table.h"

#include <algorithm>
#include <functional>
#include <optional>

namespace {

bool is_number(const std::string& text) {
    return !text.empty() && text.size() < 10 &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::vector<std::size_t>
choose(std::size_t count, const std::function<std::optional<std::size_t>(const std::string&)>& find,
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
        } else if (is_number(w) && std::stoul(w) >= 1 && std::stoul(w) <= count) {
            index = std::stoul(w) - 1;
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

std::optional<std::size_t> position(const std::vector<std::string>& names,
                                    const std::string& name) {
    const auto named = std::find(names.begin(), names.end(), name);
    return named == names.end() ? std::nullopt : std::optional<std::size_t>(named - names.begin());
}

} // namespace

std::vector<std::size_t> choose_markers(const std::vector<std::string>& names,
                                        const std::vector<std::string>& wanted,
                                        const std::string& file, std::int64_t line) {
    return choose(
        names.size(), [&](const std::string& w) { return position(names, w); },
        [&](std::size_t index) { return names[index]; }, wanted, file, line);
}

std::vector<std::size_t> choose_markers(std::size_t count, const std::vector<std::string>& wanted,
                                        const std::string& file, std::int64_t line) {
    // A number names its own position, so only the numeric reading is needed.
    return choose(
        count, [](const std::string&) { return std::nullopt; },
        [](std::size_t index) { return std::to_string(index + 1); }, wanted, file, line);
}

std::vector<std::size_t> candidate_markers(const std::vector<std::string>& names,
                                           const std::vector<std::string>& wanted) {
    std::vector<std::size_t> candidates;
    for (const std::string& w : wanted) {
        if (const std::optional<std::size_t> named = position(names, w)) {
            candidates.push_back(*named);
        }
        if (is_number(w) && std::stoul(w) >= 1) {
            candidates.push_back(std::stoul(w) - 1);
        }
    }
    return candidates;
}
