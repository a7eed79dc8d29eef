// Shows the sample window for a screenshot, then quits by itself.
//   dialog_showcase [seconds] [window | tip | box0 | box16 | box64 | disabled]
#include "sample_dialogs.h"

#include <wx/app.h>
#include <wx/timer.h>

#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 5;
    const std::string mode = argc > 2 ? argv[2] : "window";
    AfxInitToolkit(argc, argv);
    sample_resources resources;
    AfxSetResourceHandle(&resources);

    sample_window window;
    window.Create(sample_window_id, nullptr);
    sample_page page(&window);
    page.Create(sample_page_id, &window);
    CRect frame;
    window.frame.GetWindowRect(&frame);
    window.ScreenToClient(&frame);
    page.MoveWindow(frame);
    page.ShowWindow(SW_SHOW);
    for (const char16_t* label : {u"General", u"Print Settings", u"iManage Work 10", u"Help Resources"})
        window.tree.InsertItem(label);
    window.tree.SelectItem(window.tree.GetNextItem(nullptr, TVGN_ROOT));
    for (const char16_t* text : {u"Select on application startup", u"Deutsch", u"English", u"Español", u"Français"})
        page.languages.AddString(text);
    page.languages.SelectString(0, u"English");
    window.version.SetWindowText(u"v26.4.4.1");
    page.shortcut = 1;
    page.path = u"C:\\Program Files\\Sample";
    page.UpdateData(FALSE);
    window.SetIcon(AfxLoadIcon(IDI_WARNING), TRUE);
    if (mode == "disabled") {
        window.tree.EnableWindow(FALSE);
        page.EnableWindow(FALSE);
        window.link.ShowWindow(SW_HIDE);
    }
    window.ShowWindow(SW_SHOW);

    wxTheApp->CallAfter([&] {
        if (mode == "tip") {
            page.path_edit.EnableWindow(TRUE);
            page.path_edit.SetFocus();
            std::u16string text =
                u"The iManage Installation Path should not be empty. Please, enter a valid path or disable iManage "
                u"integration.";
            const EDITBALLOONTIP tip{sizeof(EDITBALLOONTIP), u"", text.c_str(), TTI_NONE};
            page.path_edit.ShowBalloonTip(&tip);
        } else if (mode == "box0") {
            AfxMessageBox(u"A plain message.", MB_OK);
        } else if (mode == "box16") {
            AfxMessageBox(u"Failed to open the installer package.", MB_ICONERROR);
        } else if (mode == "box64") {
            AfxMessageBox(u"The transform file was written.", MB_ICONINFORMATION);
        }
    });
    wxTimer quit;
    quit.Bind(wxEVT_TIMER, [](wxTimerEvent&) { wxTheApp->ExitMainLoop(); });
    quit.StartOnce(seconds * 1000);
    wxTheApp->OnRun();
    return 0;
}
