#include "ui/win32/common_controls.h"

#include <windows.h>
#include <commctrl.h>

namespace vantrel::win {

bool registerCommonControls() {
    static const bool registered = [] {
        INITCOMMONCONTROLSEX classes = {sizeof(classes), ICC_STANDARD_CLASSES | ICC_BAR_CLASSES | ICC_PROGRESS_CLASS |
                                                             ICC_LISTVIEW_CLASSES | ICC_WIN95_CLASSES};
        return InitCommonControlsEx(&classes) != FALSE;
    }();
    return registered;
}

}  // namespace vantrel::win
