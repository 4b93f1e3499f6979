#include "plugin/win32/cut_dialog.h"

#include "plugin/win32/plugin_app.h"
#include "resource.h"
#include "support/win32/resource_text.h"
#include "ui/win32/common_controls.h"

namespace vantrel::win {

void CutDialog::run(HWND owner) {
    // The template holds sliders and a progress bar; their classes must exist first.
    registerCommonControls();
    runModal(app_.resources(), TemplateId, owner);
}

bool CutDialog::onInit() {
    app_.setMainWindow(hwnd());
    SetWindowTextW(hwnd(), loadResourceString(app_.resources(), IDS_CUT_DIALOG_TITLE).c_str());
    return true;
}

void CutDialog::onDestroy() {
    if (app_.mainWindow() == hwnd()) app_.setMainWindow(nullptr);
}

}  // namespace vantrel::win
