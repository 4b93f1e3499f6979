#pragma once
// vantrel-cut: the plug-in's job generator on the command line. Everything but
// the file handling lives here, so the options and the driving are tested
// without a process.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cutdata/cut_stream.h"
#include "cutdata/reg_marks.h"
#include "design/design_file.h"
#include "job_summary.h"

namespace vantrel::cli {

struct CutToolOptions {
    int cutType = 0;              // CutType: 0 WYSIWYG, 1 Print and Cut, 2 Knife Point
    int model = 1;                // CutterModel, 0 to 3; 0 is no machine connected
    int regMarkType = 0;          // the host's "reg_mark_type": 2 is the square origin mark with no machine
    int force = 10;               // 1 to 33
    int speed = 10;               // 1 to 10
    int passes = 1;               // 1 to 10
    bool bladeOffset = true;
    bool carrierMat = true;
    bool trackEnhancing = false;
    float mediaWidth = 12.0f;     // inches across the carriage
    std::string dpiX = "508.0";   // as the profile stores them: read with ParseMeasurement
    std::string dpiY = "508.0";
    bool flatten = false;         // the flattened body form instead of curves
    bool wire = false;            // the machine's bytes: ETX in place of "|"
    bool searchCommand = false;   // Print and Cut: the mark search instead of the job
    CutOrder order = CutOrder::Drawing;  // the order figures are cut in
    DashMode dashes = DashMode::Solid;   // SVG strokes with a dash pattern
    bool summary = false;         // the job's totals on standard error
    std::string preview;          // a picture of the job: FILE.svg or FILE.png
    std::string marksSvg;         // the registration marks to print, as FILE.svg, instead of the job
    std::optional<RegMarkSpan> marksAt;  // Print and Cut against marks already printed there
    std::string output;           // empty: standard output
    std::string design;           // a file, or "-" for standard input
    bool help = false;
    // Reaching the machine (vantrel-cut's own USB link).
    bool send = false;            // cut the design on the machine found, with its model
    bool list = false;            // list the machines found, and why each was taken or passed over
    std::string device;           // "BUS:ADDR" picks one of several; empty: the only one
    bool yes = false;             // marks not found, or too near the page's edge: cut (or write) anyway
    bool no = false;              // marks not found: do not cut, without asking
    int stallLimit = 30;          // seconds without a byte taken before the machine is reported stopped
    bool doctor = false;          // why no machine can be used, one line per finding with its fix
    std::string trace;            // with --send or --doctor: what crossed the cable, written to this file
    bool modelGiven = false;
};

struct ParsedArguments {
    bool ok = false;
    CutToolOptions options;
    std::string error;            // one line, without the program name
};

// Shared by the option reading and the job run: `text` in double quotes, and
// a resolution read as the plug-in reads it, refused outside the plug-in's
// range (a value no machine has is refused instead of cut).
std::string quoted(std::string_view text);
std::optional<float> resolution(const std::string& text);

// The arguments after the program name. Options take their value as the next
// argument or after "=" ("--force 12", "--force=12"); "--" ends the options.
ParsedArguments parseCutToolArguments(const std::vector<std::string>& arguments);

struct CutToolStatus {
    bool ok = false;
    std::string error;            // one line, without the program name
    std::vector<std::string> notes;  // what an SVG design has that is not cut, one line per kind
    DesignFacts design;           // for the summary
    JobExtent extent;             // of the job made: its reach and the working area
    // The line for a design with nothing to cut (empty, or every element left
    // out; nothing_to_cut.h), empty when there is something to cut. A job
    // written out (runCutTool) also has it as the last of `notes`; --send
    // refuses it.
    std::string nothingToCut;
};

// The job (or the search command) for a design read piece by piece from
// `design`, handed to `output` as it is made, so that neither is held whole.
// Refused input reaches `output` not at all (but for a flattened figure too
// big for the memory at hand, found once the figures before it went out: the
// caller drops them, as vantrel-cut does its ".partial" file). `designName`
// names the design in errors, and tells an SVG document by its extension
// (readDesign). An exception of the source passes through.
CutToolStatus runCutTool(const CutToolOptions& options, DesignTextSource& design, std::string_view designName,
                         CutStreamWriter& output);

struct CutToolResult {
    bool ok = false;
    std::vector<std::string> notes;
    std::string output;           // what goes to the file or standard output
    std::string error;            // one line, without the program name
};

// The same for a design's whole text, with the output collected.
CutToolResult runCutTool(const CutToolOptions& options, std::string_view designText, std::string_view designName);

// A --send run in steps: the design is read and checked (the same errors, in
// the same order, as runCutTool), then the search command and the job are made
// for each model the machine may turn out to be, all before it is reached.
class PreparedCut {
public:
    CutToolStatus prepare(const CutToolOptions& options, DesignTextSource& design, std::string_view designName);
    bool printAndCut() const;
    // Print and Cut: the registration-mark search for `model`, kept for the job.
    CutToolStatus searchCommand(int model, std::string& command);
    // The job in command text ("|" form), after the search command for the
    // same model. The design is kept for the next model.
    CutToolStatus job(int model, std::string& text);
    // Print and Cut: the marks as the preview draws them, once searched for.
    const std::vector<std::vector<ToolPoint>>& marks() const { return marks_; }

private:
    CutToolOptions options_;
    std::string designName_;
    float dpiX_ = 0, dpiY_ = 0;
    Path design_;
    std::optional<RegMarkSearch> search_;
    std::vector<std::vector<ToolPoint>> marks_;
};

// The marks of a Print and Cut job for `model`: where --marks-at puts them,
// else around the design.
RegMarkLayout regMarksOf(const CutToolOptions& options, const Path& design, int model);

// The outer box of the marks as --marks-at reads it, "X,Y,W,H" in inches,
// and as vantrel-cut writes it: read back, it spans the same marks to the bit.
std::optional<RegMarkSpan> marksSpanNamed(std::string_view text);
std::string marksSpanText(const RegMarkSpan& span);

// The sentence for marks that a printer would not print whole: off the page
// (for path data, at negative coordinates) or within a quarter inch of its
// edge; empty when they print.
std::string marksPageCheck(const RegMarkSpan& span, const std::optional<DesignPage>& page);

// --marks-svg: an SVG design's own document with the marks' layer added (one
// of the same label replaced), or for path data a page holding the marks
// alone. `output` is the document; refused input gives none.
CutToolResult writeMarksSvg(const CutToolOptions& options, std::string_view designText, std::string_view designName);

extern const char* const CutToolUsage;

}  // namespace vantrel::cli
