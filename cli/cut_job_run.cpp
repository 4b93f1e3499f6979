// vantrel-cut's job run: a design and the options in, the job or the mark
// search's command out, through the plug-in's own job builder.
#include "cut_tool.h"

#include <algorithm>
#include <optional>

#include "cutdata/commands.h"
#include "cutdata/cut_job.h"
#include "cutdata/cut_stream.h"
#include "cutdata/reg_marks.h"
#include "job/cut_run.h"
#include "nothing_to_cut.h"
#include "settings/measurement.h"

namespace vantrel::cli {

namespace {

// Turns every "|" into ETX on the way to the next writer.
class WireWriter : public CutStreamWriter {
public:
    explicit WireWriter(CutStreamWriter& next) : next_(next) {}
    bool write(char* text, std::size_t size) override {
        std::replace(text, text + size, CommandTerminator, ETX);
        return next_.write(text, size);
    }

private:
    CutStreamWriter& next_;
};

bool writeWhole(std::string text, CutStreamWriter& output) { return output.write(text.data(), text.size()); }

CutSettings settingsFrom(const CutToolOptions& options) {
    CutSettings settings;
    settings.forceLevel = options.force;
    settings.speedLevel = options.speed;
    settings.multiCutIndex = options.passes - 1;
    settings.cutTypeIndex = options.cutType;
    settings.trackEnhancing = options.trackEnhancing;
    settings.carrierMat = options.carrierMat;
    settings.bladeOffset = options.bladeOffset;
    return settings;
}

const char* const MarksDoNotFit = "the registration marks of this design do not fit the machine's coordinates";

// The marks as the preview draws them: in the job's steps from its origin.
std::vector<std::vector<ToolPoint>> marksInSteps(const RegMarkLayout& layout, const RegMarkSearch& search, float dpiX,
                                                 float dpiY) {
    std::vector<std::vector<ToolPoint>> marks;
    for (const Path* mark : {&layout.markTopLeft, &layout.markTopRight, &layout.markBottomLeft}) {
        std::vector<ToolPoint>& outline = marks.emplace_back();
        for (PointF p : mark->points)
            outline.push_back(
                {.y = (double(p.y) - search.markOriginY) * dpiY, .x = (double(p.x) - search.markOriginX) * dpiX});
    }
    return marks;
}

// `parse` gives the DesignParseResult; it runs once the options are known good.
// One line per kind of element an SVG design has that cannot be cut.
std::vector<std::string> leftOutNotes(const DesignParseResult& design, std::string_view designName) {
    std::vector<std::string> notes;
    for (const LeftOutKind& left : design.leftOut)
        notes.push_back(std::string(designName) + ": left out, cannot be cut: " + std::to_string(left.count) + " " +
                        left.kind);
    return notes;
}

// Dashed strokes as --dashes says, and the facts of the design that results;
// false with the error when the patterns make too many dashes.
bool takeDesign(const CutToolOptions& options, DesignParseResult& design, std::string_view designName,
                CutToolStatus& status) {
    std::string error;
    if (!applyDashes(design.path, design.dashed, options.dashes, error)) {
        status.error = std::string(designName) + ": " + error;
        return false;
    }
    status.notes = leftOutNotes(design, designName);
    // Cut solid without being asked: said, so that no fold line is cut through unawares.
    if (!design.dashed.empty() && options.dashes == DashMode::Solid)
        status.notes.push_back(std::string(designName) + ": " + dashedLinesText(design.dashed.size(), options.dashes));
    status.design = designFactsOf(design.path, design.millimetres);
    status.design.dashed = design.dashed.size();
    status.design.dashes = options.dashes;
    status.nothingToCut = nothingToCutLine(design, designName);
    if (!status.nothingToCut.empty() && options.dashes == DashMode::Skip && !design.dashed.empty())
        status.nothingToCut = std::string(designName) + ": nothing to cut (" + dashedLinesText(design.dashed.size(), options.dashes) +
                              " by --dashes skip)";
    return true;
}

template <typename Parse>
CutToolStatus generate(const CutToolOptions& options, Parse&& parse, std::string_view designName,
                       CutStreamWriter& finalOutput) {
    CutToolStatus status;
    WireWriter wire(finalOutput);
    CutStreamWriter& output = options.wire ? static_cast<CutStreamWriter&>(wire) : finalOutput;
    const auto dpiX = resolution(options.dpiX), dpiY = resolution(options.dpiY);
    if (!dpiX || !dpiY) {
        status.error = "bad resolution " + quoted(!dpiX ? options.dpiX : options.dpiY);
        return status;
    }
    DesignParseResult design = parse();
    if (!design.ok) {
        status.error = std::string(designName) + ": " + design.errorText();
        return status;
    }
    if (!takeDesign(options, design, designName, status)) return status;
    if (!status.nothingToCut.empty()) status.notes.push_back(status.nothingToCut);

    const CutSettings settings = settingsFrom(options);
    std::optional<RegMarkSearch> search;
    if (settings.printAndCut()) {
        const RegMarkLayout marks = regMarksOf(options, design.path, options.model);
        search = computeRegMarkSearch(marks, options.model, options.carrierMat, *dpiX, *dpiY);
        if (!search) {
            status.error = MarksDoNotFit;
            return status;
        }
        if (std::string check = marksPageCheck(marks.span(), design.page); !check.empty())
            status.notes.push_back(std::move(check));
        status.design.marks = marksInSteps(marks, *search, *dpiX, *dpiY);
        if (options.searchCommand) {
            status.ok = writeWhole(regMarkSearchCommand(*search, options.speed), output);
            return status;
        }
    }
    // The job owns the only copy of the design from here on.
    CutJob job = buildCutJob(settings, std::move(design.path), options.model, search, !options.flatten);
    job.order = options.order;

    const CutStreamError error = writeCutStream(job, *dpiX, *dpiY, options.mediaWidth, output, &status.extent);
    if (error != CutStreamError::None) {
        status.error = std::string(designName) + ": " + cutStreamErrorText(error);
        return status;
    }
    status.ok = true;
    return status;
}

class CollectingWriter : public CutStreamWriter {
public:
    bool write(char* text, std::size_t size) override {
        collected.append(text, size);
        return true;
    }
    std::string collected;
};

}  // namespace

RegMarkLayout regMarksOf(const CutToolOptions& options, const Path& design, int model) {
    // Model 0 is a run with no machine connected.
    const CutMachine machine{model != CutterModelNone, model};
    if (options.marksAt)
        return RegMarkLayout::spanning(*options.marksAt, useSquareOriginMark(machine.connected, model, options.regMarkType));
    return regMarksFor(design, machine, options.regMarkType);
}

CutToolStatus runCutTool(const CutToolOptions& options, DesignTextSource& design, std::string_view designName,
                         CutStreamWriter& output) {
    return generate(options, [&] { return readDesign(design, designName); }, designName, output);
}

CutToolResult runCutTool(const CutToolOptions& options, std::string_view designText, std::string_view designName) {
    CollectingWriter output;
    const CutToolStatus status = generate(options, [&] { return readDesign(designText, designName); }, designName, output);
    CutToolResult result;
    result.ok = status.ok;
    result.notes = status.notes;
    result.error = status.error;
    if (status.ok) result.output = std::move(output.collected);
    return result;
}

CutToolStatus PreparedCut::prepare(const CutToolOptions& options, DesignTextSource& design, std::string_view designName) {
    CutToolStatus status;
    options_ = options;
    designName_ = designName;
    const auto dpiX = resolution(options.dpiX), dpiY = resolution(options.dpiY);
    if (!dpiX || !dpiY) {
        status.error = "bad resolution " + quoted(!dpiX ? options.dpiX : options.dpiY);
        return status;
    }
    dpiX_ = *dpiX;
    dpiY_ = *dpiY;
    // Path data or SVG, chosen as for the job written to a file.
    DesignParseResult parsed = readDesign(design, designName);
    if (!parsed.ok) {
        status.error = designName_ + ": " + parsed.errorText();
        return status;
    }
    if (!takeDesign(options, parsed, designName, status)) return status;
    // Marks a printer leaves out are never searched for: refused before the
    // machine is reached, unless the user says otherwise. The model changes
    // only the origin mark's form, not where the marks span.
    if (printAndCut()) {
        if (std::string check = marksPageCheck(regMarksOf(options, parsed.path, 0).span(), parsed.page); !check.empty()) {
            if (!options.yes) {
                status.error = check + "; nothing was sent (--yes sends it all the same)";
                return status;
            }
            status.notes.push_back(std::move(check));
        }
    }
    design_ = std::move(parsed.path);
    status.ok = true;
    return status;
}

bool PreparedCut::printAndCut() const { return settingsFrom(options_).printAndCut(); }

CutToolStatus PreparedCut::searchCommand(int model, std::string& command) {
    CutToolStatus status;
    // As the cut run does: the marks, then the search fixes the job's origin and extents.
    const RegMarkLayout marks = regMarksOf(options_, design_, model);
    search_ = computeRegMarkSearch(marks, model, options_.carrierMat, dpiX_, dpiY_);
    if (!search_) {
        status.error = MarksDoNotFit;
        return status;
    }
    command = regMarkSearchCommand(*search_, options_.speed);
    marks_ = marksInSteps(marks, *search_, dpiX_, dpiY_);
    status.ok = true;
    return status;
}

CutToolStatus PreparedCut::job(int model, std::string& text) {
    CutToolStatus status;
    CutJob job = buildCutJob(settingsFrom(options_), design_, model, search_, !options_.flatten);
    job.order = options_.order;
    CollectingWriter output;
    const CutStreamError error = writeCutStream(job, dpiX_, dpiY_, options_.mediaWidth, output, &status.extent);
    if (error != CutStreamError::None) {
        status.error = designName_ + ": " + cutStreamErrorText(error);
        return status;
    }
    text = std::move(output.collected);
    status.ok = true;
    return status;
}

}  // namespace vantrel::cli
