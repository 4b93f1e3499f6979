#include "ui/preview_geometry.h"

#include <algorithm>
#include <cmath>

#include "cutdata/flatten.h"

namespace vantrel::preview {

MatPlacement matPlacement(int model) {
    switch (model) {
        case 2:
            return {{2.2f, 4.0f}, 13.5f, 12.75f, {0.75f, 0.375f}};
        case 3:
            return {{2.2f, 3.35f}, 13.5f, 8.875f, {0.75f, 0.1875f}};
        default:
            return {{2.3f, 3.05f}, 13.5f, 8.875f, {0.75f, 0.1875f}};
    }
}

MatLayout matLayout(int model, float matWidth, float matHeight, bool matDrawn, Dpi surface) {
    const InchScale inch(surface);
    const MatPlacement mat = matPlacement(model);
    MatLayout layout;
    layout.mat = {mat.origin.x * inch.x, mat.origin.y * inch.y, mat.width * inch.x, mat.height * inch.y};
    layout.cuttingArea = {layout.mat.x + mat.inset.x * inch.x, layout.mat.y + mat.inset.y * inch.y,
                          matWidth * inch.x, matHeight * inch.y};
    if (!matDrawn) layout.cuttingArea.x -= 0.25f * inch.x;
    return layout;
}

std::vector<GridLine> gridLines(int model, const MatLayout& layout, Dpi surface) {
    const InchScale inch(surface);
    const RectF& area = layout.cuttingArea;
    const float left = area.x;
    const float right = area.x + area.width;
    std::vector<GridLine> lines;
    if (model == 2) {
        for (int i = 1; i <= 11; ++i) {
            const float x = area.x + static_cast<float>(i) * inch.x;
            lines.push_back({{x, area.y}, {x, area.y + area.height}, true});
            const float y = area.y + static_cast<float>(i) * inch.y;
            lines.push_back({{left, y}, {right, y}, true});
        }
        return lines;
    }
    // The small mats run their across-feed lines down to the mat's top plus the
    // area's height, and their along-feed lines in two groups of five from the mat's top.
    for (int i = 1; i <= 11; ++i) {
        const float x = area.x + static_cast<float>(i) * inch.x;
        lines.push_back({{x, area.y}, {x, layout.mat.y + area.height}, true});
    }
    for (int i = 0; i <= 4; ++i) {
        const float upper = layout.mat.y + (0.375f + static_cast<float>(i)) * inch.y;
        lines.push_back({{left, upper}, {right, upper}, i != 0});
        float lower = layout.mat.y + (0.5625f + static_cast<float>(i + 4)) * inch.y;
        if (i == 4) lower -= 2;
        lines.push_back({{left, lower}, {right, lower}, i != 4});
    }
    return lines;
}

Triangle matTriangle(const RectF& mat) {
    const float middle = mat.y + mat.height / 2;
    return {{mat.x + 2, middle}, {mat.x + 6, middle - 6}, {mat.x + 6, middle + 6}};
}

WorldTransform worldTransform(bool showMachine, int model) {
    if (showMachine) return {WorldScale, 3, 3};
    switch (model) {
        case 2:
            return {WorldScale, -5, -20};
        case 1:
        case 3:
            return {WorldScale, -14, 3};
        default:
            return {WorldScale, 0, 0};
    }
}

MachinePictures machinePictures(int model) {
    switch (model) {
        case 2:
            return {9022, 9021, ToolHeadImage, {50, 52}, {24, 52}};
        case 3:
            return {9024, 9023, ToolHeadImage, {45, 44}, {20, 52}};
        default:
            return {9003, 9001, ToolHeadImage, {52, 41}, {28, 47}};
    }
}

PointF placementTarget(const RectF& cuttingArea, const RectF& boundsInches, Dpi surface) {
    const InchScale inch(surface);
    return {cuttingArea.x + boundsInches.x * inch.x, cuttingArea.y + boundsInches.y * inch.y};
}

PointF placementOffset(const RectF& cuttingArea, const RectF& boundsInches, const RectF& scaledBounds, Dpi surface) {
    const InchScale inch(surface);
    // The corner products round as the scaled points did: equal corners give exactly the area's origin.
#if defined(__i386__) && !defined(__SSE2_MATH__)
    // x87 arithmetic keeps extra precision in registers; a store rounds it to float.
    volatile float cornerX = boundsInches.x * inch.x, cornerY = boundsInches.y * inch.y;
#else
    const float cornerX = boundsInches.x * inch.x, cornerY = boundsInches.y * inch.y;
#endif
    return {cuttingArea.x + (cornerX - scaledBounds.x), cuttingArea.y + (cornerY - scaledBounds.y)};
}

namespace {

bool finite(const FigureView& figure) {
    for (const PointF& p : figure.points)
        if (!std::isfinite(p.x) || !std::isfinite(p.y)) return false;
    return true;
}

// Appends one figure moved by (dx, dy) in a form GDI+ draws without surprises:
// a start point, then whole Bézier triples or lines, the close flag on the last
// point of a closed figure and no marker flags.
void appendFigure(Path& out, const FigureView& figure, float dx, float dy) {
    const std::size_t n = figure.points.size();
    if (n < 2 || !finite(figure)) return;
    const auto kind = [&](std::size_t i) { return figure.types[i] & PathPointTypeMask; };
    out.points.push_back({figure.points[0].x + dx, figure.points[0].y + dy});
    out.types.push_back(PathPointTypeStart);
    std::size_t i = 1;
    while (i < n) {
        const bool wholeBezier = kind(i) == PathPointTypeBezier && i + 2 < n &&
                                 kind(i + 1) == PathPointTypeBezier && kind(i + 2) == PathPointTypeBezier;
        const std::size_t count = wholeBezier ? 3 : 1;
        for (std::size_t k = 0; k < count; ++k, ++i) {
            out.points.push_back({figure.points[i].x + dx, figure.points[i].y + dy});
            out.types.push_back(wholeBezier ? PathPointTypeBezier : PathPointTypeLine);
        }
    }
    if (figure.closed) out.types.back() |= PathPointTypeCloseSubpath;
}

// Room for every point of `source` at once: growing figure by figure would
// copy a big design over and over.
void reserveFor(Path& out, const Path& source, std::size_t extra = 0) {
    out.points.reserve(source.size() + extra);
    out.types.reserve(source.size() + extra);
}

struct Box {
    float left, top, right, bottom;
    explicit Box(const RectF& r) : left(r.x), top(r.y), right(r.x + r.width), bottom(r.y + r.height) {}
    Box(float l, float t, float r, float b) : left(l), top(t), right(r), bottom(b) {}
    bool meets(const Box& o) const { return left <= o.right && o.left <= right && top <= o.bottom && o.top <= bottom; }
    bool holds(const Box& o) const { return left <= o.left && o.right <= right && top <= o.top && o.bottom <= bottom; }
};

Box boxOf(const PointF* points, std::size_t count) {
    Box box(points[0].x, points[0].y, points[0].x, points[0].y);
    for (std::size_t i = 1; i < count; ++i) {
        box.left = std::min(box.left, points[i].x), box.right = std::max(box.right, points[i].x);
        box.top = std::min(box.top, points[i].y), box.bottom = std::max(box.bottom, points[i].y);
    }
    return box;
}

// Turns figures into clipped, flattened polylines (see layoutShape). Its
// buffers are kept from figure to figure.
class OutlineMaker {
public:
    OutlineMaker(const RectF& visible, float pixel)
        : clip_(visible),
          // Curves whose hull lies within this flatten into a modest number of chords.
          reach_(visible.x - std::max(visible.width, visible.height), visible.y - std::max(visible.width, visible.height),
                 visible.x + visible.width + std::max(visible.width, visible.height),
                 visible.y + visible.height + std::max(visible.width, visible.height)),
          tolerance_(0.25 * pixel),
          spacing_(0.5f * pixel) {}

    void add(const FigureView& figure, PointF offset, Path& out) {
        const std::size_t n = figure.points.size();
        if (n < 2) return;
        // The hull of a figure (control points included) holds all of it.
        const Box hull = boxOf(figure.points.data(), n);
        if (!clip_.meets(Box(hull.left + offset.x, hull.top + offset.y, hull.right + offset.x, hull.bottom + offset.y)))
            return;
        vertices_.clear();
        vertices_.push_back(moved(figure.points[0], offset));
        for (std::size_t i = 1; i < n;) {
            const bool curve = (figure.types[i] & PathPointTypeMask) == PathPointTypeBezier && i + 2 < n &&
                               (figure.types[i + 1] & PathPointTypeMask) == PathPointTypeBezier &&
                               (figure.types[i + 2] & PathPointTypeMask) == PathPointTypeBezier;
            if (!curve) {
                vertices_.push_back(moved(figure.points[i], offset));
                ++i;
                continue;
            }
            curveTo(vertices_.back(), moved(figure.points[i], offset), moved(figure.points[i + 1], offset),
                    moved(figure.points[i + 2], offset), 0);
            i += 3;
        }
        for (const PointF& p : vertices_)
            if (!std::isfinite(p.x) || !std::isfinite(p.y)) return;
        if (!clip_.holds(boxOf(vertices_.data(), vertices_.size()))) {
            if (!clip_.meets(boxOf(vertices_.data(), vertices_.size()))) return;
            clipToBox(figure.closed);
        }
        if (vertices_.size() < 2) return;
        // Merge what lies within half a pixel of the last vertex kept; the
        // figure's own last vertex always stays.
        const std::size_t first = out.points.size();
        out.points.push_back(vertices_[0]);
        out.types.push_back(PathPointTypeStart);
        for (std::size_t i = 1; i < vertices_.size(); ++i) {
            const PointF p = vertices_[i], last = out.points.back();
            if (i + 1 < vertices_.size() && std::fabs(p.x - last.x) < spacing_ && std::fabs(p.y - last.y) < spacing_)
                continue;
            out.points.push_back(p);
            out.types.push_back(PathPointTypeLine);
        }
        if (out.points.size() - first < 2) {
            out.points.resize(first);
            out.types.resize(first);
            return;
        }
        if (figure.closed) out.types.back() |= PathPointTypeCloseSubpath;
    }

private:
    static PointF moved(PointF p, PointF offset) { return {p.x + offset.x, p.y + offset.y}; }

    // Appends the curve's vertices after p0. A curve that reaches far beyond
    // the visible part is halved until each piece either misses it (its chord
    // will do) or is small enough to flatten.
    void curveTo(PointF p0, PointF p1, PointF p2, PointF p3, int depth) {
        const PointF hull[4] = {p0, p1, p2, p3};
        const Box box = boxOf(hull, 4);
        if (!clip_.meets(box) || depth >= 48 || !std::isfinite(box.left + box.right + box.top + box.bottom)) {
            vertices_.push_back(p3);
            return;
        }
        if (reach_.holds(box)) {
            flattenCubic(p0, p1, p2, p3, tolerance_, vertices_);
            return;
        }
        auto mid = [](PointF a, PointF b) { return PointF{0.5f * (a.x + b.x), 0.5f * (a.y + b.y)}; };
        const PointF a = mid(p0, p1), b = mid(p1, p2), c = mid(p2, p3), ab = mid(a, b), bc = mid(b, c),
                     middle = mid(ab, bc);
        curveTo(p0, a, ab, middle, depth + 1);
        curveTo(middle, bc, c, p3, depth + 1);
    }

    // Sutherland-Hodgman against each side of the clip box in turn. For a
    // closed figure the edge back to the start counts too.
    void clipToBox(bool closed) {
        clipSide(closed, [&](PointF p) { return p.x >= clip_.left; },
                 [&](PointF a, PointF b) { return crossAtX(a, b, clip_.left); });
        clipSide(closed, [&](PointF p) { return p.x <= clip_.right; },
                 [&](PointF a, PointF b) { return crossAtX(a, b, clip_.right); });
        clipSide(closed, [&](PointF p) { return p.y >= clip_.top; },
                 [&](PointF a, PointF b) { return crossAtY(a, b, clip_.top); });
        clipSide(closed, [&](PointF p) { return p.y <= clip_.bottom; },
                 [&](PointF a, PointF b) { return crossAtY(a, b, clip_.bottom); });
    }

    // Where segment a-b crosses the line x = at (or y = at), worked in double
    // so that a far end does not move the crossing.
    static PointF crossAtX(PointF a, PointF b, float at) {
        const double t = (double(at) - a.x) / (double(b.x) - a.x);
        return {at, static_cast<float>(a.y + t * (double(b.y) - a.y))};
    }
    static PointF crossAtY(PointF a, PointF b, float at) {
        const double t = (double(at) - a.y) / (double(b.y) - a.y);
        return {static_cast<float>(a.x + t * (double(b.x) - a.x)), at};
    }

    template <typename Inside, typename Cross>
    void clipSide(bool closed, Inside&& inside, Cross&& cross) {
        const std::size_t n = vertices_.size();
        if (n == 0) return;
        clipped_.clear();
        for (std::size_t i = 0; i < n; ++i) {
            const PointF current = vertices_[i];
            const bool in = inside(current);
            if (i > 0 || closed) {
                const PointF previous = vertices_[i > 0 ? i - 1 : n - 1];
                if (in != inside(previous)) clipped_.push_back(cross(previous, current));
            }
            if (in) clipped_.push_back(current);
        }
        vertices_.swap(clipped_);
    }

    Box clip_;
    Box reach_;
    double tolerance_;
    float spacing_;
    std::vector<PointF> vertices_;
    std::vector<PointF> clipped_;
};

}  // namespace

RectF intersection(const RectF& a, const RectF& b) {
    const float left = std::max(a.x, b.x), top = std::max(a.y, b.y);
    const float right = std::min(a.x + a.width, b.x + b.width), bottom = std::min(a.y + a.height, b.y + b.height);
    if (!(right > left) || !(bottom > top)) return {left, top, 0, 0};
    return {left, top, right - left, bottom - top};
}

RectF visibleWorld(const WorldTransform& transform, float width, float height, float margin) {
    const float scale = transform.scale;
    return {(-margin - transform.dx) / scale, (-margin - transform.dy) / scale, (width + 2 * margin) / scale,
            (height + 2 * margin) / scale};
}

std::vector<GridLine> clipLines(const std::vector<GridLine>& lines, const RectF& visible) {
    std::vector<GridLine> clipped;
    const float right = visible.x + visible.width, bottom = visible.y + visible.height;
    for (GridLine line : lines) {
        if (line.from.y == line.to.y) {
            if (line.from.y < visible.y || line.from.y > bottom) continue;
            line.from.x = std::max(line.from.x, visible.x);
            line.to.x = std::min(line.to.x, right);
            if (line.to.x < line.from.x) continue;
        } else {
            if (line.from.x < visible.x || line.from.x > right) continue;
            line.from.y = std::max(line.from.y, visible.y);
            line.to.y = std::min(line.to.y, bottom);
            if (line.to.y < line.from.y) continue;
        }
        clipped.push_back(line);
    }
    return clipped;
}

DesignLayer layoutDesign(const Path& scaled, PointF offset, const RectF& cuttingArea, const RectF& visible,
                         float pixel) {
    DesignLayer layer;
    OutlineMaker outline(visible, pixel);
    forEachFigure(scaled, [&](const FigureView& figure) {
        outline.add(figure, offset, figure.closed ? layer.closed : layer.open);
    });
    const RectF sheet = intersection(cuttingArea, visible);
    if (sheet.width > 0 && sheet.height > 0) {
        const float x0 = sheet.x, y0 = sheet.y, x1 = sheet.x + sheet.width, y1 = sheet.y + sheet.height;
        layer.closed.points.insert(layer.closed.points.end(), {{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}});
        layer.closed.types.insert(layer.closed.types.end(),
                                  {PathPointTypeStart, PathPointTypeLine, PathPointTypeLine,
                                   static_cast<std::uint8_t>(PathPointTypeLine | PathPointTypeCloseSubpath)});
    }
    return layer;
}

Path layoutShape(const Path& scaled, PointF offset, const RectF& visible, float pixel) {
    Path shape;
    OutlineMaker outline(visible, pixel);
    forEachFigure(scaled, [&](const FigureView& figure) { outline.add(figure, offset, shape); });
    return shape;
}

Path drawablePath(const Path& path) {
    Path drawable;
    if (path.types.size() != path.points.size()) return drawable;
    reserveFor(drawable, path);
    forEachFigure(path, [&](const FigureView& figure) { appendFigure(drawable, figure, 0, 0); });
    return drawable;
}

Path scaledPath(const Path& path, float sx, float sy) {
    Path scaled = clonePath(path);
    for (PointF& p : scaled.points) {
        p.x *= sx;
        p.y *= sy;
    }
    return scaled;
}

StatusLayout statusLayout(float width, float height) {
    StatusLayout layout;
    const float top = height - StatusBandHeight;
    layout.band = {0, top, width, StatusBandHeight};
    layout.dashFrom = {0, top};
    layout.dashTo = {width, top};
    layout.text = layout.band;
    layout.shadow = {layout.band.x - 1, layout.band.y + 1, layout.band.width, layout.band.height};
    layout.version = {0, 0, width, height - VersionGap};
    return layout;
}

std::wstring versionText(const std::array<std::uint16_t, 4>& fileVersion) {
    return std::to_wstring(fileVersion[0]) + L"." + std::to_wstring(fileVersion[1]) + L"." +
           std::to_wstring(fileVersion[2]);
}

}  // namespace vantrel::preview
