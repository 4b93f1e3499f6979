#include "ui/win32/image_combo_box.h"

#include <commctrl.h>

#include <algorithm>

#include "ui/control_layout.h"
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
    SendMessageW(hwnd(), CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), itemHeight_);
    SendMessageW(hwnd(), CB_SETITEMHEIGHT, 0, itemHeight_);
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
        for (int i = 0; i < rows; ++i) SendMessageW(hwnd(), CB_SETITEMDATA, static_cast<WPARAM>(i), 0);
    }
    for (auto& e : entries_)
        if (e->ownsBitmap && e->bitmap) DeleteObject(e->bitmap);
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
    LRESULT index = SendMessageW(hwnd(), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    if (index == CB_ERR || index == CB_ERRSPACE) return -1;
    SendMessageW(hwnd(), CB_SETITEMDATA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(record.get()));
    entries_.push_back(std::move(record));
    return static_cast<int>(index);
}

int ImageComboBox::count() const {
    if (!hwnd()) return 0;
    LRESULT rows = SendMessageW(hwnd(), CB_GETCOUNT, 0, 0);
    return rows == CB_ERR ? 0 : static_cast<int>(rows);
}

const ImageComboBox::Entry* ImageComboBox::entry(int index) const {
    if (!hwnd() || index < 0 || index >= count()) return nullptr;
    LRESULT data = SendMessageW(hwnd(), CB_GETITEMDATA, static_cast<WPARAM>(index), 0);
    if (data == CB_ERR || data == 0) return nullptr;
    auto* record = reinterpret_cast<const Entry*>(data);
    // Only records we made and still hold are handed out.
    for (const auto& e : entries_)
        if (e.get() == record) return record;
    return nullptr;
}

void ImageComboBox::forget(const Entry* record) {
    auto found = std::find_if(entries_.begin(), entries_.end(), [&](const auto& e) { return e.get() == record; });
    if (found == entries_.end()) return;
    if ((*found)->ownsBitmap && (*found)->bitmap) DeleteObject((*found)->bitmap);
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
    HBRUSH fill = CreateSolidBrush(background);
    FillRect(dc, &area, fill);
    DeleteObject(fill);
    if (item.itemID == static_cast<UINT>(-1)) return;

    const Entry* record = entry(static_cast<int>(item.itemID));
    std::wstring text;
    if (record) {
        text = record->text;
    } else {
        // A row added with CB_ADDSTRING by someone else: show its text plainly.
        LRESULT length = SendMessageW(hwnd(), CB_GETLBTEXTLEN, item.itemID, 0);
        if (length > 0) {
            text.resize(static_cast<std::size_t>(length) + 1);
            length = SendMessageW(hwnd(), CB_GETLBTEXT, item.itemID, reinterpret_cast<LPARAM>(text.data()));
            text.resize(length > 0 ? static_cast<std::size_t>(length) : 0);
        }
    }

    BITMAP picture = {};
    if (record && record->bitmap) GetObjectW(record->bitmap, sizeof(picture), &picture);
    const bool hasSecond = record && !record->secondText.empty();
    // Pictures are made at 96 dots per inch and grow with the list.
    const int shownWidth = ui::scaled(picture.bmWidth, dpi_), shownHeight = ui::scaled(picture.bmHeight, dpi_);
    ui::ComboEntryLayout layout = ui::layoutComboEntry({area.left, area.top, area.right, area.bottom}, shownWidth,
                                                       shownHeight, hasSecond, dpi_);
    if (record && record->bitmap) {
        HDC source = CreateCompatibleDC(dc);
        HGDIOBJ previous = SelectObject(source, record->bitmap);
        if (shownWidth == picture.bmWidth && shownHeight == picture.bmHeight) {
            BitBlt(dc, layout.bitmapLeft, layout.bitmapTop, picture.bmWidth, picture.bmHeight, source, 0, 0, SRCCOPY);
        } else {
            int previousMode = SetStretchBltMode(dc, HALFTONE);
            POINT origin;
            SetBrushOrgEx(dc, 0, 0, &origin);
            StretchBlt(dc, layout.bitmapLeft, layout.bitmapTop, shownWidth, shownHeight, source, 0, 0, picture.bmWidth,
                       picture.bmHeight, SRCCOPY);
            SetBrushOrgEx(dc, origin.x, origin.y, nullptr);
            SetStretchBltMode(dc, previousMode);
        }
        SelectObject(source, previous);
        DeleteDC(source);
    }

    HFONT controlFont = reinterpret_cast<HFONT>(SendMessageW(hwnd(), WM_GETFONT, 0, 0));
    UniqueGdiObject fallbackBold;
    HGDIOBJ font = record && record->font ? record->font.get() : nullptr;
    if (!font) {
        fallbackBold = boldFormOf(controlFont);
        font = fallbackBold.get();
    }
    SetBkMode(dc, OPAQUE);
    SetBkColor(dc, background);
    SetTextColor(dc, record ? record->colour : GetSysColor(COLOR_WINDOWTEXT));
    HGDIOBJ previousFont = SelectObject(dc, font);
    RECT textArea = {layout.text.left, layout.text.top, layout.text.right, layout.text.bottom};
    if (hasSecond) {
        TEXTMETRICW metrics = {};
        GetTextMetricsW(dc, &metrics);
        DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &textArea, DT_SINGLELINE | DT_TOP | DT_NOPREFIX);
        if (controlFont) SelectObject(dc, controlFont);
        RECT second = textArea;
        second.top += metrics.tmHeight;
        DrawTextW(dc, record->secondText.c_str(), static_cast<int>(record->secondText.size()), &second,
                  DT_SINGLELINE | DT_TOP | DT_NOPREFIX);
    } else {
        DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &textArea, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
    }
    SelectObject(dc, previousFont);

    if ((item.itemState & ODS_SELECTED) && (item.itemAction & (ODA_DRAWENTIRE | ODA_SELECT))) DrawFocusRect(dc, &area);
}

}  // namespace vantrel::win
