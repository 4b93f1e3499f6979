#include "tools/win32/presets_dialog.h"

#include <commctrl.h>

#include "log/win32/diagnostics_run.h"
#include "resource.h"
#include "settings/settings.h"
#include "tools/win32/depth_icons.h"
#include "tools/win32/save_preset_dialog.h"
#include "ui/control_layout.h"
#include "ui/win32/dpi.h"
#include "ui/win32/resource_image.h"

namespace vantrel::win {

std::optional<MaterialPreset> PresetsDialog::run(HWND owner) {
    INITCOMMONCONTROLSEX classes{sizeof classes, ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&classes);
    chosen_.reset();
    items_.clear();
    if (runModal(module_, TemplateId, owner) != IDOK) return std::nullopt;
    return chosen_;
}

bool PresetsDialog::onInit() {
    HWND view = list();
    strip_ = loadDepthStrip(module_);
    // The discs grow with the list's text.
    const int dpi = windowDpi(view), iconSize = ui::scaled(DepthIconSize, dpi);
    if (strip_ && iconSize != DepthIconSize)
        strip_ = stretchedCopy(static_cast<HBITMAP>(strip_.get()), iconSize * PresetDepthCount, iconSize);
    if (HIMAGELIST images = ImageList_Create(iconSize, iconSize, ILC_COLOR32 | ILC_MASK, 4, 4)) {
        if (strip_) ImageList_AddMasked(images, static_cast<HBITMAP>(strip_.get()), RGB(255, 255, 255));
        // The list destroys its image list with itself.
        ListView_SetImageList(view, images, LVSIL_SMALL);
    }
    ListView_SetExtendedListViewStyle(view, LVS_EX_FULLROWSELECT);
    LVCOLUMNW column{};
    column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT;
    column.fmt = LVCFMT_LEFT;
    // Designed at 96 dots per inch; the list itself grows with the display.
    column.cx = ui::scaled(ColumnWidth, dpi);
    column.pszText = const_cast<wchar_t*>(L"Description");
    ListView_InsertColumn(view, 0, &column);

    for (const auto& preset : builtInPresets()) append(preset);
    for (const auto& preset : decodePresets(profile_.readText(PresetsSetting, u""))) append(preset);

    ListView_SetItemState(view, 0, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    updateInformation();
    return true;
}

void PresetsDialog::append(const MaterialPreset& preset) {
    std::wstring name = wide(preset.name);
    LVITEMW entry{};
    entry.mask = LVIF_TEXT | LVIF_IMAGE;
    entry.iItem = static_cast<int>(items_.size());
    entry.pszText = name.data();
    entry.iImage = preset.depth;
    items_.push_back(preset);
    if (ListView_InsertItem(list(), &entry) < 0) items_.pop_back();
}

int PresetsDialog::selectedIndex() const {
    int index = ListView_GetNextItem(list(), -1, LVNI_SELECTED);
    return index >= 0 && index < static_cast<int>(items_.size()) ? index : -1;
}

void PresetsDialog::updateInformation() {
    int index = selectedIndex();
    HWND info = item(IDC_PRESETS_INFO);
    if (index < 0) {
        SetWindowTextW(info, L"");
        EnableWindow(item(IDOK), FALSE);
        return;
    }
    SetWindowTextW(info, wide(presetInfoText(items_[index])).c_str());
    EnableWindow(item(IDOK), TRUE);
}

bool PresetsDialog::onCommand(int id, int notifyCode, HWND control) {
    if (id == IDC_PRESETS_SAVE_CURRENT && notifyCode == BN_CLICKED) {
        saveCurrentSetup();
        return true;
    }
    return Dialog::onCommand(id, notifyCode, control);
}

void PresetsDialog::onOk() {
    int index = selectedIndex();
    if (index < 0) {
        logMessageShown(L"Please select a preset from the list!");
        MessageBoxW(hwnd(), L"Please select a preset from the list!", L"Error...", MB_OK | MB_ICONERROR);
        return;
    }
    chosen_ = items_[index];
    end(IDOK);
}

void PresetsDialog::saveCurrentSetup() {
    SavePresetDialog ask(module_);
    if (!ask.run(hwnd())) return;
    MaterialPreset preset = current_;
    preset.name = ask.name();
    preset.depth = ask.depth();
    preset.builtIn = false;
    append(preset);
    // One setup per opening: the current setup does not change while we are open.
    EnableWindow(item(IDC_PRESETS_SAVE_CURRENT), FALSE);
}

void PresetsDialog::deleteSelected() {
    int index = selectedIndex();
    if (index < 0 || items_[index].builtIn) return;
    std::wstring question = wide(deletePresetQuestion(items_[index].name));
    if (MessageBoxW(hwnd(), question.c_str(), L"Confirm...", MB_YESNO | MB_ICONQUESTION) != IDYES) return;
    if (ListView_DeleteItem(list(), index)) items_.erase(items_.begin() + index);
    updateInformation();
}

bool PresetsDialog::onMessage(UINT message, WPARAM, LPARAM lParam, INT_PTR&) {
    if (message != WM_NOTIFY) return false;
    const auto* header = reinterpret_cast<const NMHDR*>(lParam);
    if (header->idFrom != IDC_PRESETS_LIST) return false;
    if (header->code == LVN_ITEMCHANGED) {
        updateInformation();
        return false;
    }
    if (header->code == LVN_KEYDOWN && reinterpret_cast<const NMLVKEYDOWN*>(lParam)->wVKey == VK_DELETE) {
        deleteSelected();
        return false;
    }
    return false;
}

void PresetsDialog::onDestroy() {
    // Saved and deleted presets persist however the dialog is left.
    profile_.writeText(PresetsSetting, encodePresets(items_));
    ListView_DeleteAllItems(list());
    items_.clear();
    strip_.reset();
}

}  // namespace vantrel::win
