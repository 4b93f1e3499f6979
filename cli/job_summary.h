#pragma once
// vantrel-cut --summary and --preview: the job read back as the machine will
// carry it out (toolpath/job_reader.h), its totals in the design file's own
// unit, and its picture through the simulator's renderer.
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "cutdata/cut_job.h"
#include "cutdata/cut_stream.h"
#include "design/dashes.h"
#include "toolpath/job_reader.h"

namespace vantrel::cli {

struct CutToolOptions;

// What the summary tells of the design itself.
struct DesignFacts {
    std::size_t figures = 0;
    bool millimetres = false;  // lengths in mm (an SVG sized in mm or cm), else in inches
    std::size_t dashed = 0;    // SVG shapes stroked with a dash pattern
    DashMode dashes = DashMode::Solid;  // and what became of them
    std::vector<std::vector<ToolPoint>> marks;  // Print and Cut: the marks, in the job's steps
};
DesignFacts designFactsOf(const Path& design, bool millimetres);

// "3 dashed lines cut solid (...)": what became of them, for the summary and the notes.
std::string dashedLinesText(std::size_t count, DashMode mode);

std::optional<CutOrder> cutOrderNamed(std::string_view name);
const char* cutOrderName(CutOrder order);
// A picture's file name: .svg or .png (any case).
bool isPreviewName(std::string_view name);

// A job as it is made: its extent from the cut stream and, for the summary
// or the preview, its text read back for the totals and the moves.
class JobView {
public:
    explicit JobView(const CutToolOptions& options);
    // Whether read() is wanted: a job only written out is never read back.
    bool readsText() const { return readsText_; }
    void read(std::string_view text);
    void setExtent(const JobExtent& extent) { extent_ = extent; }
    // The summary on `out` when asked for, and the preview written when asked
    // for; the error line when the preview cannot be written, else empty.
    std::string report(const DesignFacts& design, std::ostream& out) const;
    // What of the job lies beyond the machine's working area ("reaches 13.10
    // in across the carriage; the media is 12.00 in wide"), in the design's
    // unit; empty when it fits. The machine would leave that part uncut.
    std::string overhang(const DesignFacts& design) const;

private:
    std::vector<std::string> summaryLines(const DesignFacts& design) const;
    std::string length(double steps, double dpi, const DesignFacts& design) const;
    std::vector<ToolSegment> overhangSegments() const;
    const CutToolOptions& options_;
    double dpiX_, dpiY_;
    bool readsText_;
    JobReader reader_;
    JobExtent extent_;
};

// The summary and the preview of a job made whole (for --send, before it is sent).
// `overhang` gets JobView::overhang.
std::string reportJob(const CutToolOptions& options, const DesignFacts& design, std::string_view job,
                      const JobExtent& extent, std::ostream& out, std::string& overhang);

// Hands the job on to `next` unchanged and shows it to `view`.
class JobViewWriter : public CutStreamWriter {
public:
    JobViewWriter(JobView& view, CutStreamWriter& next) : view_(view), next_(next) {}
    bool write(char* text, std::size_t size) override {
        if (view_.readsText()) view_.read(std::string_view(text, size));
        return next_.write(text, size);
    }

private:
    JobView& view_;
    CutStreamWriter& next_;
};

}  // namespace vantrel::cli
