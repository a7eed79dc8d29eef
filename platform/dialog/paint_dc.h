#pragma once
// Painting inside a WM_PAINT handler: CPaintDC opens the window's paint
// context for the life of the object.
#include "windows_types.h"

#include <memory>

class CWnd;
class wxDC;

class CDC {
public:
    virtual ~CDC();
    HDC GetSafeHdc() const { return reinterpret_cast<HDC>(dc_.get()); }
    BOOL DrawIcon(int x, int y, HICON icon);  // at the icon's natural size

protected:
    std::unique_ptr<wxDC> dc_;
};

class CPaintDC : public CDC {
public:
    explicit CPaintDC(CWnd* window);
};
