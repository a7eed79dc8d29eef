#pragma once
// The window holding the keyboard's focus. The toolkit's own answer misses
// controls whose focus sits on an inner native widget (on GTK, a drop-down
// list's button), or names a parent: then the control around the native
// widget holding the focus is found.
class wxWindow;

wxWindow* focused_window();
