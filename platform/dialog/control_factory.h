#pragma once
// Native controls for the entries of a dialog template, and the translation
// of their toolkit events into the owning dialog's messages.
#include "dialog_template.h"

#include <wx/gdicmn.h>

class wxWindow;

// Creates the control in `parent` at `rect` (pixels, parent's client
// coordinates) with the entry's styles applied. Null for an unknown class.
wxWindow* create_control(wxWindow* parent, const control_template& control, const wxRect& rect);
