#pragma once
// The main window on screen, driven as an administrator would: real clicks
// and key presses (XTEST under Xvfb), the file dialog and message boxes
// answered by a recording ui_services.
#include "dialog/afxwin.h"
#include "dialog/recording_ui_services.h"
#include "pages/imanage_dialog_controller.h"
#include "pages/installation_options_dialog_controller.h"
#include "pages/print_settings_dialog_controller.h"
#include "pages/quorlin_ai_dialog_controller.h"
#include "window/deployment_dialog.h"
#include "system/text_conversion.h"

#include <filesystem>
#include <functional>
#include <string>

class wxWindow;

namespace window_test {

void pump(int ms = 30);
bool pump_until(const std::function<bool()>& done, int timeout_ms = 2000);

wxWindow* native_item(const CWnd& dialog, int id);
void click(const CWnd& dialog, int id);  // a real left click near the control's start
void click_at(const CWnd& dialog, int id, int x, int y);  // at a point of the control
void press_key_in(const CWnd& dialog, int id, int key_code);
bool is_checked(const CWnd& dialog, int id);
bool is_enabled(const CWnd& dialog, int id);  // the control and the windows around it
bool is_visible(const CWnd& dialog, int id);

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

    recording_ui_services ui;
    scoped_ui_services installed{ui};
    CQuorlin_EnterpriseDeploymentDlg dialog;
};

}  // namespace window_test
