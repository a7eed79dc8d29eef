#pragma once
// Escape pressed anywhere inside a settings page (a text field included)
// closes the window that holds the page, through that window's own cancel
// path, which also discards the package's working copy. Enter stays ignored.
#include "dialog/afxwin.h"

inline void hand_escape_to(CWnd* window) {
    if (window) window->SendMessage(WM_COMMAND, IDCANCEL);
}
