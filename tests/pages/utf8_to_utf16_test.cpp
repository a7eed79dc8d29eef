// The language table's names as the list shows them: UTF-8 to UTF-16.
#include "installer/application_languages.h"
#include "pages/utf8_to_utf16.h"

#include <gtest/gtest.h>

#include <string>
#include <system_error>

namespace {

TEST(Utf8ToUtf16, ConvertsTheTableAndReportsRefusedInput) {
    EXPECT_EQ(utf8_to_utf16("", 0), u"");
    EXPECT_EQ(utf8_to_utf16(application_languages[3].display_text, 8), u"Español");
    EXPECT_EQ(utf8_to_utf16("\xF0\x9F\x93\x84", 4), u"\U0001F4C4");
    // Malformed input: truncated, overlong and surrogate sequences become U+FFFD.
    EXPECT_EQ(utf8_to_utf16("a\xC3", 2), u"a\uFFFD");
    EXPECT_EQ(utf8_to_utf16("\xC0\xAF!", 3), u"\uFFFD!");
    EXPECT_EQ(utf8_to_utf16("\xED\xA0\x80", 3), u"\uFFFD");
    try {
        utf8_to_utf16(nullptr, 3);
        FAIL() << "no error";
    } catch (const std::system_error& error) {
        EXPECT_EQ(error.code(), std::errc::invalid_argument);
        EXPECT_NE(std::string(error.what()).find("Conversion check has been failed"), std::string::npos);
    }
}

}  // namespace
