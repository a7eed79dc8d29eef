#include "controls.h"

#include "rich_label.h"
#include "window_record.h"

#include <algorithm>

namespace {

rich_label* label_of(const CWnd* control) { return dynamic_cast<rich_label*>(control->native()); }

std::u16string bounded(const char16_t* text, std::size_t capacity) {
    const char16_t* end = std::find(text, text + capacity, u'\0');
    return std::u16string(text, end);
}

}  // namespace

BOOL CLinkCtrl::SetItemUrl(int link, const std::u16string& url) {
    rich_label* label = label_of(this);
    if (!label || url.size() >= static_cast<std::size_t>(L_MAX_URL_LENGTH)) return FALSE;
    return label->set_link_url(link, url) ? TRUE : FALSE;
}

BOOL CLinkCtrl::SetItem(const LITEM* item) {
    rich_label* label = label_of(this);
    if (!label || !item || !(item->mask & LIF_ITEMINDEX)) return FALSE;
    if (item->iLink < 0 || item->iLink >= label->link_count()) return FALSE;
    if (item->mask & LIF_URL) label->set_link_url(item->iLink, bounded(item->szUrl, L_MAX_URL_LENGTH));
    if (item->mask & LIF_ITEMID) label->set_link_id(item->iLink, bounded(item->szID, MAX_LINKID_TEXT));
    return TRUE;
}

LRESULT CLinkCtrl::on_message(UINT message, WPARAM, LPARAM lparam) {
    return message == LM_SETITEM ? SetItem(reinterpret_cast<const LITEM*>(lparam)) : 0;
}

void CLinkCtrl::show_text(const std::u16string& text) {
    if (rich_label* label = label_of(this))
        label->set_text(text);
    else
        CWnd::show_text(text);
}

// The text as given, markup included.
std::u16string CLinkCtrl::read_text() const { return label_of(this) ? record_of(native()).text : CWnd::read_text(); }
