// The consent line: where link addresses come from, which of them reach the
// desktop's browser, and the checkbox that enables "Generate MST File".
#include "window_driver.h"

#include "resources/resource.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace window_test;

namespace {

TEST(ConsentLine, OnlyWebAddressesAreOpened) {
    shown_window w;
    auto& d = w.dialog;
    auto click_link = [&](int index) {
        NMLINK link{};
        link.hdr = {d.agreement_link.GetSafeHwnd(), IDC_AGREEMENT_LINK, NM_CLICK};
        link.item.iLink = index;
        const std::u16string url = link_url(d.agreement_link, index);
        std::copy(url.begin(), url.end(), link.item.szUrl);
        LRESULT result = 1;
        d.OnCmdMsg(WM_NOTIFY, NM_CLICK, IDC_AGREEMENT_LINK, &link.hdr, &result);
        EXPECT_EQ(result, 0);
    };

    d.set_agreement_link(u"HTTPS://Quorlin.example/Terms", 0, u"");
    d.set_agreement_link(u"", 1, u"<a href=\"file:///usr/bin/xterm\">Privacy</a>");
    click_link(0);
    EXPECT_EQ(w.ui.opened_urls, std::vector<std::u16string>{u"HTTPS://Quorlin.example/Terms"});
    EXPECT_TRUE(w.ui.message_boxes.empty());

    for (const char16_t* refused :
         {u"file:///usr/bin/xterm", u"/usr/bin/xterm", u"javascript:alert(1)", u"httpx://a", u"http:/a", u""}) {
        w.ui.clear();
        d.set_agreement_link(u"", 1, std::u16string(u"<a href=\"") + refused + u"\">P</a>");
        click_link(1);
        EXPECT_TRUE(w.ui.opened_urls.empty()) << sys::utf16_to_utf8(refused);
        ASSERT_EQ(w.ui.message_boxes.size(), 1u);
        EXPECT_EQ(w.last_message(),
                  u"The link address is not a web address and was not opened.\n" + std::u16string(refused));
        EXPECT_EQ(w.ui.message_boxes.back().type, static_cast<UINT>(MB_ICONERROR));
    }

    // The link refuses an address too long for it and keeps the one it had.
    const std::u16string longest = u"http://a/" + std::u16string(2083 - 9, u'x');
    d.set_agreement_link(longest, 0, u"");
    d.set_agreement_link(longest + u"x", 0, u"");
    EXPECT_EQ(link_url(d.agreement_link, 0), longest);
}

}  // namespace
