#pragma once
// The material presets: the built-in list and the user's own, applied to the
// main dialog through the returned preset.
#include <optional>
#include <vector>

#include "settings/profile.h"
#include "support/win32/unique_handle.h"
#include "tools/presets.h"
#include "ui/win32/dialog.h"
#include "ids_tools.h"

namespace vantrel::win {

class PresetsDialog : public Dialog {
public:
    static constexpr int TemplateId = IDD_PRESETS;
    static constexpr int ColumnWidth = 175;

    // `currentSetup` is the main dialog's setup, offered to "Save Current Setup".
    PresetsDialog(HINSTANCE module, Profile& profile, MaterialPreset currentSetup)
        : module_(module), profile_(profile), current_(std::move(currentSetup)) {}
    // The chosen preset on "Use Selected Item"; nothing when left any other way.
    // User presets saved or deleted are stored whichever way it closes.
    std::optional<MaterialPreset> run(HWND owner);

protected:
    bool onInit() override;
    bool onCommand(int id, int notifyCode, HWND control) override;
    bool onMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;
    void onOk() override;
    void onDestroy() override;

private:
    HWND list() const { return item(IDC_PRESETS_LIST); }
    int selectedIndex() const;
    void append(const MaterialPreset& preset);
    void updateInformation();
    void saveCurrentSetup();
    void deleteSelected();

    HINSTANCE module_;
    Profile& profile_;
    MaterialPreset current_;
    // The list's items in list order; each item owns its copy.
    std::vector<MaterialPreset> items_;
    UniqueGdiObject strip_;
    std::optional<MaterialPreset> chosen_;
};

}  // namespace vantrel::win
