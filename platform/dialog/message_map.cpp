#include "message_map.h"

const AFX_MSGMAP* CCmdTarget::GetThisMessageMap() {
    static const AFX_MSGMAP_ENTRY entries[] = {{0, 0, 0, nullptr}};
    static const AFX_MSGMAP map = {nullptr, &entries[0]};
    return &map;
}

const AFX_MSGMAP* CCmdTarget::GetMessageMap() const { return GetThisMessageMap(); }

namespace {
bool addressed(const AFX_MSGMAP_ENTRY& entry, UINT message, UINT code, UINT id) {
    if (entry.nMessage != message) return false;
    if (message == WM_COMMAND || message == WM_NOTIFY) return entry.nCode == code && entry.nID == id;
    return true;
}
}  // namespace

BOOL CCmdTarget::OnCmdMsg(UINT message, UINT code, UINT id, NMHDR* notify, LRESULT* result) {
    for (const AFX_MSGMAP* map = GetMessageMap(); map; map = map->pfnGetBaseMap ? map->pfnGetBaseMap() : nullptr) {
        for (const AFX_MSGMAP_ENTRY* entry = map->lpEntries; entry->nMessage != 0; ++entry) {
            if (!addressed(*entry, message, code, id)) continue;
            LRESULT ignored = 0;
            entry->pfn(this, notify, result ? result : &ignored);
            return TRUE;
        }
    }
    return FALSE;
}

BOOL CCmdTarget::HasMessageEntry(UINT message) const {
    for (const AFX_MSGMAP* map = GetMessageMap(); map; map = map->pfnGetBaseMap ? map->pfnGetBaseMap() : nullptr) {
        for (const AFX_MSGMAP_ENTRY* entry = map->lpEntries; entry->nMessage != 0; ++entry)
            if (entry->nMessage == message) return TRUE;
    }
    return FALSE;
}
