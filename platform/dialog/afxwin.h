#pragma once
// The dialog framework in one include: windows, dialogs, controls, message
// tables, data exchange, the application object, the file dialog, message
// boxes and resources.
#include "controls.h"
#include "data_exchange.h"
#include "dialog.h"
#include "dialog_template.h"
#include "file_dialog.h"
#include "message_map.h"
#include "paint_dc.h"
#include "resource_access.h"
#include "resource_source.h"
#include "ui_services.h"
#include "win_app.h"
#include "windows_types.h"
#include "wnd.h"
