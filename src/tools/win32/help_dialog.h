#pragma once
// The one help window of the main dialog: modeless, hidden until a help icon
// asks for a page, then reused for every page.
#include <chrono>
#include <optional>
#include <string_view>

#include "tools/help_document.h"
#include "tools/win32/html_view.h"
#include "ui/win32/dialog.h"
#include "ui/win32/modal_keys.h"
#include "ids_tools.h"

namespace vantrel::win {

// A help page as stored in the resources, in the system code page; empty when
// it cannot be loaded.
std::u16string loadHelpPage(HINSTANCE module, int resourceId);

class HelpDialog : public Dialog {
public:
    static constexpr int TemplateId = IDD_HELP;
    static constexpr int ViewPlaceholderId = IDC_HELP_VIEW;
    // Posted to itself when a link in the page names another page.
    static constexpr UINT WM_SHOW_LINKED_PAGE = WM_APP + 32;

    explicit HelpDialog(HINSTANCE module, std::chrono::milliseconds browserWait = HtmlView::DefaultBrowserWait)
        : module_(module), browserWait_(browserWait) {}
    ~HelpDialog() override { destroy(); }

    // Creates the window hidden, owned by `parent` (the main dialog).
    bool create(HWND parent);
    void destroy();
    // Shows the page under its title and activates the window, so that the
    // keys the user presses next (Escape first) go to it; a hidden window is
    // first centred over `requester`.
    void showPage(int resourceId, std::u16string_view title, HWND requester);
    void showPage(const HelpPage& page, HWND requester) { showPage(page.resourceId, page.title, requester); }

    const HtmlView& view() const { return view_; }

protected:
    bool onInit() override;
    // "OK", Escape and the close box only hide the window.
    void onCancel() override { ShowWindow(hwnd(), SW_HIDE); }
    // Enter does nothing here.
    void onOk() override {}
    void onDestroy() override {
        keys_.stop();
        view_.destroy();
    }
    bool onMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;

private:
    void centreOver(HWND requester);

    HINSTANCE module_;
    std::chrono::milliseconds browserWait_;
    HtmlView view_;
    bool viewCreated_ = false;
    // The window is modeless, and the loops that run while it shows are the
    // main dialog's and calibration's: its keys reach it only through them.
    ModalLoopKeys keys_;
    // The page a clicked link named, shown once the view is done with the click.
    std::optional<HelpPage> linkedPage_;
};

}  // namespace vantrel::win
