// Icons by resource id, the desktop's standard icons, and painting them.
#include "icon_handle.h"
#include "paint_dc.h"
#include "resource_access.h"
#include "win_app.h"
#include "wnd.h"

#include <wx/artprov.h>
#include <wx/dcclient.h>
#include <wx/image.h>
#include <wx/mstream.h>

#include <map>
#include <memory>
#include <utility>

namespace {

std::unique_ptr<HICON__> from_resource(const std::vector<icon_image>& images) {
    if (wxImage::FindHandler(wxBITMAP_TYPE_PNG) == nullptr) wxImage::AddHandler(new wxPNGHandler);
    wxVector<wxBitmap> bitmaps;
    auto icon = std::make_unique<HICON__>();
    for (const icon_image& image : images) {
        wxMemoryInputStream stream(image.png.data(), image.png.size());
        wxImage decoded;
        if (!decoded.LoadFile(stream, wxBITMAP_TYPE_PNG)) continue;
        const wxBitmap bitmap(decoded);
        bitmaps.push_back(bitmap);
        wxIcon native;
        native.CopyFromBitmap(bitmap);
        icon->icons.AddIcon(native);
    }
    if (bitmaps.empty()) return nullptr;
    icon->bitmaps = wxBitmapBundle::FromBitmaps(bitmaps);
    return icon;
}

std::unique_ptr<HICON__> standard(UINT id) {
    wxArtID art;
    switch (id) {
    case IDI_HAND: art = wxART_ERROR; break;
    case IDI_QUESTION: art = wxART_QUESTION; break;
    case IDI_WARNING: art = wxART_WARNING; break;
    case IDI_INFORMATION: art = wxART_INFORMATION; break;
    default: return nullptr;
    }
    auto icon = std::make_unique<HICON__>();
    icon->bitmaps = wxArtProvider::GetBitmapBundle(art, wxART_MESSAGE_BOX, wxSize(32, 32));
    icon->icons.AddIcon(wxArtProvider::GetIcon(art, wxART_MESSAGE_BOX, wxSize(32, 32)));
    if (!icon->bitmaps.IsOk()) return nullptr;
    return icon;
}

}  // namespace

HICON AfxLoadIcon(UINT id) {
    // One icon object per source and id for the life of the process, as
    // Windows shares icons loaded from resources.
    // Never destroyed: bitmaps must not be released after the toolkit has ended.
    static auto& loaded = *new std::map<std::pair<const resource_source*, UINT>, std::unique_ptr<HICON__>>;
    const resource_source& source = current_resource_source();
    auto key = std::make_pair(&source, id);
    if (auto found = loaded.find(key); found != loaded.end()) return found->second.get();
    std::unique_ptr<HICON__> icon = from_resource(source.find_icon(static_cast<int>(id)));
    if (!icon) icon = standard(id);
    if (!icon) return nullptr;
    return (loaded[key] = std::move(icon)).get();
}

CDC::~CDC() = default;

BOOL CDC::DrawIcon(int x, int y, HICON icon) {
    if (!dc_ || !icon) return FALSE;
    const wxBitmap bitmap = icon->bitmaps.GetBitmap(wxSize(GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON)));
    if (!bitmap.IsOk()) return FALSE;
    dc_->DrawBitmap(bitmap, x, y, true);
    return TRUE;
}

CPaintDC::CPaintDC(CWnd* window) {
    if (window && window->native()) dc_ = std::make_unique<wxPaintDC>(window->native());
}
