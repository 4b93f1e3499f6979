#include "design_file.h"

#include <cctype>
#include <cmath>
#include <cstdlib>

namespace vantrel {

std::string DesignParseResult::errorText() const {
    return "line " + std::to_string(errorLine) + ", column " + std::to_string(errorColumn) + ": " +
           errorMessage;
}

namespace {

struct ParseError {
    std::size_t offset;
    std::string message;
};

class DesignParser {
public:
    explicit DesignParser(std::string_view text) : text_(text) {}

    Path run() {
        skipSeparators();
        if (pos_ < text_.size() && !isCommandLetter(text_[pos_]))
            fail("path data must begin with a command letter (M or m)");
        char command = 0;
        while (skipSeparators(), pos_ < text_.size()) {
            char c = text_[pos_];
            if (isCommandLetter(c)) {
                command = c;
                if (!sawMove_ && command != 'M' && command != 'm')
                    fail(std::string("the first command must be M or m, not '") + command + "'");
                ++pos_;
                runCommand(command, true);
            } else if (std::isalpha(static_cast<unsigned char>(c))) {
                fail(std::string("unsupported command '") + c + "'");
            } else if (startsNumber(c)) {
                if (command == 'Z' || command == 'z') fail("a number cannot follow Z");
                // Implicit repetition; extra pairs after a move are line-tos.
                if (command == 'M') command = 'L';
                if (command == 'm') command = 'l';
                runCommand(command, false);
            } else {
                fail(std::string("unexpected character '") + printable(c) + "'");
            }
        }
        return std::move(path_);
    }

private:
    static bool isCommandLetter(char c) {
        switch (c) {
            case 'M': case 'm': case 'L': case 'l': case 'H': case 'h': case 'V': case 'v':
            case 'C': case 'c': case 'S': case 's': case 'Q': case 'q': case 'Z': case 'z':
                return true;
            default:
                return false;
        }
    }
    static bool startsNumber(char c) {
        return std::isdigit(static_cast<unsigned char>(c)) || c == '-' || c == '+' || c == '.';
    }
    static std::string printable(char c) {
        if (std::isprint(static_cast<unsigned char>(c))) return std::string(1, c);
        char hex[8];
        static const char digits[] = "0123456789ABCDEF";
        hex[0] = '0'; hex[1] = 'x';
        hex[2] = digits[(static_cast<unsigned char>(c) >> 4) & 15];
        hex[3] = digits[static_cast<unsigned char>(c) & 15];
        return std::string(hex, 4);
    }

    [[noreturn]] void fail(std::string message) const { throw ParseError{pos_, std::move(message)}; }

    void skipSeparators() {
        while (pos_ < text_.size()) {
            char c = text_[pos_];
            if (c == '#' && atLineStart()) {
                while (pos_ < text_.size() && text_[pos_] != '\n') ++pos_;
            } else if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == ',') {
                ++pos_;
            } else {
                break;
            }
        }
    }

    bool atLineStart() const {
        std::size_t i = pos_;
        while (i > 0 && (text_[i - 1] == ' ' || text_[i - 1] == '\t')) --i;
        return i == 0 || text_[i - 1] == '\n';
    }

    double number() {
        skipSeparators();
        std::size_t start = pos_;
        if (pos_ >= text_.size()) fail("a number is missing at the end of the data");
        if (!startsNumber(text_[pos_])) fail("a number is expected here");
        std::size_t i = pos_;
        if (text_[i] == '+' || text_[i] == '-') ++i;
        bool digits = false;
        while (i < text_.size() && std::isdigit(static_cast<unsigned char>(text_[i]))) ++i, digits = true;
        if (i < text_.size() && text_[i] == '.') {
            ++i;
            while (i < text_.size() && std::isdigit(static_cast<unsigned char>(text_[i]))) ++i, digits = true;
        }
        if (!digits) fail("a number is expected here");
        if (i < text_.size() && (text_[i] == 'e' || text_[i] == 'E')) {
            std::size_t e = i + 1;
            if (e < text_.size() && (text_[e] == '+' || text_[e] == '-')) ++e;
            if (e >= text_.size() || !std::isdigit(static_cast<unsigned char>(text_[e])))
                fail("the exponent of this number has no digits");
            while (e < text_.size() && std::isdigit(static_cast<unsigned char>(text_[e]))) ++e;
            i = e;
        }
        // strtod needs a terminated copy; numbers are short.
        std::string digitsText(text_.substr(start, i - start));
        double value = std::strtod(digitsText.c_str(), nullptr);
        if (!std::isfinite(value) || std::fabs(value) > MaxDesignCoordinate)
            fail("this number is out of range (at most " + std::to_string(static_cast<int>(MaxDesignCoordinate)) +
                 " inches either way)");
        pos_ = i;
        return value;
    }

    void checkPoint(double x, double y) {
        if (std::fabs(x) > MaxDesignCoordinate || std::fabs(y) > MaxDesignCoordinate)
            fail("this point lies out of range (at most " + std::to_string(static_cast<int>(MaxDesignCoordinate)) +
                 " inches either way)");
    }

    void emit(double x, double y, std::uint8_t type) {
        checkPoint(x, y);
        path_.points.push_back({static_cast<float>(x), static_cast<float>(y)});
        path_.types.push_back(type);
    }

    // A drawing command right after Z starts a new figure at the closed figure's start.
    void ensureFigure() {
        if (figureOpen_) return;
        emit(startX_, startY_, PathPointTypeStart);
        figureOpen_ = true;
    }

    void lineTo(double x, double y) {
        ensureFigure();
        emit(x, y, PathPointTypeLine);
        curX_ = x, curY_ = y;
    }

    void cubicTo(double x1, double y1, double x2, double y2, double x, double y) {
        ensureFigure();
        emit(x1, y1, PathPointTypeBezier);
        emit(x2, y2, PathPointTypeBezier);
        emit(x, y, PathPointTypeBezier);
        lastControlX_ = x2, lastControlY_ = y2;
        curX_ = x, curY_ = y;
    }

    void runCommand(char command, bool explicitLetter) {
        const bool relative = std::islower(static_cast<unsigned char>(command));
        const double ox = relative ? curX_ : 0, oy = relative ? curY_ : 0;
        const char kind = static_cast<char>(std::toupper(static_cast<unsigned char>(command)));
        bool smoothSource = false;
        switch (kind) {
            case 'M': {
                double x = number() + ox, y = number() + oy;
                checkPoint(x, y);
                emit(x, y, PathPointTypeStart);
                curX_ = startX_ = x, curY_ = startY_ = y;
                figureOpen_ = true;
                sawMove_ = true;
                break;
            }
            case 'L': {
                double x = number() + ox, y = number() + oy;
                lineTo(x, y);
                break;
            }
            case 'H': lineTo(number() + ox, curY_); break;
            case 'V': lineTo(curX_, number() + oy); break;
            case 'C': {
                double x1 = number() + ox, y1 = number() + oy;
                double x2 = number() + ox, y2 = number() + oy;
                double x = number() + ox, y = number() + oy;
                cubicTo(x1, y1, x2, y2, x, y);
                smoothSource = true;
                break;
            }
            case 'S': {
                // The first control point mirrors the previous cubic's second one.
                double x1 = previousWasCubic_ ? 2 * curX_ - lastControlX_ : curX_;
                double y1 = previousWasCubic_ ? 2 * curY_ - lastControlY_ : curY_;
                double x2 = number() + ox, y2 = number() + oy;
                double x = number() + ox, y = number() + oy;
                cubicTo(x1, y1, x2, y2, x, y);
                smoothSource = true;
                break;
            }
            case 'Q': {
                // A quadratic is an exact cubic with controls two thirds of the way to q.
                double qx = number() + ox, qy = number() + oy;
                double x = number() + ox, y = number() + oy;
                cubicTo(curX_ + 2.0 / 3.0 * (qx - curX_), curY_ + 2.0 / 3.0 * (qy - curY_),
                        x + 2.0 / 3.0 * (qx - x), y + 2.0 / 3.0 * (qy - y), x, y);
                break;
            }
            case 'Z': {
                (void)explicitLetter;
                if (figureOpen_ && !path_.types.empty())
                    path_.types.back() |= PathPointTypeCloseSubpath;
                figureOpen_ = false;
                curX_ = startX_, curY_ = startY_;
                break;
            }
        }
        previousWasCubic_ = smoothSource;
    }

    std::string_view text_;
    std::size_t pos_ = 0;
    Path path_;
    double curX_ = 0, curY_ = 0, startX_ = 0, startY_ = 0;
    double lastControlX_ = 0, lastControlY_ = 0;
    bool previousWasCubic_ = false;
    bool figureOpen_ = false;
    bool sawMove_ = false;
};

}  // namespace

DesignParseResult parseDesign(std::string_view text) {
    DesignParseResult result;
    try {
        result.path = DesignParser(text).run();
        result.ok = true;
    } catch (const ParseError& e) {
        int line = 1, column = 1;
        for (std::size_t i = 0; i < e.offset && i < text.size(); ++i) {
            if (text[i] == '\n') ++line, column = 1;
            else ++column;
        }
        result.errorLine = line;
        result.errorColumn = column;
        result.errorMessage = e.message;
    }
    return result;
}

}  // namespace vantrel
