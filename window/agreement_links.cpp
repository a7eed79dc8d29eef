// The consent line: the agreement links' addresses, opening them, and the
// consent checkbox that enables "Generate MST File".
#include "window/agreement_links.h"

#include "window/deployment_dialog.h"

#include <algorithm>

bool is_web_address(std::u16string_view address) {
    auto starts_with_ignoring_case = [address](std::u16string_view prefix) {
        if (address.size() < prefix.size()) return false;
        return std::equal(prefix.begin(), prefix.end(), address.begin(), [](char16_t p, char16_t a) {
            if (a >= u'A' && a <= u'Z') a = static_cast<char16_t>(a - u'A' + u'a');
            return p == a;
        });
    };
    return starts_with_ignoring_case(u"http://") || starts_with_ignoring_case(u"https://");
}

bool CQuorlin_EnterpriseDeploymentDlg::set_agreement_link(const std::u16string& url, int link_index,
                                                          const std::u16string& control_text) {
    // The link control itself refuses addresses too long for it.
    if (!url.empty()) {
        agreement_link.SetItemUrl(link_index, url);
    } else if (auto address = href_from_markup(control_text)) {
        agreement_link.SetItemUrl(link_index, *address);
    }
    return true;
}

void CQuorlin_EnterpriseDeploymentDlg::open_agreement_link(NMHDR* notify, LRESULT* result) {
    const auto* link = reinterpret_cast<const NMLINK*>(notify);
    const auto* text = link->item.szUrl;
    const std::u16string url(text, std::find(text, text + L_MAX_URL_LENGTH, u'\0'));
    // The address comes from the package; only a web address goes to the shell.
    if (is_web_address(url)) {
        ShellExecuteW(nullptr, u"open", url.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    } else {
        AfxMessageBox(u"The link address is not a web address and was not opened.\n" + url, MB_ICONERROR);
    }
    *result = 0;
}

void CQuorlin_EnterpriseDeploymentDlg::on_consent_clicked() {
    generate_button.EnableWindow(consent_check.GetCheck() != BST_UNCHECKED);
}
