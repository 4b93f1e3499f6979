#pragma once
// A job's command text read back as the machine will carry it out: the tool's
// moves from "M" (raised), "D" and its draw lists (lowered), "BZ1" (a cubic,
// lowered) and "H" (home, raised), starting at home, and their totals. Read in
// pieces as the job is made, so that the text is never held whole; "|" and
// ETX both end a command, and other commands move nothing.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "toolpath/tool_path.h"

namespace vantrel {

struct JobTotals {
    double cutInches = 0;      // with the tool lowered
    double travelInches = 0;   // with the tool raised, home at the end included
    std::uint64_t toolLifts = 0;  // times the tool is raised after cutting
    std::uint64_t bytes = 0;
    // The farthest the lowered tool goes from home, in steps: across the
    // carriage and along the feed. What lies beyond the "Z" limits is not cut.
    double reachY = 0;
    double reachX = 0;
};

class JobReader {
public:
    // Lengths are measured in steps of `dpiX` along the feed and `dpiY`
    // across the carriage per inch. With `keepPath` the moves are kept for a
    // picture (curves as straight pieces within 0.25 step).
    JobReader(double dpiX, double dpiY, bool keepPath);

    void read(std::string_view text);

    const JobTotals& totals() const { return totals_; }
    const std::vector<ToolSegment>& path() const { return path_; }
    // The working area's far corner from the job's "Z" command, in steps
    // (across the carriage, along the feed); 0 without one.
    double limitY() const { return limitY_; }
    double limitX() const { return limitX_; }

private:
    void endNumber();
    void endCommand();
    void moveTo(ToolPoint to, bool down);
    void reach(ToolPoint p);
    void cubic(ToolPoint p0, ToolPoint p1, ToolPoint p2, ToolPoint p3);

    double dpiX_, dpiY_;
    bool keepPath_;
    JobTotals totals_;
    std::vector<ToolSegment> path_;
    ToolPoint position_;
    bool down_ = false;
    double limitY_ = 0, limitX_ = 0;
    // The command being read: its word, its numbers so far (a draw list's
    // pairs are carried out as they complete), and the number being read.
    std::string word_;
    bool inParameters_ = false;
    bool drawing_ = false;  // the word is "D", whose pairs are moves as they complete
    std::vector<double> parameters_;
    // Its characters (at most 32, as read) and, while they are an integer,
    // its value: the job's numbers are nearly all integers, read without
    // the general conversion.
    char number_[32];
    std::size_t numberSize_ = 0;
    bool numberIntegral_ = true;
    std::uint64_t integer_ = 0;
};

// "12.35": two decimals, for totals in text.
std::string twoDecimals(double value);

}  // namespace vantrel
