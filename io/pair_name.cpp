#include "io/pair_name.h"

namespace {
const char* const kPanelEnd = ": ";
const char* const kBetween = " x ";
} // namespace

std::string pair_sample_name(const std::string& panel, const std::string& marker_1,
                             const std::string& marker_2) {
    return panel + kPanelEnd + marker_1 + kBetween + marker_2;
}

bool pair_marker_name_ok(const std::string& marker) {
    return !marker.empty() && marker.find_first_of(" \t\r\n") == std::string::npos;
}

std::optional<PairName> read_pair_name(const std::string& name) {
    const std::size_t end = name.rfind(kPanelEnd);
    if (end == std::string::npos) {
        return std::nullopt;
    }
    const std::string markers = name.substr(end + 2);
    const std::size_t between = markers.find(kBetween);
    if (between == std::string::npos) {
        return std::nullopt;
    }
    PairName pair{name.substr(0, end), markers.substr(0, between), markers.substr(between + 3)};
    if (!pair_marker_name_ok(pair.marker_1) || !pair_marker_name_ok(pair.marker_2) ||
        pair.marker_1 == pair.marker_2) {
        return std::nullopt;
    }
    return pair;
}
