#pragma once
// What an HICON points at: one icon at several sizes.
#include <wx/bmpbndl.h>
#include <wx/iconbndl.h>

struct HICON__ {
    wxBitmapBundle bitmaps;
    wxIconBundle icons;
};
