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
#include "toolpath/job_reader.h"

namespace vantrel::cli {

struct CutToolOptions;

// What the summary tells of the design itself.
struct DesignFacts {
    std::size_t figures = 0;
    bool millimetres = false;  // lengths in mm (an SVG sized in mm or cm), else in inches
    std::vector<std::vector<ToolPoint>> marks;  // Print and Cut: the marks, in the job's steps
};
DesignFacts designFactsOf(const Path& design, bool millimetres);

std::optional<CutOrder> cutOrderNamed(std::string_view name);
const char* cutOrderName(CutOrder order);
// A picture's file name: .svg or .png (any case).
bool isPreviewName(std::string_view name);

// Reads a job as it is made. Asked for neither a summary nor a preview, it
// reads nothing.
class JobView {
public:
    explicit JobView(const CutToolOptions& options);
    void read(std::string_view text);
    // The summary on `out` when asked for, and the preview written when asked
    // for; the error line when the preview cannot be written, else empty.
    std::string report(const DesignFacts& design, std::ostream& out) const;

private:
    std::vector<std::string> summaryLines(const DesignFacts& design) const;
    const CutToolOptions& options_;
    bool wanted_;
    JobReader reader_;
};

// The summary and the preview of a job made whole (for --send, before it is sent).
std::string reportJob(const CutToolOptions& options, const DesignFacts& design, std::string_view job, std::ostream& out);

// Hands the job on to `next` unchanged and shows it to `view`.
class JobViewWriter : public CutStreamWriter {
public:
    JobViewWriter(JobView& view, CutStreamWriter& next) : view_(view), next_(next) {}
    bool write(char* text, std::size_t size) override {
        view_.read(std::string_view(text, size));
        return next_.write(text, size);
    }

private:
    JobView& view_;
    CutStreamWriter& next_;
};

}  // namespace vantrel::cli
