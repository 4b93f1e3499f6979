#include "tools/win32/save_preset_dialog.h"

#include "resource.h"
#include "tools/presets.h"
#include "tools/win32/depth_icons.h"

namespace vantrel::win {

namespace {
const wchar_t* const DepthTexts[] = {L"Sketch Pen", L"0.1 mm.", L"0.2 mm.", L"0.3 mm."};
}

bool SavePresetDialog::run(HWND owner) { return runModal(module_, TemplateId, owner) == IDOK; }

bool SavePresetDialog::onInit() {
    icons_ = loadDepthIcons(module_);
    HWND combo = item(IDC_SAVE_PRESET_DEPTH);
    // The entries are drawn with the bold form of the dialog's font.
    LOGFONTW font{};
    if (GetObjectW(reinterpret_cast<HFONT>(SendMessageW(hwnd(), WM_GETFONT, 0, 0)), sizeof font, &font)) {
        font.lfWeight = FW_BOLD;
        boldFont_.reset(CreateFontIndirectW(&font));
    }
    // The measure request of a fixed owner-drawn list arrives before the
    // dialog is attached, so both heights are set here.
    SendMessageW(combo, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), ItemHeight);
    SendMessageW(combo, CB_SETITEMHEIGHT, 0, ItemHeight);
    for (int i = 0; i < PresetDepthCount; ++i) {
        auto index = SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(DepthTexts[i]));
        SendMessageW(combo, CB_SETITEMDATA, index, i);
    }
    SendMessageW(combo, CB_SETCURSEL, 1, 0);
    return true;
}

void SavePresetDialog::onOk() {
    std::u16string name = trimPresetName(utf16(windowText(item(IDC_SAVE_PRESET_NAME))));
    if (name.empty()) {
        MessageBoxW(hwnd(), L"Please enter a name...", L"Error...", MB_OK | MB_ICONERROR);
        return;
    }
    // The record format has no escape for its separator and terminator: such a
    // name would come back cut short or split the stored presets.
    if (std::u16string problem = presetNameProblem(name); !problem.empty()) {
        MessageBoxW(hwnd(), wide(problem).c_str(), L"Error...", MB_OK | MB_ICONERROR);
        return;
    }
    auto selected = SendMessageW(item(IDC_SAVE_PRESET_DEPTH), CB_GETCURSEL, 0, 0);
    name_ = std::move(name);
    depth_ = selected == CB_ERR ? 1 : static_cast<int>(selected);
    end(IDOK);
}

bool SavePresetDialog::onMessage(UINT message, WPARAM, LPARAM lParam, INT_PTR& result) {
    if (message == WM_MEASUREITEM) {
        auto* measure = reinterpret_cast<MEASUREITEMSTRUCT*>(lParam);
        if (measure->CtlID != IDC_SAVE_PRESET_DEPTH) return false;
        measure->itemHeight = ItemHeight;
        result = TRUE;
        return true;
    }
    if (message == WM_DRAWITEM) {
        auto* draw = reinterpret_cast<DRAWITEMSTRUCT*>(lParam);
        if (draw->CtlID != IDC_SAVE_PRESET_DEPTH) return false;
        drawEntry(*draw);
        result = TRUE;
        return true;
    }
    return false;
}

void SavePresetDialog::drawEntry(const DRAWITEMSTRUCT& entry) {
    HDC dc = entry.hDC;
    RECT rect = entry.rcItem;
    const bool enabled = IsWindowEnabled(entry.hwndItem);
    FillRect(dc, &rect, GetSysColorBrush(enabled ? COLOR_WINDOW : COLOR_BTNFACE));
    if (entry.itemID == static_cast<UINT>(-1) || entry.itemID >= static_cast<UINT>(PresetDepthCount)) return;
    const int index = static_cast<int>(entry.itemID);
    int textLeft = rect.left + 6;
    if (HGDIOBJ icon = icons_[index].get()) {
        HDC source = CreateCompatibleDC(dc);
        if (source) {
            HGDIOBJ old = SelectObject(source, icon);
            int top = rect.top + (rect.bottom - rect.top - DepthIconSize) / 2;
            BitBlt(dc, rect.left + 2, top, DepthIconSize, DepthIconSize, source, 0, 0, SRCCOPY);
            SelectObject(source, old);
            DeleteDC(source);
        }
        textLeft = rect.left + DepthIconSize + 6;
    }
    RECT textRect{textLeft, rect.top, rect.right, rect.bottom};
    SetBkColor(dc, GetSysColor(enabled ? COLOR_WINDOW : COLOR_BTNFACE));
    SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    HGDIOBJ oldFont = boldFont_ ? SelectObject(dc, boldFont_.get()) : nullptr;
    DrawTextW(dc, DepthTexts[index], -1, &textRect, DT_SINGLELINE | DT_VCENTER | DT_LEFT | DT_NOPREFIX);
    if (oldFont) SelectObject(dc, oldFont);
    if ((entry.itemState & ODS_SELECTED) && (entry.itemAction & (ODA_DRAWENTIRE | ODA_SELECT))) DrawFocusRect(dc, &rect);
}

void SavePresetDialog::onDestroy() {
    for (auto& icon : icons_) icon.reset();
    boldFont_.reset();
}

}  // namespace vantrel::win
