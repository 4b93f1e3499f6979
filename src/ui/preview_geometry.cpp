#include "ui/preview_geometry.h"

#include <algorithm>
#include <cmath>

namespace vantrel::preview {

MatSpec matSpec(int model) {
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
    const MatSpec spec = matSpec(model);
    MatLayout layout;
    layout.mat = {spec.origin.x * inch.x, spec.origin.y * inch.y, spec.width * inch.x, spec.height * inch.y};
    layout.cuttingArea = {layout.mat.x + spec.inset.x * inch.x, layout.mat.y + spec.inset.y * inch.y,
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

PointF offsetTo(const Path& path, PointF target) {
    if (path.empty()) return {0, 0};
    const RectF bounds = plainBounds(path);
    return {target.x - bounds.x, target.y - bounds.y};
}

bool overlaps(const RectF& a, const RectF& b) {
    return a.x <= b.x + b.width && b.x <= a.x + a.width && a.y <= b.y + b.height && b.y <= a.y + a.height;
}

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

DesignLayer layoutDesign(const Path& scaled, PointF target, const RectF& cuttingArea, const RectF& visible) {
    DesignLayer layer;
    reserveFor(layer.closed, scaled, 4);
    const PointF offset = offsetTo(scaled, target);
    const RectF seen{visible.x - offset.x, visible.y - offset.y, visible.width, visible.height};
    forEachFigure(scaled, [&](const FigureView& figure) {
        if (figure.points.empty()) return;
        float x0 = figure.points[0].x, x1 = x0, y0 = figure.points[0].y, y1 = y0;
        for (const PointF& p : figure.points) {
            x0 = std::min(x0, p.x), x1 = std::max(x1, p.x);
            y0 = std::min(y0, p.y), y1 = std::max(y1, p.y);
        }
        if (!overlaps({x0, y0, x1 - x0, y1 - y0}, seen)) return;
        appendFigure(figure.closed ? layer.closed : layer.open, figure, offset.x, offset.y);
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

Path placePath(const Path& scaled, PointF target) {
    Path placed;
    reserveFor(placed, scaled);
    const PointF offset = offsetTo(scaled, target);
    forEachFigure(scaled, [&](const FigureView& figure) { appendFigure(placed, figure, offset.x, offset.y); });
    return placed;
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
