#include "ui/win32/common_controls.h"

#include <windows.h>
#include <commctrl.h>

#include "ui/win32/activation_context.h"

namespace vantrel::win {

bool registerCommonControls() {
    static const bool registered = [] {
        // Registers the version our manifest asks for.
        ActivationScope themed;
        INITCOMMONCONTROLSEX classes = {sizeof(classes), ICC_STANDARD_CLASSES | ICC_BAR_CLASSES | ICC_PROGRESS_CLASS |
                                                             ICC_LISTVIEW_CLASSES | ICC_WIN95_CLASSES};
        return InitCommonControlsEx(&classes) != FALSE;
    }();
    return registered;
}

}  // namespace vantrel::win
