// Tree, drop-down lists and the link control, as the windows use them.
#include "window_fixture.h"

#include "dialog/rich_label.h"

#include <wx/window.h>

#include <string>

namespace {
struct tree_items {
    HTREEITEM general, print, imanage, help;
};

tree_items fill(CTreeCtrl& tree) {
    tree_items items{};
    items.general = tree.InsertItem(u"General", TVI_ROOT, TVI_LAST);
    items.print = tree.InsertItem(u"Print Settings", TVI_ROOT, TVI_LAST);
    items.imanage = tree.InsertItem(u"iManage Work 10", TVI_ROOT, TVI_LAST);
    items.help = tree.InsertItem(u"Help Resources", TVI_ROOT, TVI_LAST);
    tree.SetItemData(items.general, 11);
    tree.SetItemData(items.print, 22);
    tree.SetItemData(items.imanage, 33);
    tree.SetItemData(items.help, 44);
    return items;
}

// A mouse click at `point` (client coordinates) of `control`.
void click_at(wxWindow* control, const wxPoint& point) {
    for (wxEventType type : {wxEVT_LEFT_DOWN, wxEVT_LEFT_UP}) {
        wxMouseEvent event(type);
        event.SetPosition(point);
        event.SetEventObject(control);
        control->HandleWindowEvent(event);
    }
}

// A point on link `index`, found as a pointer would find it: by hit test.
wxPoint point_on_link(const rich_label& label, int index) {
    const wxSize size = label.GetClientSize();
    for (int y = 0; y < size.y; ++y)
        for (int x = 0; x < size.x; ++x)
            if (label.link_at(wxPoint(x, y)) == index) return wxPoint(x, y);
    return wxDefaultPosition;
}
}  // namespace

TEST_F(window_test, tree_selection_notifies_before_the_selecting_call_returns) {
    open();
    CTreeCtrl& tree = window->tree;
    const tree_items items = fill(tree);

    pump_events();
    EXPECT_EQ(tree.GetNextItem(nullptr, TVGN_CARET), nullptr);
    EXPECT_TRUE(tree.SelectItem(items.imanage));
    ASSERT_EQ(window->selected_at_notification.size(), 1u);
    EXPECT_EQ(window->selected_at_notification[0], items.imanage);
    EXPECT_EQ(window->notified_params[0], 33);

    // Selecting the selected item again sends nothing.
    tree.SelectItem(items.imanage);
    EXPECT_EQ(window->selected_at_notification.size(), 1u);

    EXPECT_EQ(window->tree.SendMessage(TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(items.general)), TRUE);
    EXPECT_EQ(window->notified_params.back(), 11);
    EXPECT_EQ(tree.SendMessage(TVM_GETNEXTITEM, TVGN_CARET, 0), reinterpret_cast<LRESULT>(items.general));

    // Walking from the first visible item through the siblings finds every item in order.
    std::vector<DWORD_PTR> walked;
    for (HTREEITEM item = tree.GetNextItem(nullptr, TVGN_FIRSTVISIBLE); item; item = tree.GetNextItem(item, TVGN_NEXT))
        walked.push_back(tree.GetItemData(item));
    EXPECT_EQ(walked, (std::vector<DWORD_PTR>{11, 22, 33, 44}));
    EXPECT_EQ(tree.GetNextItem(items.help, TVGN_NEXT), nullptr);
    EXPECT_EQ(tree.GetNextItem(nullptr, TVGN_ROOT), items.general);
    EXPECT_EQ(tree_item_text(tree, items.print), u"Print Settings");

    // A disabled tree ignores the mouse but still selects for the program.
    tree.EnableWindow(FALSE);
    tree.SelectItem(items.help);
    EXPECT_EQ(tree.GetNextItem(nullptr, TVGN_CARET), items.help);
}

TEST_F(window_test, drop_down_lists_keep_order_data_and_selection_as_windows_does) {
    open();
    CComboBox& unsorted = page->languages;
    const std::u16string texts[] = {
        u"Select on application startup", u"Deutsch", u"English", u"Español", u"Français", u"Italiano", u"Nederlands"};
    for (int i = 0; i < 7; ++i) {
        const int index = unsorted.AddString(texts[i]);
        EXPECT_EQ(index, i);
        EXPECT_EQ(unsorted.SetItemData(index, static_cast<DWORD_PTR>(100 + i)), 0);
    }
    EXPECT_EQ(unsorted.GetCount(), 7);
    EXPECT_EQ(unsorted.GetCurSel(), CB_ERR);
    EXPECT_EQ(list_text(unsorted, 3), u"Español");  // non-ASCII survives the round trip
    EXPECT_EQ(unsorted.GetItemData(4), 104u);
    EXPECT_EQ(unsorted.GetItemData(7), static_cast<DWORD_PTR>(CB_ERR));
    EXPECT_EQ(unsorted.SetItemData(-1, 5), CB_ERR);

    // Searching starts after the given item, wraps, matches prefixes without case.
    EXPECT_EQ(unsorted.SelectString(0, u"English"), 2);
    EXPECT_EQ(unsorted.GetCurSel(), 2);
    EXPECT_EQ(unsorted.SelectString(0, u"select"), 0);  // wrapped round to item 0
    EXPECT_EQ(unsorted.SelectString(-1, u"ital"), 5);
    EXPECT_EQ(unsorted.SelectString(-1, u"Klingon"), CB_ERR);
    EXPECT_EQ(unsorted.GetCurSel(), 5);  // unchanged by a failed search
    EXPECT_EQ(unsorted.SetCurSel(9), CB_ERR);
    EXPECT_EQ(unsorted.GetCurSel(), CB_ERR);
    EXPECT_EQ(unsorted.SetCurSel(6), 6);

    // The sorted style inserts in order and returns the insertion index.
    CComboBox& sorted = page->sorted_list;
    EXPECT_EQ(sorted.AddString(u"pear"), 0);
    sorted.SetItemData(0, 1);
    EXPECT_EQ(sorted.AddString(u"Apple"), 0);
    sorted.SetItemData(0, 2);
    EXPECT_EQ(sorted.AddString(u"banana"), 1);
    sorted.SetItemData(1, 3);
    EXPECT_EQ(list_text(sorted, 2), u"pear");
    EXPECT_EQ(sorted.GetItemData(2), 1u);  // data moves with its item
    EXPECT_EQ(sorted.GetItemData(0), 2u);
}

TEST_F(window_test, link_control_holds_urls_and_reports_clicks_with_them) {
    open();
    CLinkCtrl& link = window->link;
    EXPECT_EQ(window->GetDlgItem(1052)->GetWindowText().find(u"Quorlin <a id="), 44u);  // the markup as given

    const std::u16string longest(2083, u'x');
    EXPECT_TRUE(link.SetItemUrl(0, u"https://example.com/terms"));
    EXPECT_TRUE(link.SetItemUrl(1, longest));
    EXPECT_EQ(link_url(link, 1), longest);
    EXPECT_FALSE(link.SetItemUrl(1, longest + u"y"));  // 2084: refused, the old one stays
    EXPECT_EQ(link_url(link, 1), longest);
    EXPECT_FALSE(link.SetItemUrl(2, u"https://example.com"));

    // The same through LM_SETITEM, as the Windows control is driven.
    auto item = std::make_unique<LITEM>();
    item->mask = LIF_ITEMINDEX | LIF_URL;
    item->iLink = 1;
    std::u16string privacy = u"https://example.com/privacy";
    std::copy(privacy.begin(), privacy.end(), item->szUrl);
    EXPECT_EQ(link.SendMessage(LM_SETITEM, 0, reinterpret_cast<LPARAM>(item.get())), TRUE);

    // Clicks on each link, by mouse and by keyboard.
    auto* label = dynamic_cast<rich_label*>(link.native());
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->visible_text(),
              u"By generating this MST file, I agree to the Quorlin Terms of Service and Privacy Policy");
    click_at(label, point_on_link(*label, 1));
    click_at(label, point_on_link(*label, 0));
    click_at(label, wxPoint(1, 1));  // plain text: nothing
    ASSERT_EQ(window->clicked_links, (std::vector<int>{1, 0}));
    EXPECT_EQ(window->clicked_urls[0], privacy);
    EXPECT_EQ(window->clicked_urls[1], u"https://example.com/terms");
    EXPECT_EQ(window->clicked_ids[1], u"terms-of-service");

    label->SetFocus();
    send_char_hook(label, WXK_RETURN);  // Enter on a link follows it and is not the dialog's OK
    EXPECT_EQ(window->clicked_links.size(), 3u);
    EXPECT_EQ(window->ok_calls, 0);
}
