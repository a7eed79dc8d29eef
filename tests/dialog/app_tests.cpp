// The application object and the file dialog.
#include "window_fixture.h"

TEST(application, name_defaults_to_the_executables_file_name) {
    CWinApp unnamed;
    EXPECT_EQ(std::u16string(unnamed.m_pszAppName), u"dialog_tests");
    EXPECT_EQ(AfxGetApp(), &unnamed);
    EXPECT_EQ(message_box_caption(), u"dialog_tests");
    EXPECT_TRUE(unnamed.OnCmdMsg(WM_COMMAND, 0, ID_HELP, nullptr, nullptr));
    INITCOMMONCONTROLSEX controls{8, ICC_WIN95_CLASSES};
    EXPECT_TRUE(InitCommonControlsEx(&controls));
}

TEST(application, named_application_keeps_its_name) {
    CWinApp named(u"deploy");
    EXPECT_EQ(std::u16string(AfxGetAppName()), u"deploy");
}

TEST(file_dialog, answers_come_from_the_services_with_the_filter_as_given) {
    recording_ui_services shown;
    scoped_ui_services scope(shown);
    shown.file_dialog_answers.push_back(std::u16string(u"/data/pkg/Setup.v2.msi"));
    const char16_t* filter = u"MSI Files (*.msi)|*.msi|All Files (*.*)|*.*|";
    CFileDialog chooser(TRUE, u"msi", nullptr, OFN_FILEMUSTEXIST | OFN_HIDEREADONLY, filter);
    ASSERT_EQ(chooser.DoModal(), IDOK);
    EXPECT_EQ(chooser.GetPathName(), u"/data/pkg/Setup.v2.msi");
    ASSERT_EQ(shown.file_dialogs.size(), 1u);
    EXPECT_TRUE(shown.file_dialogs[0].open);
    EXPECT_EQ(shown.file_dialogs[0].filter, filter);
    EXPECT_EQ(shown.file_dialogs[0].default_extension, u"msi");
    EXPECT_EQ(chooser.DoModal(), IDCANCEL);  // nothing more scripted: cancelled
}
