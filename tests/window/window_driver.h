#pragma once
// The main window on screen, driven as an administrator would: real clicks
// and key presses (XTEST under Xvfb), the file dialog and message boxes
// answered by a recording ui_services.
#include "dialog/afxwin.h"
#include "dialog/recording_ui_services.h"
#include "installer/deployment_settings_map.h"
#include "pages/imanage_dialog_controller.h"
#include "pages/installation_options_dialog_controller.h"
#include "pages/print_settings_dialog_controller.h"
#include "pages/quorlin_ai_dialog_controller.h"
#include "support/gui_driver.h"
#include "window/deployment_dialog.h"
#include "system/text_conversion.h"

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace window_test {

using namespace gui;

// The recorder, also noting which page was in front at each balloon tip.
struct window_ui_services : recording_ui_services {
    void show_balloon_tip(const balloon_tip_request& request) override;

    std::function<CWnd*()> visible_page;
    std::vector<CWnd*> visible_page_at_tip;
};

// The window's page that shows the settings of `page`.
CWnd* page_window(const CQuorlin_EnterpriseDeploymentDlg& dialog, deployment::settings_page page);

// The main window, created from its template and shown, with the services
// recorded for its whole life.
struct shown_window {
    shown_window();
    ~shown_window();

    // "Browse..." with the file dialog answering `path`.
    void browse(const std::filesystem::path& path);
    void generate();
    void tick_consent();
    // Selects the page's tree item as a click would.
    void select_page(CWnd* page);
    CWnd* visible_page() const;
    std::u16string last_message() const;
    // What the pages show, as settings: each check box the settings map
    // lists, the two lists' choices and the iManage path's text.
    deployment::settings_values settings_shown() const;

    window_ui_services ui;
    scoped_ui_services installed{ui};
    CQuorlin_EnterpriseDeploymentDlg dialog;
};

}  // namespace window_test
