#include "toolpath/toolpath_render.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "toolpath/caption_font.h"
#include "toolpath/png_writer.h"

namespace vantrel {
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

bool hasMedia(const PictureExtras& extras) { return extras.mediaY > 0 && extras.mediaX > 0; }

Bounds boundsOf(const std::vector<ToolSegment>& path, const PictureExtras& extras) {
    Bounds b;
    for (const auto& s : path) {
        b.add(s.from);
        b.add(s.to);
    }
    if (hasMedia(extras)) b.add({extras.mediaY, extras.mediaX});
    for (const auto& mark : extras.marks)
        for (ToolPoint p : mark) b.add(p);
    return b;
}

// Text as XML character data.
std::string escaped(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '<') out += "&lt;";
        else if (c == '>') out += "&gt;";
        else if (c == '&') out += "&amp;";
        else out += c;
    }
    return out;
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

// One line of the caption font, its top-left corner at (column, row).
void text(Raster& r, long column, long row, const std::string& line, int scale) {
    for (std::size_t i = 0; i < line.size(); ++i) {
        const long left = column + static_cast<long>(i) * CaptionGlyphWidth * scale;
        for (int y = 0; y < CaptionGlyphHeight; ++y) {
            const std::uint8_t bits = captionGlyphRow(line[i], y);
            for (int x = 0; x < CaptionGlyphWidth; ++x) {
                if (!(bits & (0x80 >> x))) continue;
                for (int dy = 0; dy < scale; ++dy)
                    for (int dx = 0; dx < scale; ++dx) plot(r, left + x * scale + dx, row + y * scale + dy, CaptionColour);
            }
        }
    }
}

}  // namespace

std::uint32_t Raster::pixel(std::uint32_t column, std::uint32_t row) const {
    std::size_t i = (std::size_t{row} * width + column) * 3;
    return (std::uint32_t{rgb[i]} << 16) | (std::uint32_t{rgb[i + 1]} << 8) | rgb[i + 2];
}

std::string toolPathSvg(const std::vector<ToolSegment>& path, const PictureExtras& extras) {
    Bounds b = boundsOf(path, extras);
    double margin = std::max({b.maxX - b.minX, b.maxY - b.minY, 100.0}) * 0.02;
    const double viewWidth = b.maxX - b.minX + 2 * margin;
    // Caption lines below the drawing, a thirtieth of its width high.
    const double lineHeight = viewWidth / 30;
    const double captionHeight = extras.caption.empty() ? 0 : (static_cast<double>(extras.caption.size()) + 0.5) * lineHeight;
    const double viewHeight = b.maxY - b.minY + 2 * margin + captionHeight;
    std::string svg = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"";
    appendNumber(svg, b.minX - margin);
    svg += ' ';
    appendNumber(svg, b.minY - margin);
    svg += ' ';
    appendNumber(svg, viewWidth);
    svg += ' ';
    appendNumber(svg, viewHeight);
    svg += "\" width=\"800\" height=\"";
    appendNumber(svg, std::round(800 * viewHeight / viewWidth));
    svg += "\">\n<!-- x: along the media feed, y: along the carriage; units: machine steps -->\n";
    svg += "<rect x=\"-100000000\" y=\"-100000000\" width=\"200000000\" height=\"200000000\" fill=\"#ffffff\"/>\n";
    if (hasMedia(extras)) {
        svg += "<rect class=\"media\" x=\"0\" y=\"0\" width=\"";
        appendNumber(svg, extras.mediaX);
        svg += "\" height=\"";
        appendNumber(svg, extras.mediaY);
        svg += "\" fill=\"none\" stroke=\"#b0b0b0\" stroke-width=\"1\" vector-effect=\"non-scaling-stroke\"/>\n";
    }
    for (const auto& mark : extras.marks) {
        svg += "<path class=\"marks\" fill=\"#c03080\" stroke=\"none\" d=\"";
        for (std::size_t i = 0; i < mark.size(); ++i) appendPoint(svg, i == 0 ? 'M' : 'L', mark[i]);
        svg += "Z\"/>\n";
    }
    svg += "<path class=\"moves\" fill=\"none\" stroke=\"#7fa7e0\" stroke-width=\"1\" stroke-dasharray=\"4 4\" "
           "vector-effect=\"non-scaling-stroke\" d=\"" + pathData(path, false) + "\"/>\n";
    svg += "<path class=\"cuts\" fill=\"none\" stroke=\"#000000\" stroke-width=\"1.5\" "
           "vector-effect=\"non-scaling-stroke\" d=\"" + pathData(path, true) + "\"/>\n";
    if (!extras.overhang.empty())
        svg += "<path class=\"overhang\" fill=\"none\" stroke=\"#ff0000\" stroke-width=\"2.5\" "
               "vector-effect=\"non-scaling-stroke\" d=\"" + pathData(extras.overhang, true) + "\"/>\n";
    svg += "<circle class=\"home\" cx=\"0\" cy=\"0\" r=\"";
    appendNumber(svg, margin / 2);
    svg += "\" fill=\"#e02020\"/>\n";
    for (std::size_t i = 0; i < extras.caption.size(); ++i) {
        svg += "<text class=\"caption\" x=\"";
        appendNumber(svg, b.minX - margin + lineHeight / 2);
        svg += "\" y=\"";
        appendNumber(svg, b.maxY + margin + static_cast<double>(i + 1) * lineHeight);
        svg += "\" font-family=\"monospace\" font-size=\"";
        appendNumber(svg, lineHeight * 0.8);
        svg += "\" fill=\"#202020\">" + escaped(extras.caption[i]) + "</text>\n";
    }
    svg += "</svg>\n";
    return svg;
}

Raster rasterizeToolPath(const std::vector<ToolSegment>& path, std::uint32_t maxSide, const PictureExtras& extras) {
    constexpr long Margin = 8;
    maxSide = std::max<std::uint32_t>(maxSide, 2 * Margin + 2);
    Bounds b = boundsOf(path, extras);
    double spanX = b.maxX - b.minX, spanY = b.maxY - b.minY;
    double inner = static_cast<double>(maxSide - 2 * Margin - 1);
    double span = std::max({spanX, spanY, 1.0});
    double scale = inner / span;
    Raster r;
    r.width = static_cast<std::uint32_t>(std::ceil(spanX * scale)) + 2 * Margin + 1;
    r.height = static_cast<std::uint32_t>(std::ceil(spanY * scale)) + 2 * Margin + 1;
    const std::uint32_t drawingHeight = r.height;
    // Glyphs grow with the picture, a line of text at most a twelfth of its width.
    const int glyphScale = static_cast<int>(std::clamp<std::uint32_t>(r.width / 400, 1, 4));
    const std::uint32_t lineHeight = static_cast<std::uint32_t>((CaptionGlyphHeight + 2) * glyphScale);
    r.height += static_cast<std::uint32_t>(extras.caption.size()) * lineHeight;
    for (const std::string& caption : extras.caption)
        r.width = std::max(r.width, static_cast<std::uint32_t>(2 * Margin + static_cast<long>(caption.size()) *
                                                                                CaptionGlyphWidth * glyphScale));
    r.rgb.assign(std::size_t{r.width} * r.height * 3, 0xFF);
    auto column = [&](double x) { return Margin + std::lround((x - b.minX) * scale); };
    auto row = [&](double y) { return Margin + std::lround((y - b.minY) * scale); };
    if (hasMedia(extras)) {
        const long x0 = column(0), y0 = row(0), x1 = column(extras.mediaX), y1 = row(extras.mediaY);
        line(r, x0, y0, x1, y0, MediaColour, false);
        line(r, x1, y0, x1, y1, MediaColour, false);
        line(r, x1, y1, x0, y1, MediaColour, false);
        line(r, x0, y1, x0, y0, MediaColour, false);
    }
    // The marks are a few pixels thick at this scale: their outlines show them.
    for (const auto& mark : extras.marks)
        for (std::size_t i = 0; i < mark.size(); ++i) {
            const ToolPoint from = mark[i], to = mark[(i + 1) % mark.size()];
            line(r, column(from.x), row(from.y), column(to.x), row(to.y), MarkColour, false);
        }
    for (std::size_t i = 0; i < extras.caption.size(); ++i)
        text(r, Margin, static_cast<long>(drawingHeight + i * lineHeight), extras.caption[i], glyphScale);
    for (int pass = 0; pass < 2; ++pass) {
        bool down = pass == 1;  // cuts are drawn over the moves
        for (const auto& s : path) {
            if (s.down != down) continue;
            line(r, column(s.from.x), row(s.from.y), column(s.to.x), row(s.to.y), down ? CutColour : MoveColour, !down);
        }
    }
    for (const auto& s : extras.overhang)
        line(r, column(s.from.x), row(s.from.y), column(s.to.x), row(s.to.y), OverhangColour, false);
    long hx = column(0), hy = row(0);
    for (long d = -3; d <= 3; ++d) {
        plot(r, hx + d, hy, HomeColour);
        plot(r, hx, hy + d, HomeColour);
    }
    return r;
}

std::string toolPathPng(const std::vector<ToolSegment>& path, std::uint32_t maxSide, const PictureExtras& extras) {
    Raster r = rasterizeToolPath(path, maxSide, extras);
    return encodePng(r.width, r.height, r.rgb);
}

}  // namespace vantrel
