// Paint time of the path preview for a big design: the first paint (design
// placed and drawn), a redraw of the scene (the machine view switched by a
// click), and the repaint of a mark blink, which only copies a finished frame.
//
//   cmake/wine-run build/win64/bin/vantrel-preview-paint-bench.exe [segments] [rounds]
#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "cutdata/path.h"
#include "ui/win32/preview.h"
#include "wavy_rings.h"

namespace {

using vantrel::Path;
using vantrel::PointF;

Path bigDesign(int segments) { return vantrel::bench::wavyRings(segments, 0.5); }

double nowMs() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return 1000.0 * static_cast<double>(t.QuadPart) / static_cast<double>(frequency.QuadPart);
}

void paintNow(HWND window) { RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW); }

struct Figures {
    double median = 0, mean = 0, min = 0, max = 0;
};
Figures summarise(std::vector<double> ms) {
    std::sort(ms.begin(), ms.end());
    Figures f;
    f.median = ms[ms.size() / 2];
    f.min = ms.front();
    f.max = ms.back();
    for (double m : ms) f.mean += m;
    f.mean /= static_cast<double>(ms.size());
    return f;
}
void report(const char* what, const Figures& f) {
    std::printf("%-44s median %9.3f ms  mean %9.3f  min %9.3f  max %9.3f\n", what, f.median, f.mean, f.min, f.max);
}

}  // namespace

int main(int argc, char** argv) {
    const int segments = argc > 1 ? std::atoi(argv[1]) : 50000;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 10;

    Gdiplus::GdiplusStartupInput input;
    ULONG_PTR token = 0;
    Gdiplus::GdiplusStartup(&token, &input, nullptr);
    int rc = 0;
    {
        // The preview's size in the main dialog: 136 x 135 dialog units of "Tahoma" 8.
        HWND frame = CreateWindowExW(0, L"Static", L"bench", WS_POPUP | WS_VISIBLE, 0, 0, 220, 240, nullptr, nullptr,
                                     GetModuleHandleW(nullptr), nullptr);
        HWND control = CreateWindowExW(0, L"Static", L"", WS_CHILD | WS_VISIBLE, 3, 3, 204, 219, frame,
                                       reinterpret_cast<HMENU>(9000), GetModuleHandleW(nullptr), nullptr);
        vantrel::win::PathPreview preview;
        if (!preview.attach(control, GetModuleHandleW(nullptr))) {
            std::printf("could not attach the preview\n");
            rc = 1;
        } else {
            const Path design = bigDesign(segments);
            std::printf("design: %d Bezier segments, %zu points\n", segments, design.size());
            const Path mark{{{0, 0}, {0.5f, 0}, {0.5f, 0.03f}, {0.03f, 0.03f}, {0.03f, 0.5f}, {0, 0.5f}},
                            {0, 1, 1, 1, 1, 0x81}};
            const Path topLeft = mark, bottomLeft{{{0, 8}, {0.5f, 8}, {0.5f, 8.03f}, {0, 8.03f}}, {0, 1, 1, 0x81}},
                       topRight{{{11, 0}, {11.5f, 0}, {11.5f, 0.5f}, {11, 0.5f}}, {0, 1, 1, 0x81}};
            preview.setStatus(L"Connected [CAMEO V1.10]", 0xFF000000);
            preview.setMatSize(12, 12);
            preview.setMachine(true, 2);
            preview.setMarks({&bottomLeft, &topLeft, &topRight});
            preview.setShowMarks(true);

            std::vector<double> setDesign, firstPaint, sceneRedraw, blinkRepaint;
            for (int r = 0; r < rounds; ++r) {
                double t0 = nowMs();
                preview.setDesign(&design);
                setDesign.push_back(nowMs() - t0);
                t0 = nowMs();
                paintNow(control);
                firstPaint.push_back(nowMs() - t0);
            }
            for (int r = 0; r < rounds; ++r) {
                SendMessageW(control, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
                SendMessageW(control, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
                const double t0 = nowMs();
                paintNow(control);
                sceneRedraw.push_back(nowMs() - t0);
            }
            // Both mark phases composed once; from then on a blink is a copy.
            for (int r = 0; r < 2; ++r) {
                SendMessageW(control, WM_TIMER, vantrel::win::PathPreview::BlinkTimer, 0);
                paintNow(control);
            }
            const auto before = preview.counters();
            for (int r = 0; r < rounds * 10; ++r) {
                const double t0 = nowMs();
                SendMessageW(control, WM_TIMER, vantrel::win::PathPreview::BlinkTimer, 0);
                paintNow(control);
                blinkRepaint.push_back(nowMs() - t0);
            }
            const auto after = preview.counters();
            // The parts of a first paint that are not drawing.
            std::vector<double> placing, handing;
            const auto& scaled = preview.state().design()->scaled;
            for (int r = 0; r < rounds; ++r) {
                double t0 = nowMs();
                const auto layer = vantrel::preview::layoutDesign(scaled, {50, 60}, {40, 50, 180, 180},
                                                                 {-15, -15, 300, 300});
                placing.push_back(nowMs() - t0);
                t0 = nowMs();
                Gdiplus::GpPath* path = nullptr;
                Gdiplus::DllExports::GdipCreatePath2(
                    reinterpret_cast<const Gdiplus::GpPointF*>(layer.closed.points.data()), layer.closed.types.data(),
                    static_cast<INT>(layer.closed.size()), Gdiplus::FillModeAlternate, &path);
                handing.push_back(nowMs() - t0);
                Gdiplus::DllExports::GdipDeletePath(path);
            }
            // A design with one coordinate a hundred million inches out, and the
            // cutting area as wide, as the dialog shows it once a machine is known.
            std::vector<double> farPaint;
            {
                Path farDesign = design;
                farDesign.points.insert(farDesign.points.end(), {{5, 1}, {6, 1}, {1e8f, 2}});
                farDesign.types.insert(farDesign.types.end(), {0, 1, 0x81});
                preview.setMatSize(1e8f, 12);
                for (int r = 0; r < rounds; ++r) {
                    preview.setDesign(&farDesign);
                    const double t0 = nowMs();
                    paintNow(control);
                    farPaint.push_back(nowMs() - t0);
                }
                preview.setMatSize(12, 12);
                preview.setDesign(&design);
            }
            report("set design (copy, curve-aware bounds, scale)", summarise(setDesign));
            report("first paint (place + draw the design)", summarise(firstPaint));
            report("  of which placing the design (core)", summarise(placing));
            report("  of which making the GDI+ path", summarise(handing));
            report("scene redraw (view switched by a click)", summarise(sceneRedraw));
            report("blink repaint", summarise(blinkRepaint));
            report("first paint, one point 1e8 inches out", summarise(farPaint));
            std::printf("during the blinks: %u scene draws, %u frame compositions, %u paints\n",
                        after.scenes - before.scenes, after.frames - before.frames, after.paints - before.paints);
        }
        DestroyWindow(frame);
    }
    Gdiplus::GdiplusShutdown(token);
    return rc;
}
