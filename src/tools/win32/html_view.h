#pragma once
// A child window that shows an HTML document made in memory. It hosts the
// platform's web browser; when the browser cannot be created or never
// delivers its first document within a bounded wait, it shows the document's
// text in a read-only rich-edit view instead, so the pages can still be read.
#include <windows.h>

#include <chrono>
#include <string_view>

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
    // False when not even the text view could be made.
    bool create(HWND parent, int id, std::chrono::milliseconds browserWait = DefaultBrowserWait);
    // An empty document, ready for write().
    void clear();
    // The whole document, written in one piece.
    void write(std::u16string_view document);
    void destroy();

    HWND hwnd() const { return window_; }
    bool usesBrowser() const { return document_ != nullptr; }
    // The read-only text view when the browser is not used, else null.
    HWND textView() const { return text_; }

private:
    static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    bool createBrowser();
    bool waitForDocument();
    void releaseBrowser();
    bool createTextView();
    void layout();

    HWND window_ = nullptr;
    HWND browserHost_ = nullptr;
    HWND text_ = nullptr;
    IWebBrowser2* browser_ = nullptr;
    IHTMLDocument2* document_ = nullptr;
    UniqueModule atl_;
    UniqueModule richEdit_;
    bool oleStarted_ = false;
    std::chrono::milliseconds browserWait_{DefaultBrowserWait};
};

}  // namespace vantrel::win
