#pragma once
// An owner-drawn drop-down list with a small picture before each entry's text
// (the template's combo box needs CBS_DROPDOWNLIST | CBS_OWNERDRAWFIXED |
// CBS_HASSTRINGS). The control draws its own entries: it takes its parent's
// WM_DRAWITEM, WM_MEASUREITEM and WM_DELETEITEM for its id, so the dialog
// needs no code for them.
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "support/win32/unique_handle.h"
#include "ui/win32/subclassed_control.h"

namespace vantrel::win {

// Sent to the parent when the Delete key is pressed in the control or the
// right button goes down on it: wParam the control id, lParam 0.
inline constexpr UINT WM_IMAGE_COMBO_DELETE = 3912;

class ImageComboBox : public SubclassedControl {
public:
    // The bitmap is borrowed: it stays the caller's, who keeps it alive while
    // the control shows it. The font is the entry's own.
    struct Entry {
        HBITMAP bitmap = nullptr;
        std::wstring text;
        std::wstring secondText;
        COLORREF colour = 0;
        UniqueGdiObject font;
    };

    // `itemHeight` in pixels at 96 dots per inch; the control scales it, and
    // the pictures, to its window.
    explicit ImageComboBox(int itemHeight) : designItemHeight_(itemHeight), itemHeight_(itemHeight) {}
    ~ImageComboBox() override;

    // Appends an entry; the bitmap stays the caller's. Without a colour the
    // text is COLOR_WINDOWTEXT; without a face name it is drawn in the bold
    // form of the control's font. Returns the entry's index, or -1.
    int addEntry(const std::wstring& text, HBITMAP bitmap, const std::wstring& secondText = {},
                 std::optional<COLORREF> colour = std::nullopt, const std::wstring& faceName = {});
    int count() const;
    // The record of row `index`, or null.
    const Entry* entry(int index) const;
    // The entries' height in pixels, as drawn.
    int itemHeight() const { return itemHeight_; }

protected:
    bool onMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    void onAttach() override;
    void onDetach() override;

private:
    static LRESULT CALLBACK parentProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                       DWORD_PTR self);
    void draw(const DRAWITEMSTRUCT& item);
    std::wstring rowText(UINT row) const;
    void drawPicture(HDC dc, HBITMAP bitmap, const BITMAP& picture, int left, int top, int width, int height) const;
    void drawTexts(HDC dc, const Entry* record, const std::wstring& text, RECT area) const;
    void forget(const Entry* entry);

    int designItemHeight_;
    int itemHeight_;
    int dpi_ = 96;
    HWND subclassedParent_ = nullptr;
    std::vector<std::unique_ptr<Entry>> entries_;
};

}  // namespace vantrel::win
