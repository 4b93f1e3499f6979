#include "design/svg_shapes.h"

#include <string>
#include <utility>

namespace vantrel::svg {

namespace {

// One `d` attribute read command by command; the pen keeps the current point.
class PathGrammar {
public:
    PathGrammar(const Attribute& d, SvgPen& pen) : scan_(d), pen_(pen) {}

    void read() {
        char command = 0;
        for (;;) {
            scan_.skipSeparator();
            if (scan_.atEnd()) break;
            const char c = scan_.peek();
            if (std::string_view("MmLlHhVvCcSsQqTtAaZz").find(c) != std::string_view::npos) {
                if (command == 0 && c != 'M' && c != 'm')
                    scan_.fail(std::string("the first command must be M or m, not '") + c + "'");
                command = c;
                ++scan_.pos;
                pathCommand(command);
            } else if (scan_.startsNumber()) {
                if (command == 0) scan_.fail("path data must begin with a command letter (M or m)");
                if (command == 'Z' || command == 'z') scan_.fail("a number cannot follow Z");
                // Further pairs after a move are line-tos.
                if (command == 'M') command = 'L';
                if (command == 'm') command = 'l';
                pathCommand(command);
            } else if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) {
                scan_.fail(std::string("unknown path command '") + c + "'");
            } else {
                scan_.fail("unexpected character here");
            }
        }
    }

    const Scanner& scanner() const { return scan_; }

private:
    std::pair<double, double> mirroredControl(bool previousOfItsKind) const {
        if (!previousOfItsKind) return {pen_.x(), pen_.y()};
        return {2 * pen_.x() - pen_.controlX(), 2 * pen_.y() - pen_.controlY()};
    }

    // rx ry angle large-arc sweep x y
    void arcCommand(double ox, double oy) {
        double values[3];
        for (double& value : values) {
            scan_.skipSeparator();
            value = scan_.number();
        }
        const bool large = scan_.flag(), sweep = scan_.flag();
        scan_.skipSeparator();
        const double px = scan_.number() + ox;
        scan_.skipSeparator();
        const double py = scan_.number() + oy;
        pen_.arcTo(values[0], values[1], values[2], large, sweep, px, py);
    }

    void pathCommand(char command) {
        const bool relative = command >= 'a';
        const double ox = relative ? pen_.x() : 0, oy = relative ? pen_.y() : 0;
        auto coordinate = [&](double origin) {
            scan_.skipSeparator();
            return scan_.number() + origin;
        };
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

    Scanner scan_;
    SvgPen& pen_;
    bool previousCubic_ = false, previousQuadratic_ = false;
};

}  // namespace

void drawPathData(const Attribute& d, SvgPen& pen) {
    PathGrammar grammar(d, pen);
    pen.blame(&d, &grammar.scanner());
    grammar.read();
    pen.blame(nullptr, nullptr);
}

}  // namespace vantrel::svg
