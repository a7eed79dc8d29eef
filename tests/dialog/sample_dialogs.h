#pragma once
// A main window and a page written the way the program's own windows are,
// counting what reaches their handlers.
#include "dialog/afxwin.h"
#include "test_templates.h"

#include <string>
#include <vector>

class sample_page : public CDialogEx {
public:
    explicit sample_page(CWnd* parent) : CDialogEx(sample_page_id, parent) {}

    int shortcut = 0;
    int printer = 1;
    std::u16string path;

    CButton shortcut_box;
    CComboBox languages;
    CComboBox sorted_list;
    CEdit path_edit;

    int init_calls = 0;
    int shortcut_state_at_init = -1;
    int ok_calls = 0;
    int cancel_calls = 0;
    int apply_clicks = 0;
    int shortcut_clicks = 0;

protected:
    void DoDataExchange(CDataExchange* dx) override;
    BOOL OnInitDialog() override;
    void OnOK() override { ++ok_calls; }
    void OnCancel() override { ++cancel_calls; }
    afx_msg void on_apply() { ++apply_clicks; }
    afx_msg void on_shortcut() { ++shortcut_clicks; }

    DECLARE_MESSAGE_MAP()
};

class sample_window : public CDialog {
public:
    sample_window() : CDialog(sample_window_id) {}

    std::u16string msi_path;
    CTreeCtrl tree;
    CStatic frame;
    CStatic version;
    CButton consent;
    CButton generate;
    CLinkCtrl link;

    int browse_clicks = 0;
    int consent_clicks = 0;
    int ok_calls = 0;
    int cancel_calls = 0;
    int paints = 0;
    HICON drag_icon = nullptr;
    CWnd* invalidate_on_paint = nullptr;  // as the main window does with its pages
    // What the tree showed as selected while its notification ran.
    std::vector<HTREEITEM> selected_at_notification;
    std::vector<LPARAM> notified_params;
    std::vector<int> clicked_links;
    std::vector<std::u16string> clicked_urls;
    std::vector<std::u16string> clicked_ids;

protected:
    void DoDataExchange(CDataExchange* dx) override;
    void OnOK() override { ++ok_calls; }
    void OnCancel() override {
        ++cancel_calls;
        CDialog::OnCancel();
    }
    afx_msg void on_browse() { ++browse_clicks; }
    afx_msg void on_consent();
    afx_msg void on_selection(NMHDR* notify, LRESULT* result);
    afx_msg void on_link(NMHDR* notify, LRESULT* result);
    afx_msg void OnPaint();
    afx_msg HCURSOR OnQueryDragIcon() { return drag_icon; }

    DECLARE_MESSAGE_MAP()
};

// Adds a handler of its own and inherits the rest through the base table.
class derived_window : public sample_window {
public:
    int generate_clicks = 0;

protected:
    afx_msg void on_generate() { ++generate_clicks; }
    DECLARE_MESSAGE_MAP()
};
