#include "support/display_text.h"

namespace display_text {
namespace {

const char* const kHex = "0123456789ABCDEF";

void append_hex(std::string& out, unsigned char byte) {
    out += kHex[byte >> 4];
    out += kHex[byte & 0xF];
}

int hex_value(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

} // namespace

std::size_t utf8_sequence(std::string_view bytes) {
    if (bytes.empty()) {
        return 0;
    }
    const auto at = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
    const unsigned char lead = at(0);
    if (lead < 0x80) {
        return 1;
    }
    std::size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;  // no overlong form
        high = lead == 0xED ? 0x9F : 0xBF; // no surrogate
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF; // nothing past U+10FFFF
    } else {
        return 0;
    }
    if (bytes.size() < length || at(1) < low || at(1) > high) {
        return 0;
    }
    for (std::size_t i = 2; i < length; ++i) {
        if (at(i) < 0x80 || at(i) > 0xBF) {
            return 0;
        }
    }
    return length;
}

char32_t code_point(std::string_view bytes, std::size_t length) {
    const auto at = [&](std::size_t i) {
        return static_cast<char32_t>(static_cast<unsigned char>(bytes[i]));
    };
    switch (length) {
    case 1:
        return at(0);
    case 2:
        return (at(0) & 0x1F) << 6 | (at(1) & 0x3F);
    case 3:
        return (at(0) & 0x0F) << 12 | (at(1) & 0x3F) << 6 | (at(2) & 0x3F);
    default:
        return (at(0) & 0x07) << 18 | (at(1) & 0x3F) << 12 | (at(2) & 0x3F) << 6 | (at(3) & 0x3F);
    }
}

std::string marked_utf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size();) {
        const std::size_t n = utf8_sequence(bytes.substr(i));
        if (n == 0) {
            out += kReplacement;
            append_hex(out, static_cast<unsigned char>(bytes[i]));
            ++i;
            continue;
        }
        const std::string_view sequence = bytes.substr(i, n);
        out += sequence;
        if (sequence == kReplacement) {
            out += kReplacement;
        }
        i += n;
    }
    return out;
}

std::string unmarked(std::string_view text) {
    std::string out;
    const std::size_t r = kReplacement.size();
    for (std::size_t i = 0; i < text.size();) {
        if (text.substr(i, r) != kReplacement) {
            out += text[i++];
            continue;
        }
        if (text.substr(i + r, r) == kReplacement) {
            out += kReplacement;
            i += 2 * r;
        } else if (i + r + 2 <= text.size() && hex_value(text[i + r]) >= 0 &&
                   hex_value(text[i + r + 1]) >= 0) {
            out += static_cast<char>(hex_value(text[i + r]) * 16 + hex_value(text[i + r + 1]));
            i += r + 2;
        } else {
            out += kReplacement; // not written by marked_utf8: kept as it is
            i += r;
        }
    }
    return out;
}

std::string for_terminal(std::string_view bytes, bool keep_newlines) {
    std::string out;
    out.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size();) {
        const std::size_t n = utf8_sequence(bytes.substr(i));
        const auto byte = static_cast<unsigned char>(bytes[i]);
        if (n == 0) {
            out += "\\x";
            append_hex(out, byte);
            ++i;
            continue;
        }
        const char32_t c = code_point(bytes.substr(i), n);
        if (c == '\n' && keep_newlines) {
            out += '\n';
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c < 0x20 || c == 0x7F) {
            out += "\\x";
            append_hex(out, byte);
        } else if (c >= 0x80 && c <= 0x9F) {
            out += "\\u00";
            append_hex(out, static_cast<unsigned char>(c));
        } else {
            out += bytes.substr(i, n);
        }
        i += n;
    }
    return out;
}

} // namespace display_text
