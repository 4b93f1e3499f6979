#pragma once
// The path grammar, read by one piece of code whether it comes from a
// path-data file or an SVG `d` attribute: commands, implicit repeats, smooth
// controls and arcs, drawn with the pen. The two differ only in their text:
// `Text` skips separators, reads numbers and flags, fails at its place, and
// says which commands it knows and how it names a fault:
//   bool next();                  separators skipped; false at the end
//   char peek() const;  void advance();
//   double number();   bool flag();   [[noreturn]] void fail(std::string);
//   static bool knows(char command);
//   static constexpr bool CommandFirst;  a first token other than a command
//                                        is "path data must begin ..."
//   std::string unknownCommand(char);  std::string unexpected(char);
#include <string>
#include <utility>

#include "design/pen.h"

namespace vantrel::design {

inline bool startsNumber(char c) { return (c >= '0' && c <= '9') || c == '-' || c == '+' || c == '.'; }
inline bool isLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

template <class Text>
class PathGrammar {
public:
    PathGrammar(Text& text, Pen& pen) : text_(text), pen_(pen) {}

    void read() {
        char command = 0;
        while (text_.next()) {
            const char c = text_.peek();
            if (Text::knows(c)) {
                if (command == 0 && c != 'M' && c != 'm')
                    text_.fail(std::string("the first command must be M or m, not '") + c + "'");
                command = c;
                text_.advance();
                pathCommand(command);
            } else if (command == 0 && (Text::CommandFirst || startsNumber(c))) {
                text_.fail("path data must begin with a command letter (M or m)");
            } else if (startsNumber(c)) {
                if (command == 'Z' || command == 'z') text_.fail("a number cannot follow Z");
                // Further pairs after a move are line-tos.
                if (command == 'M') command = 'L';
                if (command == 'm') command = 'l';
                pathCommand(command);
            } else if (isLetter(c)) {
                text_.fail(text_.unknownCommand(c));
            } else {
                text_.fail(text_.unexpected(c));
            }
        }
    }

private:
    // A smooth segment's control: the previous segment's of its kind
    // mirrored through the current point, or the current point itself.
    std::pair<double, double> mirroredControl(bool previousOfItsKind) const {
        if (!previousOfItsKind) return {pen_.x(), pen_.y()};
        return {2 * pen_.x() - pen_.controlX(), 2 * pen_.y() - pen_.controlY()};
    }

    // rx ry angle large-arc sweep x y
    void arcCommand(double ox, double oy);

    void pathCommand(char command) {
        const bool relative = command >= 'a';
        const double ox = relative ? pen_.x() : 0, oy = relative ? pen_.y() : 0;
        auto coordinate = [&](double origin) { return text_.number() + origin; };
        bool cubic = false, quadratic = false;
        switch (relative ? static_cast<char>(command - 'a' + 'A') : command) {
            case 'M': {
                const double px = coordinate(ox), py = coordinate(oy);
                pen_.moveTo(px, py);
                break;
            }
            case 'L': {
                const double px = coordinate(ox), py = coordinate(oy);
                pen_.lineTo(px, py);
                break;
            }
            case 'H': pen_.lineTo(coordinate(ox), pen_.y()); break;
            case 'V': pen_.lineTo(pen_.x(), coordinate(oy)); break;
            case 'C': {
                const double x1 = coordinate(ox), y1 = coordinate(oy), x2 = coordinate(ox), y2 = coordinate(oy);
                const double px = coordinate(ox), py = coordinate(oy);
                pen_.cubicTo(x1, y1, x2, y2, px, py);
                cubic = true;
                break;
            }
            case 'S': {
                // The first control mirrors the previous cubic's second one.
                const auto [x1, y1] = mirroredControl(previousCubic_);
                const double x2 = coordinate(ox), y2 = coordinate(oy), px = coordinate(ox), py = coordinate(oy);
                pen_.cubicTo(x1, y1, x2, y2, px, py);
                cubic = true;
                break;
            }
            case 'Q': {
                const double qx = coordinate(ox), qy = coordinate(oy), px = coordinate(ox), py = coordinate(oy);
                pen_.quadTo(qx, qy, px, py);
                quadratic = true;
                break;
            }
            case 'T': {
                // The control mirrors the previous quadratic's.
                const auto [qx, qy] = mirroredControl(previousQuadratic_);
                const double px = coordinate(ox), py = coordinate(oy);
                pen_.quadTo(qx, qy, px, py);
                quadratic = true;
                break;
            }
            case 'A': arcCommand(ox, oy); break;
            case 'Z': pen_.close(); break;
        }
        previousCubic_ = cubic;
        previousQuadratic_ = quadratic;
    }

    Text& text_;
    Pen& pen_;
    bool previousCubic_ = false, previousQuadratic_ = false;
};

template <class Text>
void PathGrammar<Text>::arcCommand(double ox, double oy) {
    double values[3];
    for (double& value : values) value = text_.number();
    const bool large = text_.flag(), sweep = text_.flag();
    const double px = text_.number() + ox;
    const double py = text_.number() + oy;
    pen_.arcTo(values[0], values[1], values[2], large, sweep, px, py);
}

}  // namespace vantrel::design
