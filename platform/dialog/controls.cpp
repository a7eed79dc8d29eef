// Buttons, statics, edit boxes and drop-down lists.
#include "controls.h"

#include "dialog_template.h"
#include "rich_label.h"
#include "ui_services.h"
#include "window_record.h"
#include "wx_text.h"

#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/radiobut.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

int CButton::GetCheck() const {
    if (auto* box = dynamic_cast<wxCheckBox*>(native())) {
        switch (box->Get3StateValue()) {
        case wxCHK_CHECKED: return BST_CHECKED;
        case wxCHK_UNDETERMINED: return BST_INDETERMINATE;
        default: return BST_UNCHECKED;
        }
    }
    if (auto* radio = dynamic_cast<wxRadioButton*>(native())) return radio->GetValue() ? BST_CHECKED : BST_UNCHECKED;
    return BST_UNCHECKED;
}

void CButton::SetCheck(int check) {
    if (auto* box = dynamic_cast<wxCheckBox*>(native())) {
        if (check == BST_INDETERMINATE && box->Is3State())
            box->Set3StateValue(wxCHK_UNDETERMINED);
        else
            box->SetValue(check == BST_CHECKED);
    } else if (auto* radio = dynamic_cast<wxRadioButton*>(native())) {
        radio->SetValue(check == BST_CHECKED);
    }
}

LRESULT CButton::on_message(UINT message, WPARAM wparam, LPARAM) {
    if (message == BM_GETCHECK) return GetCheck();
    if (message == BM_SETCHECK) SetCheck(static_cast<int>(wparam));
    return 0;
}

void CStatic::show_text(const std::u16string& text) {
    if (auto* label = dynamic_cast<wxStaticText*>(native())) {
        label->SetLabel(to_wx(text));
        label->Wrap(label->GetSize().x);
    } else if (auto* rich = dynamic_cast<rich_label*>(native())) {
        rich->set_text(text);
    } else {
        CWnd::show_text(text);
    }
}

std::u16string CStatic::read_text() const {
    if (dynamic_cast<wxStaticText*>(native()) || dynamic_cast<rich_label*>(native())) return record_of(native()).text;
    return CWnd::read_text();
}

void CEdit::SetLimitText(UINT max_chars) {
    if (!native()) return;
    window_record& record = record_of(native());
    record.text_limit = max_chars;
    // The text already shown stays, even if longer (as with the Windows edit box).
    if (auto* edit = dynamic_cast<wxTextCtrl*>(native())) record.accepted_text = from_wx(edit->GetValue());
}

void CEdit::SetSel(int start, int end) {
    if (auto* edit = dynamic_cast<wxTextCtrl*>(native())) edit->SetSelection(start, end < 0 ? -1 : end);
}

BOOL CEdit::ShowBalloonTip(const EDITBALLOONTIP* tip) {
    if (!native() || !tip) return FALSE;
    balloon_tip_request request;
    request.edit = m_hWnd;
    request.control_id = GetDlgCtrlID();
    request.title = tip->pszTitle ? tip->pszTitle : u"";
    request.text = tip->pszText ? tip->pszText : u"";
    request.icon = tip->ttiIcon;
    current_ui_services().show_balloon_tip(request);
    return TRUE;
}

void CEdit::show_text(const std::u16string& text) {
    if (auto* edit = dynamic_cast<wxTextCtrl*>(native())) {
        record_of(edit).accepted_text = text;
        edit->ChangeValue(to_wx(text));
    } else {
        CWnd::show_text(text);
    }
}

std::u16string CEdit::read_text() const {
    if (auto* edit = dynamic_cast<wxTextCtrl*>(native())) return from_wx(edit->GetValue());
    return CWnd::read_text();
}

namespace {

wxChoice* list_of(const CWnd* combo) { return dynamic_cast<wxChoice*>(combo->native()); }

bool sorted(const CWnd* combo) {
    const window_record* record = combo->native() ? find_record(combo->native()) : nullptr;
    return record && (record->style & CBS_SORT);
}

bool valid_index(const wxChoice* list, int index) {
    return list && index >= 0 && static_cast<unsigned>(index) < list->GetCount();
}

// Windows searches list items without regard to case.
bool begins_with(const wxString& item, const wxString& prefix) { return item.Lower().StartsWith(prefix.Lower()); }

int search(const wxChoice* list, int start_after, const std::u16string& text) {
    if (!list || list->GetCount() == 0) return CB_ERR;
    const int count = static_cast<int>(list->GetCount());
    const wxString wanted = to_wx(text);
    const int first = (start_after < 0 || start_after >= count) ? 0 : start_after + 1;
    for (int i = 0; i < count; ++i) {
        const int index = (first + i) % count;
        const wxString item = list->GetString(static_cast<unsigned>(index));
        if (begins_with(item, wanted)) return index;
    }
    return CB_ERR;
}

}  // namespace

int CComboBox::AddString(const std::u16string& text) {
    wxChoice* list = list_of(this);
    if (!list) return CB_ERR;
    const wxString item = to_wx(text);
    if (!sorted(this)) return list->Append(item);
    unsigned position = 0;
    while (position < list->GetCount() && list->GetString(position).CmpNoCase(item) <= 0) ++position;
    return list->Insert(item, position);
}

int CComboBox::GetCount() const {
    wxChoice* list = list_of(this);
    return list ? static_cast<int>(list->GetCount()) : CB_ERR;
}

int CComboBox::GetCurSel() const {
    wxChoice* list = list_of(this);
    if (!list) return CB_ERR;
    const int selection = list->GetSelection();
    return selection == wxNOT_FOUND ? CB_ERR : selection;
}

int CComboBox::SetCurSel(int index) {
    wxChoice* list = list_of(this);
    if (!list) return CB_ERR;
    if (!valid_index(list, index)) {
        list->SetSelection(wxNOT_FOUND);
        return CB_ERR;
    }
    list->SetSelection(index);
    return index;
}

int CComboBox::SetItemData(int index, DWORD_PTR data) {
    wxChoice* list = list_of(this);
    if (!valid_index(list, index)) return CB_ERR;
    list->SetClientData(static_cast<unsigned>(index), reinterpret_cast<void*>(data));
    return 0;
}

DWORD_PTR CComboBox::GetItemData(int index) const {
    wxChoice* list = list_of(this);
    if (!valid_index(list, index)) return static_cast<DWORD_PTR>(CB_ERR);
    if (!list->HasClientUntypedData()) return 0;
    return reinterpret_cast<DWORD_PTR>(list->GetClientData(static_cast<unsigned>(index)));
}

int CComboBox::SelectString(int start_after, const std::u16string& text) {
    wxChoice* list = list_of(this);
    const int index = search(list, start_after, text);
    if (index != CB_ERR) list->SetSelection(index);
    return index;
}
