// How long the main dialog's thread stops answering between Start and the
// end of a Print and Cut job, for designs of N points: the plug-in runs in
// this process against the simulated cutter (vantrel-sim.exe beside this
// program), a driver thread presses Start with Print and Cut chosen, and a
// probe thread sends WM_NULL to the dialog every 2 ms, timing each round
// trip until the "Finished" message box shows. While an answer is late (over
// 10 ms) the probe samples the dialog thread's stack (64-bit only), and each
// stall is printed with the chains of this program's return addresses seen
// on its samples, innermost first, and the module the thread was in when it
// was elsewhere. Name them with
// `x86_64-w64-mingw32-addr2line -f -C -e <this program> <address - 1>`.
// Before the runs it times one take of an idle port thread's channel lock
// and the pictures a dialog decodes as it opens.
//
//   cmake/wine-run build/win64/bin/vantrel-start-stall-bench.exe [points...]   (default 15600 100000)
#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <functional>
#include <map>
#include <thread>
#include <vector>

#include "cutdata/path.h"
#include "device/win32/port_reader.h"
#include "device/win32/port_writer.h"
#include "device/win32/machine_port.h"
#include "driving/window_driving.h"
#include "plugin/win32/plugin_app.h"
#include "plugin/win32/registry_profile.h"
#include "resource.h"
#include "ui/win32/resource_image.h"
#include "support/simulator_process.h"
#include "support/win_test_support.h"
#include "wavy_rings.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using vantrel::Path;
using vantrel::PointF;

const wchar_t MainDialogTitle[] = L"Cut project with Silhouette\u2122 Machine";
const wchar_t FinishedMessage[] = L"Finished sending all data to your Silhouette machine!";

// About `points` points: three to a Bézier segment.
Path bigDesign(int points) { return vantrel::bench::wavyRings(std::max(1, points / 3), 1.0); }

// The return addresses on a suspended thread's stack, innermost first.
std::vector<DWORD64> stackOf(HANDLE thread) {
    std::vector<DWORD64> frames;
#if defined(_WIN64)
    CONTEXT context{};
    context.ContextFlags = CONTEXT_FULL;
    if (!GetThreadContext(thread, &context)) return frames;
    for (int depth = 0; depth < 48 && context.Rip; ++depth) {
        frames.push_back(context.Rip);
        DWORD64 base = 0;
        PRUNTIME_FUNCTION function = RtlLookupFunctionEntry(context.Rip, &base, nullptr);
        if (!function) {
            // A leaf function: the return address is on top of the stack.
            context.Rip = *reinterpret_cast<DWORD64*>(context.Rsp);
            context.Rsp += 8;
            continue;
        }
        void* handlerData = nullptr;
        DWORD64 establisher = 0;
        RtlVirtualUnwind(UNW_FLAG_NHANDLER, base, context.Rip, function, &context, &handlerData, &establisher,
                         nullptr);
    }
#else
    (void)thread;
#endif
    return frames;
}

struct Stall {
    double startMs = 0;  // after Start was pressed
    double lengthMs = 0;
    std::vector<std::vector<DWORD64>> samples;
};

struct Outcome {
    bool finished = false;
    double jobMs = 0;
    std::vector<Stall> stalls;  // every round trip over 10 ms
    double longestMs = 0;
    std::size_t probes = 0;
};

// Sends WM_NULL to `dialog` every 2 ms until `stop`; a late answer is a stall.
void probe(HWND dialog, HANDLE dialogThread, Clock::time_point started, const std::atomic<bool>& stop,
           Outcome& out) {
    while (!stop) {
        const auto sent = Clock::now();
        Stall stall;
        DWORD_PTR result = 0;
        // A short time-out: while the answer is late the thread is sampled,
        // and the same message is still answered in the end.
        bool answered = SendMessageTimeoutW(dialog, WM_NULL, 0, 0, SMTO_NORMAL, 10, &result) != 0;
        while (!answered && IsWindow(dialog) && !stop) {
            if (SuspendThread(dialogThread) != static_cast<DWORD>(-1)) {
                stall.samples.push_back(stackOf(dialogThread));
                ResumeThread(dialogThread);
            }
            answered = SendMessageTimeoutW(dialog, WM_NULL, 0, 0, SMTO_NORMAL, 5, &result) != 0;
        }
        const double length = std::chrono::duration<double, std::milli>(Clock::now() - sent).count();
        ++out.probes;
        out.longestMs = std::max(out.longestMs, length);
        if (length > 10) {
            stall.startMs = std::chrono::duration<double, std::milli>(sent - started).count();
            stall.lengthMs = length;
            out.stalls.push_back(std::move(stall));
        }
        std::this_thread::sleep_for(2ms);
    }
}

bool waitUntilConnected(HWND dialog) {
    HWND preview = GetDlgItem(dialog, IDC_PREVIEW);
    if (!vantrel::driving::waitUntil(
            [&] { return vantrel::driving::textOf(preview).rfind(L"Connected [", 0) == 0; }, 20s))
        return false;
    return vantrel::driving::waitUntil([&] { return IsWindowEnabled(GetDlgItem(dialog, IDC_START)) != FALSE; }, 5s);
}

HWND finishedBox(HWND dialog) {
    HWND box = vantrel::driving::ownedDialog(dialog);
    return box && vantrel::driving::textOf(GetDlgItem(box, 0xFFFF)) == FinishedMessage ? box : nullptr;
}

Outcome runOnce(int points) {
    auto& app = vantrel::win::PluginApp::instance();
    RegDeleteTreeW(HKEY_CURRENT_USER, app.profileKey().c_str());
    vantrel::test::TestWindow host;
    wchar_t menu[24], description[116];
    std::uint32_t id = 0;
    app.getInfo(menu, description, host.hwnd(), &id, 0, 0);
    {
        vantrel::win::RegistryProfile profile(app.profileKey());
        profile.writeInt("sil_cuttype", 1);  // Print and Cut
    }
    vantrel::test::SimulatorProcess sim({L"--identification", L"CAMEO V1.10", L"--search", L"found"});
    SetEnvironmentVariableW(L"VANTREL_SIMULATOR", sim.pipeBase().c_str());

    const Path design = bigDesign(points);
    Gdiplus::GraphicsPath path(reinterpret_cast<const Gdiplus::PointF*>(design.points.data()), design.types.data(),
                               static_cast<INT>(design.size()));
    HANDLE self = nullptr;
    DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(), &self, 0, FALSE,
                    DUPLICATE_SAME_ACCESS);

    Outcome out;
    std::thread driver([&] {
        HWND dialog = nullptr;
        vantrel::driving::waitUntil([&] { return (dialog = vantrel::test::findDialog(MainDialogTitle)) != nullptr; },
                                    20s);
        if (!dialog || !waitUntilConnected(dialog)) {
            std::printf("no connected dialog\n");
        } else {
            std::atomic<bool> stop{false};
            const auto started = Clock::now();
            std::thread prober([&] { probe(dialog, self, started, stop, out); });
            PostMessageW(GetDlgItem(dialog, IDC_START), BM_CLICK, 0, 0);
            HWND box = nullptr;
            out.finished = vantrel::driving::waitUntil([&] { return (box = finishedBox(dialog)) != nullptr; }, 120s);
            out.jobMs = std::chrono::duration<double, std::milli>(Clock::now() - started).count();
            stop = true;
            prober.join();
        }
        const auto giveUp = Clock::now() + 30s;
        for (int i = 0; dialog && IsWindow(dialog) && Clock::now() < giveUp; ++i) {
            if (HWND owned = vantrel::driving::ownedDialog(dialog))
                PostMessageW(owned, WM_COMMAND, i % 2 ? IDOK : IDCANCEL, 0);
            PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
            vantrel::driving::waitUntil([&] { return !IsWindow(dialog); }, 100ms);
        }
    });
    app.cutPath(&path, 0, 12.0f);
    driver.join();
    CloseHandle(self);
    SetEnvironmentVariableW(L"VANTREL_SIMULATOR", nullptr);
    return out;
}

// This program's return addresses on a sampled stack, innermost first.
std::vector<DWORD64> ownFrames(const std::vector<DWORD64>& stack) {
    std::vector<DWORD64> own;
    HMODULE exe = GetModuleHandleW(nullptr);
    for (DWORD64 address : stack) {
        HMODULE module = nullptr;
        GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                           reinterpret_cast<LPCWSTR>(address), &module);
        if (module == exe) own.push_back(address);
    }
    return own;
}

std::string moduleName(DWORD64 address) {
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(address), &module);
    char name[MAX_PATH] = "?";
    if (module) GetModuleFileNameA(module, name, MAX_PATH);
    const char* base = std::strrchr(name, '\\');
    return base ? base + 1 : name;
}

void report(int points, const Outcome& out) {
    std::printf("\n%d points: %s in %.0f ms, %zu probes, longest round trip %.1f ms\n", points,
                out.finished ? "job finished" : "job NOT finished", out.jobMs, out.probes, out.longestMs);
    for (const Stall& s : out.stalls) {
        std::printf("  stall of %6.1f ms at %7.1f ms after Start (%zu samples)\n", s.lengthMs, s.startMs,
                    s.samples.size());
        // The six innermost frames of this program on each sample, counted.
        // With the module the thread was in when it was not in this program.
        std::map<std::pair<std::string, std::vector<DWORD64>>, int> chains;
        for (const auto& stack : s.samples) {
            std::vector<DWORD64> own = ownFrames(stack);
            if (own.size() > 6) own.resize(6);
            std::string leaf;
            if (!stack.empty() && (own.empty() || own.front() != stack.front())) leaf = moduleName(stack.front());
            ++chains[{leaf, own}];
        }
        for (const auto& [chain, count] : chains) {
            std::printf("    %2d x", count);
            if (!chain.first.empty()) std::printf(" [%s]", chain.first.c_str());
            for (DWORD64 address : chain.second) std::printf(" 0x%llx", static_cast<unsigned long long>(address));
            std::printf("\n");
        }
    }
}

// Pictures a dialog decodes as it opens.
void pictureCost() {
    const HINSTANCE module = GetModuleHandleW(nullptr);
    auto measure = [](const char* what, const std::function<void()>& call) {
        std::vector<double> ms;
        for (int i = 0; i < 20; ++i) {
            const auto t0 = Clock::now();
            call();
            ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
        }
        std::sort(ms.begin(), ms.end());
        std::printf("  %-40s median %6.2f ms  max %6.2f  first %6.2f\n", what, ms[ms.size() / 2], ms.back(), ms[0]);
    };
    std::printf("\npictures (20 each):\n");
    measure("loadImage(start icon, 16 x 16)", [&] { vantrel::win::loadImage(module, IDPNG_START_ICON); });
    measure("loadImage(overlay, 281 x 20)", [&] { vantrel::win::loadImage(module, IDPNG_PROGRESS_OVERLAY); });
    vantrel::win::UniqueGpImage overlay = vantrel::win::loadImage(module, IDPNG_PROGRESS_OVERLAY);
    measure("tintedCopy(overlay)", [&] { vantrel::win::tintedCopy(overlay.get(), 0xFFF0F0F0); });
}

// What one take of a port thread's channel lock costs the calling thread
// while the thread is idle on an open channel: the reader with its read
// pending, the writer waiting for something to write.
void lockCost() {
    vantrel::test::SimulatorProcess sim({L"--identification", L"CAMEO V1.10"});
    vantrel::test::TestWindow window;
    vantrel::win::PortReader reader;
    vantrel::win::PortWriter writer;
    if (!reader.Start(window.hwnd(), vantrel::win::WM_READER_EVENT, THREAD_PRIORITY_NORMAL, true) ||
        !writer.Start(window.hwnd(), vantrel::win::WM_WRITER_EVENT, THREAD_PRIORITY_NORMAL, true) ||
        !writer.openChannel(sim.channelPath(0)) || !reader.openChannel(sim.channelPath(1))) {
        std::printf("port threads did not start\n");
        return;
    }
    Sleep(200);
    auto measure = [](const char* what, const std::function<void()>& call) {
        std::vector<double> ms;
        for (int i = 0; i < 40; ++i) {
            const auto t0 = Clock::now();
            call();
            ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
            Sleep(7);
        }
        std::sort(ms.begin(), ms.end());
        double mean = 0;
        for (double m : ms) mean += m;
        std::printf("  %-40s median %6.2f ms  mean %6.2f  max %6.2f\n", what, ms[ms.size() / 2],
                    mean / static_cast<double>(ms.size()), ms.back());
    };
    std::printf("\none take of a port thread's lock, idle open channel (40 calls each):\n");
    measure("reader.isChannelOpen()", [&] { reader.isChannelOpen(); });
    measure("writer.isChannelOpen()", [&] { writer.isChannelOpen(); });
    measure("writer.Enqueue(status request)", [&] { writer.Enqueue("\x1b\x05"); });
    writer.Stop();
    reader.Stop();
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<int> sizes;
    for (int i = 1; i < argc; ++i) sizes.push_back(std::atoi(argv[i]));
    if (sizes.empty()) sizes = {15600, 100000};
    vantrel::test::GdiplusSession gdiplus;
    std::printf("image base 0x%llx\n", static_cast<unsigned long long>(
                                           reinterpret_cast<DWORD_PTR>(GetModuleHandleW(nullptr))));
    pictureCost();
    lockCost();
    for (int points : sizes) report(points, runOnce(points));
    std::fflush(stdout);
    return 0;
}
