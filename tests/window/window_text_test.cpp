// The main window's logic that needs no display: the version label and
// link addresses from agreement markup.
#include "window/agreement_links.h"
#include "window/version_label.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace {

std::string ascii(std::u16string_view text) { return {text.begin(), text.end()}; }

TEST(VersionLabel, SurvivesBrokenFormats) {
    EXPECT_EQ(format_version_label(u"v{}", u"26.4.4.1"), u"v26.4.4.1");
    EXPECT_EQ(format_version_label(u"Version {} ({{build}})", u"1.2"), u"Version 1.2 ({build})");
    for (const char16_t* broken : {u"v{", u"v{1}", u"v{:d}", u"v{} {}", u"}"})
        EXPECT_EQ(format_version_label(broken, u"26.4.4.1"), u"") << ascii(broken);
}

TEST(ConsentLine, AddressFromMarkupIsTheTextUpToTheFirstClosingQuoteAndBracket) {
    EXPECT_EQ(href_from_markup(u"<a href=\"https://x.example/t\">Terms</a>"), u"https://x.example/t");
    EXPECT_EQ(href_from_markup(u"<a href=\"https://x.example/t\" target=\"_blank\">T</a>"),
              u"https://x.example/t\" target=\"_blank");
    EXPECT_EQ(href_from_markup(u"<a href=\"\">T</a>"), u"");
    EXPECT_EQ(href_from_markup(u"<a href='https://x.example/t'>T</a>"), std::nullopt);
    EXPECT_EQ(href_from_markup(u"<a HREF=\"https://x.example/t\">T</a>"), std::nullopt);
    EXPECT_EQ(href_from_markup(u"<a href=\"https://x.example/t"), std::nullopt);
}

}  // namespace
