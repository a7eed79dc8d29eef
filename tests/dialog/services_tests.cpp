// The GUI-free services: message boxes, file dialog, shell open, resources.
#include "dialog/message_map.h"
#include "dialog/recording_ui_services.h"
#include "dialog/resource_access.h"
#include "system/text_conversion.h"

#include <gtest/gtest.h>

namespace {

class one_string_source : public resource_source {
public:
    explicit one_string_source(std::u16string text) : text_(std::move(text)) {}
    const dialog_template* find_dialog(int) const override { return nullptr; }
    std::optional<std::u16string> find_string(int id) const override {
        if (id == 1071) return text_;
        return std::nullopt;
    }
    std::vector<icon_image> find_icon(int) const override { return {}; }

private:
    std::u16string text_;
};

}  // namespace

TEST(ui_services, recorder_answers_from_its_script_and_records_everything) {
    recording_ui_services shown;
    scoped_ui_services scope(shown);
    shown.message_box_answers = {IDNO};
    EXPECT_EQ(AfxMessageBox(u"Replace?", MB_YESNO | MB_ICONQUESTION), IDNO);
    EXPECT_EQ(AfxMessageBox(u"Done", MB_ICONINFORMATION), IDOK);  // script exhausted
    ASSERT_EQ(shown.message_boxes.size(), 2u);
    EXPECT_EQ(shown.message_boxes[1].text, u"Done");
    EXPECT_EQ(shown.message_boxes[1].type, MB_ICONINFORMATION);

    EXPECT_GT(ShellExecuteW(nullptr, u"open", u"https://example.com/x", nullptr, nullptr, SW_SHOWNORMAL), 32);
    EXPECT_GT(ShellExecuteW(nullptr, u"open", u"", nullptr, nullptr, SW_SHOWNORMAL), 32);
    EXPECT_LE(ShellExecuteW(nullptr, u"print", u"a.txt", nullptr, nullptr, SW_SHOWNORMAL), 32);
    EXPECT_EQ(shown.opened_urls, (std::vector<std::u16string>{u"https://example.com/x", u""}));
}

TEST(ui_services, scoped_services_restore_the_previous_ones) {
    recording_ui_services outer;
    recording_ui_services inner;
    scoped_ui_services outer_scope(outer);
    {
        scoped_ui_services inner_scope(inner);
        AfxMessageBox(u"inner");
    }
    AfxMessageBox(u"outer");
    EXPECT_EQ(inner.message_boxes.size(), 1u);
    ASSERT_EQ(outer.message_boxes.size(), 1u);
    EXPECT_EQ(outer.message_boxes[0].text, u"outer");
}

TEST(ui_services, windows_filters_lose_their_trailing_separator) {
    EXPECT_EQ(file_filter_to_wildcard(u"MSI Files (*.msi)|*.msi|All Files (*.*)|*.*|"),
              u"MSI Files (*.msi)|*.msi|All Files (*.*)|*.*");
    EXPECT_EQ(file_filter_to_wildcard(u"A|*.a||"), u"A|*.a");
    EXPECT_EQ(file_filter_to_wildcard(u""), u"");
}

TEST(resources, a_replacing_source_takes_over_and_can_be_removed) {
    one_string_source program(u"v{}");
    one_string_source module(u"Version {}");
    set_program_resource_source(&program);
    std::u16string text;
    ASSERT_TRUE(LoadString(1071, text));
    EXPECT_EQ(text, u"v{}");
    AfxSetResourceHandle(&module);
    LoadString(1071, text);
    EXPECT_EQ(text, u"Version {}");
    EXPECT_EQ(&current_resource_source(), &module);
    AfxSetResourceHandle(nullptr);
    LoadString(1071, text);
    EXPECT_EQ(text, u"v{}");
    set_program_resource_source(nullptr);
    EXPECT_FALSE(LoadString(1071, text));
}

namespace {
class base_target : public CCmdTarget {
public:
    int base_calls = 0;
    int derived_calls = 0;
    afx_msg void on_base() { ++base_calls; }
    DECLARE_MESSAGE_MAP()
};
class derived_target : public base_target {
public:
    afx_msg void on_override() { ++derived_calls; }
    afx_msg void on_notify(NMHDR* notify, LRESULT* result) { *result = static_cast<LRESULT>(notify->idFrom); }
    DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(base_target, CCmdTarget)
ON_BN_CLICKED(10, &base_target::on_base)
ON_BN_CLICKED(11, &base_target::on_base)
END_MESSAGE_MAP()
BEGIN_MESSAGE_MAP(derived_target, base_target)
ON_BN_CLICKED(11, &derived_target::on_override)
ON_NOTIFY(NM_CLICK, 12, &derived_target::on_notify)
END_MESSAGE_MAP()
}  // namespace

TEST(message_map, most_derived_entry_wins_and_the_base_chain_is_searched) {
    derived_target target;
    EXPECT_TRUE(target.OnCmdMsg(WM_COMMAND, BN_CLICKED, 10, nullptr, nullptr));
    EXPECT_TRUE(target.OnCmdMsg(WM_COMMAND, BN_CLICKED, 11, nullptr, nullptr));
    EXPECT_EQ(target.base_calls, 1);
    EXPECT_EQ(target.derived_calls, 1);
    NMHDR notify{nullptr, 12, NM_CLICK};
    LRESULT result = -1;
    EXPECT_TRUE(target.OnCmdMsg(WM_NOTIFY, NM_CLICK, 12, &notify, &result));
    EXPECT_EQ(result, 12);
    EXPECT_FALSE(target.OnCmdMsg(WM_NOTIFY, TVN_SELCHANGEDW, 12, &notify, &result));
    EXPECT_FALSE(target.OnCmdMsg(WM_COMMAND, BN_CLICKED, 12, nullptr, nullptr));
    EXPECT_FALSE(target.HasMessageEntry(WM_PAINT));
    EXPECT_TRUE(target.HasMessageEntry(WM_NOTIFY));
}
