#pragma once
// A child window that shows an HTML document made in memory. It hosts the
// platform's web browser; when the browser cannot be created or never
// delivers its first document within a bounded wait, it shows the same
// document formatted in a read-only rich-edit view instead (headings, spaced
// paragraphs, lists, links), or as plain text where not even rich edit exists.
// The wait runs on a timer of the view's own window, never in a message loop
// of its own: create() returns at once, and a page written meanwhile is kept
// and shown in whichever view takes its place.
#include <windows.h>

#include <chrono>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "tools/help_format.h"

#include "support/win32/unique_handle.h"

struct IWebBrowser2;
struct IHTMLDocument2;

namespace vantrel::win {

class HtmlView {
public:
    static constexpr std::chrono::milliseconds DefaultBrowserWait{3000};

    HtmlView() = default;
    ~HtmlView() { destroy(); }
    HtmlView(const HtmlView&) = delete;
    HtmlView& operator=(const HtmlView&) = delete;

    // Takes the place and id of the placeholder control `id` of `parent`.
    // False when not even the text view could be made. `probeEngine` false
    // skips the quick check for an HTML engine and goes straight to hosting
    // the browser (tests use it to reach the wait where no engine exists).
    bool create(HWND parent, int id, std::chrono::milliseconds browserWait = DefaultBrowserWait,
                bool probeEngine = true);
    // An empty document, ready for write().
    void clear();
    // The whole document, written in one piece.
    void write(std::u16string_view document);
    void destroy();
    // The text view back at the top of its page; the control keeps its place
    // while hidden, so the window calls this once it is shown.
    void scrollToTop();

    HWND hwnd() const { return window_; }
    bool usesBrowser() const { return document_ != nullptr; }
    // The browser is up but its first document has not arrived yet: what is
    // written meanwhile waits, and neither view shows anything.
    bool waitingForBrowser() const { return browser_ != nullptr && document_ == nullptr; }
    // The read-only text view when the browser is not used, else null.
    HWND textView() const { return text_; }
    // Where the links of the page shown in the rich-edit view lie in its text.
    const std::vector<HelpLinkRange>& links() const { return links_; }

    // Called with a link's target when the user clicks it in the text view.
    // The view's content may not be replaced from inside the call: the
    // control is still handling the click.
    void setLinkHandler(std::function<void(std::u16string_view target)> handler) { linkHandler_ = std::move(handler); }

private:
    static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    bool startBrowser(bool probeEngine);
    void pollBrowser();
    IHTMLDocument2* arrivedDocument() const;
    void fallBackToText();
    void releaseBrowser();
    bool createTextView();
    void layout();
    void showFormatted(std::u16string_view document);
    void onLink(LPARAM notification);

    HWND window_ = nullptr;
    HWND browserHost_ = nullptr;
    HWND text_ = nullptr;
    IWebBrowser2* browser_ = nullptr;
    IHTMLDocument2* document_ = nullptr;
    UniqueModule richEdit_;
    bool oleStarted_ = false;
    std::chrono::milliseconds browserWait_{DefaultBrowserWait};
    std::chrono::steady_clock::time_point browserDeadline_{};
    // The page written while the browser's document is awaited.
    std::u16string pending_;
    bool hasPending_ = false;
    std::vector<HelpLinkRange> links_;
    std::function<void(std::u16string_view)> linkHandler_;
};

}  // namespace vantrel::win
