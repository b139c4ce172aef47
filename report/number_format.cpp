#include "report/number_format.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>

namespace {

template <typename T> std::string to_shortest(T value) {
    if (std::isnan(value)) {
        return "";
    }
    std::array<char, 64> buffer{};
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
    return {buffer.data(), result.ptr};
}

} // namespace

std::string shortest(double value) {
    return to_shortest(value);
}

std::string shortest(float value) {
    return to_shortest(value);
}

std::string fixed(double value, int decimals) {
    if (std::isnan(value)) {
        return "";
    }
    std::array<char, 400> buffer{};
    std::snprintf(buffer.data(), buffer.size(), "%.*f", decimals, value);
    return buffer.data();
}

std::string p_value_text(double value) {
    if (std::isnan(value)) {
        return "";
    }
    if (value == 0.0) {
        return "0";
    }
    std::array<char, 64> buffer{};
    if (std::fabs(value) < 1e-3) {
        std::snprintf(buffer.data(), buffer.size(), "%.1e", value);
        return buffer.data();
    }
    // Two significant digits need one decimal more than the leading zeros.
    const int zeros =
        value > 0.0 && value < 1.0 ? static_cast<int>(-std::floor(std::log10(value))) : 0;
    return fixed(value, std::max(3, zeros + 1));
}
