// Windows built from templates: placement, styles, keys, modal runs.
#include "window_fixture.h"

#include <wx/app.h>
#include <wx/uiaction.h>
#include <wx/window.h>

namespace {

CRect client_rect_of(const CWnd& control, const CWnd& dialog) {
    CRect rect;
    control.GetWindowRect(&rect);
    dialog.ScreenToClient(&rect);
    return rect;
}

CRect converted(const CWnd& dialog, const control_template& c) {
    const wxPoint a = dialog.native()->ConvertDialogToPixels(wxPoint(c.x, c.y));
    const wxPoint b = dialog.native()->ConvertDialogToPixels(wxPoint(c.x + c.cx, c.y + c.cy));
    return CRect(a.x, a.y, b.x, b.y);
}

void expect_controls_at_template_rectangles(const CWnd& dialog, const dialog_template& t) {
    int checked = 0;
    for (const control_template& c : t.controls) {
        if (c.id == -1 || (c.class_name == WC_STATIC && (c.style & 0x1F) == SS_ICON)) continue;
        CWnd* control = dialog.GetDlgItem(c.id);
        ASSERT_NE(control, nullptr) << c.id;
        const CRect actual = client_rect_of(*control, dialog);
        const CRect expected = converted(dialog, c);
        if (c.class_name == WC_COMBOBOX) {
            // The closed list takes its font's height; the template gives the dropped one.
            EXPECT_EQ(actual.TopLeft(), expected.TopLeft()) << "control " << c.id;
            EXPECT_EQ(actual.right, expected.right) << "control " << c.id;
        } else if (c.class_name == WC_STATIC && actual.right > expected.right) {
            // A one-line label too wide for its rectangle in this font grows to the right.
            EXPECT_EQ(actual.TopLeft(), expected.TopLeft()) << "control " << c.id;
            EXPECT_EQ(actual.bottom, expected.bottom) << "control " << c.id;
            EXPECT_LT(expected.Height(), 2 * control->native()->GetCharHeight());
        } else {
            EXPECT_EQ(actual, expected) << "control " << c.id;
        }
        ++checked;
    }
    EXPECT_GT(checked, 5);
}

}  // namespace

TEST_F(window_test, controls_sit_at_their_converted_dialog_unit_rectangles) {
    open();
    expect_controls_at_template_rectangles(*window, resources.dialogs[sample_window_id]);
    expect_controls_at_template_rectangles(*page, resources.dialogs[sample_page_id]);

    CRect client;
    window->GetClientRect(&client);
    const wxSize expected = window->native()->ConvertDialogToPixels(wxSize(300, 220));
    EXPECT_EQ(client.Width(), expected.x);
    EXPECT_EQ(client.Height(), expected.y);
    // About two pixels per dialog unit with the desktop's default font.
    EXPECT_NEAR(expected.x / 300.0, 2.0, 0.5);

    // The page covers the frame exactly, in the window's client coordinates.
    EXPECT_EQ(client_rect_of(*page, *window), client_rect_of(window->frame, *window));
    // Tab order is template order.
    const wxWindowList& children = page->native()->GetChildren();
    std::vector<int> order;
    for (wxWindow* child : children)
        if (CWnd::FromHandle(child)->GetDlgCtrlID() > 0) order.push_back(CWnd::FromHandle(child)->GetDlgCtrlID());
    EXPECT_EQ(order, (std::vector<int>{1043, 1005, 1006, 1072, 1073, 3492, 1068, 1067, 1069, 1080, 1081}));
}

TEST_F(window_test, styles_decide_enabled_and_visible_state) {
    open();
    EXPECT_FALSE(is_this_enabled(*window, 1008));
    EXPECT_TRUE(is_this_enabled(*window, 1001));
    EXPECT_FALSE(is_this_enabled(*page, 1067));
    EXPECT_FALSE(is_visible(*page, 1081));
    EXPECT_TRUE(is_visible(*page, 1080));

    // A control of a hidden page is not visible, though shown itself.
    EXPECT_TRUE(page->ShowWindow(SW_HIDE));
    EXPECT_FALSE(is_visible(*page, 1080));
    EXPECT_FALSE(page->ShowWindow(SW_SHOW));
    EXPECT_TRUE(is_visible(*page, 1080));

    EXPECT_TRUE(window->generate.EnableWindow(TRUE));  // was disabled
    EXPECT_FALSE(window->generate.EnableWindow(FALSE));
    EXPECT_FALSE(window->IsIconic());
    EXPECT_EQ(window->GetDlgItem(4242), nullptr);
    // Unbound controls come back as objects of their own class, so the usual
    // cast of GetDlgItem's result is sound; bound ones as the bound member.
    EXPECT_NE(dynamic_cast<CButton*>(page->GetDlgItem(1006)), nullptr);
    EXPECT_NE(dynamic_cast<CStatic*>(page->GetDlgItem(1069)), nullptr);
    EXPECT_NE(dynamic_cast<CStatic*>(page->GetDlgItem(3492)), nullptr);
    EXPECT_EQ(page->GetDlgItem(1067), &page->path_edit);
    EXPECT_EQ(page->GetDlgItem(1006), page->GetDlgItem(1006));
    // Ids are looked up among a dialog's own controls, not its pages'.
    EXPECT_EQ(window->GetDlgItem(1005), nullptr);
}

TEST_F(window_test, page_is_created_hidden_and_initialised_after_the_first_exchange) {
    window = std::make_unique<sample_window>();
    ASSERT_TRUE(window->Create(sample_window_id, nullptr));
    page = std::make_unique<sample_page>(window.get());
    page->shortcut = 1;
    ASSERT_TRUE(page->Create(sample_page_id, window.get()));
    EXPECT_FALSE(is_visible(*page));
    EXPECT_EQ(page->init_calls, 1);
    EXPECT_EQ(page->shortcut_state_at_init, BST_CHECKED);
    EXPECT_FALSE(page->Create(sample_page_id, window.get()));  // already created

    sample_page missing(window.get());
    EXPECT_FALSE(missing.Create(4711, window.get()));
}

TEST_F(window_test, enter_and_escape_go_to_the_dialog_holding_the_focus) {
    open();
    wxWindow* page_box = page->GetDlgItem(1005)->native();
    send_char_hook(page_box, WXK_ESCAPE);
    send_char_hook(page_box, WXK_RETURN);
    EXPECT_EQ(page->cancel_calls, 1);
    EXPECT_EQ(page->ok_calls, 1);
    EXPECT_EQ(window->cancel_calls, 0);
    EXPECT_EQ(window->ok_calls, 0);
    EXPECT_TRUE(is_visible(*window));

    // Enter on a push button clicks it, in the page.
    send_char_hook(page->GetDlgItem(1080)->native(), WXK_RETURN);
    EXPECT_EQ(page->apply_clicks, 1);
    EXPECT_EQ(page->ok_calls, 1);

    // On the window's own controls the keys reach the window.
    wxWindow* consent = window->consent.native();
    send_char_hook(consent, WXK_RETURN);
    EXPECT_EQ(window->ok_calls, 1);
    send_char_hook(consent, WXK_ESCAPE);
    EXPECT_EQ(window->cancel_calls, 1);
    EXPECT_EQ(page->cancel_calls, 1);
}

TEST_F(window_test, real_key_presses_inside_a_page_do_not_close_the_window) {
    open();
    wxWindow* box = page->GetDlgItem(1005)->native();
    window->native()->Raise();
    box->SetFocus();
    pump_events();
    if (wxWindow::FindFocus() != box) GTEST_SKIP() << "no keyboard focus on this display";
    wxUIActionSimulator keyboard;
    keyboard.Char(WXK_ESCAPE);
    pump_events();
    keyboard.Char(WXK_RETURN);
    pump_events();
    EXPECT_EQ(page->cancel_calls, 1);
    EXPECT_EQ(page->ok_calls, 1);
    EXPECT_EQ(window->cancel_calls, 0);
    EXPECT_TRUE(is_visible(*window));
}

TEST_F(window_test, modal_run_ends_with_the_dialogs_result) {
    {
        sample_window modal;
        modal.msi_path = u"/tmp/a.msi";
        wxTheApp->CallAfter([&] {
            EXPECT_EQ(modal.GetDlgItem(1000)->GetWindowText(), u"/tmp/a.msi");  // pushed before the run
            // Enter on a check box goes to OnOK, which this window ignores.
            send_char_hook(modal.consent.native(), WXK_RETURN);
            send_char_hook(modal.consent.native(), WXK_ESCAPE);
        });
        EXPECT_EQ(modal.DoModal(), IDCANCEL);
        EXPECT_EQ(modal.ok_calls, 1);
        EXPECT_EQ(modal.cancel_calls, 1);
        EXPECT_EQ(modal.m_hWnd, nullptr);
        EXPECT_EQ(modal.tree.m_hWnd, nullptr);  // bound controls let go with the window
    }
    {
        sample_window modal;
        wxTheApp->CallAfter([&] { modal.EndDialog(IDOK); });
        EXPECT_EQ(modal.DoModal(), IDOK);
    }
    {
        // The close box is routed to OnCancel.
        sample_window modal;
        wxTheApp->CallAfter([&] { modal.native()->Close(); });
        EXPECT_EQ(modal.DoModal(), IDCANCEL);
        EXPECT_EQ(modal.cancel_calls, 1);
    }
    CDialog missing(4711);
    EXPECT_EQ(missing.DoModal(), -1);
}

TEST_F(window_test, paint_and_drag_icon_entries_are_dispatched) {
    open();
    window->InvalidateRect(nullptr);
    pump_events();
    EXPECT_GT(window->paints, 0);

    // Invalidating a page from the window's paint handler repaints the page,
    // not the window again: no endless painting.
    window->invalidate_on_paint = page.get();
    window->InvalidateRect(nullptr);
    pump_events(40);
    const int settled = window->paints;
    pump_events(40);
    EXPECT_LE(window->paints - settled, 1);

    window->drag_icon = AfxLoadIcon(IDI_WARNING);
    ASSERT_NE(window->drag_icon, nullptr);
    EXPECT_EQ(window->SendMessage(WM_QUERYDRAGICON), reinterpret_cast<LRESULT>(window->drag_icon));
    EXPECT_EQ(window->SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(window->drag_icon)), 0);
    EXPECT_EQ(AfxLoadIcon(IDI_WARNING), window->drag_icon);  // shared
    EXPECT_EQ(AfxLoadIcon(128), nullptr);                    // not in these resources
}

TEST_F(window_test, clicks_reach_handlers_along_the_table_chain) {
    auto derived = std::make_unique<derived_window>();
    ASSERT_TRUE(derived->Create(sample_window_id, nullptr));
    derived->ShowWindow(SW_SHOW);

    wxWindow* browse = derived->GetDlgItem(1001)->native();
    wxCommandEvent click(wxEVT_BUTTON, browse->GetId());
    click.SetEventObject(browse);
    browse->HandleWindowEvent(click);
    EXPECT_EQ(derived->browse_clicks, 1);  // entry of the base class's table

    derived->generate.EnableWindow(TRUE);
    derived->SendMessage(WM_COMMAND, MAKEWPARAM(1008, BN_CLICKED), 0);
    EXPECT_EQ(derived->generate_clicks, 1);

    // A check box click reports BN_CLICKED after the tick changed.
    derived->consent.SetCheck(BST_CHECKED);  // sends nothing
    EXPECT_EQ(derived->consent_clicks, 0);
    wxCommandEvent tick(wxEVT_CHECKBOX, derived->consent.native()->GetId());
    tick.SetEventObject(derived->consent.native());
    derived->consent.native()->HandleWindowEvent(tick);
    EXPECT_EQ(derived->consent_clicks, 1);
    EXPECT_TRUE(is_this_enabled(derived->generate));
    derived.reset();
    pump_events();
}
