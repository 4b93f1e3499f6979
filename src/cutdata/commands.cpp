#include "cutdata/commands.h"

#include <charconv>

namespace vantrel {

std::string jogSequence(JogCode code) {
    return std::string{'\x1B', '\x00', static_cast<char>(code)};
}

void appendInt(std::string& out, long long value) {
    char digits[24];
    auto result = std::to_chars(digits, digits + sizeof digits, value);
    out.append(digits, result.ptr);
}

void appendSixDecimal(std::string& out, double value) {
    // Large enough for any double in fixed notation with six decimals.
    char digits[330];
    auto result = std::to_chars(digits, digits + sizeof digits, value, std::chars_format::fixed, 6);
    out.append(digits, result.ptr);
}

CommandStream& CommandStream::raw(std::string_view text) {
    text_.append(text);
    return *this;
}

CommandStream& CommandStream::word(std::string_view commandWord) {
    text_.append(commandWord);
    return *this;
}

CommandStream& CommandStream::pair(long long a, long long b) {
    appendInt(text_, a);
    text_.push_back(',');
    appendInt(text_, b);
    return *this;
}

CommandStream& CommandStream::end() {
    text_.push_back(CommandTerminator);
    return *this;
}

CommandStream& CommandStream::move(long long y, long long x) { return word("M").pair(y, x).end(); }
CommandStream& CommandStream::draw(long long y, long long x) { return word("D").pair(y, x).end(); }

CommandStream& CommandStream::fixedPair(double a, double b) {
    appendSixDecimal(text_, a);
    text_.push_back(',');
    appendSixDecimal(text_, b);
    return *this;
}

CommandStream& CommandStream::moveFixed(double y, double x) { return word("M").fixedPair(y, x).end(); }
CommandStream& CommandStream::drawFixed(double y, double x) { return word("D").fixedPair(y, x).end(); }

CommandStream& CommandStream::bezier(long long y0, long long x0, long long y1, long long x1,
                                     long long y2, long long x2, long long y3, long long x3) {
    word("BZ1,").pair(y0, x0);
    text_.push_back(',');
    pair(y1, x1);
    text_.push_back(',');
    pair(y2, x2);
    text_.push_back(',');
    return pair(y3, x3).end();
}

CommandStream& CommandStream::home() { return word("H").end(); }

CommandStream& CommandStream::bladeOffset(int value) {
    word("FC");
    appendInt(text_, value);
    return end();
}

CommandStream& CommandStream::force(int level) {
    word("FX");
    appendInt(text_, level);
    text_.append(",0");
    return end();
}

CommandStream& CommandStream::speed(int level) {
    word("!");
    appendInt(text_, level);
    text_.append(",0");
    return end();
}

CommandStream& CommandStream::lowerLeft(long long y, long long x) { return word("\\").pair(y, x).end(); }
CommandStream& CommandStream::upperRight(long long y, long long x) { return word("Z").pair(y, x).end(); }
CommandStream& CommandStream::farCorner(long long y, long long x) { return word("FU").pair(y, x).end(); }

CommandStream& CommandStream::feedLength(long long length) {
    word("FO");
    appendInt(text_, length);
    return end();
}

CommandStream& CommandStream::identify() { return word("FG").end(); }
CommandStream& CommandStream::testPattern() { return word("FH").end(); }

CommandStream& CommandStream::markLength(long long steps) {
    word("TB51,");
    appendInt(text_, steps);
    return end();
}

CommandStream& CommandStream::markThickness(long long steps) {
    word("TB53,");
    appendInt(text_, steps);
    return end();
}

CommandStream& CommandStream::searchMarks(long long y, long long x) { return word("TB23,").pair(y, x).end(); }

void DrawList::add(long long y, long long x) {
    out_.push_back(started_ ? ',' : 'D');
    started_ = true;
    appendInt(out_, y);
    out_.push_back(',');
    appendInt(out_, x);
}

std::string cutHeader(const CutHeaderValues& v) {
    CommandStream s;
    s.raw(v.jobPrefix).bladeOffset(v.bladeOffset).raw("TB99|").raw(v.farCorner).raw("FM1|TB50,1|");
    s.feedLength(v.feedLength).raw("&100,100,100|");
    s.lowerLeft(v.margin, v.margin).upperRight(v.carriageLimit, v.feedLength);
    s.force(v.force).speed(v.speed).raw("L0|L0|");
    return s.release();
}

std::string cutJobText(std::string_view header, std::string_view body) {
    std::string text;
    text.reserve(header.size() + body.size() + 4 + CutTrailerTail.size());
    text.append(header).append("M0,0").append(body).append(CutTrailerTail);
    return text;
}

std::string calibrationSquareText(std::string_view movesAndDraws) {
    std::string text = "FC18|TB99|FM1|TB50,1|FO20000|&100,100,100|\\29,29|Z4120,20000|FX10,0|!10,0|L0|L0|";
    text.append(movesAndDraws).append("&1,1,1|TB50,0|FO0|H|");
    return text;
}

std::string markSearchText(const MarkSearchValues& v) {
    CommandStream s;
    s.speed(v.speed).raw("FJ|FN1|TB99|").markLength(v.markLength).raw("TB52,2|");
    s.markThickness(v.markThickness).raw("TB54,0,0|TB55,1|");
    s.move(v.originY, v.originX).searchMarks(v.farY, v.farX);
    return s.release();
}

std::string testCutText(int force, int speed) {
    CommandStream s;
    s.bladeOffset(0).force(force).speed(speed).testPattern();
    return s.release();
}

void toWireInPlace(std::string& commandText) {
    for (char& c : commandText)
        if (c == CommandTerminator) c = ETX;
}

std::string toWire(std::string_view commandText) {
    std::string wire(commandText);
    toWireInPlace(wire);
    return wire;
}

}  // namespace vantrel
