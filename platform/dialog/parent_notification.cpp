#include "parent_notification.h"

#include "window_record.h"
#include "wnd.h"

#include <wx/window.h>

LRESULT notify_parent(wxWindow* control, UINT message, UINT code, NMHDR* notify) {
    wxWindow* parent = control ? control->GetParent() : nullptr;
    window_record* parent_record = parent ? find_record(parent) : nullptr;
    CWnd* target = parent_record ? parent_record->permanent : nullptr;
    if (!target) return 0;
    const window_record* record = find_record(control);
    const UINT id = static_cast<UINT>(record ? record->id : control->GetId());
    LRESULT result = 0;
    target->OnCmdMsg(message, code, id, notify, &result);
    return result;
}
