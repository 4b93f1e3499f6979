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
PictureExtras mediaOf(const JobReader& reader) {
    PictureExtras extras;
    double reach = 0;
    for (const ToolSegment& s : reader.path()) reach = std::max({reach, s.from.x, s.to.x});
    extras.mediaY = reader.limitY();
    extras.mediaX = std::min(reader.limitX(), std::max(reach, reader.limitY()));
    return extras;
}

}  // namespace

DesignFacts designFactsOf(const Path& design, bool millimetres) {
    DesignFacts facts;
    facts.millimetres = millimetres;
    for (std::uint8_t type : design.types) facts.figures += (type & PathPointTypeMask) == PathPointTypeStart;
    return facts;
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
      wanted_(options.summary || !options.preview.empty()),
      reader_(ParseMeasurement(options.dpiX), ParseMeasurement(options.dpiY), !options.preview.empty()) {}

void JobView::read(std::string_view text) {
    if (wanted_) reader_.read(text);
}

std::vector<std::string> JobView::summaryLines(const DesignFacts& design) const {
    const JobTotals& t = reader_.totals();
    const double unit = design.millimetres ? MillimetresPerInch : 1.0;
    const std::string suffix = design.millimetres ? " mm" : " in";
    return {
        "figures     " + std::to_string(design.figures),
        "cut         " + twoDecimals(t.cutInches * unit) + suffix,
        "travel      " + twoDecimals(t.travelInches * unit) + suffix + " (order: " + cutOrderName(options_.order) + ")",
        "tool lifts  " + std::to_string(t.toolLifts),
        "job         " + std::to_string(t.bytes) + " bytes",
    };
}

std::string JobView::report(const DesignFacts& design, std::ostream& out) const {
    const std::vector<std::string> lines = summaryLines(design);
    if (options_.summary) {
        out << "vantrel-cut: the job as the machine will move:\n";
        for (const std::string& line : lines) out << "  " << line << '\n';
    }
    if (options_.preview.empty()) return {};
    PictureExtras extras = mediaOf(reader_);
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
    const std::string picture = endsWith(options_.preview, ".png") ? toolPathPng(reader_.path(), 1200, extras)
                                                                   : toolPathSvg(reader_.path(), extras);
    if (!writeFile(options_.preview, picture)) return "cannot write the preview \"" + options_.preview + "\"";
    return {};
}

std::string reportJob(const CutToolOptions& options, const DesignFacts& design, std::string_view job, std::ostream& out) {
    JobView view(options);
    view.read(job);
    return view.report(design, out);
}

}  // namespace vantrel::cli
