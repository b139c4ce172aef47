#include "report/number_format.h"

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
