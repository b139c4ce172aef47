#include "support/memory_limit.h"

#include <unistd.h>

#include <cstdlib>

std::uint64_t memory_limit_bytes() {
    static const std::uint64_t limit = [] {
        if (const char* value = std::getenv("TOVAQUOR_MAX_MEMORY_MB")) {
            char* end = nullptr;
            const unsigned long long mb = std::strtoull(value, &end, 10);
            if (end != value && *end == '\0' && mb > 0) {
                return static_cast<std::uint64_t>(mb) * 1024 * 1024;
            }
        }
        const long pages = sysconf(_SC_PHYS_PAGES);
        const long page_size = sysconf(_SC_PAGESIZE);
        if (pages <= 0 || page_size <= 0) {
            return static_cast<std::uint64_t>(8) * 1024 * 1024 * 1024;
        }
        return static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(page_size) / 4 * 3;
    }();
    return limit;
}

std::string mebibytes(std::uint64_t bytes) {
    const std::uint64_t mib = 1024 * 1024;
    return std::to_string(bytes / mib + (bytes % mib != 0 ? 1 : 0)) + " MiB";
}
