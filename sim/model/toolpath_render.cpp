#include "model/toolpath_render.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "model/png_writer.h"

namespace vantrel::sim {
namespace {

struct Bounds {
    double minX = 0, minY = 0, maxX = 0, maxY = 0;  // the origin is always inside
    void add(ToolPoint p) {
        minX = std::min(minX, p.x);
        maxX = std::max(maxX, p.x);
        minY = std::min(minY, p.y);
        maxY = std::max(maxY, p.y);
    }
};

Bounds boundsOf(const std::vector<ToolSegment>& path) {
    Bounds b;
    for (const auto& s : path) {
        b.add(s.from);
        b.add(s.to);
    }
    return b;
}

void appendNumber(std::string& out, double value) {
    char buffer[32];
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, std::round(value * 100) / 100);
    if (ec == std::errc()) out.append(buffer, end);
}

void appendPoint(std::string& out, char op, ToolPoint p) {
    out += op;
    appendNumber(out, p.x);
    out += ' ';
    appendNumber(out, p.y);
}

// Path data of the segments with the given tool state, joined into runs.
std::string pathData(const std::vector<ToolSegment>& path, bool down) {
    std::string d;
    bool open = false;
    ToolPoint last;
    for (const auto& s : path) {
        if (s.down != down) {
            open = false;
            continue;
        }
        if (!open || !(s.from == last)) appendPoint(d, 'M', s.from);
        appendPoint(d, 'L', s.to);
        last = s.to;
        open = true;
    }
    return d;
}

void plot(Raster& r, long column, long row, std::uint32_t colour) {
    if (column < 0 || row < 0 || column >= static_cast<long>(r.width) || row >= static_cast<long>(r.height)) return;
    std::size_t i = (static_cast<std::size_t>(row) * r.width + static_cast<std::size_t>(column)) * 3;
    r.rgb[i] = static_cast<std::uint8_t>(colour >> 16);
    r.rgb[i + 1] = static_cast<std::uint8_t>(colour >> 8);
    r.rgb[i + 2] = static_cast<std::uint8_t>(colour);
}

// Bresenham; `dashed` leaves every other run of 4 pixels blank.
void line(Raster& r, long x0, long y0, long x1, long y1, std::uint32_t colour, bool dashed) {
    long dx = std::labs(x1 - x0), dy = -std::labs(y1 - y0);
    long sx = x0 < x1 ? 1 : -1, sy = y0 < y1 ? 1 : -1;
    long err = dx + dy;
    for (long step = 0;; ++step) {
        if (!dashed || (step / 4) % 2 == 0) plot(r, x0, y0, colour);
        if (x0 == x1 && y0 == y1) break;
        long e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x0 += sx;
        }
        if (e2 <= dx) {
            err += dx;
            y0 += sy;
        }
    }
}

}  // namespace

std::uint32_t Raster::pixel(std::uint32_t column, std::uint32_t row) const {
    std::size_t i = (std::size_t{row} * width + column) * 3;
    return (std::uint32_t{rgb[i]} << 16) | (std::uint32_t{rgb[i + 1]} << 8) | rgb[i + 2];
}

std::string toolPathSvg(const std::vector<ToolSegment>& path) {
    Bounds b = boundsOf(path);
    double margin = std::max({b.maxX - b.minX, b.maxY - b.minY, 100.0}) * 0.02;
    std::string svg = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"";
    appendNumber(svg, b.minX - margin);
    svg += ' ';
    appendNumber(svg, b.minY - margin);
    svg += ' ';
    appendNumber(svg, b.maxX - b.minX + 2 * margin);
    svg += ' ';
    appendNumber(svg, b.maxY - b.minY + 2 * margin);
    svg += "\" width=\"800\" height=\"";
    appendNumber(svg, std::round(800 * (b.maxY - b.minY + 2 * margin) / (b.maxX - b.minX + 2 * margin)));
    svg += "\">\n<!-- x: along the media feed, y: along the carriage; units: machine steps -->\n";
    svg += "<rect x=\"-100000000\" y=\"-100000000\" width=\"200000000\" height=\"200000000\" fill=\"#ffffff\"/>\n";
    svg += "<path class=\"moves\" fill=\"none\" stroke=\"#7fa7e0\" stroke-width=\"1\" stroke-dasharray=\"4 4\" "
           "vector-effect=\"non-scaling-stroke\" d=\"" + pathData(path, false) + "\"/>\n";
    svg += "<path class=\"cuts\" fill=\"none\" stroke=\"#000000\" stroke-width=\"1.5\" "
           "vector-effect=\"non-scaling-stroke\" d=\"" + pathData(path, true) + "\"/>\n";
    svg += "<circle class=\"home\" cx=\"0\" cy=\"0\" r=\"";
    appendNumber(svg, margin / 2);
    svg += "\" fill=\"#e02020\"/>\n</svg>\n";
    return svg;
}

Raster rasterizeToolPath(const std::vector<ToolSegment>& path, std::uint32_t maxSide) {
    constexpr long Margin = 8;
    maxSide = std::max<std::uint32_t>(maxSide, 2 * Margin + 2);
    Bounds b = boundsOf(path);
    double spanX = b.maxX - b.minX, spanY = b.maxY - b.minY;
    double inner = static_cast<double>(maxSide - 2 * Margin - 1);
    double span = std::max({spanX, spanY, 1.0});
    double scale = inner / span;
    Raster r;
    r.width = static_cast<std::uint32_t>(std::ceil(spanX * scale)) + 2 * Margin + 1;
    r.height = static_cast<std::uint32_t>(std::ceil(spanY * scale)) + 2 * Margin + 1;
    r.rgb.assign(std::size_t{r.width} * r.height * 3, 0xFF);
    auto column = [&](double x) { return Margin + std::lround((x - b.minX) * scale); };
    auto row = [&](double y) { return Margin + std::lround((y - b.minY) * scale); };
    for (int pass = 0; pass < 2; ++pass) {
        bool down = pass == 1;  // cuts are drawn over the moves
        for (const auto& s : path) {
            if (s.down != down) continue;
            line(r, column(s.from.x), row(s.from.y), column(s.to.x), row(s.to.y), down ? CutColour : MoveColour, !down);
        }
    }
    long hx = column(0), hy = row(0);
    for (long d = -3; d <= 3; ++d) {
        plot(r, hx + d, hy, HomeColour);
        plot(r, hx, hy + d, HomeColour);
    }
    return r;
}

std::string toolPathPng(const std::vector<ToolSegment>& path, std::uint32_t maxSide) {
    Raster r = rasterizeToolPath(path, maxSide);
    return encodePng(r.width, r.height, r.rgb);
}

}  // namespace vantrel::sim
