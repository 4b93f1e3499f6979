// The host's view of the plug-in: its two exports, the texts it reports and
// one plug-in run, driven as Quillmark drives it.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <vector>

#include "plugin/win32/host_graphics_path.h"
#include "plugin/win32/plugin_app.h"
#include "support/win32/unique_handle.h"
#include "support/win_test_support.h"

namespace vantrel::test {
namespace {

using namespace std::chrono_literals;
using GetInfoFn = void(WINAPI*)(wchar_t*, wchar_t*, HWND, std::uint32_t*, std::uint32_t, std::uint32_t);
using CutPathFn = void(WINAPI*)(void*, std::uint32_t, float);

const std::wstring MenuText = L"&Silhouette\u2122 Machine...";
const std::wstring Description =
    L"Cut current project with the Silhouette SD\u2122, Cameo\u2122 and Portrait\u2122\n"
    L"Cut with the Silhouette SD\u2122, Cameo\u2122 and Portrait\u2122";
const std::wstring DialogTitle = L"Cut project with Silhouette\u2122 Machine";

class PluginLibrary : public ::testing::Test {
protected:
    void SetUp() override {
        module_ = LoadLibraryW((programDirectory() + L"Vantrel.dll").c_str());
        ASSERT_NE(module_, nullptr) << "Vantrel.dll beside the test program";
        getInfo_ = reinterpret_cast<GetInfoFn>(reinterpret_cast<void*>(GetProcAddress(module_, "OnPluginGetInfo")));
        cutPath_ = reinterpret_cast<CutPathFn>(reinterpret_cast<void*>(GetProcAddress(module_, "OnPluginCutPath")));
        ASSERT_NE(getInfo_, nullptr);
        ASSERT_NE(cutPath_, nullptr);
    }
    void TearDown() override {
        if (module_) FreeLibrary(module_);
    }

    // A run whose dialog the driver closes once it is up; returns what the driver saw.
    struct RunReport {
        HWND dialog = nullptr;
        HWND owner = nullptr;
        std::wstring title;
        bool returnedBeforeClose = false;
    };
    RunReport runAndClose(CutPathFn cutPath, Gdiplus::GraphicsPath& path, UINT closeMessage, WPARAM closeKey = 0) {
        RunReport report;
        std::atomic<bool> returned{false};
        DriverThread driver([&] {
            report.dialog = waitForDialog(DialogTitle, 10s);
            if (!report.dialog) return;
            report.owner = GetWindow(report.dialog, GW_OWNER);
            report.title = windowText(report.dialog);
            report.returnedBeforeClose = returned.load();
            PostMessageW(report.dialog, closeMessage, closeKey, 0);
        });
        cutPath(&path, 7, 12.0f);
        returned = true;
        driver.join();
        return report;
    }

    GdiplusSession gdiplus_;
    HMODULE module_ = nullptr;
    GetInfoFn getInfo_ = nullptr;
    CutPathFn cutPath_ = nullptr;
};

// A small design: a closed square and an open curve, in inches.
void buildDesign(Gdiplus::GraphicsPath& path) {
    path.AddRectangle(Gdiplus::RectF(1, 1, 2, 2));
    path.StartFigure();
    path.AddBezier(Gdiplus::PointF(0, 0), Gdiplus::PointF(1, 3), Gdiplus::PointF(2, -3), Gdiplus::PointF(3, 0));
}

struct PathSnapshot {
    std::vector<Gdiplus::PointF> points;
    std::vector<BYTE> types;
    bool operator==(const PathSnapshot& o) const {
        if (points.size() != o.points.size() || types != o.types) return false;
        for (std::size_t i = 0; i < points.size(); ++i)
            if (!points[i].Equals(o.points[i])) return false;
        return true;
    }
};

PathSnapshot snapshot(Gdiplus::GpPath* native) {
    namespace gp = Gdiplus::DllExports;
    INT count = 0;
    gp::GdipGetPointCount(native, &count);
    PathSnapshot s{std::vector<Gdiplus::PointF>(static_cast<std::size_t>(count)),
                   std::vector<BYTE>(static_cast<std::size_t>(count))};
    if (count > 0) {
        gp::GdipGetPathPoints(native, s.points.data(), count);
        gp::GdipGetPathTypes(native, s.types.data(), count);
    }
    return s;
}

Gdiplus::GpPath* nativeOf(Gdiplus::GraphicsPath& path) {
    return reinterpret_cast<win::HostGraphicsPath*>(&path)->nativePath;
}

TEST_F(PluginLibrary, ExportsAreReachableByNameAndByOrdinal) {
    EXPECT_EQ(reinterpret_cast<void*>(GetProcAddress(module_, MAKEINTRESOURCEA(1))), reinterpret_cast<void*>(cutPath_));
    EXPECT_EQ(reinterpret_cast<void*>(GetProcAddress(module_, MAKEINTRESOURCEA(2))), reinterpret_cast<void*>(getInfo_));
    EXPECT_EQ(GetProcAddress(module_, MAKEINTRESOURCEA(3)), nullptr);
}

TEST_F(PluginLibrary, GetInfoFillsTheHostBuffersExactlyAndWritesTheInterfaceId) {
    // The host's buffers are exactly 24 and 116 units; the guard units after them must survive.
    constexpr wchar_t Guard = 0xBEEF;
    std::vector<wchar_t> menu(24 + 8, Guard), description(116 + 8, Guard);
    std::uint32_t interfaceId = 0;
    TestWindow host;
    getInfo_(menu.data(), description.data(), host.hwnd(), &interfaceId, 1, 2);

    EXPECT_EQ(std::wstring(menu.data()), MenuText);
    EXPECT_EQ(MenuText.size(), 23u);
    EXPECT_EQ(menu[23], L'\0');
    EXPECT_EQ(menu[24], Guard);
    EXPECT_EQ(std::wstring(description.data()), Description);
    EXPECT_EQ(Description.size(), 115u);
    EXPECT_EQ(description[115], L'\0');
    EXPECT_EQ(description[116], Guard);
    EXPECT_EQ(interfaceId, 0x5A3C7E00u);

    // Every call writes the constant again.
    interfaceId = 0;
    getInfo_(menu.data(), description.data(), host.hwnd(), &interfaceId, 0, 0);
    EXPECT_EQ(interfaceId, 0x5A3C7E00u);
}

TEST_F(PluginLibrary, RunIsModalOwnedByTheLatestHostWindowAndLeavesTheHostPathAlone) {
    TestWindow first, second;
    wchar_t menu[24], description[116];
    std::uint32_t interfaceId = 0;
    getInfo_(menu, description, first.hwnd(), &interfaceId, 0, 0);
    getInfo_(menu, description, second.hwnd(), &interfaceId, 0, 0);

    Gdiplus::GraphicsPath path;
    buildDesign(path);
    PathSnapshot before = snapshot(nativeOf(path));
    Gdiplus::GpPath* nativeBefore = nativeOf(path);

    // Escape closes the dialog.
    RunReport report = runAndClose(cutPath_, path, WM_KEYDOWN, VK_ESCAPE);
    ASSERT_NE(report.dialog, nullptr) << "the dialog never appeared";
    EXPECT_FALSE(report.returnedBeforeClose) << "OnPluginCutPath returned while its dialog was open";
    EXPECT_EQ(report.owner, second.hwnd());
    EXPECT_EQ(report.title, DialogTitle);
    EXPECT_FALSE(IsWindow(report.dialog));
    EXPECT_EQ(nativeOf(path), nativeBefore);
    EXPECT_EQ(path.GetLastStatus(), Gdiplus::Ok);
    EXPECT_TRUE(snapshot(nativeOf(path)) == before);

    // The close box works the same way, and a new owner takes effect on the next run.
    getInfo_(menu, description, first.hwnd(), &interfaceId, 0, 0);
    report = runAndClose(cutPath_, path, WM_CLOSE);
    ASSERT_NE(report.dialog, nullptr);
    EXPECT_EQ(report.owner, first.hwnd());
    EXPECT_TRUE(snapshot(nativeOf(path)) == before);
}

TEST_F(PluginLibrary, AFailedCopyIsLeftInTheHostObjectAndShowsNoDialog) {
    win::HostGraphicsPath broken{nullptr, Gdiplus::Ok};
    // The run returning is the event: a dialog it showed would have kept it
    // in its modal loop until the watchdog closed it.
    win::UniqueHandle returned(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    std::atomic<bool> dialogSeen{false};
    DriverThread watchdog([&] {
        do {
            if (HWND dialog = findDialog(DialogTitle)) {
                dialogSeen = true;
                PostMessageW(dialog, WM_CLOSE, 0, 0);
            }
        } while (WaitForSingleObject(returned.get(), 20) == WAIT_TIMEOUT);
    });
    cutPath_(&broken, 0, 12.0f);
    SetEvent(returned.get());
    watchdog.join();
    EXPECT_FALSE(dialogSeen);
    EXPECT_EQ(broken.lastStatus, Gdiplus::InvalidParameter);
}

// The application object itself, linked into this program, to see its copy.
TEST_F(PluginLibrary, EachRunWorksOnAFreshCopyOfTheCurrentHostPath) {
    auto& app = win::PluginApp::instance();
    TestWindow host;
    wchar_t menu[24], description[116];
    std::uint32_t interfaceId = 0;
    app.getInfo(menu, description, host.hwnd(), &interfaceId, 0, 0);

    Gdiplus::GraphicsPath path;
    buildDesign(path);
    auto runInApp = [](void* p, std::uint32_t v, float w) { win::PluginApp::instance().cutPath(p, v, w); };

    for (int run = 0; run < 2; ++run) {
        PathSnapshot expected = snapshot(nativeOf(path));
        Gdiplus::GpPath* copy = nullptr;
        PathSnapshot seen;
        float mediaWidth = 0;
        HWND mainWindow = nullptr;
        DriverThread driver([&] {
            HWND dialog = waitForDialog(DialogTitle, 10s);
            if (!dialog) return;
            copy = app.hostPath();
            if (copy) seen = snapshot(copy);
            mediaWidth = app.mediaWidth();
            mainWindow = app.mainWindow();
            PostMessageW(dialog, WM_CLOSE, 0, 0);
        });
        runInApp(&path, 0, 11.5f + run);
        driver.join();

        ASSERT_NE(copy, nullptr) << "run " << run;
        EXPECT_NE(copy, nativeOf(path)) << "the plug-in must work on its own copy";
        EXPECT_TRUE(seen == expected) << "run " << run;
        EXPECT_EQ(mediaWidth, 11.5f + run);
        EXPECT_NE(mainWindow, nullptr);
        EXPECT_EQ(app.hostPath(), nullptr) << "the copy is deleted when the run ends";
        EXPECT_EQ(app.mainWindow(), nullptr);

        // The next run must see this change: it copies the path anew.
        path.StartFigure();
        path.AddLine(Gdiplus::PointF(5, 5), Gdiplus::PointF(6, 7));
    }
}

TEST(PluginProfile, LivesUnderTheHostsPluginKeyNamedAfterTheLibrary) {
    // Linked into this program, the library's name is the program's name.
    auto& app = win::PluginApp::instance();
    EXPECT_EQ(app.profileKey(), L"Software\\Quillmark Plugins\\" + app.appName());
    EXPECT_EQ(app.appName(), L"win-plugin_entry_test");
}

}  // namespace
}  // namespace vantrel::test
