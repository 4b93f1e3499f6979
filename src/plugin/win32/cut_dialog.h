#pragma once
// The one window of a plug-in run.
#include "ui/win32/dialog.h"

namespace vantrel::win {

class PluginApp;

class CutDialog : public Dialog {
public:
    static constexpr int TemplateId = 9000;

    explicit CutDialog(PluginApp& app) : app_(app) {}
    // Runs modally, owned by `owner`; returns when the dialog has closed.
    void run(HWND owner);

protected:
    bool onInit() override;
    void onDestroy() override;
    // Enter does nothing: the dialog has no default button.
    void onOk() override {}

private:
    PluginApp& app_;
};

}  // namespace vantrel::win
