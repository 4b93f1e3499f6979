#pragma once
// Which build is running: name, file version, build time and the notice.
#include <string>

#include "ui/win32/dialog.h"
#include "ids_tools.h"

namespace vantrel::win {

// The file version of the module loaded under `moduleName`, three parts
// ("3.0.0"); "0.0.0" when it has no readable version resource.
std::string moduleVersionText(const std::wstring& moduleName);
// The time this library was built, as "Thu Mar 28 15:01:23 2013".
std::string libraryBuildTime();

class AboutDialog : public Dialog {
public:
    static constexpr int TemplateId = IDD_ABOUT;

    // `appName` is the library's file name without extension; its version is
    // read from the module of that name.
    AboutDialog(HINSTANCE module, std::wstring appName) : module_(module), appName_(std::move(appName)) {}
    void run(HWND owner) { runModal(module_, TemplateId, owner); }

protected:
    bool onInit() override;
    // Only "OK" (the cancel id), Escape and the close box close it.
    void onOk() override {}

private:
    HINSTANCE module_;
    std::wstring appName_;
};

}  // namespace vantrel::win
