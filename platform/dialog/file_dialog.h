#pragma once
// The open-file (and save-as) dialog, shown through the ui_services.
#include "windows_types.h"

#include <string>

class CWnd;

class CFileDialog {
public:
    CFileDialog(BOOL open, const char16_t* default_extension = nullptr, const char16_t* file_name = nullptr,
                DWORD flags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT, const char16_t* filter = nullptr,
                CWnd* parent = nullptr, DWORD size = 0, BOOL vista_style = TRUE);
    virtual ~CFileDialog() = default;

    virtual INT_PTR DoModal();           // IDOK with a path, IDCANCEL otherwise
    std::u16string GetPathName() const;  // full path

private:
    bool open_;
    std::u16string default_extension_;
    std::u16string file_name_;
    DWORD flags_;
    std::u16string filter_;
    CWnd* parent_;
    std::u16string path_;
};
