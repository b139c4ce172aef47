#pragma once

#include <string>
#include <string_view>

// Names come from data files as bytes; these are the forms in which they are
// shown where bytes that are not UTF-8, or control characters, would harm.
namespace display_text {

// The replacement character U+FFFD, as UTF-8.
inline constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

// Valid UTF-8 that gives the bytes back: each byte that is not part of a
// valid UTF-8 sequence becomes U+FFFD followed by its two upper-case hex
// digits, and a U+FFFD of the text itself is written twice. Valid text
// without U+FFFD comes out unchanged.
std::string marked_utf8(std::string_view bytes);

// The bytes marked_utf8 was given.
std::string unmarked(std::string_view text);

// Text safe to print on a terminal: control characters (C0, DEL, C1) as \t,
// \n, \r or \xNN (\u00NN for C1), bytes that are not UTF-8 as \xNN, the rest
// unchanged. With `keep_newlines`, line feeds stay line feeds.
std::string for_terminal(std::string_view bytes, bool keep_newlines = false);

// The length of the valid UTF-8 sequence at the start of `bytes`, 0 when
// there is none (overlong forms, surrogates and values past U+10FFFF are
// not valid).
std::size_t utf8_sequence(std::string_view bytes);

// The code point of a valid sequence of `length` bytes.
char32_t code_point(std::string_view bytes, std::size_t length);

} // namespace display_text
