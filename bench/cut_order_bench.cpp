// The cut order: pen-up travel of each order on the SVG corpus and on
// generated sheets (printed as a table first), then the time and memory it
// takes to order many figures.
//   vantrel-order-bench SOURCE_DIR [benchmark options]
// Inside-out alone on nested and on scattered rings, 10^4 and 10^5 of each.
// Sheets: a shuffled grid of 1,000 small closed shapes; 2,000 and 10,000
// scattered rings (circles), and 1,000 rings with a round hole each. Travel is
// in inches from home and back, as penUpTravel measures it; "greedy" is the
// plain greedy order (from where the pen is, the nearest entry of any figure
// left).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <new>
#include <random>
#include <string>
#include <vector>

#include "cutdata/cut_order.h"
#include "cutdata/step_path.h"
#include "design/design_file.h"

#include "counted_allocations.h"

namespace vantrel {
namespace {

constexpr float Dpi = 508;
// The quarter circle's control distance for a cubic.
constexpr float Kappa = 0.5522847f;

void addCircle(Path& path, float cx, float cy, float r) {
    const float k = r * Kappa;
    path.points.push_back({cx + r, cy});
    path.types.push_back(PathPointTypeStart);
    const PointF curve[] = {{cx + r, cy + k}, {cx + k, cy + r}, {cx, cy + r}, {cx - k, cy + r}, {cx - r, cy + k},
                            {cx - r, cy},     {cx - r, cy - k}, {cx - k, cy - r}, {cx, cy - r}, {cx + k, cy - r},
                            {cx + r, cy - k}, {cx + r, cy}};
    for (const PointF& p : curve) {
        path.points.push_back(p);
        path.types.push_back(PathPointTypeBezier);
    }
    path.types.back() |= PathPointTypeCloseSubpath;
}

void addSquare(Path& path, float x, float y, float side) {
    const PointF corners[] = {{x, y}, {x + side, y}, {x + side, y + side}, {x, y + side}};
    for (int i = 0; i < 4; ++i) {
        path.points.push_back(corners[i]);
        path.types.push_back(i == 0 ? PathPointTypeStart : PathPointTypeLine);
    }
    path.types.back() |= PathPointTypeCloseSubpath;
}

// The figures of `path` in a shuffled order.
Path shuffled(const Path& path, unsigned seed) {
    std::vector<std::pair<std::size_t, std::size_t>> figures;
    for (std::size_t begin = 0; begin < path.size();) {
        std::size_t end = begin + 1;
        while (end < path.size() && (path.types[end] & PathPointTypeMask) != PathPointTypeStart) ++end;
        figures.push_back({begin, end});
        begin = end;
    }
    std::mt19937 random(seed);
    std::shuffle(figures.begin(), figures.end(), random);
    Path out;
    for (auto [begin, end] : figures) {
        out.points.insert(out.points.end(), path.points.begin() + static_cast<std::ptrdiff_t>(begin),
                          path.points.begin() + static_cast<std::ptrdiff_t>(end));
        out.types.insert(out.types.end(), path.types.begin() + static_cast<std::ptrdiff_t>(begin),
                         path.types.begin() + static_cast<std::ptrdiff_t>(end));
    }
    return out;
}

// 40 x 25 small shapes, squares and circles by turns, half an inch apart.
Path gridSheet() {
    Path path;
    for (int row = 0; row < 25; ++row)
        for (int column = 0; column < 40; ++column) {
            const float x = 0.5f + 0.5f * static_cast<float>(column), y = 0.5f + 0.45f * static_cast<float>(row);
            if ((row + column) % 2) addCircle(path, x + 0.15f, y + 0.15f, 0.15f);
            else addSquare(path, x, y, 0.3f);
        }
    return shuffled(path, 7);
}

// Rings (circles) at random over a 12 x 24 inch mat, of radius from half of
// `radius` to `radius`; with `holes` each has a round hole, cut as a figure of
// its own after the ring in the drawing.
Path ringSheet(std::size_t rings, float radius, bool holes = false) {
    std::mt19937 random(static_cast<unsigned>(rings));
    std::uniform_real_distribution<float> x(0.5f, 23.5f), y(0.5f, 11.5f), r(0.5f * radius, radius);
    Path path;
    for (std::size_t i = 0; i < rings; ++i) {
        const float cx = x(random), cy = y(random), outer = r(random);
        addCircle(path, cx, cy, outer);
        if (holes) addCircle(path, cx, cy, outer * 0.4f);
    }
    return path;
}

// Scattered single circles: `figures` of them.
Path circleSheet(std::size_t figures) {
    std::mt19937 random(static_cast<unsigned>(figures));
    std::uniform_real_distribution<float> x(0.5f, 23.5f), y(0.5f, 11.5f);
    Path path;
    for (std::size_t i = 0; i < figures; ++i) addCircle(path, x(random), y(random), 0.02f);
    return path;
}

// `rings` concentric squares, 3 steps apart: a mandala's worst case.
Path nestedSquares(std::size_t rings) {
    Path path;
    for (std::size_t i = 0; i < rings; ++i) {
        const float side = static_cast<float>(10 + 6 * i) / Dpi;
        addSquare(path, 400.0f - side / 2, 400.0f - side / 2, side);
    }
    return shuffled(path, 3);
}

StepPath stepsOf(const Path& path, bool flatten) {
    StepPath steps;
    const StepPlacement place{{0, 0}, Dpi, Dpi};
    if (flatten) toFlatClosedSteps(path, place, 0.25, steps, nullptr);
    else toClosedSteps(path, place, steps);
    return steps;
}

double travelInches(StepPath steps, int how) {
    if (how == 1) orderFiguresGreedy(steps);
    if (how == 2) orderFigures(steps, CutOrder::Travel);
    if (how == 3) orderFigures(steps, CutOrder::InsideOut);
    return penUpTravel(steps, 1) / Dpi;
}

void printRow(const std::string& name, const Path& path, bool flatten) {
    const StepPath steps = stepsOf(path, flatten);
    std::size_t figures = 0;
    for (std::uint8_t t : path.types) figures += (t & PathPointTypeMask) == PathPointTypeStart;
    double travel[4];
    for (int how = 0; how < 4; ++how) travel[how] = travelInches(steps, how);
    auto percent = [](double a, double b) { return b > 0 ? 100.0 * (a - b) / b : 0.0; };
    std::printf("| %-28s | %6zu | %9.1f | %9.1f | %9.1f | %+6.1f %% | %+6.1f %% | %10.1f | %+6.1f %% |\n",
                (name + (flatten ? " (flat)" : "")).c_str(), figures, travel[0], travel[1], travel[2],
                percent(travel[2], travel[0]), percent(travel[2], travel[1]), travel[3], percent(travel[3], travel[1]));
}

void printTravelTable(const std::string& sourceDir) {
    std::printf("| sheet                        | figures | drawing in | greedy in | travel in | vs drawing | vs greedy | inside-out in | vs greedy |\n");
    std::printf("|---|---:|---:|---:|---:|---:|---:|---:|---:|\n");
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(sourceDir + "/tests/data/svg"))
        if (entry.path().extension() == ".svg") files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    for (const auto& file : files) {
        std::ifstream in(file, std::ios::binary);
        const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        const DesignParseResult design = readDesign(text, file.filename().string());
        if (!design.ok) continue;
        printRow(file.filename().string(), design.path, false);
    }
    printRow("grid of 1,000 shapes", gridSheet(), false);
    printRow("grid of 1,000 shapes", gridSheet(), true);
    printRow("2,000 scattered rings", ringSheet(2000, 0.15f), false);
    printRow("2,000 scattered rings", ringSheet(2000, 0.15f), true);
    printRow("10,000 scattered rings", ringSheet(10000, 0.08f), false);
    printRow("10,000 scattered rings", ringSheet(10000, 0.08f), true);
    printRow("1,000 rings with holes", ringSheet(1000, 0.15f, true), false);
    std::fflush(stdout);
}

// Arguments: figures, order (2 travel, 3 inside-out). Time of ordering one
// prepared path, and the most memory held at once beyond the path itself.
void OrderFigures(benchmark::State& state) {
    const std::size_t figures = static_cast<std::size_t>(state.range(0));
    const bool rings = state.range(1) == 3;
    const StepPath steps = stepsOf(rings ? ringSheet(figures / 2, 0.05f, true) : circleSheet(figures), false);
    std::size_t peak = 0;
    for (auto _ : state) {
        state.PauseTiming();
        StepPath work = steps;
        const std::size_t before = liveBytes.load();
        peakBytes.store(before);
        state.ResumeTiming();
        orderFigures(work, rings ? CutOrder::InsideOut : CutOrder::Travel);
        peak = std::max(peak, peakBytes.load() - before);
        benchmark::DoNotOptimize(work.points.data());
    }
    state.counters["peak_bytes"] = static_cast<double>(peak);
    state.counters["bytes_per_figure"] = static_cast<double>(peak) / static_cast<double>(figures);
}
BENCHMARK(OrderFigures)
    ->ArgNames({"figures", "order"})
    ->Args({10000, 2})
    ->Args({100000, 2})
    ->Args({10000, 3})
    ->Args({100000, 3})
    ->Unit(benchmark::kMillisecond);

// Arguments: rings, nested (1: concentric squares; 0: scattered circles).
// Inside-out order alone, where finding the containers is the work.
void InsideOutRings(benchmark::State& state) {
    const std::size_t rings = static_cast<std::size_t>(state.range(0));
    const float radius = 0.08f * std::sqrt(10000.0f / static_cast<float>(rings));
    const StepPath steps = stepsOf(state.range(1) ? nestedSquares(rings) : ringSheet(rings, radius), false);
    for (auto _ : state) {
        state.PauseTiming();
        StepPath work = steps;
        state.ResumeTiming();
        orderFigures(work, CutOrder::InsideOut);
        benchmark::DoNotOptimize(work.points.data());
    }
}
BENCHMARK(InsideOutRings)
    ->ArgNames({"rings", "nested"})
    ->Args({10000, 1})
    ->Args({10000, 0})
    ->Args({100000, 1})
    ->Args({100000, 0})
    ->Unit(benchmark::kMillisecond);

void GreedyOnly(benchmark::State& state) {
    const StepPath steps = stepsOf(circleSheet(static_cast<std::size_t>(state.range(0))), false);
    for (auto _ : state) {
        state.PauseTiming();
        StepPath work = steps;
        state.ResumeTiming();
        orderFiguresGreedy(work);
        benchmark::DoNotOptimize(work.points.data());
    }
}
BENCHMARK(GreedyOnly)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vantrel

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: vantrel-order-bench SOURCE_DIR [benchmark options]\n");
        return 2;
    }
    vantrel::printTravelTable(argv[1]);
    argv[1] = argv[0];
    --argc;
    ++argv;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
