#pragma once
// Thin typed views of standard controls, fetched by id from a dialog or made
// from a window handle. They own nothing (the dialog owns its controls) and
// cost a pointer; every TBM_*, CB_* and BM_* message the plug-in sends goes
// through one of them, so each message's quirks are handled in one place.
#include <windows.h>
#include <commctrl.h>

#include <string>

namespace vantrel::win {

class Control {
public:
    explicit Control(HWND window = nullptr) : window_(window) {}
    Control(HWND dialog, int id) : window_(GetDlgItem(dialog, id)) {}
    HWND hwnd() const { return window_; }
    explicit operator bool() const { return window_ != nullptr; }
    void enable(bool enabled) const { EnableWindow(window_, enabled ? TRUE : FALSE); }

protected:
    LRESULT send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const {
        return window_ ? SendMessageW(window_, message, wParam, lParam) : 0;
    }

private:
    HWND window_;
};

// A trackbar.
class Slider : public Control {
public:
    using Control::Control;
    void setRange(int lowest, int highest) const { send(TBM_SETRANGE, TRUE, MAKELPARAM(lowest, highest)); }
    void setPosition(int position) const { send(TBM_SETPOS, TRUE, position); }
    int position() const { return static_cast<int>(send(TBM_GETPOS)); }
};

// A combo box of style CBS_DROPDOWNLIST. Rows count from 0; -1 is "none".
class DropDownList : public Control {
public:
    using Control::Control;
    // The new row's index, or -1 when the list refused it.
    int addRow(const wchar_t* text) const {
        LRESULT index = send(CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
        return index == CB_ERR || index == CB_ERRSPACE ? -1 : static_cast<int>(index);
    }
    int count() const {
        LRESULT rows = send(CB_GETCOUNT);
        return rows == CB_ERR ? 0 : static_cast<int>(rows);
    }
    // The selected row, or -1.
    int selection() const {
        LRESULT row = send(CB_GETCURSEL);
        return row == CB_ERR ? -1 : static_cast<int>(row);
    }
    void select(int row) const { send(CB_SETCURSEL, static_cast<WPARAM>(row)); }
    std::wstring rowText(int row) const {
        LRESULT length = send(CB_GETLBTEXTLEN, static_cast<WPARAM>(row));
        if (length == CB_ERR || length <= 0) return {};
        std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
        length = send(CB_GETLBTEXT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(text.data()));
        text.resize(length > 0 ? static_cast<std::size_t>(length) : 0);
        return text;
    }
    // The row's value, or 0 when it has none or the row does not exist.
    LPARAM rowData(int row) const {
        LRESULT data = send(CB_GETITEMDATA, static_cast<WPARAM>(row));
        return data == CB_ERR ? 0 : static_cast<LPARAM>(data);
    }
    void setRowData(int row, LPARAM data) const { send(CB_SETITEMDATA, static_cast<WPARAM>(row), data); }
    // The height of the selection field (row -1) or of the list's rows (row 0).
    void setRowHeight(int row, int height) const { send(CB_SETITEMHEIGHT, static_cast<WPARAM>(row), height); }
};

// A check box.
class CheckBox : public Control {
public:
    using Control::Control;
    bool checked() const { return send(BM_GETCHECK) == BST_CHECKED; }
    void setChecked(bool checked) const { send(BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED); }
};

// A push button.
class Button : public Control {
public:
    using Control::Control;
    // The button shows `picture` (its style needs BS_BITMAP); the picture stays the caller's.
    void setImage(HBITMAP picture) const { send(BM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(picture)); }
    // Pressed as by the user: the owner gets BN_CLICKED.
    void click() const { send(BM_CLICK); }
};

}  // namespace vantrel::win
