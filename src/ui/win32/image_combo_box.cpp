#include "ui/win32/image_combo_box.h"

#include <commctrl.h>

#include <algorithm>

#include "support/win32/gdi_owners.h"
#include "ui/control_layout.h"
#include "ui/win32/controls.h"
#include "ui/win32/dpi.h"

namespace vantrel::win {

namespace {

UniqueGdiObject boldFormOf(HFONT font) {
    LOGFONTW description = {};
    if (!font) font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    GetObjectW(font, sizeof(description), &description);
    description.lfWeight = FW_BOLD;
    return UniqueGdiObject(CreateFontIndirectW(&description));
}

}  // namespace

ImageComboBox::~ImageComboBox() { detach(); }

void ImageComboBox::onAttach() {
    dpi_ = windowDpi(hwnd());
    itemHeight_ = ui::scaled(designItemHeight_, dpi_);
    // The selection field as tall as the entries; the list's height was asked
    // for at creation, before we were here, so it is set as well.
    DropDownList(hwnd()).setRowHeight(-1, itemHeight_);
    DropDownList(hwnd()).setRowHeight(0, itemHeight_);
    subclassedParent_ = parent();
    if (subclassedParent_)
        SetWindowSubclass(subclassedParent_, &ImageComboBox::parentProc, reinterpret_cast<UINT_PTR>(this),
                          reinterpret_cast<DWORD_PTR>(this));
}

void ImageComboBox::onDetach() {
    if (subclassedParent_)
        RemoveWindowSubclass(subclassedParent_, &ImageComboBox::parentProc, reinterpret_cast<UINT_PTR>(this));
    subclassedParent_ = nullptr;
    if (hwnd() && IsWindow(hwnd())) {
        // The rows point at our records; clear them before the records go.
        int rows = count();
        for (int i = 0; i < rows; ++i) DropDownList(hwnd()).setRowData(i, 0);
    }
    entries_.clear();
}

int ImageComboBox::addEntry(const std::wstring& text, HBITMAP bitmap, const std::wstring& secondText,
                            std::optional<COLORREF> colour, const std::wstring& faceName) {
    if (!hwnd()) return -1;
    auto record = std::make_unique<Entry>();
    record->bitmap = bitmap;
    record->text = text;
    record->secondText = secondText;
    record->colour = colour ? *colour : GetSysColor(COLOR_WINDOWTEXT);
    HFONT controlFont = reinterpret_cast<HFONT>(SendMessageW(hwnd(), WM_GETFONT, 0, 0));
    if (faceName.empty()) {
        record->font = boldFormOf(controlFont);
    } else {
        LOGFONTW description = {};
        GetObjectW(controlFont ? controlFont : GetStockObject(DEFAULT_GUI_FONT), sizeof(description), &description);
        lstrcpynW(description.lfFaceName, faceName.c_str(), LF_FACESIZE);
        description.lfHeight = -std::max(ui::scaled(8, dpi_), itemHeight_ - ui::scaled(6, dpi_));
        description.lfWidth = 0;
        description.lfQuality = CLEARTYPE_QUALITY;
        record->font.reset(CreateFontIndirectW(&description));
    }
    DropDownList list(hwnd());
    int index = list.addRow(text.c_str());
    if (index < 0) return -1;
    list.setRowData(index, reinterpret_cast<LPARAM>(record.get()));
    entries_.push_back(std::move(record));
    return index;
}

int ImageComboBox::count() const {
    return DropDownList(hwnd()).count();
}

const ImageComboBox::Entry* ImageComboBox::entry(int index) const {
    if (!hwnd() || index < 0 || index >= count()) return nullptr;
    LPARAM data = DropDownList(hwnd()).rowData(index);
    if (data == 0) return nullptr;
    auto* record = reinterpret_cast<const Entry*>(data);
    // Only records we made and still hold are handed out.
    for (const auto& e : entries_)
        if (e.get() == record) return record;
    return nullptr;
}

void ImageComboBox::forget(const Entry* record) {
    auto found = std::find_if(entries_.begin(), entries_.end(), [&](const auto& e) { return e.get() == record; });
    if (found == entries_.end()) return;
    entries_.erase(found);
}

bool ImageComboBox::onMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    if ((message == WM_KEYDOWN && wParam == VK_DELETE) || message == WM_RBUTTONDOWN)
        SendMessageW(parent(), WM_IMAGE_COMBO_DELETE, static_cast<WPARAM>(id()), 0);
    (void)lParam;
    (void)result;
    return false;
}

LRESULT CALLBACK ImageComboBox::parentProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                           DWORD_PTR reference) {
    auto* self = reinterpret_cast<ImageComboBox*>(reference);
    try {
        const int ownId = self->id();
        switch (message) {
            case WM_DRAWITEM: {
                auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
                if (item && item->CtlType == ODT_COMBOBOX && static_cast<int>(item->CtlID) == ownId) {
                    self->draw(*item);
                    return TRUE;
                }
                break;
            }
            case WM_MEASUREITEM: {
                auto* item = reinterpret_cast<MEASUREITEMSTRUCT*>(lParam);
                if (item && item->CtlType == ODT_COMBOBOX && static_cast<int>(item->CtlID) == ownId) {
                    item->itemHeight = static_cast<UINT>(self->itemHeight_);
                    return TRUE;
                }
                break;
            }
            case WM_DELETEITEM: {
                auto* item = reinterpret_cast<const DELETEITEMSTRUCT*>(lParam);
                if (item && item->CtlType == ODT_COMBOBOX && static_cast<int>(item->CtlID) == ownId) {
                    self->forget(reinterpret_cast<const Entry*>(item->itemData));
                    return TRUE;
                }
                break;
            }
            default:
                break;
        }
    } catch (...) {
        // Drawing failed: the dialog carries on with the default handling.
    }
    return DefSubclassProc(hwnd, message, wParam, lParam);
}

void ImageComboBox::draw(const DRAWITEMSTRUCT& item) {
    HDC dc = item.hDC;
    const bool enabled = IsWindowEnabled(hwnd()) != FALSE;
    const COLORREF background = GetSysColor(enabled ? COLOR_WINDOW : COLOR_BTNFACE);
    RECT area = item.rcItem;

    // No highlight fill: the row is always redrawn on the plain background and
    // the selection shows as a focus rectangle.
    UniqueGdiObject fill(CreateSolidBrush(background));
    FillRect(dc, &area, static_cast<HBRUSH>(fill.get()));
    if (item.itemID == static_cast<UINT>(-1)) return;

    const Entry* record = entry(static_cast<int>(item.itemID));
    BITMAP picture = {};
    if (record && record->bitmap) GetObjectW(record->bitmap, sizeof(picture), &picture);
    const bool hasSecond = record && !record->secondText.empty();
    // Pictures are made at 96 dots per inch and grow with the list.
    const int shownWidth = ui::scaled(picture.bmWidth, dpi_), shownHeight = ui::scaled(picture.bmHeight, dpi_);
    ui::ComboEntryLayout layout = ui::layoutComboEntry({area.left, area.top, area.right, area.bottom}, shownWidth,
                                                       shownHeight, hasSecond, dpi_);
    if (record && record->bitmap)
        drawPicture(dc, record->bitmap, picture, layout.bitmapLeft, layout.bitmapTop, shownWidth, shownHeight);

    SetBkMode(dc, OPAQUE);
    SetBkColor(dc, background);
    SetTextColor(dc, record ? record->colour : GetSysColor(COLOR_WINDOWTEXT));
    RECT textArea = {layout.text.left, layout.text.top, layout.text.right, layout.text.bottom};
    drawTexts(dc, record, record ? record->text : rowText(item.itemID), textArea);

    if ((item.itemState & ODS_SELECTED) && (item.itemAction & (ODA_DRAWENTIRE | ODA_SELECT))) DrawFocusRect(dc, &area);
}

std::wstring ImageComboBox::rowText(UINT row) const {
    // A row added with CB_ADDSTRING by someone else: show its text plainly.
    return DropDownList(hwnd()).rowText(static_cast<int>(row));
}

void ImageComboBox::drawPicture(HDC dc, HBITMAP bitmap, const BITMAP& picture, int left, int top, int width,
                                int height) const {
    UniqueMemoryDc source(CreateCompatibleDC(dc));
    SelectedObject selected(source.get(), bitmap);
    if (!selected) return;
    if (width == picture.bmWidth && height == picture.bmHeight) {
        BitBlt(dc, left, top, picture.bmWidth, picture.bmHeight, source.get(), 0, 0, SRCCOPY);
        return;
    }
    int previousMode = SetStretchBltMode(dc, HALFTONE);
    POINT origin;
    SetBrushOrgEx(dc, 0, 0, &origin);
    StretchBlt(dc, left, top, width, height, source.get(), 0, 0, picture.bmWidth, picture.bmHeight, SRCCOPY);
    SetBrushOrgEx(dc, origin.x, origin.y, nullptr);
    SetStretchBltMode(dc, previousMode);
}

void ImageComboBox::drawTexts(HDC dc, const Entry* record, const std::wstring& text, RECT area) const {
    HFONT controlFont = reinterpret_cast<HFONT>(SendMessageW(hwnd(), WM_GETFONT, 0, 0));
    UniqueGdiObject fallbackBold;
    HGDIOBJ font = record && record->font ? record->font.get() : nullptr;
    if (!font) {
        fallbackBold = boldFormOf(controlFont);
        font = fallbackBold.get();
    }
    SelectedObject first(dc, font);
    if (!record || record->secondText.empty()) {
        DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &area, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
        return;
    }
    TEXTMETRICW metrics = {};
    GetTextMetricsW(dc, &metrics);
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &area, DT_SINGLELINE | DT_TOP | DT_NOPREFIX);
    // The second line in the control's own (regular) font, below the first.
    SelectedObject second(dc, controlFont);
    area.top += metrics.tmHeight;
    DrawTextW(dc, record->secondText.c_str(), static_cast<int>(record->secondText.size()), &area,
              DT_SINGLELINE | DT_TOP | DT_NOPREFIX);
}

}  // namespace vantrel::win
