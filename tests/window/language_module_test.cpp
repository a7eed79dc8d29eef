// Which interface-language module the program loads: decided by the user's
// locale variables, then the system-wide default locale (a test file stands in
// for /etc/default/locale), and looked up by the application's name.
#include "window_driver.h"

#include "app/language_module.h"
#include "resources/program_resources.h"
#include "resources/resource.h"
#include "support/temp_dir.h"
#include "system/system_locale.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <vector>

using namespace window_test;

namespace {

class LanguageModule : public testing::Test {
protected:
    void TearDown() override {
        AfxSetResourceHandle(nullptr);
        if (module) sys::FreeLibrary(module);
        sys::set_locale_files({});
        for (const auto& [variable, value] : outer_locale)
            value ? ::setenv(variable, value->c_str(), 1) : ::unsetenv(variable);
    }
    static std::optional<std::string> variable(const char* name) {
        const char* value = std::getenv(name);
        return value ? std::optional<std::string>(value) : std::nullopt;
    }
    const std::vector<std::pair<const char*, std::optional<std::string>>> outer_locale{
        {"LC_ALL", variable("LC_ALL")}, {"LC_MESSAGES", variable("LC_MESSAGES")}, {"LANG", variable("LANG")}};
    void set_system_locale(const std::string& lang) {
        test_support::write_file(locale_file, "# system default\nLANG=" + lang + "\n");
        sys::set_locale_files({locale_file});
        for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) ::unsetenv(variable);
    }
    bool program_resources_in_use() { return &current_resource_source() == &program_resource_source(); }

    test_support::temp_dir folder{"quorlin-locale"};
    std::filesystem::path locale_file = folder / "locale";
    sys::module_handle module = nullptr;
};

TEST_F(LanguageModule, GermanSystemLocaleLoadsTheGermanResources) {
    set_system_locale("de_DE.UTF-8");
    EXPECT_EQ(system_language_code(), "DE");
    module = load_language_module(u"quorlin-deploy");
    ASSERT_NE(module, nullptr) << "built into the build's bin folder, beside lang/DE";
    EXPECT_FALSE(program_resources_in_use());

    shown_window w;
    EXPECT_EQ(w.dialog.GetWindowText(), u"Quorlin PDF Pro Bereitstellungsprogramm");
    EXPECT_EQ(w.dialog.GetDlgItem(IDC_VERSION_LABEL)->GetWindowText(), u"v26.4.4.1");
    CTreeCtrl& tree = w.dialog.tree;
    EXPECT_EQ(tree_item_text(tree, tree.GetNextItem(nullptr, TVGN_ROOT)), u"General")
        << "tree labels are not translated";
}

TEST_F(LanguageModule, EnglishOtherLanguagesAndMissingModulesLoadNothing) {
    for (const char* lang : {"en_GB.UTF-8", "pt_BR.UTF-8", "ja_JP.UTF-8", "C"}) {
        set_system_locale(lang);
        EXPECT_EQ(load_language_module(u"quorlin-deploy"), nullptr) << lang;
        EXPECT_TRUE(program_resources_in_use()) << lang;
    }
    // A listed language whose module is not there (the name follows the executable's).
    set_system_locale("de_DE.UTF-8");
    EXPECT_EQ(load_language_module(u"renamed-deploy"), nullptr);
    EXPECT_TRUE(program_resources_in_use());
    EXPECT_EQ(language_module_path("DE", u"deploy"), u"lang/DE/deployDE.so");

    // The user's LANG on an English system brings the German interface.
    set_system_locale("en_US.UTF-8");
    ::setenv("LANG", "de_DE.UTF-8", 1);
    module = load_language_module(u"quorlin-deploy");
    EXPECT_NE(module, nullptr);
    EXPECT_FALSE(program_resources_in_use());
}

}  // namespace
