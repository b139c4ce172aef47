#include "support/clock.h"

#include <chrono>

std::int32_t clock_ms() {
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now).count();
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(ms));
}

std::int32_t elapsed_ms(std::int32_t since) {
    const std::uint32_t diff =
        static_cast<std::uint32_t>(clock_ms()) - static_cast<std::uint32_t>(since);
    return static_cast<std::int32_t>(diff);
}
