#pragma once
// UTF-16 texts to and from the toolkit's strings.
#include <wx/string.h>

#include <string>
#include <string_view>

wxString to_wx(std::u16string_view text);
std::u16string from_wx(const wxString& text);
