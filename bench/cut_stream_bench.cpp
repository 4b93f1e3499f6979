// The cut stream and flattening on large designs, beside a floor that only
// formats the job's integers with std::to_chars into a preallocated buffer.
// Counters: job_bytes (text of one job), peak_bytes (the most memory the call
// held at once beyond what existed before it) and peak_per_job.
#include <benchmark/benchmark.h>

#include <atomic>
#include <charconv>
#include <cstdlib>
#include <new>
#include <random>
#include <vector>

#include "cutdata/cut_stream.h"
#include "cutdata/path_ops.h"

#include "counted_allocations.h"

namespace vantrel {
namespace {

// Closed polygons of 50 corners over a 11 x 20 inch area: `segments` lines.
Path lineDesign(std::size_t segments) {
    std::mt19937 random(1);
    std::uniform_real_distribution<float> x(0.5f, 20), y(0.5f, 11);
    Path path;
    path.points.reserve(segments + segments / 49 + 1);
    path.types.reserve(path.points.capacity());
    std::size_t made = 0;
    while (made < segments) {
        path.points.push_back({x(random), y(random)});
        path.types.push_back(PathPointTypeStart);
        for (int i = 0; i < 49 && made < segments; ++i, ++made) {
            path.points.push_back({x(random), y(random)});
            path.types.push_back(PathPointTypeLine);
        }
        path.types.back() |= PathPointTypeCloseSubpath;
    }
    return path;
}

// Closed chains of 20 curves, each about a quarter of an inch across.
Path curveDesign(std::size_t segments) {
    std::mt19937 random(2);
    std::uniform_real_distribution<float> x(1, 19), y(1, 10), step(-0.25f, 0.25f);
    Path path;
    path.points.reserve(3 * segments + segments / 20 + 1);
    path.types.reserve(path.points.capacity());
    std::size_t made = 0;
    while (made < segments) {
        PointF current{x(random), y(random)};
        path.points.push_back(current);
        path.types.push_back(PathPointTypeStart);
        for (int i = 0; i < 20 && made < segments; ++i, ++made) {
            for (int k = 0; k < 3; ++k) {
                current = {current.x + step(random), current.y + step(random)};
                path.points.push_back(current);
                path.types.push_back(PathPointTypeBezier);
            }
        }
        path.types.back() |= PathPointTypeCloseSubpath;
    }
    return path;
}

const Path& design(bool curves, std::size_t segments) {
    static std::vector<std::pair<std::pair<bool, std::size_t>, Path>> cache;
    for (auto& [key, path] : cache)
        if (key == std::pair(curves, segments)) return path;
    cache.push_back({{curves, segments}, curves ? curveDesign(segments) : lineDesign(segments)});
    return cache.back().second;
}

CutJob jobFor(bool curves, std::size_t segments, int passes, bool keepCurves) {
    CutJob job;
    job.path = design(curves, segments);
    job.passCount = passes;
    job.keepCurves = keepCurves;
    job.model = CutterModelCameo;
    job.carrierMat = true;
    return job;
}

void reportMemory(benchmark::State& state, std::size_t jobBytes, std::size_t peak) {
    state.counters["job_bytes"] = static_cast<double>(jobBytes);
    state.counters["peak_bytes"] = static_cast<double>(peak);
    state.counters["peak_per_job"] = jobBytes ? static_cast<double>(peak) / static_cast<double>(jobBytes) : 0;
}

// Arguments: curves (0/1), segments, passes, keepCurves (0/1).
void CutStreamGenerator(benchmark::State& state) {
    const CutJob job = jobFor(state.range(0) != 0, static_cast<std::size_t>(state.range(1)),
                              static_cast<int>(state.range(2)), state.range(3) != 0);
    std::size_t jobBytes = 0, peak = 0;
    for (auto _ : state) {
        const std::size_t before = liveBytes.load();
        peakBytes.store(before);
        CutStreamResult result = buildCutStream(job, 508, 508, 12.0f);
        peak = std::max(peak, peakBytes.load() - before);
        if (!result.ok()) state.SkipWithError(cutStreamErrorText(result.error));
        jobBytes = result.text.size();
        benchmark::DoNotOptimize(result.text.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * jobBytes));
    reportMemory(state, jobBytes, peak);
}

// The floor: the very integers of the same job's body, in order, each with
// one separator, formatted into a buffer made before timing starts.
void ToCharsFloor(benchmark::State& state) {
    const CutJob job = jobFor(state.range(0) != 0, static_cast<std::size_t>(state.range(1)),
                              static_cast<int>(state.range(2)), state.range(3) != 0);
    Path prepared = clonePath(job.path);
    toMachineUnits(prepared, 508, 508, job.keepCurves);
    prepared = closeFigures(prepared);
    std::vector<std::int32_t> values;
    auto push = [&](PointF p) {
        values.push_back(static_cast<std::int32_t>(roundHalfAwayFromZero(p.y)));
        values.push_back(static_cast<std::int32_t>(roundHalfAwayFromZero(p.x)));
    };
    forEachFigure(prepared, [&](const FigureView& figure) {
        for (int pass = 0; pass < job.passCount; ++pass) {
            push(figure.points[0]);
            for (std::size_t i = 1; i < figure.points.size();) {
                if ((figure.types[i] & PathPointTypeMask) == PathPointTypeBezier) {
                    // A curve command carries its start point again.
                    for (std::size_t k = 0; k < 4; ++k) push(figure.points[i - 1 + k]);
                    i += 3;
                } else {
                    push(figure.points[i++]);
                }
            }
        }
    });
    std::vector<char> buffer(values.size() * 12);
    std::size_t written = 0;
    for (auto _ : state) {
        char* out = buffer.data();
        for (std::int32_t v : values) {
            out = std::to_chars(out, out + 11, v).ptr;
            *out++ = ',';
        }
        written = static_cast<std::size_t>(out - buffer.data());
        benchmark::DoNotOptimize(buffer.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * written));
    state.counters["values"] = static_cast<double>(values.size());
}

// Scaling to steps and flattening to 0.25 step; bytes are those of the output path.
void Flattening(benchmark::State& state) {
    const Path& source = design(true, static_cast<std::size_t>(state.range(0)));
    std::size_t outputPoints = 0;
    for (auto _ : state) {
        Path work = clonePath(source);
        toMachineUnits(work, 508, 508, false);
        outputPoints = work.size();
        benchmark::DoNotOptimize(work.points.data());
    }
    state.counters["output_segments"] = static_cast<double>(outputPoints);
    state.counters["segments_per_s"] =
        benchmark::Counter(static_cast<double>(outputPoints), benchmark::Counter::kIsIterationInvariantRate);
    state.counters["curves_per_s"] =
        benchmark::Counter(static_cast<double>(state.range(0)), benchmark::Counter::kIsIterationInvariantRate);
}

void jobArguments(benchmark::internal::Benchmark* b) {
    b->ArgNames({"curves", "segments", "passes", "keep_curves"});
    for (int curves : {0, 1})
        for (int segments : {100000, 1000000})
            for (int passes : {1, 3}) b->Args({curves, segments, passes, 1});
    b->Args({1, 100000, 1, 0});
    b->Args({1, 100000, 3, 0});
    b->Unit(benchmark::kMillisecond);
}

BENCHMARK(CutStreamGenerator)->Apply(jobArguments);
BENCHMARK(ToCharsFloor)->Apply(jobArguments);
BENCHMARK(Flattening)->ArgName("curves")->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vantrel

BENCHMARK_MAIN();
