#include "control_factory.h"

#include "controls.h"
#include "icon_handle.h"
#include "parent_notification.h"
#include "rich_label.h"
#include "tree_view.h"
#include "win_app.h"
#include "window_record.h"
#include "wx_text.h"
#include "system/text_conversion.h"

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/statbmp.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/utils.h>

#include <algorithm>
#include <cstring>
#include <string>

namespace {

constexpr std::uint32_t BS_TYPEMASK = 0xF;
constexpr std::uint32_t BS_CHECKBOX = 0x2;
constexpr std::uint32_t BS_3STATE = 0x5;
constexpr std::uint32_t BS_AUTO3STATE = 0x6;
constexpr std::uint32_t SS_TYPEMASK = 0x1F;
constexpr std::uint32_t SS_CENTER = 0x1;
constexpr std::uint32_t SS_RIGHT = 0x2;
constexpr std::uint32_t SS_GRAYRECT = 0x5;
constexpr std::uint32_t SS_WHITERECT = 0x6;
constexpr std::uint32_t ES_MULTILINE = 0x4;
constexpr std::uint32_t ES_PASSWORD = 0x20;
constexpr std::uint32_t ES_READONLY = 0x800;
constexpr std::uint32_t TVS_HASBUTTONS = 0x1;
constexpr std::uint32_t TVS_HASLINES = 0x2;
constexpr UINT EN_CHANGE = 0x0300;
constexpr UINT CBN_SELCHANGE = 1;

HWND handle(wxWindow* window) { return reinterpret_cast<HWND>(window); }

template <class Control>
std::unique_ptr<CWnd> make_wrapper() {
    return std::make_unique<Control>();
}

// The wrapper class GetDlgItem hands out for a control of template class `class_name`.
decltype(window_record::make_wrapper) wrapper_maker(const std::u16string& class_name, std::uint32_t style) {
    if (class_name == WC_BUTTON) return &make_wrapper<CButton>;
    if (class_name == WC_EDIT) return &make_wrapper<CEdit>;
    if (class_name == WC_COMBOBOX) return &make_wrapper<CComboBox>;
    if (class_name == WC_TREEVIEW) return &make_wrapper<CTreeCtrl>;
    if (class_name == WC_LINK) return &make_wrapper<CLinkCtrl>;
    const std::uint32_t kind = style & SS_TYPEMASK;
    if (class_name == WC_STATIC && kind != SS_BLACKRECT && kind != SS_GRAYRECT && kind != SS_WHITERECT)
        return &make_wrapper<CStatic>;
    return nullptr;  // coloured blocks are plain windows
}

// A coloured block (a frame others are laid over) is drawn, never focused,
// whatever its template's tab stop says.
class colour_block : public wxWindow {
public:
    using wxWindow::wxWindow;
    bool AcceptsFocus() const override { return false; }
    bool AcceptsFocusFromKeyboard() const override { return false; }
};

void copy_text(char16_t* target, std::size_t capacity, const std::u16string& text) {
    const std::size_t n = std::min(text.size(), capacity - 1);
    std::copy_n(text.data(), n, target);
    target[n] = u'\0';
}

wxWindow* create_button(wxWindow* parent, const control_template& c, const wxRect& rect) {
    const std::uint32_t kind = c.style & BS_TYPEMASK;
    const wxString caption = to_wx(c.caption);
    if (kind == BS_GROUPBOX) return new wxStaticBox(parent, c.id, caption, rect.GetPosition(), rect.GetSize());
    if (kind == BS_AUTOCHECKBOX || kind == BS_CHECKBOX || kind == BS_3STATE || kind == BS_AUTO3STATE) {
        const long style = (kind == BS_3STATE || kind == BS_AUTO3STATE) ? wxCHK_3STATE : wxCHK_2STATE;
        auto* box = new wxCheckBox(parent, c.id, caption, rect.GetPosition(), rect.GetSize(), style);
        box->Bind(wxEVT_CHECKBOX, [box](wxCommandEvent&) { notify_parent(box, WM_COMMAND, BN_CLICKED); });
        return box;
    }
    auto* button = new wxButton(parent, c.id, caption, rect.GetPosition(), rect.GetSize());
    button->Bind(wxEVT_BUTTON, [button](wxCommandEvent&) { notify_parent(button, WM_COMMAND, BN_CLICKED); });
    return button;
}

wxWindow* create_static(wxWindow* parent, const control_template& c, const wxRect& rect) {
    const std::uint32_t kind = c.style & SS_TYPEMASK;
    if (kind == SS_ICON) {
        // "#<id>": an icon resource, or one of the desktop's standard icons.
        HICON icon = nullptr;
        if (c.caption.size() > 1 && c.caption[0] == u'#')
            icon = AfxLoadIcon(static_cast<UINT>(std::stoul(sys::utf16_to_utf8(c.caption.substr(1)))));
        wxBitmap image = icon ? icon->bitmaps.GetBitmap(wxSize(32, 32)) : wxBitmap();
        // Like the Windows control, an icon static takes the size of its icon.
        const wxSize size = image.IsOk() ? image.GetSize() : rect.GetSize();
        return new wxStaticBitmap(parent, c.id, image.IsOk() ? wxBitmapBundle(image) : wxBitmapBundle(),
                                  rect.GetPosition(), size);
    }
    if (kind == SS_BLACKRECT || kind == SS_GRAYRECT || kind == SS_WHITERECT) {
        auto* block = new colour_block(parent, c.id, rect.GetPosition(), rect.GetSize(), wxBORDER_NONE);
        block->SetBackgroundColour(kind == SS_BLACKRECT ? *wxBLACK : kind == SS_WHITERECT ? *wxWHITE : *wxLIGHT_GREY);
        return block;
    }
    if (c.style & SS_CENTERIMAGE)
        return new rich_label(parent, c.id, c.caption, rect.GetPosition(), rect.GetSize(), false, true);
    long align = wxALIGN_LEFT;
    if (kind == SS_CENTER) align = wxALIGN_CENTRE_HORIZONTAL;
    if (kind == SS_RIGHT) align = wxALIGN_RIGHT;
    auto* label = new wxStaticText(parent, c.id, to_wx(c.caption), rect.GetPosition(), rect.GetSize(),
                                   align | wxST_NO_AUTORESIZE);
    // A one-line label whose text is wider than its rectangle in this font
    // would wrap out of sight: it keeps its left edge and grows to the right.
    const wxSize natural = label->GetBestSize();
    if (kind == SS_LEFT && natural.x > rect.width && rect.height < 2 * label->GetCharHeight() &&
        c.caption.find(u'\n') == std::u16string::npos)
        label->SetSize(natural.x, rect.height);
    else
        label->Wrap(rect.width);
    return label;
}

wxWindow* create_edit(wxWindow* parent, const control_template& c, const wxRect& rect) {
    long style = 0;
    if (c.style & ES_MULTILINE) style |= wxTE_MULTILINE;
    if (c.style & ES_PASSWORD) style |= wxTE_PASSWORD;
    if (c.style & ES_READONLY) style |= wxTE_READONLY;
    auto* edit = new wxTextCtrl(parent, c.id, to_wx(c.caption), rect.GetPosition(), rect.GetSize(), style);
    edit->Bind(wxEVT_TEXT, [edit](wxCommandEvent&) {
        window_record& record = record_of(edit);
        std::u16string now = from_wx(edit->GetValue());
        // The limit refuses typing and pasting only; the program may set longer texts.
        if (record.text_limit != 0 && now.size() > record.text_limit && now.size() > record.accepted_text.size()) {
            const long grown = static_cast<long>(now.size() - record.accepted_text.size());
            const long caret = std::max(0L, edit->GetInsertionPoint() - grown);
            edit->ChangeValue(to_wx(record.accepted_text));
            edit->SetInsertionPoint(std::min(caret, edit->GetLastPosition()));
            wxBell();
            return;
        }
        record.accepted_text = std::move(now);
        notify_parent(edit, WM_COMMAND, EN_CHANGE);
    });
    return edit;
}

wxWindow* create_combo(wxWindow* parent, const control_template& c, const wxRect& rect) {
    // The template's height is that of the dropped list; the closed control
    // takes the height its font needs, as on Windows.
    auto* list = new wxChoice(parent, c.id, rect.GetPosition(), wxSize(rect.width, -1));
    list->SetSize(rect.width, list->GetBestSize().y);
    list->Bind(wxEVT_CHOICE, [list](wxCommandEvent&) { notify_parent(list, WM_COMMAND, CBN_SELCHANGE); });
    return list;
}

TVITEMW item_record(wxTreeCtrl* tree, const wxTreeItemId& item) {
    TVITEMW record{};
    record.mask = TVIF_PARAM;
    record.hItem = reinterpret_cast<HTREEITEM>(item.GetID());
    if (item.IsOk())
        if (auto* param = dynamic_cast<tree_item_param*>(tree->GetItemData(item)))
            record.lParam = static_cast<LPARAM>(param->value);
    return record;
}

wxWindow* create_tree(wxWindow* parent, const control_template& c, const wxRect& rect) {
    long style = wxTR_HIDE_ROOT | wxTR_SINGLE;
    if (!(c.style & TVS_HASLINES)) style |= wxTR_NO_LINES;
    if (!(c.style & TVS_HASBUTTONS)) style |= wxTR_NO_BUTTONS;
    style |= (c.style & WS_BORDER) ? wxBORDER_THEME : wxBORDER_NONE;
    auto* tree = new tree_view(parent, c.id, rect.GetPosition(), rect.GetSize(), style);
    if (!(c.style & (TVS_HASLINES | TVS_HASBUTTONS))) tree->SetIndent(0);
    tree->AddRoot(wxString());
    // The hidden root is no item of ours: the toolkit's tree selects it when
    // idle and nothing is selected, which a Windows tree never does.
    tree->Bind(wxEVT_TREE_SEL_CHANGING, [tree](wxTreeEvent& event) {
        if (event.GetItem() == tree->GetRootItem())
            event.Veto();
        else
            event.Skip();
    });
    tree->Bind(wxEVT_TREE_SEL_CHANGED, [tree](wxTreeEvent& event) {
        if (event.GetItem() == tree->GetRootItem()) return;
        NMTREEVIEWW notify{};
        notify.hdr = {handle(tree), static_cast<UINT_PTR>(record_of(tree).id), TVN_SELCHANGEDW};
        notify.action = TVC_UNKNOWN;
        notify.itemOld = item_record(tree, event.GetOldItem());
        notify.itemNew = item_record(tree, event.GetItem());
        notify_parent(tree, WM_NOTIFY, TVN_SELCHANGEDW, &notify.hdr);
    });
    return tree;
}

wxWindow* create_link(wxWindow* parent, const control_template& c, const wxRect& rect) {
    auto* link = new rich_label(parent, c.id, c.caption, rect.GetPosition(), rect.GetSize(), true, false);
    link->Bind(rich_label_link_event, [link](wxCommandEvent& event) {
        const int index = event.GetInt();
        auto notify = std::make_unique<NMLINK>();
        notify->hdr = {handle(link), static_cast<UINT_PTR>(record_of(link).id), NM_CLICK};
        notify->item.mask = LIF_ITEMINDEX | LIF_ITEMID | LIF_URL;
        notify->item.iLink = index;
        if (const std::u16string* id = link->link_id(index)) copy_text(notify->item.szID, MAX_LINKID_TEXT, *id);
        if (const std::u16string* url = link->link_url(index)) copy_text(notify->item.szUrl, L_MAX_URL_LENGTH, *url);
        notify_parent(link, WM_NOTIFY, NM_CLICK, &notify->hdr);
    });
    return link;
}

}  // namespace

wxWindow* create_control(wxWindow* parent, const control_template& c, const wxRect& rect) {
    wxWindow* window = nullptr;
    if (c.class_name == WC_BUTTON)
        window = create_button(parent, c, rect);
    else if (c.class_name == WC_STATIC)
        window = create_static(parent, c, rect);
    else if (c.class_name == WC_EDIT)
        window = create_edit(parent, c, rect);
    else if (c.class_name == WC_COMBOBOX)
        window = create_combo(parent, c, rect);
    else if (c.class_name == WC_TREEVIEW)
        window = create_tree(parent, c, rect);
    else if (c.class_name == WC_LINK)
        window = create_link(parent, c, rect);
    if (!window) return nullptr;

    window_record& record = record_of(window);
    record.id = c.id;
    record.style = c.style;
    record.class_name = c.class_name;
    record.text = c.caption;
    record.accepted_text = c.caption;
    record.make_wrapper = wrapper_maker(c.class_name, c.style);
    if (c.style & WS_DISABLED) window->Disable();
    if (!(c.style & WS_VISIBLE)) window->Hide();
    return window;
}
