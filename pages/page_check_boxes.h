#pragma once
// A page's check boxes as the settings map lists them, so that a page names
// none of its check boxes in its own data exchange.
#include "dialog/afxwin.h"
#include "installer/deployment_settings_map.h"

// DDX_Check for each check box of the page whose settings are `settings`,
// in the map's order.
template <class PageSettings>
void exchange_check_boxes(CDataExchange* dx, PageSettings& settings) {
    for (const auto& row : deployment::deployment_settings_map())
        if (row.check && row.page == deployment::page_of<PageSettings>)
            DDX_Check(dx, row.control, deployment::page_check(settings, row));
}
