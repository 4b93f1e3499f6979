#include "tools/win32/save_preset_dialog.h"

#include "log/win32/diagnostics_run.h"
#include "resource.h"
#include "tools/win32/depth_icons.h"
#include "ui/win32/controls.h"

namespace vantrel::win {

namespace {
const wchar_t* const DepthTexts[PresetDepthCount] = {L"Sketch Pen", L"0.1 mm.", L"0.2 mm.", L"0.3 mm."};
}

bool SavePresetDialog::run(HWND owner) { return runModal(module_, TemplateId, owner) == IDOK; }

bool SavePresetDialog::onInit() {
    icons_ = loadDepthIcons(module_);
    // The list draws each entry's icon and its text in the bold form of the dialog's font.
    depthList_.attach(hwnd(), IDC_SAVE_PRESET_DEPTH);
    for (int i = 0; i < PresetDepthCount; ++i)
        depthList_.addEntry(DepthTexts[i], static_cast<HBITMAP>(icons_[i].get()));
    DropDownList(hwnd(), IDC_SAVE_PRESET_DEPTH).select(1);
    return true;
}

void SavePresetDialog::onOk() {
    std::u16string name = trimPresetName(utf16(windowText(item(IDC_SAVE_PRESET_NAME))));
    if (name.empty()) {
        logMessageShown(L"Please enter a name...");
        MessageBoxW(hwnd(), L"Please enter a name...", L"Error...", MB_OK | MB_ICONERROR);
        return;
    }
    // The record format has no escape for its separator and terminator: such a
    // name would come back cut short or split the stored presets.
    if (std::u16string problem = presetNameProblem(name); !problem.empty()) {
        logMessageShown(wide(problem).c_str());
        MessageBoxW(hwnd(), wide(problem).c_str(), L"Error...", MB_OK | MB_ICONERROR);
        return;
    }
    int selected = DropDownList(hwnd(), IDC_SAVE_PRESET_DEPTH).selection();
    name_ = std::move(name);
    depth_ = selected < 0 ? 1 : selected;
    end(IDOK);
}

void SavePresetDialog::onDestroy() {
    // The list stops drawing before the icons it shows are deleted.
    depthList_.detach();
    for (auto& icon : icons_) icon.reset();
}

}  // namespace vantrel::win
