#pragma once
// Drives real windows as a person would: clicks and key presses through the
// X server (XTEST, under Xvfb), the toolkit's event loop pumped in between,
// and pictures of the screen. Shared by every test program and tool that
// shows windows.
#include "dialog/afxwin.h"

#include <filesystem>
#include <functional>
#include <string>

class wxWindow;

namespace gui {

// Processes pending events for about `ms` milliseconds.
void pump(int ms = 30);
// Processes what is pending, `rounds` times over, without waiting: for
// windows driven by synthetic events, where a count of rounds settles them.
void pump_events(int rounds = 20);
// Processes events until `done` holds or `timeout_ms` passes; returns `done()`.
bool pump_until(const std::function<bool()>& done, int timeout_ms = 2000);

// The native control `id` of `dialog`, or null.
wxWindow* native_item(const CWnd& dialog, int id);
// A real left click at (x, y) inside the control.
void click_at(const CWnd& dialog, int id, int x, int y);
// A real left click near the control's start (where a check box's box is).
void click(const CWnd& dialog, int id);
// A real key press while control `id` holds the focus.
void press_key_in(const CWnd& dialog, int id, int key_code);

// The key as the keyboard delivers it to the window that has the focus (the
// toolkit's char hook event, rising through the parents), without the X server.
void send_char_hook(wxWindow* focus, int key_code);

bool is_checked(const CWnd& dialog, int id);
// Enabled, with every window around it enabled too.
bool is_enabled(const CWnd& dialog, int id);
// The control's own enabled flag, whatever its parents are.
bool is_this_enabled(const CWnd& dialog, int id);
bool is_visible(const CWnd& dialog, int id);
// The same for a window itself: false when it has no native window.
bool is_this_enabled(const CWnd& window);
bool is_visible(const CWnd& window);

// What the native controls hold: a tree item's label, a list's entry, a
// link's address ("" for a bad item).
std::u16string tree_item_text(const CWnd& tree, HTREEITEM item);
std::u16string list_text(const CWnd& list, int index);
std::u16string link_url(const CWnd& link, int index);

// Saves the screen around `window` (its outer rectangle and `margin` pixels)
// as a PNG with ImageMagick's import; false when that fails.
bool save_screenshot(const CWnd& window, const std::filesystem::path& png, int margin = 8);

}  // namespace gui
