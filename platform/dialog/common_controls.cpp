// Windows calls that have nothing to do on this platform, and fixed metrics.
#include "windows_types.h"

// Controls are registered by the toolkit itself.
BOOL InitCommonControlsEx(const INITCOMMONCONTROLSEX* init) { return init ? TRUE : FALSE; }

int GetSystemMetrics(int index) {
    switch (index) {
    case SM_CXICON:
    case SM_CYICON: return 32;
    default: return 0;
    }
}
