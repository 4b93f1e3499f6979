#include "design/svg_shapes.h"

#include <string>
#include <string_view>
#include <utility>

#include "design/path_grammar.h"

namespace vantrel::svg {

namespace {

// A `d` attribute as the path grammar reads it.
class SvgPathText {
public:
    explicit SvgPathText(const Attribute& d) : scan_(d) {}

    bool next() {
        scan_.skipSeparator();
        return !scan_.atEnd();
    }
    char peek() const { return scan_.peek(); }
    void advance() { ++scan_.pos; }
    double number() {
        scan_.skipSeparator();
        return scan_.number();
    }
    bool flag() { return scan_.flag(); }
    [[noreturn]] void fail(std::string message) const { scan_.fail(std::move(message)); }

    static bool knows(char c) { return std::string_view("MmLlHhVvCcSsQqTtAaZz").find(c) != std::string_view::npos; }
    static constexpr bool CommandFirst = false;
    static std::string unknownCommand(char c) { return std::string("unknown path command '") + c + "'"; }
    static std::string unexpected(char) { return "unexpected character here"; }

    const Scanner& scanner() const { return scan_; }

private:
    Scanner scan_;
};

}  // namespace

void drawPathData(const Attribute& d, SvgPen& pen) {
    SvgPathText text(d);
    pen.blame(&d, &text.scanner());
    design::PathGrammar<SvgPathText>(text, pen).read();
    pen.blame(nullptr, nullptr);
}

}  // namespace vantrel::svg
