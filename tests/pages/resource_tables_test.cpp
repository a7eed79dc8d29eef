// The program's resources against the layout the pages and the main window
// are built from, and the German module against the English resources.
#include "dialog/resource_source.h"
#include "resources/program_resources.h"
#include "resources/resource.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <cstring>
#include <vector>

namespace {

const dialog_template& dialog(const resource_source& source, int id) {
    const dialog_template* found = source.find_dialog(id);
    if (!found) throw std::runtime_error("template " + std::to_string(id) + " missing");
    return *found;
}

const control_template& control(const dialog_template& dialog, int id) {
    for (const control_template& c : dialog.controls)
        if (c.id == id) return c;
    throw std::runtime_error("control " + std::to_string(id) + " missing");
}

std::vector<int> ids_in_order(const dialog_template& dialog) {
    std::vector<int> ids;
    for (const control_template& c : dialog.controls) ids.push_back(c.id);
    return ids;
}

constexpr int page_ids[] = {IDD_INSTALLATION_OPTIONS, IDD_PRINT_SETTINGS, IDD_IMANAGE, IDD_QUORLIN_AI};

TEST(ProgramResources, PagesAreHiddenChildrenOfOneWidth) {
    const resource_source& source = program_resource_source();
    for (int id : page_ids) {
        const dialog_template& page = dialog(source, id);
        SCOPED_TRACE(id);
        EXPECT_TRUE(page.style & WS_CHILD);
        EXPECT_FALSE(page.style & (WS_VISIBLE | WS_CAPTION | WS_BORDER | WS_POPUP));
        EXPECT_EQ(page.cx, 331);
        EXPECT_EQ(page.font_name, u"MS Shell Dlg");
        EXPECT_EQ(page.font_size, 8);
        for (const control_template& c : page.controls) {
            if (c.class_name == WC_BUTTON && (c.style & 0xF) == BS_AUTOCHECKBOX) {
                EXPECT_EQ(c.style & WS_TABSTOP, WS_TABSTOP) << c.id;
            }
            if (c.class_name == WC_COMBOBOX) {
                EXPECT_EQ(c.style & (CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP),
                          CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP)
                    << c.id;
            }
        }
    }
}

TEST(ProgramResources, SpotChecksOfLayoutStringsAndIcon) {
    const resource_source& source = program_resource_source();
    // Network disk comes last in tab order although it sits inside "Remote Storage".
    const dialog_template& general = dialog(source, IDD_INSTALLATION_OPTIONS);
    EXPECT_EQ(ids_in_order(general), (std::vector<int>{1043, 1005, 1006, 1010, 1047, 1050, -1, 1072, 1044, 1039, 1040,
                                                       1045, 1048, 1007, 1003, 1004, 1049}));
    EXPECT_FALSE(control(general, IDC_LANGUAGE_LIST).style & CBS_SORT);
    EXPECT_TRUE(control(dialog(source, IDD_PRINT_SETTINGS), IDC_PRINT_PROFILE).style & CBS_SORT);

    const dialog_template& imanage = dialog(source, IDD_IMANAGE);
    EXPECT_EQ(control(imanage, IDC_IMANAGE_WARNING_ICON).caption, u"#32515");
    EXPECT_TRUE(control(imanage, IDC_IMANAGE_PATH).style & WS_DISABLED);
    EXPECT_NE(control(imanage, IDC_IMANAGE_HINT).caption.find(u"\"C:\\Program Files\\iManage\\Work10\"."),
              std::u16string::npos);

    const dialog_template& main = dialog(source, IDD_QUORLIN_ENTERPRISEDEPLOYMENT_DIALOG);
    EXPECT_EQ(main.style, 0x90c800c8u);
    EXPECT_EQ(main.ex_style, WS_EX_APPWINDOW);

    EXPECT_EQ(source.find_string(IDS_VERSION_FORMAT), u"v{}");
    EXPECT_FALSE(source.find_string(9999));
    EXPECT_EQ(source.find_dialog(9999), nullptr);

    // Every rendered image is a PNG of the size it claims (width and height from IHDR).
    std::vector<int> sizes;
    for (const icon_image& image : source.find_icon(IDR_MAINFRAME)) {
        sizes.push_back(image.size);
        ASSERT_GT(image.png.size(), 24u);
        EXPECT_EQ(std::memcmp(image.png.data(), "\x89PNG\r\n\x1a\n", 8), 0);
        auto be32 = [&](std::size_t at) {
            return int(image.png[at]) << 24 | int(image.png[at + 1]) << 16 | int(image.png[at + 2]) << 8 |
                   int(image.png[at + 3]);
        };
        EXPECT_EQ(be32(16), image.size);
        EXPECT_EQ(be32(20), image.size);
    }
    EXPECT_EQ(sizes, (std::vector<int>{16, 24, 32, 48, 256}));
}

// The German module is loaded as the program loads it: by path, through its
// exported entry. Its layout must match the English one control for control.
TEST(GermanModule, SameLayoutTranslatedTexts) {
    void* module = dlopen(QUORLIN_GERMAN_MODULE, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(module, nullptr) << dlerror();
    auto entry = reinterpret_cast<resource_source_entry>(dlsym(module, resource_source_entry_name));
    ASSERT_NE(entry, nullptr);
    const resource_source* german = entry();
    ASSERT_NE(german, nullptr);
    const resource_source& english = program_resource_source();

    for (int id : {IDD_QUORLIN_ENTERPRISEDEPLOYMENT_DIALOG, IDD_INSTALLATION_OPTIONS, IDD_PRINT_SETTINGS, IDD_IMANAGE,
                   IDD_QUORLIN_AI}) {
        const dialog_template& en = dialog(english, id);
        const dialog_template& de = dialog(*german, id);
        SCOPED_TRACE(id);
        EXPECT_EQ((std::vector<std::uint32_t>{de.style, de.ex_style, std::uint32_t(de.cx), std::uint32_t(de.cy)}),
                  (std::vector<std::uint32_t>{en.style, en.ex_style, std::uint32_t(en.cx), std::uint32_t(en.cy)}));
        ASSERT_EQ(de.controls.size(), en.controls.size());
        for (std::size_t i = 0; i < en.controls.size(); ++i) {
            const control_template& a = en.controls[i];
            const control_template& b = de.controls[i];
            EXPECT_EQ((std::vector<int>{a.id, a.x, a.y, a.cx, a.cy, int(a.style)}),
                      (std::vector<int>{b.id, b.x, b.y, b.cx, b.cy, int(b.style)}));
            EXPECT_EQ(a.class_name, b.class_name);
        }
    }
    EXPECT_EQ(control(dialog(*german, IDD_INSTALLATION_OPTIONS), IDC_AZURE_FORCE_LOGIN).caption,
              u"Anmeldung erzwingen");
    const std::u16string link =
        control(dialog(*german, IDD_QUORLIN_ENTERPRISEDEPLOYMENT_DIALOG), IDC_AGREEMENT_LINK).caption;
    EXPECT_NE(link.find(u"<a id=\"terms-of-service\">"), std::u16string::npos);
    EXPECT_NE(link.find(u"<a id=\"privacy-policy\">"), std::u16string::npos);
    EXPECT_EQ(german->find_string(IDS_VERSION_FORMAT), u"v{}");
    EXPECT_NE(german->find_string(IDS_IMANAGE_PATH_EMPTY), english.find_string(IDS_IMANAGE_PATH_EMPTY));
    EXPECT_EQ(german->find_icon(IDR_MAINFRAME).size(), 5u);
    // Left loaded: the source lives in the module and tests may still hold it.
}

}  // namespace
