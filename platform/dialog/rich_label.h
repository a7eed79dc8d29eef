#pragma once
// A label drawn by the framework: a sentence wrapped to the control's width,
// optionally centred vertically, in which <a id="...">text</a> parts are
// links. The toolkit has no label with several links; this one draws links
// in the theme's link colour, takes one Tab stop, and reports a click (mouse,
// or Enter / Space on the focused link) as rich_label_link_event with the
// link's index.
#include <wx/control.h>

#include <string>
#include <vector>

wxDECLARE_EVENT(rich_label_link_event, wxCommandEvent);

class rich_label : public wxControl {
public:
    rich_label(wxWindow* parent, wxWindowID id, const std::u16string& text, const wxPoint& pos, const wxSize& size,
               bool with_links, bool centre_vertically);

    void set_text(const std::u16string& text);
    const std::u16string& text() const { return text_; }
    int link_count() const { return static_cast<int>(links_.size()); }
    bool set_link_url(int index, const std::u16string& url);
    bool set_link_id(int index, const std::u16string& id);
    const std::u16string* link_url(int index) const;
    const std::u16string* link_id(int index) const;
    // What the sentence shows, without markup.
    std::u16string visible_text() const;
    // Screen-independent hit test in client coordinates: the link index or -1.
    int link_at(const wxPoint& point) const;
    void activate_focused_link();

    // A label with links is a Tab stop while shown and enabled. The toolkit
    // fixes its Tab chain once, from what the controls say then, and skips
    // hidden and disabled ones itself: the answer must not depend on them,
    // or a link shown later is never reached by Tab.
    bool AcceptsFocus() const override;
    bool AcceptsFocusFromKeyboard() const override { return with_links_; }
    wxSize DoGetBestSize() const override;

private:
    struct run {
        std::u16string text;
        int link = -1;
    };
    struct link {
        std::u16string id;
        std::u16string url;
    };
    struct placed {
        wxRect rect;
        wxString text;
        int link;
    };

    void parse(const std::u16string& text);
    void relayout();
    void fire(int index);
    void on_paint(wxPaintEvent& event);
    void on_size(wxSizeEvent& event);
    void on_motion(wxMouseEvent& event);
    void on_left_down(wxMouseEvent& event);
    void on_left_up(wxMouseEvent& event);
    void on_key_down(wxKeyEvent& event);
    void on_focus(wxFocusEvent& event);

    bool with_links_;
    bool centre_vertically_;
    std::u16string text_;
    std::vector<run> runs_;
    std::vector<link> links_;
    std::vector<placed> layout_;
    int focused_link_ = 0;
    int pressed_link_ = -1;
};
