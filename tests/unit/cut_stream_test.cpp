#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "cutdata/commands.h"
#include "cutdata/cut_stream.h"
#include "cutdata/path_ops.h"
#include "path_builders.h"

#include <random>

namespace vantrel {
namespace {

using namespace testing_paths;

// A job whose design is already in steps (resolution 1) and stays where it is
// (no identified model), so that the body shows the path's own numbers.
CutJob plainJob(Path path, int passes = 1, bool keepCurves = true) {
    CutJob job;
    job.path = std::move(path);
    job.passCount = passes;
    job.keepCurves = keepCurves;
    job.model = CutterModelNone;
    job.force = 10;
    job.speed = 10;
    return job;
}

const std::string Trailer = "|&1,1,1|TB50,0|FO0|H|";

// The body: what lies between the origin move and the trailer.
std::string bodyOf(const CutJob& job, double dpi = 1.0) {
    CutStreamResult result = buildCutStream(job, dpi, dpi, 12.0f);
    EXPECT_TRUE(result.ok()) << cutStreamErrorText(result.error);
    const std::size_t origin = result.text.find("L0|L0|M0,0");
    EXPECT_NE(origin, std::string::npos);
    EXPECT_TRUE(result.text.ends_with(Trailer)) << result.text;
    const std::size_t begin = origin + 10;
    return result.text.substr(begin, result.text.size() - Trailer.size() - begin);
}

// Triangle A(10,20), B(30,20), C(20,40) as (x, y): written (y, x).
Path triangle(bool closed) {
    return makePath({{10, 20, S}, {30, 20, L}, {20, 40, std::uint8_t(L | (closed ? C : 0))}});
}

TEST(CutStream, EmptyDesignIsHeaderOriginMoveAndTrailer) {
    CutJob job = plainJob(Path());
    job.model = CutterModelCameo;
    job.bladeOffset = true;
    CutStreamResult result = buildCutStream(job, 508, 508, 12.0f);
    ASSERT_TRUE(result.ok());
    EXPECT_EQ(result.text,
              "FN0|FN1|FJ|FC18|TB99|FM1|TB50,1|FO60000|&100,100,100|\\29,29|Z6096,60000|FX10,0|!10,0|L0|L0|"
              "M0,0|&1,1,1|TB50,0|FO0|H|");
}

TEST(CutStream, PassesInBothBodyForms) {
    struct Case {
        bool closed;
        bool keepCurves;
        int passes;
        const char* body;
    } cases[] = {
        // Closed: the explicit closing side, then the blade stays down into the next pass.
        {true, true, 2, "|M20,10|D20,30|D40,20|D20,10|D20,10|D20,30|D40,20|D20,10"},
        {true, true, 1, "|M20,10|D20,30|D40,20|D20,10"},
        // Open: each pass travels back to the start with the blade raised.
        {false, true, 2, "|M20,10|D20,30|D40,20|M20,10|D20,30|D40,20"},
        // Flattened: one draw list for all passes of a closed figure.
        {true, false, 2, "|M20,10|D20,30,40,20,20,10,20,10,20,30,40,20,20,10"},
        {false, false, 2, "|M20,10|D20,30,40,20|M20,10|D20,30,40,20"},
        {true, false, 3, "|M20,10|D20,30,40,20,20,10,20,10,20,30,40,20,20,10,20,10,20,30,40,20,20,10"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(bodyOf(plainJob(triangle(c.closed), c.passes, c.keepCurves)), c.body)
            << "closed " << c.closed << " curves " << c.keepCurves << " passes " << c.passes;
    }
}

TEST(CutStream, RoundsHalfAwayFromZero) {
    struct Case {
        double value;
        long long rounded;
    } cases[] = {{12.5, 13}, {-12.5, -13}, {0.5, 1}, {-0.5, -1}, {0.49999997, 0}, {-0.49999997, 0},
                 {2.4999, 2}, {-2.5001, -3}, {0, 0}, {2147483520.0, 2147483520}};
    for (const Case& c : cases) EXPECT_EQ(roundHalfAwayFromZero(c.value), c.rounded) << c.value;
    // Through the whole job: 6.25 inches at 2 steps per inch is 12.5 steps.
    EXPECT_EQ(bodyOf(plainJob(makePath({{6.25f, -6.25f, S}, {-6.25f, 6.25f, L}})), 2.0), "|M-13,13|D13,-13");
}

TEST(CutStream, HeaderPerModelAndCutType) {
    enum Type { Wysiwyg, PrintAndCut, KnifePoint };
    struct Case {
        int model;
        Type type;
        bool bladeOffset;
        const char* header;
    } cases[] = {
        {CutterModelCameo, Wysiwyg, false,
         "FN0|FN1|FJ|FC0|TB99|FM1|TB50,1|FO60000|&100,100,100|\\29,29|Z6096,60000|FX7,0|!3,0|L0|L0|"},
        {CutterModelPortrait, Wysiwyg, true,
         "FN0|FN1|FJ|FC18|TB99|FM1|TB50,1|FO60000|&100,100,100|\\29,29|Z6096,60000|FX7,0|!3,0|L0|L0|"},
        {CutterModelSilhouette, Wysiwyg, false,
         "FN0|FN1|FJ|FC0|TB99|FM1|TB50,1|FO20000|&100,100,100|\\29,29|Z6096,20000|FX7,0|!3,0|L0|L0|"},
        {CutterModelNone, Wysiwyg, false,
         "FN0|FN1|FJ|FC0|TB99|FM1|TB50,1|FO20000|&100,100,100|\\29,29|Z6096,20000|FX7,0|!3,0|L0|L0|"},
        {CutterModelCameo, PrintAndCut, true,
         "FC18|TB99|FM1|TB50,1|FO7000|&100,100,100|\\0,0|Z4000,7000|FX7,0|!3,0|L0|L0|"},
        {CutterModelSilhouette, PrintAndCut, false,
         "FC0|TB99|FM1|TB50,1|FO7000|&100,100,100|\\0,0|Z4000,7000|FX7,0|!3,0|L0|L0|"},
        {CutterModelCameo, KnifePoint, false,
         "FN0|FN1|FJ|FC0|TB99|FM1|TB50,1|FO60000|&100,100,100|\\0,0|Z6096,60000|FX7,0|!3,0|L0|L0|"},
        {CutterModelSilhouette, KnifePoint, true,
         "FN0|FN1|FJ|FC18|TB99|FM1|TB50,1|FO20000|&100,100,100|\\0,0|Z6096,20000|FX7,0|!3,0|L0|L0|"},
    };
    for (const Case& c : cases) {
        CutJob job = plainJob(Path());
        job.model = c.model;
        job.printAndCut = c.type == PrintAndCut;
        job.knifePoint = c.type == KnifePoint;
        job.markExtentX = 7000;
        job.markExtentY = 4000;
        job.bladeOffset = c.bladeOffset;
        job.force = 7;
        job.speed = 3;
        CutStreamResult result = buildCutStream(job, 508, 508, 12.0f);
        ASSERT_TRUE(result.ok());
        EXPECT_EQ(result.text, std::string(c.header) + "M0,0" + Trailer) << c.model << " " << c.type;
    }
}

TEST(CutStream, CarriageLimitIsTruncatedNotRounded) {
    CutJob job = plainJob(Path());
    // 508 * 11.999 = 6095.49..., and 100.7 * 10 = 1007 with the fraction cut off.
    EXPECT_NE(buildCutStream(job, 508, 508, 11.999f).text.find("Z6095,20000|"), std::string::npos);
    EXPECT_NE(buildCutStream(job, 508, 100.75, 10.0f).text.find("Z1007,20000|"), std::string::npos);
    // The X resolution plays no part in it.
    EXPECT_NE(buildCutStream(job, 1000, 508, 12.0f).text.find("Z6096,20000|"), std::string::npos);
}

TEST(CutStream, WysiwygPlacementPerModelAndMat) {
    // A point at (1, 1) inch; offsets are exact binary fractions, so steps are exact.
    struct Case {
        int model;
        bool mat;
        const char* body;
    } cases[] = {
        {CutterModelSilhouette, true, "|M429,508"},    // (0, -0.15625): y 0.84375 * 508 = 428.625
        {CutterModelSilhouette, false, "|M429,429"},
        {CutterModelCameo, true, "|M508,508"},
        {CutterModelCameo, false, "|M429,476"},         // x 0.9375 * 508 = 476.25
        {CutterModelPortrait, true, "|M524,476"},       // y 1.03125 * 508 = 523.875
        {CutterModelPortrait, false, "|M397,397"},      // 0.78125 * 508 = 396.875
        {CutterModelNone, false, "|M508,508"},
        {9, true, "|M508,508"},
    };
    for (const Case& c : cases) {
        CutJob job = plainJob(makePath({{1, 1, S}}));
        job.model = c.model;
        job.carrierMat = c.mat;
        EXPECT_EQ(bodyOf(job, 508), c.body) << c.model << " mat " << c.mat;
    }
}

TEST(CutStream, KnifePointAndPrintAndCutPlacement) {
    // An arch bulging towards -y: its curve reaches y = 17, its control points y = 16.
    Path arch = makePath({{10, 20, S}, {10, 16, B}, {14, 16, B}, {14, 20, B}});
    CutJob knife = plainJob(arch);
    knife.knifePoint = true;
    knife.model = CutterModelCameo;
    // The curve's own top-left corner goes to (0, 0), not its control points'.
    EXPECT_EQ(bodyOf(knife), "|M3,0|BZ1,3,0,-1,0,-1,4,3,4");

    CutJob marks = plainJob(arch);
    marks.printAndCut = true;
    marks.markOriginX = 0.5f;
    marks.markOriginY = 0.25f;
    marks.markExtentX = 100;
    marks.markExtentY = 100;
    // 19.75 and 9.5 steps, rounded away from zero.
    EXPECT_TRUE(bodyOf(marks).starts_with("|M20,10|")) << bodyOf(marks);
}

TEST(CutStream, TrackEnhancingSendsTheFarCornerOfThePreparedDesign) {
    Path path = makePath({{100, 200, S}, {300.4f, 250, L}, {150, 420.5f, L}});
    CutJob job = plainJob(path);
    CutStreamResult off = buildCutStream(job, 1, 1, 12.0f);
    EXPECT_EQ(off.text.find("FU"), std::string::npos);
    job.trackEnhancing = true;
    CutStreamResult on = buildCutStream(job, 1, 1, 12.0f);
    EXPECT_TRUE(on.text.starts_with("FN0|FN1|FJ|FC0|TB99|FU421,300|FM1|")) << on.text;

    // With curves it is the curve's extent, not its control points'.
    Path arch = makePath({{0, 0, S}, {0, 400, B}, {400, 400, B}, {400, 0, B}});
    job.path = arch;
    EXPECT_NE(buildCutStream(job, 1, 1, 12.0f).text.find("FU300,400|"), std::string::npos);
}

TEST(CutStream, FlattenedCurvesBecomeOneDrawListPerFigure) {
    Path arch = makePath({{0, 0, S}, {0, 2, B}, {2, 2, B}, {2, 0, std::uint8_t(B | C)}});
    const std::string body = bodyOf(plainJob(arch, 1, false), 508);
    EXPECT_EQ(body.find("BZ1"), std::string::npos);
    ASSERT_TRUE(body.starts_with("|M0,0|D")) << body;
    EXPECT_EQ(body.find('|', 7), std::string::npos) << "one draw list";
    // It ends back at the start, through the arch's end point (0, 1016).
    EXPECT_TRUE(body.ends_with(",0,1016,0,0")) << body;
}

TEST(CutStream, SinglePointFiguresNeverMakeEmptyOrWordlessCommands) {
    Path dots = makePath({{1, 1, std::uint8_t(S | C)}, {2, 2, S}, {3, 3, S}});
    EXPECT_EQ(bodyOf(plainJob(dots, 2, false)), "|M1,1|D1,1|M2,2|M2,2|M3,3|M3,3");
    EXPECT_EQ(bodyOf(plainJob(dots, 2, true)), "|M1,1|D1,1|M2,2|M2,2|M3,3|M3,3");
}

TEST(CutStream, BadInputIsRefusedNeverCut) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    struct Case {
        const char* what;
        CutJob job;
        double dpi;
        float mediaWidth;
        CutStreamError error;
    };
    auto job = [](Path p) { return plainJob(std::move(p)); };
    CutJob badForce = job(triangle(true));
    badForce.force = 0;
    CutJob badSpeed = job(triangle(true));
    badSpeed.speed = 11;
    CutJob badPasses = job(triangle(true));
    badPasses.passCount = 0;
    CutJob nanMark = job(triangle(true));
    nanMark.printAndCut = true;
    nanMark.markExtentX = nanMark.markExtentY = 100;
    nanMark.markOriginX = nan;
    CutJob noExtent = job(triangle(true));
    noExtent.printAndCut = true;
    Path mismatch = triangle(true);
    mismatch.types.pop_back();
    Case cases[] = {
        {"NaN x", job(makePath({{0, 0, S}, {nan, 1, L}})), 508, 12, CutStreamError::NonFiniteCoordinate},
        {"infinite y", job(makePath({{0, inf, S}})), 508, 12, CutStreamError::NonFiniteCoordinate},
        {"NaN control point", job(makePath({{0, 0, S}, {1, nan, B}, {1, 1, B}, {0, 1, B}})), 508, 12,
         CutStreamError::NonFiniteCoordinate},
        {"NaN mark origin", nanMark, 508, 12, CutStreamError::NonFiniteCoordinate},
        {"steps beyond 32 bits", job(makePath({{0, 0, S}, {5e6f, 1, L}})), 508, 12, CutStreamError::CoordinateOverflow},
        {"steps beyond a float", job(makePath({{0, 0, S}, {1e38f, 1, L}})), 508, 12, CutStreamError::CoordinateOverflow},
        {"flattened curve beyond 32 bits",
         [&] {
             CutJob j = job(makePath({{0, 0, S}, {1e7f, 0, B}, {1e7f, 1e7f, B}, {0, 1e7f, B}}));
             j.keepCurves = false;
             return j;
         }(),
         508, 12, CutStreamError::CoordinateOverflow},
        {"negative steps beyond 32 bits", job(makePath({{-2.2e9f, 0, S}})), 1, 12, CutStreamError::CoordinateOverflow},
        {"Bezier run of two", job(makePath({{0, 0, S}, {1, 1, B}, {2, 2, B}, {3, 3, L}})), 508, 12,
         CutStreamError::MalformedPath},
        {"Bezier run of four", job(makePath({{0, 0, S}, {1, 1, B}, {2, 2, B}, {3, 3, B}, {4, 4, B}})), 508, 12,
         CutStreamError::MalformedPath},
        {"Bezier across a figure start", job(makePath({{0, 0, S}, {1, 1, B}, {2, 2, S}, {3, 3, B}})), 508, 12,
         CutStreamError::MalformedPath},
        {"unknown type 2", job(makePath({{0, 0, S}, {1, 1, 2}})), 508, 12, CutStreamError::MalformedPath},
        {"unknown type 7", job(makePath({{0, 0, S}, {1, 1, 0x27}})), 508, 12, CutStreamError::MalformedPath},
        {"first point a line", job(makePath({{0, 0, L}, {1, 1, L}})), 508, 12, CutStreamError::MalformedPath},
        {"types shorter than points", job(mismatch), 508, 12, CutStreamError::MalformedPath},
        {"resolution 0", job(triangle(true)), 0, 12, CutStreamError::InvalidResolution},
        {"resolution below 0", job(triangle(true)), -508, 12, CutStreamError::InvalidResolution},
        {"resolution NaN", job(triangle(true)), std::nan(""), 12, CutStreamError::InvalidResolution},
        // No machine has these; the media width must not take the blame for them.
        {"resolution 1e-30", job(triangle(true)), 1e-30, 12, CutStreamError::InvalidResolution},
        {"resolution just below 1", job(triangle(true)), 0.999, 12, CutStreamError::InvalidResolution},
        {"resolution just above 100000", job(triangle(true)), 100000.01, 12, CutStreamError::InvalidResolution},
        {"resolution 1e8", job(triangle(true)), 1e8, 12, CutStreamError::InvalidResolution},
        {"resolution 1e9", job(triangle(true)), 1e9, 12, CutStreamError::InvalidResolution},
        {"media width NaN", job(triangle(true)), 508, nan, CutStreamError::InvalidMediaWidth},
        {"media width 0", job(triangle(true)), 508, 0, CutStreamError::InvalidMediaWidth},
        {"media width beyond 32 bits", job(triangle(true)), 508, 1e8f, CutStreamError::InvalidMediaWidth},
        {"force 0", badForce, 508, 12, CutStreamError::InvalidSetting},
        {"speed 11", badSpeed, 508, 12, CutStreamError::InvalidSetting},
        {"no passes", badPasses, 508, 12, CutStreamError::InvalidSetting},
        {"print and cut without extents", noExtent, 508, 12, CutStreamError::InvalidSetting},
    };
    for (const Case& c : cases) {
        CutStreamResult result = buildCutStream(c.job, c.dpi, c.dpi, c.mediaWidth);
        EXPECT_EQ(result.error, c.error) << c.what;
        EXPECT_TRUE(result.text.empty()) << c.what;
        EXPECT_STRNE(cutStreamErrorText(result.error), "") << c.what;
    }
    // Print and Cut does not use the media width, so its absence is no fault there.
    CutJob marks = job(triangle(true));
    marks.printAndCut = true;
    marks.markExtentX = marks.markExtentY = 100;
    EXPECT_TRUE(buildCutStream(marks, 508, 508, nan).ok());
    // One axis alone out of range is refused all the same; the range's ends are cut.
    EXPECT_EQ(buildCutStream(job(triangle(true)), 508, 1e9, 12).error, CutStreamError::InvalidResolution);
    EXPECT_EQ(buildCutStream(job(triangle(true)), 1e-30, 508, 12).error, CutStreamError::InvalidResolution);
    EXPECT_TRUE(buildCutStream(job(triangle(true)), 100000, 100000, 12).ok());
    EXPECT_STREQ(cutStreamErrorText(CutStreamError::InvalidResolution),
                 "The machine resolution must be from 1 to 100000 steps per inch.");
    // The largest coordinate that still fits is cut.
    EXPECT_TRUE(buildCutStream(job(makePath({{2147483520.0f, -2147483520.0f, S}})), 1, 1, 12).ok());
}

// The command forms written out the plain way, one CommandStream call per
// command, from a path already in steps and with its figures closed.
std::string referenceBody(const Path& closed, int passes, bool keepCurves) {
    auto r = [](float v) { return roundHalfAwayFromZero(v); };
    std::string body;
    if (keepCurves) {
        CommandStream s;
        forEachFigure(closed, [&](const FigureView& f) {
            for (int pass = 0; pass < passes; ++pass) {
                for (std::size_t i = 0; i < f.points.size(); ++i) {
                    const PointF p = f.points[i];
                    switch (f.types[i] & PathPointTypeMask) {
                    case PathPointTypeStart:
                        if (pass > 0 && f.closed)
                            s.draw(r(p.y), r(p.x));
                        else
                            s.move(r(p.y), r(p.x));
                        break;
                    case PathPointTypeBezier: {
                        const PointF a = f.points[i - 1], c = f.points[i + 1], d = f.points[i + 2];
                        s.bezier(r(a.y), r(a.x), r(p.y), r(p.x), r(c.y), r(c.x), r(d.y), r(d.x));
                        i += 2;
                        break;
                    }
                    default: s.draw(r(p.y), r(p.x));
                    }
                }
            }
        });
        if (s.size() > 0) body = "|" + s.text().substr(0, s.size() - 1);
        return body;
    }
    bool mustBegin = false;
    forEachFigure(closed, [&](const FigureView& f) {
        for (int pass = 0; pass < passes; ++pass) {
            for (std::size_t i = 0; i < f.points.size(); ++i) {
                std::string pair;
                appendInt(pair, r(f.points[i].y));
                pair += ",";
                appendInt(pair, r(f.points[i].x));
                if ((f.types[i] & PathPointTypeMask) == PathPointTypeStart && (pass == 0 || !f.closed)) {
                    body += "|M" + pair;
                    mustBegin = true;
                } else if (mustBegin) {
                    body += "|D" + pair;
                    mustBegin = false;
                } else {
                    body += "," + pair;
                }
            }
        }
    });
    return body;
}

// The job as writeCutStream hands it over, the pieces joined.
class Joiner : public CutStreamWriter {
public:
    bool write(char* text, std::size_t size) override {
        EXPECT_GT(size, 0u);
        EXPECT_LE(size, std::size_t{1} << 16);
        ++pieces;
        joined.append(text, size);
        return pieces < refuseAfter;
    }
    std::string joined;
    int pieces = 0;
    int refuseAfter = 1 << 30;
};

void expectSameWhenStreamed(const CutJob& job, double dpi) {
    const CutStreamResult whole = buildCutStream(job, dpi, dpi, 12.0f);
    Joiner streamed;
    EXPECT_EQ(writeCutStream(job, dpi, dpi, 12.0f, streamed), whole.error);
    EXPECT_EQ(streamed.joined, whole.text);
}

TEST(CutStream, MatchesThePlainWayOnRandomDesigns) {
    // Coordinates of every length, the edges between lengths, zero and signs.
    std::mt19937 random(508);
    const float edges[] = {0, 1, 9, 10, 99, 100, 999, 1000, 9999, 10000, 99999, 100000, 999999, 1000000,
                           9999999, 10000000, 16777216, 99999992, 100000000, 999999936, 1000000000, 2147483520};
    std::uniform_int_distribution<int> pick(0, std::size(edges) - 1), coin(0, 3), length(0, 6);
    std::uniform_real_distribution<float> ordinary(-5000, 5000);
    auto coordinate = [&] {
        const float v = coin(random) == 0 ? ordinary(random) : edges[pick(random)];
        return coin(random) < 2 ? -v : v;
    };
    for (int n = 0; n < 300; ++n) {
        const bool curves = coin(random) < 2;
        Path path;
        for (int figure = 0, figures = length(random); figure < figures; ++figure) {
            path.points.push_back({coordinate(), coordinate()});
            path.types.push_back(S);
            for (int segment = 0, segments = length(random); segment < segments; ++segment) {
                const int points = curves && coin(random) < 2 ? 3 : 1;
                for (int k = 0; k < points; ++k) {
                    path.points.push_back({coordinate(), coordinate()});
                    path.types.push_back(points == 3 ? B : L);
                }
            }
            if (coin(random) < 2) path.types.back() |= C;
        }
        const int passes = 1 + coin(random);
        for (bool keepCurves : {true, false}) {
            CutJob job = plainJob(path, passes, keepCurves);
            job.trackEnhancing = coin(random) == 0;
            expectSameWhenStreamed(job, 1.0);
            if (!keepCurves && curves) continue;  // flattening would change the points
            const std::string body = bodyOf(plainJob(path, passes, keepCurves));
            ASSERT_EQ(body, referenceBody(closeFigures(path), passes, keepCurves)) << "design " << n;
        }
    }
}

TEST(CutStream, StreamedJobsSpanManyPiecesAndStopWhenRefused) {
    // Closed wavy rings: a few hundred kilobytes in either form, in inches.
    Path design;
    for (int ring = 0; ring < 40; ++ring) {
        const float cx = 1 + static_cast<float>(ring % 8), cy = 1 + static_cast<float>(ring / 8);
        design.points.push_back({cx + 0.4f, cy});
        design.types.push_back(S);
        for (int k = 1; k <= 300; ++k) {
            const float a = static_cast<float>(k) * 0.0209f;
            design.points.push_back({cx + 0.4f * std::cos(a), cy + 0.35f * std::sin(3 * a)});
            design.types.push_back(k % 4 == 0 ? L : B);
        }
        design.points.resize(design.points.size() - 1);
        design.types.resize(design.types.size() - 1);
        design.types.back() = static_cast<std::uint8_t>(design.types.back() | C);
    }
    ASSERT_EQ(findPathFault(design), PathFault::None);
    for (bool keepCurves : {true, false}) {
        CutJob job = plainJob(design, 3, keepCurves);
        job.model = CutterModelCameo;
        job.trackEnhancing = true;
        expectSameWhenStreamed(job, 508);
        Joiner refusing;
        refusing.refuseAfter = 2;
        EXPECT_EQ(writeCutStream(job, 508, 508, 12.0f, refusing), CutStreamError::None);
        EXPECT_EQ(refusing.pieces, 2) << "nothing more after a refused piece";
    }
    // Refused input hands over nothing at all.
    Joiner none;
    EXPECT_EQ(writeCutStream(plainJob(makePath({{0, 0, S}, {5e6f, 1, L}})), 508, 508, 12.0f, none),
              CutStreamError::CoordinateOverflow);
    EXPECT_EQ(none.pieces, 0);
}

TEST(CutStream, WholeJobIsByteExact) {
    CutJob job;
    job.path = makePath({{1, 1, S}, {2, 1, L}, {2, 1.5f, std::uint8_t(L | C)}});
    job.model = CutterModelCameo;
    job.carrierMat = true;
    job.force = 20;
    job.speed = 5;
    job.bladeOffset = true;
    job.trackEnhancing = true;
    job.passCount = 2;
    CutStreamResult result = buildCutStream(job, 508, 508, 8.5f);
    ASSERT_TRUE(result.ok());
    EXPECT_EQ(result.text,
              "FN0|FN1|FJ|FC18|TB99|FU762,1016|FM1|TB50,1|FO60000|&100,100,100|\\29,29|Z4318,60000|FX20,0|!5,0|"
              "L0|L0|M0,0|M508,508|D508,1016|D762,1016|D508,508|D508,508|D508,1016|D762,1016|D508,508"
              "|&1,1,1|TB50,0|FO0|H|");
    // On the wire nothing of the "|" remains.
    EXPECT_EQ(toWire(result.text).find('|'), std::string::npos);
}

}  // namespace
}  // namespace vantrel
