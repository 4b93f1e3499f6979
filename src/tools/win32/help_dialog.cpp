#include "tools/win32/help_dialog.h"

#include <optional>
#include <utility>
#include <vector>

#include "tools/help_format.h"
#include "tools/win32/depth_icons.h"

namespace vantrel::win {

std::u16string loadHelpPage(HINSTANCE module, int resourceId) {
    HRSRC info = FindResourceW(module, MAKEINTRESOURCEW(resourceId), RT_HTML);
    HGLOBAL loaded = info ? LoadResource(module, info) : nullptr;
    const char* bytes = loaded ? static_cast<const char*>(LockResource(loaded)) : nullptr;
    DWORD size = info ? SizeofResource(module, info) : 0;
    if (!bytes || size == 0) return {};
    // One byte longer and ended with a zero: the page ends at its first zero byte.
    std::vector<char> copy(bytes, bytes + size);
    copy.push_back('\0');
    int length = MultiByteToWideChar(CP_ACP, 0, copy.data(), -1, nullptr, 0);
    if (length <= 1) return {};
    std::wstring text(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, copy.data(), -1, text.data(), length);
    text.resize(static_cast<std::size_t>(length - 1));
    return utf16(text);
}

bool HelpDialog::create(HWND parent) {
    destroy();
    if (!createModeless(module_, TemplateId, parent)) return false;
    // Without its view the window can show nothing: it ends itself.
    if (!viewCreated_) {
        destroy();
        return false;
    }
    // Without its keys it still shows its pages, and its buttons work.
    keys_.start(hwnd(), ModalLoopKeys::dialogManager(hwnd()));
    return true;
}

void HelpDialog::destroy() {
    keys_.stop();
    if (hwnd()) DestroyWindow(hwnd());
    viewCreated_ = false;
}

bool HelpDialog::onInit() {
    viewCreated_ = view_.create(hwnd(), ViewPlaceholderId, browserWait_);
    // A link names another page by its file name; it opens here, in place,
    // once the view has finished with the click.
    view_.setLinkHandler([this](std::u16string_view target) {
        if (std::optional<HelpPage> page = helpPageForLink(target)) {
            linkedPage_ = page;
            PostMessageW(hwnd(), WM_SHOW_LINKED_PAGE, 0, 0);
        }
    });
    return true;
}

bool HelpDialog::onMessage(UINT message, WPARAM, LPARAM, INT_PTR& result) {
    if (message != WM_SHOW_LINKED_PAGE) return false;
    if (std::optional<HelpPage> page = std::exchange(linkedPage_, std::nullopt)) showPage(*page, hwnd());
    result = 0;
    return true;
}

void HelpDialog::centreOver(HWND requester) {
    RECT own, other;
    if (!GetWindowRect(hwnd(), &own) || !requester || !GetWindowRect(requester, &other)) return;
    int width = own.right - own.left, height = own.bottom - own.top;
    int left = other.left + ((other.right - other.left) - width) / 2;
    int top = other.top + ((other.bottom - other.top) - height) / 2;
    // Keep the caption reachable on the requester's screen.
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    if (GetMonitorInfoW(MonitorFromWindow(requester, MONITOR_DEFAULTTONEAREST), &monitor)) {
        const RECT& area = monitor.rcWork;
        if (left + width > area.right) left = area.right - width;
        if (top + height > area.bottom) top = area.bottom - height;
        if (left < area.left) left = area.left;
        if (top < area.top) top = area.top;
    }
    SetWindowPos(hwnd(), nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void HelpDialog::showPage(int resourceId, std::u16string_view title, HWND requester) {
    if (!hwnd()) return;
    SetWindowTextW(hwnd(), wide(title).c_str());
    if (!IsWindowVisible(hwnd())) centreOver(requester);
    std::u16string document =
        buildHelpDocument(loadHelpPage(module_, resourceId), GetSysColor(COLOR_BTNTEXT), GetSysColor(COLOR_BTNFACE));
    if (view_.hwnd()) {
        view_.clear();
        view_.write(document);
    }
    ShowWindow(hwnd(), SW_SHOW);
    // Already visible, SW_SHOW leaves it behind the window that asked.
    SetActiveWindow(hwnd());
    view_.scrollToTop();
}

}  // namespace vantrel::win
