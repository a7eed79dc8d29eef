#include "file_dialog.h"

#include "ui_services.h"
#include "wnd.h"

CFileDialog::CFileDialog(BOOL open, const char16_t* default_extension, const char16_t* file_name, DWORD flags,
                         const char16_t* filter, CWnd* parent, DWORD, BOOL)
    : open_(open != FALSE),
      default_extension_(default_extension ? default_extension : u""),
      file_name_(file_name ? file_name : u""),
      flags_(flags),
      filter_(filter ? filter : u""),
      parent_(parent) {}

INT_PTR CFileDialog::DoModal() {
    file_dialog_request request;
    request.open = open_;
    request.default_extension = default_extension_;
    request.file_name = file_name_;
    request.filter = filter_;
    request.flags = flags_;
    request.owner = parent_ ? parent_->GetSafeHwnd() : nullptr;
    auto chosen = current_ui_services().choose_file(request);
    if (!chosen) return IDCANCEL;
    path_ = *chosen;
    return IDOK;
}

std::u16string CFileDialog::GetPathName() const { return path_; }
