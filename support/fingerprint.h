#pragma once

#include <cstdint>
#include <string_view>

// A 64-bit FNV-1a fingerprint, for telling whether two processes built the
// same thing without sending it: not a guard against anyone forging one.
inline constexpr std::uint64_t kFingerprintStart = 14695981039346656037ULL;

inline std::uint64_t fingerprint_byte(std::uint64_t hash, unsigned char byte) {
    return (hash ^ byte) * 1099511628211ULL;
}

inline std::uint64_t fingerprint_bytes(std::uint64_t hash, std::string_view bytes) {
    for (const char c : bytes) {
        hash = fingerprint_byte(hash, static_cast<unsigned char>(c));
    }
    // The length too, so that "ab","c" and "a","bc" differ.
    return fingerprint_byte(hash, static_cast<unsigned char>(bytes.size() & 0xFF));
}

inline std::uint64_t fingerprint_number(std::uint64_t hash, std::uint32_t value) {
    for (int k = 0; k < 4; ++k) {
        hash = fingerprint_byte(hash, static_cast<unsigned char>(value >> (8 * k)));
    }
    return hash;
}
