#pragma once
// Loading resources by identifier from the current resource source, with
// the Windows names that dialog code calls.
#include "resource_source.h"
#include "windows_types.h"

#include <string>

// String-table entry `id` into `text`. FALSE (and `text` emptied) when absent.
BOOL LoadString(UINT id, std::u16string& text);

// Makes `source` the source of every resource loaded by identifier; null
// restores the program's own. This is how a language module takes over.
void AfxSetResourceHandle(const resource_source* source);
