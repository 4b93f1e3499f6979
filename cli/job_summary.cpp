#include "job_summary.h"

#include <algorithm>
#include <cstdio>
#include <memory>

#include "cut_tool.h"
#include "settings/measurement.h"
#include "toolpath/toolpath_render.h"

namespace vantrel::cli {
namespace {

constexpr double MillimetresPerInch = 25.4;

bool endsWith(std::string_view name, std::string_view suffix) {
    if (name.size() < suffix.size()) return false;
    return std::equal(suffix.begin(), suffix.end(), name.end() - static_cast<std::ptrdiff_t>(suffix.size()),
                      [](char a, char b) { return a == (b >= 'A' && b <= 'Z' ? b - 'A' + 'a' : b); });
}

bool writeFile(const std::string& path, const std::string& bytes) {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "wb"), &std::fclose);
    if (!file) return false;
    if (std::fwrite(bytes.data(), 1, bytes.size(), file.get()) != bytes.size()) return false;
    return std::fclose(file.release()) == 0;
}

// The media to outline: as wide as the job's working area across the
// carriage and, along the feed, as long as the job reaches, at least square
// (a mat), never beyond the working area.
PictureExtras mediaOf(const JobReader& reader, const JobExtent& extent) {
    PictureExtras extras;
    double reach = 0;
    for (const ToolSegment& s : reader.path()) reach = std::max({reach, s.from.x, s.to.x});
    extras.mediaY = extent.limitY;
    extras.mediaX = std::min(extent.limitX, std::max(reach, extent.limitY));
    return extras;
}

}  // namespace

DesignFacts designFactsOf(const Path& design, bool millimetres) {
    DesignFacts facts;
    facts.millimetres = millimetres;
    for (std::uint8_t type : design.types) facts.figures += (type & PathPointTypeMask) == PathPointTypeStart;
    return facts;
}

std::string dashedLinesText(std::size_t count, DashMode mode) {
    std::string text = std::to_string(count) + (count == 1 ? " dashed line " : " dashed lines ");
    if (mode == DashMode::Perforate) return text + "cut as their dashes (perforated)";
    if (mode == DashMode::Skip) return text + "left out";
    return text + "cut solid (--dashes perforate cuts only the dashes, --dashes skip leaves them out)";
}

std::optional<CutOrder> cutOrderNamed(std::string_view name) {
    if (name == "drawing") return CutOrder::Drawing;
    if (name == "travel") return CutOrder::Travel;
    if (name == "inside-out") return CutOrder::InsideOut;
    return std::nullopt;
}

const char* cutOrderName(CutOrder order) {
    switch (order) {
    case CutOrder::Travel: return "travel";
    case CutOrder::InsideOut: return "inside-out";
    default: return "drawing";
    }
}

bool isPreviewName(std::string_view name) { return endsWith(name, ".svg") || endsWith(name, ".png"); }

JobView::JobView(const CutToolOptions& options)
    : options_(options),
      dpiX_(ParseMeasurement(options.dpiX)),
      dpiY_(ParseMeasurement(options.dpiY)),
      readsText_(options.summary || !options.preview.empty()),
      reader_(dpiX_, dpiY_, !options.preview.empty()) {}

void JobView::read(std::string_view text) { reader_.read(text); }

std::string JobView::length(double steps, double dpi, const DesignFacts& design) const {
    return design.millimetres ? twoDecimals(steps / dpi * MillimetresPerInch) + " mm" : twoDecimals(steps / dpi) + " in";
}

// Half a step: a curve's reach is measured on its flattened pieces, a hair
// off the whole steps that the limits are.
constexpr double ReachTolerance = 0.5;

std::string JobView::overhang(const DesignFacts& design) const {
    const JobExtent& e = extent_;
    std::string text;
    if (e.limitY > 0 && e.reachY > e.limitY + ReachTolerance) {
        text = "reaches " + length(e.reachY, dpiY_, design) + " across the carriage; " +
               (options_.cutType == 1 ? "the registration marks span " + length(e.limitY, dpiY_, design)
                                      : "the media is " + length(e.limitY, dpiY_, design) + " wide");
    }
    if (e.limitX > 0 && e.reachX > e.limitX + ReachTolerance) {
        text += text.empty() ? "reaches " : "; it also reaches ";
        text += length(e.reachX, dpiX_, design) + " along the feed; the machine cuts at most " +
                length(e.limitX, dpiX_, design) + " along it";
    }
    return text;
}

// The cut pieces beyond the limits, for the preview: each straight piece
// less its part inside (a segment and the area are both convex, so that part
// is one stretch of it).
std::vector<ToolSegment> JobView::overhangSegments() const {
    std::vector<ToolSegment> beyond;
    const double limitY = extent_.limitY + ReachTolerance, limitX = extent_.limitX + ReachTolerance;
    if (extent_.limitY <= 0 || extent_.limitX <= 0) return beyond;
    const auto at = [](const ToolSegment& s, double t) {
        return ToolPoint{s.from.y + (s.to.y - s.from.y) * t, s.from.x + (s.to.x - s.from.x) * t};
    };
    for (const ToolSegment& s : reader_.path()) {
        if (!s.down || (std::max(s.from.y, s.to.y) <= limitY && std::max(s.from.x, s.to.x) <= limitX)) continue;
        // The stretch [low, high] where both coordinates are within their limits.
        double low = 0, high = 1;
        const auto within = [&](double from, double to, double limit) {
            if (from <= limit && to <= limit) return;
            if (from > limit && to > limit) high = -1;
            else if (from > limit) low = std::max(low, (limit - from) / (to - from));
            else high = std::min(high, (limit - from) / (to - from));
        };
        within(s.from.y, s.to.y, limitY);
        within(s.from.x, s.to.x, limitX);
        if (low >= high) {
            beyond.push_back(s);
            continue;
        }
        if (low > 0) beyond.push_back({s.from, at(s, low), true});
        if (high < 1) beyond.push_back({at(s, high), s.to, true});
    }
    return beyond;
}

std::vector<std::string> JobView::summaryLines(const DesignFacts& design) const {
    const JobTotals& t = reader_.totals();
    const double unit = design.millimetres ? MillimetresPerInch : 1.0;
    const std::string suffix = design.millimetres ? " mm" : " in";
    std::vector<std::string> lines = {
        "figures     " + std::to_string(design.figures),
        "cut         " + twoDecimals(t.cutInches * unit) + suffix,
        "travel      " + twoDecimals(t.travelInches * unit) + suffix + " (order: " + cutOrderName(options_.order) + ")",
        "tool lifts  " + std::to_string(t.toolLifts),
        "job         " + std::to_string(t.bytes) + " bytes",
        "extent      " + length(extent_.reachY, dpiY_, design) + " across the carriage, " +
            length(extent_.reachX, dpiX_, design) + " along the feed",
        "fits        " + (overhang(design).empty() ? "yes: the machine takes " + length(extent_.limitY, dpiY_, design) +
                                                         " across and " + length(extent_.limitX, dpiX_, design) +
                                                         " along the feed"
                                                   : "no: " + overhang(design)),
    };
    if (design.dashed > 0)
        lines.push_back("dashed      " + dashedLinesText(design.dashed, design.dashes));
    return lines;
}

std::string JobView::report(const DesignFacts& design, std::ostream& out) const {
    const std::vector<std::string> lines = summaryLines(design);
    if (options_.summary) {
        out << "vantrel-cut: the job as the machine will move:\n";
        for (const std::string& line : lines) out << "  " << line << '\n';
    }
    if (options_.preview.empty()) return {};
    PictureExtras extras = mediaOf(reader_, extent_);
    extras.marks = design.marks;
    // Two lines: what is cut, then how far; each total as the summary gives it.
    const JobTotals& t = reader_.totals();
    const double unit = design.millimetres ? MillimetresPerInch : 1.0;
    const std::string suffix = design.millimetres ? " mm" : " in";
    extras.caption = {
        std::to_string(design.figures) + " figures, " + std::to_string(t.toolLifts) + " tool lifts, " +
            std::to_string(t.bytes) + " bytes, order: " + cutOrderName(options_.order),
        "cut " + twoDecimals(t.cutInches * unit) + suffix + ", travel " + twoDecimals(t.travelInches * unit) + suffix,
    };
    if (const std::string beyond = overhang(design); !beyond.empty()) {
        extras.caption.push_back("does not fit (red): " + beyond);
        extras.overhang = overhangSegments();
    }
    const std::string picture = endsWith(options_.preview, ".png") ? toolPathPng(reader_.path(), 1200, extras)
                                                                   : toolPathSvg(reader_.path(), extras);
    if (!writeFile(options_.preview, picture)) return "cannot write the preview \"" + options_.preview + "\"";
    return {};
}

std::string reportJob(const CutToolOptions& options, const DesignFacts& design, std::string_view job,
                      const JobExtent& extent, std::ostream& out, std::string& overhang) {
    JobView view(options);
    view.setExtent(extent);
    if (view.readsText()) view.read(job);
    overhang = view.overhang(design);
    return view.report(design, out);
}

}  // namespace vantrel::cli
