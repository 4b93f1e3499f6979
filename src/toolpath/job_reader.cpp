#include "toolpath/job_reader.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "cutdata/commands.h"
#include "cutdata/flatten.h"

namespace vantrel {
namespace {

// A curve's length is that of straight pieces this close to it (steps): a
// thousandth of the length of any curve worth cutting.
constexpr double LengthTolerance = 0.05;
constexpr double PictureTolerance = 0.25;
constexpr std::size_t LongestWord = 8, LongestNumber = 32;

bool isWordCharacter(char c, bool first) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (first && (c == '!' || c == '&' || c == '\\'));
}

}  // namespace

JobReader::JobReader(double dpiX, double dpiY, bool keepPath) : dpiX_(dpiX), dpiY_(dpiY), keepPath_(keepPath) {}

void JobReader::read(std::string_view text) {
    totals_.bytes += text.size();
    for (char c : text) {
        // Digits within a number are nearly every byte of a job: taken first.
        if (inParameters_ && c >= '0' && c <= '9' && numberSize_ < LongestNumber) {
            integer_ = integer_ * 10 + static_cast<unsigned>(c - '0');
            number_[numberSize_++] = c;
        } else if (c == CommandTerminator || c == ETX) {
            endNumber();
            endCommand();
        } else if (!inParameters_ && isWordCharacter(c, word_.empty())) {
            if (word_.size() < LongestWord) word_ += c;
        } else if (c == ',') {
            endNumber();
        } else {
            if (!inParameters_) drawing_ = word_ == "D";
            inParameters_ = true;
            if (numberSize_ < LongestNumber) {
                if (c >= '0' && c <= '9')
                    integer_ = integer_ * 10 + static_cast<unsigned>(c - '0');
                else if (c != '-' || numberSize_ != 0)
                    numberIntegral_ = false;
                number_[numberSize_++] = c;
            }
        }
    }
}

void JobReader::endNumber() {
    if (numberSize_ == 0) return;
    double value = 0;
    bool ok = false;
    const bool negative = number_[0] == '-';
    // Up to 15 digits a double holds the integer exactly, as from_chars gives it.
    if (const std::size_t digits = numberSize_ - negative; numberIntegral_ && digits > 0 && digits <= 15) {
        value = negative ? -static_cast<double>(integer_) : static_cast<double>(integer_);
        ok = true;
    } else {
        const auto [end, error] = std::from_chars(number_, number_ + numberSize_, value);
        ok = error == std::errc() && end == number_ + numberSize_ && std::isfinite(value);
    }
    numberSize_ = 0;
    numberIntegral_ = true;
    integer_ = 0;
    parameters_.push_back(ok ? value : 0);
    if (drawing_ && parameters_.size() == 2) {
        moveTo({parameters_[0], parameters_[1]}, true);
        parameters_.clear();
    }
}

void JobReader::endCommand() {
    const std::vector<double>& p = parameters_;
    if (word_ == "M" && p.size() == 2) {
        moveTo({p[0], p[1]}, false);
    } else if (word_ == "BZ" && p.size() == 9 && p[0] == 1) {
        const ToolPoint start{p[1], p[2]};
        if (!(start == position_)) moveTo(start, false);
        cubic(start, {p[3], p[4]}, {p[5], p[6]}, {p[7], p[8]});
    } else if (word_ == "H" && p.empty()) {
        moveTo({0, 0}, false);
    } else if (word_ == "Z" && p.size() == 2) {
        limitY_ = p[0];
        limitX_ = p[1];
    }
    word_.clear();
    drawing_ = false;
    parameters_.clear();
    inParameters_ = false;
}

void JobReader::moveTo(ToolPoint to, bool down) {
    const double dx = (to.x - position_.x) / dpiX_, dy = (to.y - position_.y) / dpiY_;
    (down ? totals_.cutInches : totals_.travelInches) += std::sqrt(dx * dx + dy * dy);
    if (down) {
        reach(position_);
        reach(to);
    }
    if (down_ && !down) ++totals_.toolLifts;
    if (keepPath_) path_.push_back({position_, to, down});
    position_ = to;
    down_ = down;
}

void JobReader::reach(ToolPoint p) {
    totals_.reachY = std::max(totals_.reachY, p.y);
    totals_.reachX = std::max(totals_.reachX, p.x);
}

void JobReader::cubic(ToolPoint p0, ToolPoint p1, ToolPoint p2, ToolPoint p3) {
    // The curve measured in inches, so that an axis's resolution weighs as it does on the machine.
    auto inches = [&](ToolPoint p) { return PointF{static_cast<float>(p.x / dpiX_), static_cast<float>(p.y / dpiY_)}; };
    std::vector<PointF> pieces;
    const double scale = std::max(dpiX_, dpiY_);
    flattenCubic(inches(p0), inches(p1), inches(p2), inches(p3), LengthTolerance / scale, pieces);
    PointF from = inches(p0);
    reach(p0);
    reach(p3);
    for (const PointF& q : pieces) {
        totals_.cutInches += std::hypot(static_cast<double>(q.x) - from.x, static_cast<double>(q.y) - from.y);
        reach({q.y * dpiY_, q.x * dpiX_});
        from = q;
    }
    down_ = true;
    if (!keepPath_) {
        position_ = p3;
        return;
    }
    pieces.clear();
    auto steps = [](ToolPoint p) { return PointF{static_cast<float>(p.x), static_cast<float>(p.y)}; };
    flattenCubic(steps(p0), steps(p1), steps(p2), steps(p3), PictureTolerance, pieces);
    pieces.back() = steps(p3);
    for (const PointF& q : pieces) {
        const ToolPoint to = &q == &pieces.back() ? p3 : ToolPoint{q.y, q.x};
        path_.push_back({position_, to, true});
        position_ = to;
    }
}

std::string twoDecimals(double value) {
    char text[64];
    const auto [end, error] =
        std::to_chars(text, text + sizeof text, std::round(value * 100) / 100, std::chars_format::fixed, 2);
    return error == std::errc() ? std::string(text, end) : std::string("?");
}

}  // namespace vantrel
