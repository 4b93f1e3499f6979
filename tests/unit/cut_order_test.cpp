#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "cutdata/containment.h"
#include "cutdata/cut_order.h"
#include "cutdata/cut_stream.h"
#include "path_builders.h"
#include "toolpath/job_reader.h"

namespace vantrel {
namespace {

using namespace testing_paths;
using PointSet = std::set<std::pair<long, long>>;

// Every figure of a job's body (from each move to the next) as the set of the
// points it names, in the order cut.
std::vector<PointSet> figuresOf(const std::string& job) {
    std::vector<PointSet> figures;
    const std::size_t begin = job.find("M0,0") + 4, end = job.rfind("|&1,1,1|");
    for (std::size_t at = begin; at < end;) {
        std::size_t next = job.find('|', at + 1);
        const std::string command = job.substr(at + 1, std::min(next, end) - at - 1);
        if (command[0] == 'M') figures.emplace_back();
        std::vector<long> numbers;
        for (std::size_t i = command.find_first_of("-0123456789"); i < command.size();) {
            std::size_t used = 0;
            numbers.push_back(std::stol(command.substr(i), &used));
            i = command.find_first_of("-0123456789", i + used);
        }
        // "BZ1," leads with its constant.
        for (std::size_t i = command[0] == 'B' ? 1 : 0; i + 1 < numbers.size(); i += 2)
            figures.back().insert({numbers[i], numbers[i + 1]});
        at = next;
    }
    return figures;
}

// Closed polygons of uneven corners, closed curves, open polylines and open
// curves, and single points, scattered in a random drawing order.
Path scatteredDesign(unsigned seed) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> at(0, 4000), step(-60, 60);
    Path path;
    auto add = [&](PointF p, std::uint8_t type) {
        path.points.push_back(p);
        path.types.push_back(type);
    };
    for (int figure = 0; figure < 60; ++figure) {
        PointF p{at(random), at(random)};
        add(p, S);
        const int kind = figure % 5, count = 1 + figure % 4;
        for (int i = 0; kind != 4 && i < count; ++i) {
            const bool curve = kind == 1 || kind == 3;
            for (int k = 0; k < (curve ? 3 : 1); ++k) add(p = {p.x + step(random), p.y + step(random)}, curve ? B : L);
        }
        if (kind < 2) path.types.back() |= C;
    }
    return path;
}

struct CollectedText : CutStreamWriter {
    bool write(char* piece, std::size_t size) override {
        text.append(piece, size);
        return true;
    }
    std::string text;
};

CutJob jobFor(Path path, CutOrder order, int passes, bool keepCurves) {
    CutJob job;
    job.path = std::move(path);
    job.passCount = passes;
    job.keepCurves = keepCurves;
    job.order = order;
    return job;
}

TEST(CutOrder, TravelCutsTheSameFiguresNoFartherInEitherFormAndWithPasses) {
    for (unsigned seed : {1u, 2u, 3u})
        for (bool keepCurves : {true, false})
            for (int passes : {1, 2}) {
                const Path design = scatteredDesign(seed);
                const std::string drawing =
                    buildCutStream(jobFor(design, CutOrder::Drawing, passes, keepCurves), 508, 508, 12).text;
                for (CutOrder order : {CutOrder::Travel, CutOrder::InsideOut}) {
                    const std::string ordered = buildCutStream(jobFor(design, order, passes, keepCurves), 508, 508, 12).text;
                    ASSERT_FALSE(ordered.empty());
                    // The same header, and the same figures however each is entered.
                    EXPECT_EQ(ordered.substr(0, ordered.find("M0,0")), drawing.substr(0, drawing.find("M0,0")));
                    std::vector<PointSet> a = figuresOf(drawing), b = figuresOf(ordered);
                    EXPECT_NE(a, b) << "nothing was reordered";
                    std::sort(a.begin(), a.end());
                    std::sort(b.begin(), b.end());
                    EXPECT_EQ(a, b) << seed << keepCurves << passes;
                    JobReader before(508, 508, false), after(508, 508, false);
                    before.read(drawing);
                    after.read(ordered);
                    EXPECT_LT(after.totals().travelInches, before.totals().travelInches);
                    EXPECT_NEAR(after.totals().cutInches, before.totals().cutInches, 1e-3);
                    // The extent the stream gives is the one its text, read back, reaches:
                    // a curve's own far point, which the reader's pieces (in float inches,
                    // here two million steps out) touch within a fraction of a step.
                    JobExtent extent;
                    CollectedText text;
                    ASSERT_EQ(writeCutStream(jobFor(design, order, passes, keepCurves), 508, 508, 12, text, &extent),
                              CutStreamError::None);
                    EXPECT_EQ(text.text, ordered);
                    EXPECT_EQ(extent.limitY, after.limitY());
                    EXPECT_EQ(extent.limitX, after.limitX());
                    for (auto [stream, read] : {std::pair{extent.reachY, after.totals().reachY},
                                                std::pair{extent.reachX, after.totals().reachX}}) {
                        EXPECT_NEAR(stream, read, keepCurves ? 0.25 : 0.0);
                    }
                }
            }
}

// The step path of `path` (in steps already), ordered.
StepPath ordered(const Path& path, CutOrder order) {
    StepPath steps;
    EXPECT_TRUE(toClosedSteps(path, StepPlacement{}, steps));
    orderFigures(steps, order);
    return steps;
}

TEST(CutOrder, ClosedFiguresKeepTheirDirectionAndOpenOnesTurnOnlyForTravel) {
    // A closed figure whose best entry is its third corner, and an open figure
    // best cut from its far end; both near enough to each other to matter.
    const Path design = makePath({{3000, 3000, S}, {3100, 3000, L}, {3100, 3150, L}, {10, 10, L | C},
                                  {400, 10, S}, {300, 20, L}, {20, 30, L}});
    const StepPath travel = ordered(design, CutOrder::Travel);
    ASSERT_EQ(travel.size(), 8u);
    // The closed figure: from (10, 10), round the same way.
    const std::vector<std::pair<int, int>> expected{{10, 10}, {3000, 3000}, {3100, 3000}, {3100, 3150}, {10, 10}};
    std::vector<std::pair<int, int>> got;
    for (std::size_t i = 0; i < 5; ++i) got.push_back({travel.points[i].x, travel.points[i].y});
    EXPECT_EQ(got, expected);
    EXPECT_EQ(travel.types[4], L | C);
    // The open figure, from (20, 30) back to (400, 10).
    EXPECT_EQ(travel.points[5].x, 20);
    EXPECT_EQ(travel.points[7].x, 400);
    const StepPath insideOut = ordered(design, CutOrder::InsideOut);
    for (std::size_t i = 0; i < insideOut.size(); ++i)
        if (insideOut.types[i] == S && insideOut.points[i].x == 20) ADD_FAILURE() << "an open figure was reversed";
}

// Each figure of `steps` by its extent along x (smallest, largest), in the
// order cut: the same wherever a closed figure now starts.
std::vector<std::pair<int, int>> spansInCutOrder(const StepPath& steps) {
    std::vector<std::pair<int, int>> spans;
    for (std::size_t i = 0; i < steps.size(); ++i) {
        const int x = steps.points[i].x;
        if ((steps.types[i] & PathPointTypeMask) == PathPointTypeStart) spans.push_back({x, x});
        spans.back() = {std::min(spans.back().first, x), std::max(spans.back().second, x)};
    }
    return spans;
}

void addSquare(Path& path, float x, float y, float side) {
    const Path square = makePath({{x, y, S}, {x + side, y, L}, {x + side, y + side, L}, {x, y + side, L | C}});
    path.points.insert(path.points.end(), square.points.begin(), square.points.end());
    path.types.insert(path.types.end(), square.types.begin(), square.types.end());
}

// An ellipse of four curves from its rightmost point.
void addEllipse(Path& path, float cx, float cy, float rx, float ry) {
    const float k = 0.5523f;
    const Path e = makePath({{cx + rx, cy, S},
                             {cx + rx, cy + k * ry, B}, {cx + k * rx, cy + ry, B}, {cx, cy + ry, B},
                             {cx - k * rx, cy + ry, B}, {cx - rx, cy + k * ry, B}, {cx - rx, cy, B},
                             {cx - rx, cy - k * ry, B}, {cx - k * rx, cy - ry, B}, {cx, cy - ry, B},
                             {cx + k * rx, cy - ry, B}, {cx + rx, cy - k * ry, B}, {cx + rx, cy, B | C}});
    path.points.insert(path.points.end(), e.points.begin(), e.points.end());
    path.types.insert(path.types.end(), e.types.begin(), e.types.end());
}

TEST(CutOrder, InsideOutNeverCutsAContainerBeforeWhatItContains) {
    using Spans = std::vector<std::pair<int, int>>;
    {  // Nested rings, drawn outermost first, the outermost nearest the origin.
        Path rings;
        addSquare(rings, 10, 10, 900);
        addSquare(rings, 200, 200, 500);
        addSquare(rings, 400, 400, 100);
        EXPECT_EQ(spansInCutOrder(ordered(rings, CutOrder::Travel)).front(), std::make_pair(10, 910));
        EXPECT_EQ(spansInCutOrder(ordered(rings, CutOrder::InsideOut)), (Spans{{400, 500}, {200, 700}, {10, 910}}));
    }
    {  // The letter "O", drawn outline first: its hole first.
        Path o;
        addEllipse(o, 600, 600, 400, 550);
        addEllipse(o, 600, 600, 250, 400);
        EXPECT_EQ(spansInCutOrder(ordered(o, CutOrder::InsideOut)), (Spans{{350, 850}, {200, 1000}}));
    }
    {  // Touching: a square inside another along its left edge lies inside it;
       // a square beside it, sharing its right edge, does not, nor the big
       // one inside that. An open line inside the big one comes first too.
        Path touching;
        addSquare(touching, 1000, 0, 500);
        addSquare(touching, 1500, 0, 500);
        addSquare(touching, 1000, 100, 200);
        touching.points.insert(touching.points.end(), {{1300, 400}, {1400, 420}});
        touching.types.insert(touching.types.end(), {S, L});
        const Spans cut = spansInCutOrder(ordered(touching, CutOrder::InsideOut));
        auto at = [&](std::pair<int, int> span) { return std::find(cut.begin(), cut.end(), span) - cut.begin(); };
        ASSERT_EQ(cut.size(), 4u);
        EXPECT_LT(at({1000, 1200}), at({1000, 1500}));
        EXPECT_LT(at({1300, 1400}), at({1000, 1500}));
        StepPath steps;
        ASSERT_TRUE(toClosedSteps(touching, StepPlacement{}, steps));
        const Containment inside = containmentOf(figureTableOf(steps, false));
        const std::uint32_t none = Containment::None;
        EXPECT_EQ(inside.parent, (std::vector<std::uint32_t>{none, none, 0, 0}));
    }
}

// Against a brute-force reference: clusters of nested squares, each with or
// without a small one beside the chain, drawn in a random order.
TEST(CutOrder, InsideOutFindsEachFiguresNearestContainer) {
    std::mt19937 random(11);
    std::vector<std::array<float, 3>> squares;  // x, y, side
    for (int cluster = 0; cluster < 150; ++cluster) {
        float x = static_cast<float>(cluster % 15 * 1000 + random() % 100), y = static_cast<float>(cluster / 15 * 1000), side = 800;
        if (random() % 2) squares.push_back({x + 10, y + 10, 60});
        for (int depth = static_cast<int>(random() % 6); depth >= 0; --depth) {
            squares.push_back({x, y, side});
            const float inner = side * static_cast<float>(3 + random() % 5) / 10;
            if (inner < 140) break;
            x += 80 + (side - inner - 120) * static_cast<float>(random() % 2);
            y += (side - inner) / 2, side = inner - 100;
        }
    }
    std::shuffle(squares.begin(), squares.end(), random);
    Path path;
    for (const auto& [x, y, side] : squares) addSquare(path, x, y, side);
    StepPath steps;
    ASSERT_TRUE(toClosedSteps(path, StepPlacement{}, steps));
    const Containment inside = containmentOf(figureTableOf(steps, false));
    for (std::uint32_t f = 0; f < squares.size(); ++f) {
        std::uint32_t nearest = Containment::None;
        for (std::uint32_t g = 0; g < squares.size(); ++g)
            if (squares[g][0] < squares[f][0] && squares[g][1] < squares[f][1] &&
                squares[g][0] + squares[g][2] > squares[f][0] + squares[f][2] &&
                squares[g][1] + squares[g][2] > squares[f][1] + squares[f][2] &&
                (nearest == Containment::None || squares[g][2] < squares[nearest][2]))
                nearest = g;
        EXPECT_EQ(inside.parent[f], nearest) << "square " << f;
    }
}

}  // namespace
}  // namespace vantrel
