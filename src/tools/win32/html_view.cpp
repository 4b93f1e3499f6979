#include "tools/win32/html_view.h"

#include <exdisp.h>
#include <mshtml.h>
#include <ole2.h>
#include <richedit.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <utility>

#include "tools/help_document.h"
#include "tools/help_format.h"
#include "support/win32/resource_text.h"

namespace vantrel::win {

namespace {

constexpr wchar_t ViewClass[] = L"VantrelHtmlView";
// How often the view looks for the browser's first document.
constexpr UINT_PTR BrowserPollTimer = 1;
constexpr UINT BrowserPollMs = 25;
// The HTML document class; MinGW's uuid library does not carry it.
constexpr CLSID HtmlDocumentClass = {0x25336920, 0x03F9, 0x11CF, {0x8F, 0xD0, 0x00, 0xAA, 0x00, 0x68, 0x6F, 0x13}};

void registerViewClass(WNDPROC procedure) {
    static const ATOM atom = [procedure] {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = procedure;
        wc.hInstance = thisModule();
        wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        wc.lpszClassName = ViewClass;
        return RegisterClassExW(&wc);
    }();
    (void)atom;
}

template <typename Fn>
Fn procedure(HMODULE module, const char* name) {
    return module ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name))) : nullptr;
}

// Line breaks as the edit controls want them.
std::wstring withCrLf(std::u16string_view text) {
    std::wstring out;
    out.reserve(text.size() + text.size() / 16);
    for (char16_t c : text) {
        if (c == u'\n') out += L"\r\n";
        else out.push_back(static_cast<wchar_t>(c));
    }
    return out;
}

// Feeds the RTF text to EM_STREAMIN in the pieces the control asks for.
struct RtfSource {
    const std::string* text;
    std::size_t at = 0;
};

DWORD CALLBACK readRtf(DWORD_PTR cookie, LPBYTE buffer, LONG wanted, LONG* given) {
    auto* source = reinterpret_cast<RtfSource*>(cookie);
    std::size_t left = source->text->size() - source->at;
    std::size_t count = std::min(left, static_cast<std::size_t>(wanted > 0 ? wanted : 0));
    std::memcpy(buffer, source->text->data() + source->at, count);
    source->at += count;
    *given = static_cast<LONG>(count);
    return 0;
}

// The control-hosting library stays for the life of the process: the window
// class its AtlAxWinInit registers points into it and outlives an unload, and
// registering it again after a reload fails (the class already exists).
HMODULE atlLibrary() {
    static const HMODULE atl = LoadLibraryW(L"atl.dll");
    return atl;
}

bool atlReady() {
    static const bool ready = [] {
        auto axInit = procedure<BOOL(WINAPI*)()>(atlLibrary(), "AtlAxWinInit");
        return axInit && axInit();
    }();
    return ready;
}

struct ComRelease {
    void operator()(IUnknown* p) const {
        if (p) p->Release();
    }
};

}  // namespace

bool HtmlView::create(HWND parent, int id, std::chrono::milliseconds browserWait, bool probeEngine) {
    destroy();
    browserWait_ = browserWait;
    HWND placeholder = GetDlgItem(parent, id);
    RECT rect{0, 0, 0, 0};
    if (placeholder) {
        GetWindowRect(placeholder, &rect);
        MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
        DestroyWindow(placeholder);
    }
    registerViewClass(&HtmlView::windowProc);
    window_ = CreateWindowExW(0, ViewClass, L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_TABSTOP, rect.left,
                              rect.top, rect.right - rect.left, rect.bottom - rect.top, parent,
                              reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), thisModule(), this);
    if (!window_) return false;
    if (!startBrowser(probeEngine)) {
        releaseBrowser();
        if (!createTextView()) {
            destroy();
            return false;
        }
    }
    layout();
    return true;
}

bool HtmlView::startBrowser(bool probeEngine) {
    HRESULT started = OleInitialize(nullptr);
    // A thread already in the multithreaded apartment cannot host the browser.
    if (FAILED(started)) return false;
    oleStarted_ = true;
    // A fast probe: without a working HTML engine this fails at once, while
    // the browser itself would come up and never deliver a document.
    if (probeEngine) {
        IHTMLDocument2* probe = nullptr;
        if (FAILED(CoCreateInstance(HtmlDocumentClass, nullptr, CLSCTX_INPROC_SERVER, IID_IHTMLDocument2,
                                    reinterpret_cast<void**>(&probe))) ||
            !probe)
            return false;
        probe->Release();
    }

    auto axGetControl = procedure<HRESULT(WINAPI*)(HWND, IUnknown**)>(atlLibrary(), "AtlAxGetControl");
    if (!atlReady() || !axGetControl) return false;
    RECT client;
    GetClientRect(window_, &client);
    browserHost_ = CreateWindowExW(0, L"AtlAxWin", L"Shell.Explorer.2", WS_CHILD | WS_VISIBLE, 0, 0, client.right,
                                   client.bottom, window_, nullptr, thisModule(), nullptr);
    if (!browserHost_) return false;
    IUnknown* control = nullptr;
    if (FAILED(axGetControl(browserHost_, &control)) || !control) return false;
    HRESULT asked = control->QueryInterface(IID_IWebBrowser2, reinterpret_cast<void**>(&browser_));
    control->Release();
    if (FAILED(asked) || !browser_) return false;
    browser_->put_Silent(VARIANT_TRUE);

    BSTR blank = SysAllocString(L"about:blank");
    VARIANT empty;
    VariantInit(&empty);
    HRESULT navigated = browser_->Navigate(blank, &empty, &empty, &empty, &empty);
    SysFreeString(blank);
    if (FAILED(navigated)) return false;
    // The document arrives through the caller's own message loop; the timer
    // only looks for it, and gives up at the deadline: a browser without its
    // HTML engine never delivers one.
    browserDeadline_ = std::chrono::steady_clock::now() + browserWait_;
    return SetTimer(window_, BrowserPollTimer, BrowserPollMs, nullptr) != 0;
}

IHTMLDocument2* HtmlView::arrivedDocument() const {
    IDispatch* dispatch = nullptr;
    if (FAILED(browser_->get_Document(&dispatch)) || !dispatch) return nullptr;
    IHTMLDocument2* document = nullptr;
    dispatch->QueryInterface(IID_IHTMLDocument2, reinterpret_cast<void**>(&document));
    dispatch->Release();
    return document;
}

void HtmlView::pollBrowser() {
    if (!waitingForBrowser()) {
        KillTimer(window_, BrowserPollTimer);
        return;
    }
    if (IHTMLDocument2* document = arrivedDocument()) {
        KillTimer(window_, BrowserPollTimer);
        document_ = document;
        if (std::exchange(hasPending_, false)) {
            std::u16string page = std::move(pending_);
            pending_.clear();
            clear();
            write(page);
        }
        return;
    }
    if (std::chrono::steady_clock::now() >= browserDeadline_) {
        KillTimer(window_, BrowserPollTimer);
        fallBackToText();
    }
}

void HtmlView::fallBackToText() {
    releaseBrowser();
    if (!createTextView()) return;
    layout();
    if (std::exchange(hasPending_, false)) {
        std::u16string page = std::move(pending_);
        pending_.clear();
        write(page);
    }
}

void HtmlView::releaseBrowser() {
    if (document_) document_->Release();
    document_ = nullptr;
    if (browser_) browser_->Release();
    browser_ = nullptr;
    if (browserHost_) DestroyWindow(browserHost_);
    browserHost_ = nullptr;
}

bool HtmlView::createTextView() {
    // Debian's i686 toolchain has no import libraries for these: load them.
    const wchar_t* className = L"EDIT";
    richEdit_.reset(LoadLibraryW(L"msftedit.dll"));
    if (richEdit_) {
        className = MSFTEDIT_CLASS;
    } else {
        richEdit_.reset(LoadLibraryW(L"riched20.dll"));
        if (richEdit_) className = RICHEDIT_CLASSW;
    }
    RECT client;
    GetClientRect(window_, &client);
    text_ = CreateWindowExW(0, className, L"",
                            WS_CHILD | WS_VISIBLE | WS_VSCROLL | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL, 0, 0,
                            client.right, client.bottom, window_, nullptr, thisModule(), nullptr);
    if (!text_ && richEdit_) {
        richEdit_.reset();
        text_ = CreateWindowExW(0, L"EDIT", L"",
                                WS_CHILD | WS_VISIBLE | WS_VSCROLL | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL, 0,
                                0, client.right, client.bottom, window_, nullptr, thisModule(), nullptr);
    }
    if (!text_) return false;
    SendMessageW(text_, WM_SETFONT, SendMessageW(GetParent(window_), WM_GETFONT, 0, 0), FALSE);
    return true;
}

void HtmlView::layout() {
    if (!window_) return;
    RECT client;
    GetClientRect(window_, &client);
    if (browserHost_) MoveWindow(browserHost_, 0, 0, client.right, client.bottom, TRUE);
    if (text_) MoveWindow(text_, 0, 0, client.right, client.bottom, TRUE);
}

void HtmlView::clear() {
    if (text_) {
        links_.clear();
        SetWindowTextW(text_, L"");
        return;
    }
    if (waitingForBrowser()) {
        pending_.clear();
        hasPending_ = true;
        return;
    }
    if (!document_) return;
    document_->close();
    BSTR type = SysAllocString(L"text/html");
    VARIANT name, features, replace;
    VariantInit(&name);
    VariantInit(&features);
    VariantInit(&replace);
    name.vt = VT_BSTR;
    name.bstrVal = SysAllocString(L"_self");
    IDispatch* window = nullptr;
    document_->open(type, name, features, replace, &window);
    if (window) window->Release();
    VariantClear(&name);
    SysFreeString(type);
}

void HtmlView::write(std::u16string_view document) {
    if (text_) {
        if (richEdit_) {
            showFormatted(document);
        } else {
            SetWindowTextW(text_, withCrLf(helpPageAsText(document)).c_str());
        }
        return;
    }
    if (waitingForBrowser()) {
        pending_ += document;
        hasPending_ = true;
        return;
    }
    if (!document_) return;
    SAFEARRAY* parts = SafeArrayCreateVector(VT_VARIANT, 0, 1);
    if (!parts) return;
    VARIANT* part = nullptr;
    if (SUCCEEDED(SafeArrayAccessData(parts, reinterpret_cast<void**>(&part)))) {
        part->vt = VT_BSTR;
        part->bstrVal = SysAllocStringLen(reinterpret_cast<const OLECHAR*>(document.data()),
                                          static_cast<UINT>(document.size()));
        SafeArrayUnaccessData(parts);
        document_->write(parts);
    }
    // Destroying the array frees the text it holds.
    SafeArrayDestroy(parts);
}

void HtmlView::showFormatted(std::u16string_view document) {
    FormattedHelp page = formatHelp(document);
    // The user's colours, read afresh so a changed scheme shows in the next page.
    SendMessageW(text_, EM_SETBKGNDCOLOR, 0, GetSysColor(COLOR_BTNFACE));
    const std::string rtf = helpRtf(page, {GetSysColor(COLOR_BTNTEXT), GetSysColor(COLOR_HOTLIGHT)});
    RtfSource source{&rtf};
    EDITSTREAM stream{};
    stream.dwCookie = reinterpret_cast<DWORD_PTR>(&source);
    stream.pfnCallback = &readRtf;
    SendMessageW(text_, EM_STREAMIN, SF_RTF, reinterpret_cast<LPARAM>(&stream));

    // The control reports clicks only on text marked as a link.
    links_ = page.linkRanges();
    for (const HelpLinkRange& link : links_) {
        CHARRANGE range{static_cast<LONG>(link.start), static_cast<LONG>(link.end)};
        SendMessageW(text_, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&range));
        CHARFORMAT2W format{};
        format.cbSize = sizeof format;
        format.dwMask = CFM_LINK;
        format.dwEffects = CFE_LINK;
        SendMessageW(text_, EM_SETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&format));
    }
    SendMessageW(text_, EM_SETEVENTMASK, 0, ENM_LINK);
    scrollToTop();
}

void HtmlView::scrollToTop() {
    if (!text_) return;
    CHARRANGE top{0, 0};
    SendMessageW(text_, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&top));
    SendMessageW(text_, WM_VSCROLL, SB_TOP, 0);
}

void HtmlView::onLink(LPARAM notification) {
    const auto* link = reinterpret_cast<const ENLINK*>(notification);
    // A click is a button going up over the link, as with any button.
    if (link->msg != WM_LBUTTONUP || !linkHandler_) return;
    auto at = static_cast<std::size_t>(std::max<LONG>(0, link->chrg.cpMin));
    for (const HelpLinkRange& range : links_) {
        if (at >= range.start && at < range.end) {
            // A copy: the handler may clear the page, and with it the ranges.
            std::u16string target = range.target;
            linkHandler_(target);
            return;
        }
    }
}

void HtmlView::destroy() {
    if (window_) KillTimer(window_, BrowserPollTimer);
    releaseBrowser();
    pending_.clear();
    hasPending_ = false;
    if (window_) {
        SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
        DestroyWindow(window_);
    }
    window_ = nullptr;
    text_ = nullptr;
    // Only once their windows are gone may the control libraries go.
    richEdit_.reset();
    if (oleStarted_) OleUninitialize();
    oleStarted_ = false;
}

LRESULT CALLBACK HtmlView::windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<HtmlView*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!self) return DefWindowProcW(window, message, wParam, lParam);
    try {
        if (message == WM_NCDESTROY) {
            SetWindowLongPtrW(window, GWLP_USERDATA, 0);
            if (self->window_ == window) {
                // Gone with its parent: the timer went with the window, and
                // the browser, whose host window is gone too, is let go.
                self->window_ = nullptr;
                self->text_ = nullptr;
                self->browserHost_ = nullptr;
                self->releaseBrowser();
            }
            return DefWindowProcW(window, message, wParam, lParam);
        }
        return self->handle(window, message, wParam, lParam);
    } catch (...) {
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

LRESULT HtmlView::handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_SIZE:
            layout();
            return 0;
        case WM_TIMER:
            if (wParam != BrowserPollTimer) return DefWindowProcW(window, message, wParam, lParam);
            pollBrowser();
            return 0;
        case WM_CLOSE:
        case WM_NEXTDLGCTL:
            // A multi-line text control in a dialog asks its parent to close on
            // Escape and to move the focus on Tab; the dialog is the one to
            // answer (closing this frame would destroy the view).
            return SendMessageW(GetParent(window), message, wParam, lParam);
        case WM_SETFOCUS:
            if (text_) SetFocus(text_);
            else if (browserHost_) SetFocus(browserHost_);
            return 0;
        case WM_NOTIFY: {
            const auto* header = reinterpret_cast<const NMHDR*>(lParam);
            if (header && text_ && header->hwndFrom == text_ && header->code == EN_LINK) onLink(lParam);
            return 0;
        }
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLOREDIT: {
            // The plain edit fallback in the dialog's colours.
            HDC dc = reinterpret_cast<HDC>(wParam);
            SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
            SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
            return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
        }
        default:
            return DefWindowProcW(window, message, wParam, lParam);
    }
}

}  // namespace vantrel::win
