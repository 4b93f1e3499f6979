#pragma once
// Asks for the name and blade depth of a new preset.
#include <array>
#include <string>

#include "support/win32/unique_handle.h"
#include "tools/presets.h"
#include "ui/win32/dialog.h"
#include "ui/win32/image_combo_box.h"
#include "ids_tools.h"

namespace vantrel::win {

class SavePresetDialog : public Dialog {
public:
    static constexpr int TemplateId = IDD_SAVE_PRESET;
    static constexpr int ItemHeight = 20;

    explicit SavePresetDialog(HINSTANCE module) : module_(module) {}
    // True on Save, with name() and depth() set; false on cancel.
    bool run(HWND owner);
    const std::u16string& name() const { return name_; }
    int depth() const { return depth_; }

protected:
    bool onInit() override;
    void onOk() override;
    void onDestroy() override;

private:
    HINSTANCE module_;
    // The entries point at these icons without owning them: they go with the window.
    std::array<UniqueGdiObject, PresetDepthCount> icons_;
    ImageComboBox depthList_{ItemHeight};
    std::u16string name_;
    int depth_ = 1;
};

}  // namespace vantrel::win
