#pragma once
// A control's notifications go to the message table of the dialog that
// created its parent, as WM_COMMAND or WM_NOTIFY with the control's id.
#include "windows_types.h"

class wxWindow;

LRESULT notify_parent(wxWindow* control, UINT message, UINT code, NMHDR* notify = nullptr);
