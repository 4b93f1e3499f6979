#include "ui/win32/separator.h"

#include <string>

#include "support/win32/gdi_owners.h"
#include "ui/control_layout.h"

namespace vantrel::win {

bool Separator::onMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    if (handlePaintMessage(message, wParam, result)) return true;
    switch (message) {
        case WM_SETTEXT:
        case WM_ENABLE:
        case WM_SETFONT:
            result = callDefault(message, wParam, lParam);
            repaint();
            return true;
        default:
            return false;
    }
}

void Separator::paint(HDC dc) {
    RECT client = {};
    GetClientRect(hwnd(), &client);
    FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
    const int width = client.right, height = client.bottom;

    if (height > width) {
        RECT line = {width / 2 - 1, 0, width / 2 + 1, height};
        DrawEdge(dc, &line, EDGE_ETCHED, BF_LEFT);
        return;
    }
    RECT line = {0, height / 2 - 1, width, height / 2 + 1};
    DrawEdge(dc, &line, EDGE_ETCHED, BF_TOP);

    int length = GetWindowTextLengthW(hwnd());
    if (length <= 0) return;
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(hwnd(), text.data(), length + 1)));

    LONG style = GetWindowLongW(hwnd(), GWL_STYLE);
    LONG kind = style & SS_TYPEMASK;
    ui::SeparatorAlign align = kind == SS_CENTER  ? ui::SeparatorAlign::Centre
                               : kind == SS_RIGHT ? ui::SeparatorAlign::Right
                                                  : ui::SeparatorAlign::Left;
    UINT format = DT_SINGLELINE | DT_VCENTER;
    format |= align == ui::SeparatorAlign::Centre ? DT_CENTER : align == ui::SeparatorAlign::Right ? DT_RIGHT : DT_LEFT;
    if (style & SS_NOPREFIX) format |= DT_NOPREFIX;
    std::wstring caption = ui::separatorCaption(text, align);

    SelectedObject font(dc, reinterpret_cast<HFONT>(SendMessageW(hwnd(), WM_GETFONT, 0, 0)));
    SetBkMode(dc, OPAQUE);
    SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
    SetTextColor(dc, GetSysColor(IsWindowEnabled(hwnd()) ? COLOR_BTNTEXT : COLOR_GRAYTEXT));
    DrawTextW(dc, caption.c_str(), static_cast<int>(caption.size()), &client, format);
}

}  // namespace vantrel::win
