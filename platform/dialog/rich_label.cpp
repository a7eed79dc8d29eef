#include "rich_label.h"

#include "wx_text.h"

#include <wx/dcbuffer.h>
#include <wx/dcclient.h>
#include <wx/settings.h>

#include <algorithm>

wxDEFINE_EVENT(rich_label_link_event, wxCommandEvent);

namespace {

// Value of attribute `name` inside an opening tag, or nothing.
std::u16string attribute(const std::u16string& tag, const std::u16string& name) {
    for (std::size_t at = tag.find(name); at != std::u16string::npos; at = tag.find(name, at + 1)) {
        if (at > 0 && tag[at - 1] != u' ' && tag[at - 1] != u'\t') continue;
        std::size_t p = at + name.size();
        while (p < tag.size() && tag[p] == u' ') ++p;
        if (p >= tag.size() || tag[p] != u'=') continue;
        ++p;
        while (p < tag.size() && tag[p] == u' ') ++p;
        if (p < tag.size() && (tag[p] == u'"' || tag[p] == u'\'')) {
            const char16_t quote = tag[p];
            const std::size_t end = tag.find(quote, p + 1);
            if (end == std::u16string::npos) return tag.substr(p + 1);
            return tag.substr(p + 1, end - p - 1);
        }
        std::size_t end = p;
        while (end < tag.size() && tag[end] != u' ') ++end;
        return tag.substr(p, end - p);
    }
    return {};
}

bool starts_tag(const std::u16string& text, std::size_t at, const std::u16string& tag) {
    if (text.size() < at + tag.size()) return false;
    for (std::size_t i = 0; i < tag.size(); ++i) {
        char16_t c = text[at + i];
        if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
        if (c != tag[i]) return false;
    }
    return true;
}

wxColour link_colour() {
    const wxColour themed = wxSystemSettings::GetColour(wxSYS_COLOUR_HOTLIGHT);
    return themed.IsOk() ? themed : wxColour(0, 102, 204);
}

}  // namespace

rich_label::rich_label(wxWindow* parent, wxWindowID id, const std::u16string& text, const wxPoint& pos,
                       const wxSize& size, bool with_links, bool centre_vertically)
    : with_links_(with_links), centre_vertically_(centre_vertically) {
    // Paint no background of our own: GTK 3 has drawn the dialog's beneath.
    SetBackgroundStyle(wxBG_STYLE_PAINT);
    Create(parent, id, pos, size, wxBORDER_NONE);
    SetInitialSize(size);
    parse(text);
    SetCanFocus(AcceptsFocus());
    Bind(wxEVT_PAINT, &rich_label::on_paint, this);
    Bind(wxEVT_SIZE, &rich_label::on_size, this);
    Bind(wxEVT_MOTION, &rich_label::on_motion, this);
    Bind(wxEVT_LEFT_DOWN, &rich_label::on_left_down, this);
    Bind(wxEVT_LEFT_UP, &rich_label::on_left_up, this);
    Bind(wxEVT_LEAVE_WINDOW, [this](wxMouseEvent& event) {
        SetCursor(wxNullCursor);
        event.Skip();
    });
    Bind(wxEVT_KEY_DOWN, &rich_label::on_key_down, this);
    Bind(wxEVT_SET_FOCUS, &rich_label::on_focus, this);
    Bind(wxEVT_KILL_FOCUS, &rich_label::on_focus, this);
    relayout();
}

void rich_label::set_text(const std::u16string& text) {
    parse(text);
    SetCanFocus(AcceptsFocus());
    relayout();
    Refresh();
}

void rich_label::parse(const std::u16string& text) {
    text_ = text;
    runs_.clear();
    links_.clear();
    focused_link_ = 0;
    if (!with_links_) {
        runs_.push_back({text, -1});
        return;
    }
    std::u16string plain;
    std::size_t at = 0;
    while (at < text.size()) {
        if (starts_tag(text, at, u"<a") && at + 2 < text.size() && (text[at + 2] == u' ' || text[at + 2] == u'>')) {
            const std::size_t tag_end = text.find(u'>', at);
            const std::size_t close = tag_end == std::u16string::npos ? std::u16string::npos : [&] {
                for (std::size_t p = text.find(u'<', tag_end); p != std::u16string::npos; p = text.find(u'<', p + 1))
                    if (starts_tag(text, p, u"</a>")) return p;
                return std::u16string::npos;
            }();
            if (close != std::u16string::npos) {
                if (!plain.empty()) runs_.push_back({std::move(plain), -1});
                plain.clear();
                const std::u16string tag = text.substr(at + 2, tag_end - at - 2);
                links_.push_back({attribute(tag, u"id"), attribute(tag, u"href")});
                runs_.push_back({text.substr(tag_end + 1, close - tag_end - 1), static_cast<int>(links_.size()) - 1});
                at = close + 4;
                continue;
            }
        }
        plain += text[at++];
    }
    if (!plain.empty()) runs_.push_back({std::move(plain), -1});
}

std::u16string rich_label::visible_text() const {
    std::u16string shown;
    for (const run& r : runs_) shown += r.text;
    return shown;
}

bool rich_label::set_link_url(int index, const std::u16string& url) {
    if (index < 0 || index >= link_count()) return false;
    links_[static_cast<std::size_t>(index)].url = url;
    return true;
}

bool rich_label::set_link_id(int index, const std::u16string& id) {
    if (index < 0 || index >= link_count()) return false;
    links_[static_cast<std::size_t>(index)].id = id;
    return true;
}

const std::u16string* rich_label::link_url(int index) const {
    if (index < 0 || index >= link_count()) return nullptr;
    return &links_[static_cast<std::size_t>(index)].url;
}

const std::u16string* rich_label::link_id(int index) const {
    if (index < 0 || index >= link_count()) return nullptr;
    return &links_[static_cast<std::size_t>(index)].id;
}

void rich_label::relayout() {
    layout_.clear();
    wxClientDC dc(this);
    const wxFont plain_font = GetFont();
    wxFont link_font = plain_font;
    link_font.SetUnderlined(true);
    const int width = std::max(GetClientSize().x, 1);
    const int line_height = dc.GetCharHeight();
    int x = 0;
    int y = 0;
    for (const run& r : runs_) {
        dc.SetFont(r.link >= 0 ? link_font : plain_font);
        // Words keep their trailing spaces; a line breaks before a word that does not fit.
        std::size_t at = 0;
        while (at < r.text.size()) {
            if (r.text[at] == u'\n') {
                x = 0;
                y += line_height;
                ++at;
                continue;
            }
            std::size_t end = at;
            while (end < r.text.size() && r.text[end] != u' ' && r.text[end] != u'\n') ++end;
            const std::size_t word_end = end;
            while (end < r.text.size() && r.text[end] == u' ') ++end;
            const wxString word = to_wx(r.text.substr(at, word_end - at));
            const wxString spaces = to_wx(r.text.substr(word_end, end - word_end));
            const int word_width = dc.GetTextExtent(word).x;
            if (x > 0 && x + word_width > width) {
                x = 0;
                y += line_height;
            }
            if (!word.empty()) layout_.push_back({wxRect(x, y, word_width, line_height), word, r.link});
            x += word_width;
            if (!spaces.empty()) {
                const int space_width = dc.GetTextExtent(spaces).x;
                // Underline the space between two words of one link.
                if (r.link >= 0 && end < r.text.size())
                    layout_.push_back({wxRect(x, y, space_width, line_height), spaces, r.link});
                x += space_width;
            }
            at = end;
        }
    }
    if (centre_vertically_ && !layout_.empty()) {
        const int used = layout_.back().rect.GetBottom() + 1;
        const int offset = std::max(0, (GetClientSize().y - used) / 2);
        for (placed& p : layout_) p.rect.y += offset;
    }
}

wxSize rich_label::DoGetBestSize() const {
    wxClientDC dc(const_cast<rich_label*>(this));
    dc.SetFont(GetFont());
    return dc.GetTextExtent(to_wx(visible_text()));
}

int rich_label::link_at(const wxPoint& point) const {
    for (const placed& p : layout_)
        if (p.link >= 0 && p.rect.Contains(point)) return p.link;
    return -1;
}

bool rich_label::AcceptsFocus() const { return with_links_ && !links_.empty(); }

void rich_label::fire(int index) {
    if (index < 0 || index >= link_count()) return;
    focused_link_ = index;
    wxCommandEvent event(rich_label_link_event, GetId());
    event.SetEventObject(this);
    event.SetInt(index);
    ProcessWindowEvent(event);
}

void rich_label::activate_focused_link() { fire(focused_link_); }

void rich_label::on_paint(wxPaintEvent&) {
    wxPaintDC dc(this);
    const bool enabled = IsEnabled();
    const wxColour text_colour = enabled ? GetForegroundColour() : wxSystemSettings::GetColour(wxSYS_COLOUR_GRAYTEXT);
    const wxColour links = enabled ? link_colour() : text_colour;
    wxFont link_font = GetFont();
    link_font.SetUnderlined(true);
    dc.SetBackgroundMode(wxBRUSHSTYLE_TRANSPARENT);
    for (const placed& p : layout_) {
        dc.SetFont(p.link >= 0 ? link_font : GetFont());
        dc.SetTextForeground(p.link >= 0 ? links : text_colour);
        dc.DrawText(p.text, p.rect.GetTopLeft());
    }
    if (HasFocus() && with_links_) {
        wxRect focus;
        for (const placed& p : layout_)
            if (p.link == focused_link_) focus = focus.IsEmpty() ? p.rect : focus.Union(p.rect);
        if (!focus.IsEmpty()) {
            dc.SetBrush(*wxTRANSPARENT_BRUSH);
            dc.SetPen(wxPen(wxSystemSettings::GetColour(wxSYS_COLOUR_HIGHLIGHT), 1));
            dc.DrawRectangle(focus.Inflate(1, 0));
        }
    }
}

void rich_label::on_size(wxSizeEvent& event) {
    relayout();
    Refresh();
    event.Skip();
}

void rich_label::on_motion(wxMouseEvent& event) {
    SetCursor(link_at(event.GetPosition()) >= 0 ? wxCursor(wxCURSOR_HAND) : wxNullCursor);
    event.Skip();
}

void rich_label::on_left_down(wxMouseEvent& event) {
    pressed_link_ = link_at(event.GetPosition());
    if (pressed_link_ >= 0) {
        focused_link_ = pressed_link_;
        SetFocus();
        Refresh();
    }
    event.Skip();
}

void rich_label::on_left_up(wxMouseEvent& event) {
    const int released = link_at(event.GetPosition());
    if (released >= 0 && released == pressed_link_) fire(released);
    pressed_link_ = -1;
    event.Skip();
}

void rich_label::on_key_down(wxKeyEvent& event) {
    switch (event.GetKeyCode()) {
    case WXK_RETURN:
    case WXK_NUMPAD_ENTER:
    case WXK_SPACE: activate_focused_link(); return;
    case WXK_LEFT:
    case WXK_UP:
        if (focused_link_ > 0) --focused_link_;
        Refresh();
        return;
    case WXK_RIGHT:
    case WXK_DOWN:
        if (focused_link_ + 1 < link_count()) ++focused_link_;
        Refresh();
        return;
    default: event.Skip();
    }
}

void rich_label::on_focus(wxFocusEvent& event) {
    Refresh();
    event.Skip();
}
