// vantrel-host: a minimal stand-in for Quillmark. It loads Vantrel.dll, starts
// GDI+ (the plug-in never does), asks the plug-in for its menu text, builds a
// GraphicsPath in inches from a design file and runs the plug-in on it.
#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>
#include <fcntl.h>
#include <io.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "console.h"
#include "demo_script.h"
#include "design/design_file.h"
#include "support/win32/gdiplus_owners.h"

namespace {

using vantrel::host::say;
using vantrel::host::utf8;
using GetInfoFn = void(WINAPI*)(wchar_t*, wchar_t*, HWND, std::uint32_t*, std::uint32_t, std::uint32_t);
using CutPathFn = void(WINAPI*)(void*, std::uint32_t, float);

// Sizes the plug-in's texts need with their terminating zero; the host passes no length.
constexpr int MenuTextUnits = 24;
constexpr int DescriptionUnits = 116;
constexpr UINT_PTR CloseTimer = 1;

struct Options {
    std::wstring dll;
    std::wstring design;
    float mediaWidth = 12.0f;
    int closeAfterMs = -1;
    std::wstring demoOutput;  // drive the dialog as a user would, saving screenshots here
};

// Escapes the line feed inside the description so each report stays one line.
std::string oneLine(const std::wstring& text) {
    std::string out;
    for (char c : utf8(text)) {
        if (c == '\n') out += "\\n";
        else out += c;
    }
    return out;
}

std::wstring exeDirectory() {
    wchar_t path[MAX_PATH];
    DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring dir(path, length);
    return dir.substr(0, dir.find_last_of(L"\\/") + 1);
}

bool readFile(const std::wstring& name, std::string& content) {
    FILE* file = _wfopen(name.c_str(), L"rb");
    if (!file) return false;
    char chunk[65536];
    std::size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) content.append(chunk, got);
    bool ok = !std::ferror(file);
    std::fclose(file);
    return ok;
}

int usage() {
    say("usage: vantrel-host [--dll PATH] [--media-width INCHES] [--close-after MS] [--demo OUTDIR] DESIGN");
    say("  DESIGN: an SVG file, or SVG path data in inches (M L H V C S Q Z), one path per file");
    return 2;
}

HWND g_hostWindow = nullptr;
HWND g_seenDialog = nullptr;

// Finds the plug-in's dialog: a dialog window of this thread owned by the host window.
BOOL CALLBACK findPluginDialog(HWND window, LPARAM found) {
    wchar_t className[16];
    GetClassNameW(window, className, 16);
    if (std::wstring(className) == L"#32770" && GetWindow(window, GW_OWNER) == g_hostWindow &&
        IsWindowVisible(window)) {
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }
    return TRUE;
}

LRESULT CALLBACK hostWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_TIMER && wParam == CloseTimer) {
        // Runs inside the plug-in's modal loop, which dispatches this thread's timers.
        HWND dialog = nullptr;
        EnumThreadWindows(GetCurrentThreadId(), findPluginDialog, reinterpret_cast<LPARAM>(&dialog));
        if (dialog) {
            KillTimer(window, CloseTimer);
            g_seenDialog = dialog;
            wchar_t title[256] = {};
            GetWindowTextW(dialog, title, 256);
            say("plug-in dialog shown: \"" + utf8(title) + "\", owned by the host window; closing it");
            PostMessageW(dialog, WM_CLOSE, 0, 0);
        }
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

struct PluginEntries {
    GetInfoFn getInfo = nullptr;
    CutPathFn cutPath = nullptr;
};

// Loads the plug-in and finds its two exports; an empty module when either is missing.
vantrel::win::UniqueModule loadPlugin(const std::wstring& dll, PluginEntries& entries) {
    vantrel::win::UniqueModule plugin(LoadLibraryW(dll.c_str()));
    if (!plugin) {
        say("vantrel-host: cannot load " + utf8(dll) + " (error " + std::to_string(GetLastError()) + ")");
        return plugin;
    }
    entries.getInfo = reinterpret_cast<GetInfoFn>(reinterpret_cast<void*>(GetProcAddress(plugin.get(), "OnPluginGetInfo")));
    entries.cutPath = reinterpret_cast<CutPathFn>(reinterpret_cast<void*>(GetProcAddress(plugin.get(), "OnPluginCutPath")));
    if (!entries.getInfo || !entries.cutPath) {
        say("vantrel-host: the library does not export OnPluginGetInfo and OnPluginCutPath");
        plugin.reset();
        return plugin;
    }
    say("loaded " + utf8(dll) + (sizeof(void*) == 8 ? " (64-bit)" : " (32-bit)"));
    return plugin;
}

vantrel::win::UniqueWindow createHostWindow() {
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = hostWindowProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"VantrelHostWindow";
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_APPWORKSPACE + 1);
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    RegisterClassW(&windowClass);
    vantrel::win::UniqueWindow window(CreateWindowExW(0, windowClass.lpszClassName,
                                                      L"Quillmark (Vantrel stand-in host)", WS_OVERLAPPEDWINDOW, 40,
                                                      40, 800, 600, nullptr, nullptr, windowClass.hInstance, nullptr));
    ShowWindow(window.get(), SW_SHOWNORMAL);
    return window;
}

void reportPluginInfo(GetInfoFn getInfo, HWND hostWindow) {
    wchar_t menuText[MenuTextUnits] = {};
    wchar_t description[DescriptionUnits] = {};
    std::uint32_t interfaceId = 0;
    getInfo(menuText, description, hostWindow, &interfaceId, 0, 0);
    say("menu text: " + utf8(menuText));
    say("description: " + oneLine(description));
    char idText[16];
    std::snprintf(idText, sizeof idText, "0x%08X", static_cast<unsigned>(interfaceId));
    say(std::string("interface id: ") + idText);
}

void reportDesign(const Options& options, const vantrel::Path& path) {
    std::size_t figures = 0;
    for (std::uint8_t type : path.types)
        if ((type & vantrel::PathPointTypeMask) == vantrel::PathPointTypeStart) ++figures;
    say("design: " + utf8(options.design) + ": " + std::to_string(figures) + " figures, " +
        std::to_string(path.size()) + " points");
}

// Calls the plug-in on the host's path, with the demo script driving its
// dialog from another thread when asked; the process's result.
int cutOnce(const Options& options, CutPathFn cutPath, Gdiplus::GraphicsPath& path) {
    if (options.closeAfterMs >= 0) SetTimer(g_hostWindow, CloseTimer, static_cast<UINT>(options.closeAfterMs), nullptr);
    char width[32];
    std::snprintf(width, sizeof width, "%.3f", options.mediaWidth);
    say(std::string("calling OnPluginCutPath (media width ") + width + " in)");
    bool demoOk = true;
    std::thread demo;
    if (!options.demoOutput.empty()) {
        demo = std::thread([&] {
            vantrel::host::DemoScript script(g_hostWindow, options.demoOutput);
            demoOk = script.run();
        });
    }
    cutPath(&path, 0, options.mediaWidth);
    if (demo.joinable()) demo.join();
    int result = demoOk ? 0 : 1;
    say("OnPluginCutPath returned; the plug-in's dialog has closed");
    if (options.closeAfterMs >= 0 && !g_seenDialog) {
        say("vantrel-host: the plug-in returned without showing its dialog");
        result = 1;
    }
    return result;
}

int run(const Options& options) {
    std::string content;
    if (!readFile(options.design, content)) {
        say("vantrel-host: cannot read design file " + utf8(options.design));
        return 2;
    }
    const std::string name = utf8(options.design);
    // An SVG document is parsed in place: it takes the text.
    vantrel::DesignParseResult design = vantrel::isSvgDesign(std::string_view(content).substr(0, 4096), name)
                                            ? vantrel::parseSvg(std::move(content))
                                            : vantrel::parseDesign(content);
    if (!design.ok) {
        say("vantrel-host: " + name + ": " + design.errorText());
        return 2;
    }
    for (const vantrel::LeftOutKind& left : design.leftOut)
        say("vantrel-host: " + name + ": left out, cannot be cut: " + std::to_string(left.count) + " " + left.kind);

    // Declared in the order they must end in reverse: the window and the
    // path before the plug-in is unloaded, all of them before GDI+ stops.
    vantrel::win::GdiplusSession gdiplus;
    if (!gdiplus) {
        say("vantrel-host: GDI+ did not start");
        return 1;
    }
    PluginEntries entries;
    vantrel::win::UniqueModule plugin = loadPlugin(options.dll, entries);
    if (!plugin) return 1;
    vantrel::win::UniqueWindow hostWindow = createHostWindow();
    g_hostWindow = hostWindow.get();
    reportPluginInfo(entries.getInfo, g_hostWindow);
    reportDesign(options, design.path);

    // The host's path, in inches, as Quillmark hands it over.
    static_assert(sizeof(Gdiplus::PointF) == sizeof(vantrel::PointF));
    Gdiplus::GraphicsPath path(reinterpret_cast<const Gdiplus::PointF*>(design.path.points.data()),
                               design.path.types.data(), static_cast<INT>(design.path.size()));
    if (path.GetLastStatus() != Gdiplus::Ok) {
        say("vantrel-host: GDI+ refused the design's path");
        return 1;
    }
    return cutOnce(options, entries.cutPath, path);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    _setmode(_fileno(stdout), _O_BINARY);
    try {
        Options options;
        options.dll = exeDirectory() + L"Vantrel.dll";
        for (int i = 1; i < argc; ++i) {
            std::wstring arg = argv[i];
            if (arg == L"--dll" && i + 1 < argc) options.dll = argv[++i];
            else if (arg == L"--media-width" && i + 1 < argc) options.mediaWidth = std::wcstof(argv[++i], nullptr);
            else if (arg == L"--close-after" && i + 1 < argc) options.closeAfterMs = _wtoi(argv[++i]);
            else if (arg == L"--demo" && i + 1 < argc) options.demoOutput = argv[++i];
            else if (!arg.empty() && arg[0] == L'-') return usage();
            else if (options.design.empty()) options.design = arg;
            else return usage();
        }
        if (options.design.empty()) return usage();
        return run(options);
    } catch (...) {
        say("vantrel-host: unexpected failure");
        return 1;
    }
}
