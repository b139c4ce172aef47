// Names as the tables, the page and the terminal show them.
#include "support/display_text.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace {

using namespace std::string_literals;

TEST(DisplayText, BytesThatAreNotUtf8AreMarkedReversibly) {
    EXPECT_EQ("Montr\xEF\xBF\xBD"
              "E9al",
              display_text::marked_utf8("Montr\xE9"
                                        "al"));
    EXPECT_EQ("caf\xC3\xA9 \\x", display_text::marked_utf8("caf\xC3\xA9 \\x")); // valid: as it is
    EXPECT_EQ("\xEF\xBF\xBD\xEF\xBF\xBD", display_text::marked_utf8("\xEF\xBF\xBD"));
    // Overlong, surrogate, past U+10FFFF, truncated: each byte marked.
    for (const std::string& bad :
         {"\xC0\xAF"s, "\xED\xA0\x80"s, "\xF4\x90\x80\x80"s, "\xE2\x82"s}) {
        const std::string marked = display_text::marked_utf8(bad);
        EXPECT_EQ(bad.size() * 5, marked.size()) << marked;
        EXPECT_EQ(bad, display_text::unmarked(marked));
    }
    // Every byte, alone and beside a replacement character, comes back and
    // stays distinct from every other.
    std::set<std::string> seen;
    for (int b = 0; b < 256; ++b) {
        for (const std::string& text : {std::string(1, static_cast<char>(b)),
                                        std::string(1, static_cast<char>(b)) + "\xEF\xBF\xBD"
                                                                               "E9"}) {
            const std::string marked = display_text::marked_utf8(text);
            EXPECT_EQ(text, display_text::unmarked(marked));
            EXPECT_TRUE(seen.insert(marked).second) << b;
        }
    }
}

TEST(DisplayText, TerminalSeesNoControlCharacter) {
    EXPECT_EQ(
        "a\\tb\\nc\\r\\x1B[31m\\x00\\x7F\\u0085\\xFF \xC3\xA9",
        display_text::for_terminal("a\tb\nc\r\x1B[31m"s + '\0' + "\x7F\xC2\x85\xFF \xC3\xA9"));
    EXPECT_EQ("one\ntwo\\x07\n", display_text::for_terminal("one\ntwo\a\n", true));
}

} // namespace
