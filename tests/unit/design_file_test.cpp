#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>

#include "design/decimal_number.h"
#include "design/design_file.h"

namespace vantrel {
namespace {

std::vector<std::uint8_t> typesOf(const Path& p) { return p.types; }

TEST(DesignFile, AbsoluteAndRelativeCommandsGiveTheSamePath) {
    auto absolute = parseDesign("M 1 1 L 2 1 H 3 V 2 C 3 3 2 3 2 2 Z");
    auto relative = parseDesign("m1,1 l1,0 h1 v1 c0,1 -1,1 -1,0 z");
    ASSERT_TRUE(absolute.ok) << absolute.errorText();
    ASSERT_TRUE(relative.ok) << relative.errorText();
    EXPECT_EQ(absolute.path, relative.path);
    const std::vector<PointF> points{{1, 1}, {2, 1}, {3, 1}, {3, 2}, {3, 3}, {2, 3}, {2, 2}};
    EXPECT_EQ(absolute.path.points, points);
    EXPECT_EQ(typesOf(absolute.path), (std::vector<std::uint8_t>{0, 1, 1, 1, 3, 3, 0x83}));
}

TEST(DesignFile, SmoothAndQuadraticCurvesBecomeExactCubics) {
    // S mirrors the previous second control point; after a non-curve it uses the current point.
    auto smooth = parseDesign("M0 0 C 0 1 1 1 1 0 S 2 -1 2 0 L 3 0 S 4 1 4 0");
    ASSERT_TRUE(smooth.ok) << smooth.errorText();
    const std::vector<PointF> points{{0, 0}, {0, 1}, {1, 1}, {1, 0}, {1, -1}, {2, -1}, {2, 0},
                                     {3, 0}, {3, 0}, {4, 1}, {4, 0}};
    EXPECT_EQ(smooth.path.points, points);

    auto quad = parseDesign("M 0 0 Q 3 3 6 0");
    ASSERT_TRUE(quad.ok);
    const std::vector<PointF> cubic{{0, 0}, {2, 2}, {4, 2}, {6, 0}};
    EXPECT_EQ(quad.path.points, cubic);
}

TEST(DesignFile, FiguresAndImplicitRepetition) {
    // Extra pairs after M are line-tos; a drawing command after Z starts at the closed figure's start.
    auto result = parseDesign("# comment line\nM 0 0 1 0 1 1 z l 0 2 M 5 5 L 6 6");
    ASSERT_TRUE(result.ok) << result.errorText();
    EXPECT_EQ(typesOf(result.path), (std::vector<std::uint8_t>{0, 1, 0x81, 0, 1, 0, 1}));
    EXPECT_EQ(result.path.points[3], (PointF{0, 0}));
    EXPECT_EQ(result.path.points[4], (PointF{0, 2}));
    EXPECT_TRUE(parseDesign("").ok);
    EXPECT_TRUE(parseDesign("M1e-1,-.5L.5.5").ok);  // ".5.5" is two numbers
}

TEST(DesignFile, BadInputNamesLineAndColumn) {
    struct Case {
        const char* text;
        int line, column;
        const char* message;
    } cases[] = {
        {"L 1 1", 1, 1, "first command must be M"},
        {"M 1 1\nL 2 x", 2, 5, "number is expected"},
        {"M 1 1\n  A 1 1 0 0 1 2 2", 2, 3, "unsupported command 'A'"},
        {"M 1 1 L 2", 1, 10, "missing at the end"},
        {"M 1 1 L 2 1e", 1, 11, "exponent"},
        {"M 1e40 1", 1, 3, "out of range"},
        {"M 9000 0 l 9000 0", 1, 18, "out of range"},
        {"M 1 1 Z 3", 1, 9, "cannot follow Z"},
        {"M 1 1 ; L", 1, 7, "unexpected character ';'"},
        {"5 5", 1, 1, "must begin with a command"},
    };
    for (const auto& c : cases) {
        auto result = parseDesign(c.text);
        EXPECT_FALSE(result.ok) << c.text;
        EXPECT_EQ(result.errorLine, c.line) << c.text;
        EXPECT_EQ(result.errorColumn, c.column) << c.text;
        EXPECT_NE(result.errorMessage.find(c.message), std::string::npos) << c.text << ": " << result.errorMessage;
    }
}

// Hands the text over a few bytes at a time, as a slow pipe would.
class Trickle : public DesignTextSource {
public:
    Trickle(std::string_view text, std::size_t piece) : text_(text), piece_(piece) {}
    std::size_t read(char* buffer, std::size_t size) override {
        const std::size_t n = std::min({size, piece_, text_.size()});
        text_.copy(buffer, n);
        text_.remove_prefix(n);
        return n;
    }

private:
    std::string_view text_;
    std::size_t piece_;
};

TEST(DesignFile, ReadInPiecesGivesTheSamePathAndErrors) {
    // Tokens cut at every place, a number longer than the read-ahead, comments
    // longer than the reader's block, and faults at the very end.
    const std::string longNumber = "1." + std::string(200, '0') + "5";
    const std::string texts[] = {
        "# comment line\nM 0 0 1 0 1 1 z l 0 2 M 5 5 L 6 6",
        "M1e-1,-.5L.5.5 C 1 2 3 4 5 6 s 1 1 2 2 q 1 1 2 0 h 1 v 1 Z",
        "M 1 " + longNumber + " L 2 2",
        "# " + std::string(200000, 'x') + "\n  # y\nM 1 1\nL 2 1e",
        "M 1 1\nL 2 x", "M 1 1 L 2", "M 1 1 L 2 -", "M 9000 0 l 9000 0", "M 1 1\r\n, # not a comment",
    };
    for (const std::string& text : texts) {
        const DesignParseResult whole = parseDesign(text);
        for (std::size_t piece : {1, 2, 3, 7, 64, 100000}) {
            Trickle source(text, piece);
            const DesignParseResult streamed = parseDesign(source);
            EXPECT_EQ(streamed.ok, whole.ok) << text.substr(0, 40) << " in pieces of " << piece;
            EXPECT_EQ(streamed.path, whole.path) << text.substr(0, 40) << " in pieces of " << piece;
            EXPECT_EQ(streamed.errorText(), whole.errorText()) << text.substr(0, 40) << " in pieces of " << piece;
        }
    }
    // The values are those of the decimal text, correctly rounded.
    const auto value = parseDesign("M 0.1 " + longNumber + " L 1e-3 7.0000001 L 2.5e+1 0.30000000000000004");
    ASSERT_TRUE(value.ok) << value.errorText();
    EXPECT_EQ(value.path.points, (std::vector<PointF>{{0.1f, 1.0f}, {0.001f, 7.0000001f}, {25.0f, 0.3f}}));
}

// Digit runs of every length, read several bytes at a time, stop where
// strtod stops, even where the text ends, and give its value when exact.
TEST(DesignFile, DecimalDigitRunsOfEveryLength) {
    std::mt19937 random(27);
    const std::string after = " ,.-eE+L9";
    for (int i = 0; i < 20000; ++i) {
        std::string text = (random() % 4 == 0) ? "-" : "";
        for (int n = static_cast<int>(random() % 12); n > 0; --n) text.push_back(static_cast<char>('0' + random() % 10));
        if (random() % 2) text.push_back('.');
        for (int n = static_cast<int>(random() % 12); n > 0; --n) text.push_back(static_cast<char>('0' + random() % 10));
        for (int n = static_cast<int>(random() % 10); n > 0; --n) text.push_back(after[random() % after.size()]);
        text.resize(random() % (text.size() + 1));  // the text may end anywhere
        if (text.empty()) continue;
        decimal::Decimal d;
        bool exponentFault = false, ranOut = false;
        const char* stop = decimal::numberEnd(text.data(), text.data() + text.size(), d, exponentFault, ranOut);
        char* expectedStop = nullptr;
        const double expected = std::strtod(text.c_str(), &expectedStop);
        if (!stop) {
            // No digits, or an exponent without any: strtod then reads at most the part before it.
            EXPECT_TRUE(exponentFault || expectedStop == text.c_str()) << text;
            continue;
        }
        EXPECT_EQ(stop, expectedStop) << text;
        double value = 0;
        if (decimal::exactValue(d, value)) {
            EXPECT_EQ(value, expected) << text;
        }
    }
}

TEST(DesignFile, ShippedSamplesParse) {
    for (const char* name : {"heart", "star", "tag"}) {
        std::ifstream file(std::string(VANTREL_SOURCE_DIR) + "/samples/" + name + ".path");
        ASSERT_TRUE(file) << name;
        std::stringstream text;
        text << file.rdbuf();
        auto result = parseDesign(text.str());
        EXPECT_TRUE(result.ok) << name << ": " << result.errorText();
        EXPECT_GT(result.path.size(), 4u) << name;
    }
}

}  // namespace
}  // namespace vantrel
