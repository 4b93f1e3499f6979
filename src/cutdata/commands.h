#pragma once
// The cutter's command language. Each function appends one command, in the
// system's own text form with "|" after it; toWire() is the one place where
// "|" becomes ETX. Coordinate pairs are always written Y (along the carriage)
// first and X (along the feed) second: callers pass (y, x) in that order.
#include <cstdint>
#include <string>
#include <string_view>

namespace vantrel {

inline constexpr char ETX = 0x03;
inline constexpr char CommandTerminator = '|';

// ESC ENQ: the machine answers with one status character.
inline constexpr std::string_view StatusRequest{"\x1B\x05", 2};

// Direction byte of the jog escape sequence; Stop ends the movement.
enum class JogCode : std::uint8_t { Stop = 0x00, Down = 0x01, Up = 0x02, Right = 0x04, Left = 0x08 };

// ESC NUL d: three raw bytes, no terminator.
std::string jogSequence(JogCode code);

// "%i": decimal, optional minus, no plus, no leading zeros.
void appendInt(std::string& out, long long value);
// "%f": six decimals, independent of the process's locale (the DLL runs in the
// host's process, whose C locale we do not control).
void appendSixDecimal(std::string& out, double value);

// A block of command text built whole in memory.
class CommandStream {
public:
    const std::string& text() const { return text_; }
    std::string release() { return std::move(text_); }
    std::size_t size() const { return text_.size(); }

    CommandStream& raw(std::string_view text);

    // Motion and cutting.
    CommandStream& move(long long y, long long x);          // M%i,%i|
    CommandStream& moveFixed(double y, double x);           // M%f,%f|
    CommandStream& draw(long long y, long long x);          // D%i,%i|
    CommandStream& drawFixed(double y, double x);           // D%f,%f|
    CommandStream& bezier(long long y0, long long x0, long long y1, long long x1,
                          long long y2, long long x2, long long y3, long long x3);  // BZ1,...|
    CommandStream& home();                                  // H|

    // Tool and material.
    CommandStream& bladeOffset(int value);                  // FC%i|
    CommandStream& force(int level);                        // FX%i,0|
    CommandStream& speed(int level);                        // !%i,0|

    // Working area.
    CommandStream& lowerLeft(long long y, long long x);     // \%i,%i|
    CommandStream& upperRight(long long y, long long x);    // Z%i,%i|
    CommandStream& feedLength(long long length);            // FO%i|
    CommandStream& farCorner(long long y, long long x);     // FU%i,%i|

    // Machine functions.
    CommandStream& identify();                              // FG|
    CommandStream& testPattern();                           // FH|

    // Registration-mark search.
    CommandStream& markLength(long long steps);             // TB51,%i|
    CommandStream& markThickness(long long steps);          // TB53,%i|
    CommandStream& searchMarks(long long y, long long x);   // TB23,%i,%i|

private:
    CommandStream& word(std::string_view commandWord);
    CommandStream& pair(long long a, long long b);
    CommandStream& fixedPair(double a, double b);  // "%f,%f"
    CommandStream& end();
    std::string text_;
};

// Draw list of the flattened body form: "D%i,%i" then ",%i,%i" per point. The
// list is left open; the "|" that begins the next command ends it.
class DrawList {
public:
    explicit DrawList(std::string& out) : out_(out) {}
    void add(long long y, long long x);
    bool started() const { return started_; }

private:
    std::string& out_;
    bool started_ = false;
};

// Fixed templates.
inline constexpr std::string_view JobPrefix = "FN0|FN1|FJ|";
inline constexpr std::string_view CutTrailerTail = "|&1,1,1|TB50,0|FO0|H|";

struct CutHeaderValues {
    std::string_view jobPrefix;   // JobPrefix, or empty for Print and Cut
    int bladeOffset = 0;          // 18 or 0
    std::string_view farCorner;   // "FU%i,%i|" when Track Enhancing is on, else empty
    long long feedLength = 0;     // FO and the second value of Z
    long long margin = 0;         // lower-left corner, both values
    long long carriageLimit = 0;  // first value of Z
    int force = 0;
    int speed = 0;
};
// "%sFC%i|TB99|%sFM1|TB50,1|FO%i|&100,100,100|\%i,%i|Z%i,%i|FX%i,0|!%i,0|L0|L0|"
std::string cutHeader(const CutHeaderValues& v);
// "%sM0,0%s|&1,1,1|TB50,0|FO0|H|": header, origin move, body, trailer.
std::string cutJobText(std::string_view header, std::string_view body);
// The calibration square's fixed frame around its moves and draws.
std::string calibrationSquareText(std::string_view movesAndDraws);

struct MarkSearchValues {
    int speed = 0;
    long long markLength = 0;
    long long markThickness = 0;
    long long originY = 0, originX = 0;   // centre of the origin mark
    long long farY = 0, farX = 0;         // distances to the far edges of the other marks
};
// "!%i,0|FJ|FN1|TB99|TB51,%i|TB52,2|TB53,%i|TB54,0,0|TB55,1|M%i,%i|TB23,%i,%i|"
std::string markSearchText(const MarkSearchValues& v);
// "FC0|FX%i,0|!%i,0|FH|"
std::string testCutText(int force, int speed);

// The bytes that go on the wire: every "|" becomes ETX, everything else passes
// unchanged (the escape sequences hold no 0x7C).
std::string toWire(std::string_view commandText);
void toWireInPlace(std::string& commandText);

}  // namespace vantrel
