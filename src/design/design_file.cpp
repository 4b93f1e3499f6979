#include "design/design_file.h"

#include "design/decimal_number.h"
#include "design/design_sniff.h"
#include "design/path_grammar.h"
#include "design/pen.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstdint>
#include <cstring>
#include <string>
#include <system_error>
#include <vector>

namespace vantrel {

std::string DesignParseResult::errorText() const {
    // A fault of the whole file, such as its being a picture, has no place.
    if (errorLine == 0) return errorMessage;
    return "line " + std::to_string(errorLine) + ", column " + std::to_string(errorColumn) + ": " +
           errorMessage;
}

namespace {

struct ParseError {
    std::size_t offset;
    int line;
    std::size_t lineStart;
    std::string message;
};

// The text before the parser: all of it at once, or a window on a source that
// is moved along and refilled. Either way the bytes from `pos` to `end` are
// contiguous, and a token is never cut at the window's edge (see more()).
class TextWindow {
public:
    explicit TextWindow(std::string_view whole) : pos(whole.data()), end(whole.data() + whole.size()),
                                                  start_(whole.data()) {}
    explicit TextWindow(DesignTextSource& source) : source_(&source), buffer_(BlockSize) {
        pos = end = start_ = buffer_.data();
    }

    const char* pos;
    const char* end;

    // Reads more of the text, keeping every byte from `pos` on; false when
    // the text has no more. Either way the window may have moved: pointers
    // into it other than `pos` and `end` are stale. It grows only for a token
    // longer than it.
    bool more() {
        if (!source_ || exhausted_) return false;
        // All of the window at most; the bound is stated for the compiler's sake.
        const std::size_t kept = std::min(static_cast<std::size_t>(end - pos), buffer_.size());
        base_ += static_cast<std::size_t>(pos - start_);
        if (kept * 2 > buffer_.size()) {
            std::vector<char> larger(buffer_.size() * 2);
            if (kept) std::memcpy(larger.data(), pos, kept);
            buffer_.swap(larger);
        } else if (kept) {
            std::memmove(buffer_.data(), pos, kept);
        }
        start_ = pos = buffer_.data();
        end = pos + kept;
        const std::size_t room = buffer_.size() - kept;
        const std::size_t got = source_->read(buffer_.data() + kept, room);
        end += got;
        exhausted_ = got == 0;
        return got != 0;
    }

    // Bytes of look-ahead that the hot paths want at hand before a token.
    static constexpr std::ptrdiff_t LookAhead = 64;
    void lookAhead() {
        if (end - pos < LookAhead && source_ && !exhausted_) more();
    }
    bool finished() const { return !source_ || exhausted_; }

    // The whole text's size when known ahead, else 0.
    std::size_t sizeHint() const { return source_ ? source_->sizeHint() : static_cast<std::size_t>(end - start_); }

    // Offset of `p` from the beginning of the whole text.
    std::size_t offset(const char* p) const { return base_ + static_cast<std::size_t>(p - start_); }

private:
    static constexpr std::size_t BlockSize = 1 << 16;
    DesignTextSource* source_ = nullptr;
    std::vector<char> buffer_;
    const char* start_ = nullptr;
    std::size_t base_ = 0;  // offset of start_ in the whole text
    bool exhausted_ = false;
};

using decimal::Decimal;
using decimal::exactValue;
using decimal::numberEnd;

// A path-data text as the path grammar reads it (design/path_grammar.h),
// with the line count that its faults' places need.
class DesignParser {
public:
    explicit DesignParser(TextWindow& text) : text_(text) {}

    Path run() {
        // A point takes eight bytes of text or more in nearly every file.
        pen_.reserve(text_.sizeHint() / 8);
        pen_.beginUntransformed();
        design::PathGrammar<DesignParser>(*this, pen_).read();
        return std::move(pen_.path);
    }

    bool next() {
        skipSeparators();
        return text_.pos < text_.end;
    }
    char peek() const { return *text_.pos; }
    void advance() { ++text_.pos; }
    bool flag() { fail("an arc flag is expected here"); }  // path data has no arcs

    static bool knows(char c) {
        switch (c) {
            case 'M': case 'm': case 'L': case 'l': case 'H': case 'h': case 'V': case 'v':
            case 'C': case 'c': case 'S': case 's': case 'Q': case 'q': case 'Z': case 'z':
                return true;
            default:
                return false;
        }
    }
    static constexpr bool CommandFirst = true;
    static std::string unknownCommand(char c) { return std::string("unsupported command '") + c + "'"; }
    static std::string unexpected(char c) { return std::string("unexpected character '") + printable(c) + "'"; }

    [[noreturn]] void fail(std::string message) const {
        throw ParseError{text_.offset(text_.pos), line_, lineStart_, std::move(message)};
    }

    double number() {
        skipSeparators();
        if (text_.pos >= text_.end) fail("a number is missing at the end of the data");
        if (!design::startsNumber(*text_.pos)) fail("a number is expected here");
        text_.lookAhead();
        Decimal decimal;
        bool exponentFault = false, ranOut = false;
        const char* end = numberEnd(text_.pos, text_.end, decimal, exponentFault, ranOut);
        // more() may move the window even when the text has ended: scan again after it.
        while (ranOut && !text_.finished()) {
            text_.more();
            end = numberEnd(text_.pos, text_.end, decimal, exponentFault, ranOut);
        }
        if (!end) fail(exponentFault ? "the exponent of this number has no digits" : "a number is expected here");
        double value = 0;
        if (!exactValue(decimal, value)) {
            const char* digits = *text_.pos == '+' ? text_.pos + 1 : text_.pos;
            const auto [parsed, error] = std::from_chars(digits, end, value);
            if (error != std::errc() || parsed != end) {
                // Beyond the range of a double, or so close to 0 that it is
                // denormal: let strtod decide as before (huge is refused below).
                value = std::strtod(std::string(text_.pos, end).c_str(), nullptr);
            }
        }
        if (!std::isfinite(value) || std::fabs(value) > MaxDesignCoordinate)
            fail("this number is out of range (at most " + std::to_string(static_cast<int>(MaxDesignCoordinate)) +
                 " inches either way)");
        text_.pos = end;
        return value;
    }

private:
    static std::string printable(char c) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (u >= 0x20 && u < 0x7F) return std::string(1, c);
        static const char digits[] = "0123456789ABCDEF";
        return {'0', 'x', digits[u >> 4], digits[u & 15]};
    }

    // A point out of range is blamed where the text stands: after its numbers.
    [[noreturn]] static void refuseAt(void* parser, std::string message) {
        static_cast<const DesignParser*>(parser)->fail(std::move(message));
    }

    // Blanks, commas, line ends and comment lines. A '#' starts a comment only
    // when nothing but spaces and tabs precede it on its line.
    void skipSeparators() {
        for (;;) {
            if (text_.pos == text_.end && !text_.more()) return;
            const char c = *text_.pos;
            if (c == ' ' || c == '\t') {
                ++text_.pos;
            } else if (c == '\n') {
                ++text_.pos;
                ++line_;
                lineStart_ = text_.offset(text_.pos);
                lineBlank_ = true;
            } else if (c == ',' || c == '\r') {
                ++text_.pos;
                lineBlank_ = false;
            } else if (c == '#' && lineBlank_) {
                for (;;) {
                    while (text_.pos < text_.end && *text_.pos != '\n') ++text_.pos;
                    if (text_.pos < text_.end || !text_.more()) break;
                }
            } else {
                // What follows is a token (or a fault): the line is no longer blank.
                lineBlank_ = false;
                return;
            }
        }
    }

    TextWindow& text_;
    int line_ = 1;
    std::size_t lineStart_ = 0;  // offset of the current line's first byte
    bool lineBlank_ = true;      // only spaces and tabs since the line began
    design::Pen pen_{&DesignParser::refuseAt, this};
};

DesignParseResult parse(TextWindow& text) {
    DesignParseResult result;
    try {
        result.path = DesignParser(text).run();
        result.ok = true;
    } catch (const ParseError& e) {
        // Columns count bytes from the line's start, as an editor without tabs shows them.
        result.errorLine = e.line;
        result.errorColumn = static_cast<int>(e.offset - e.lineStart) + 1;
        result.errorMessage = e.message;
    }
    return result;
}

}  // namespace

DesignParseResult parseDesign(std::string_view text) {
    TextWindow window(text);
    return parse(window);
}

DesignParseResult parseDesign(DesignTextSource& source) {
    TextWindow window(source);
    return parse(window);
}

}  // namespace vantrel

namespace vantrel {

bool isSvgDesign(std::string_view head, std::string_view name) {
    if (head.substr(0, 3) == "\xEF\xBB\xBF") head.remove_prefix(3);
    // UTF-16 starts with its byte order mark: only XML comes that way here.
    if (head.substr(0, 2) == "\xFF\xFE" || head.substr(0, 2) == "\xFE\xFF") return true;
    const std::size_t first = head.find_first_not_of(" \t\r\n");
    if (first != std::string_view::npos && head[first] == '<') return true;
    if (name.size() < 4) return false;
    std::string extension(name.substr(name.size() - 4));
    for (char& c : extension) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return extension == ".svg";
}

// A file that is plainly something else is refused as a whole, before it is
// read as path data.
static bool refusedForeign(std::string_view head, DesignParseResult& result) {
    const std::string_view format = foreignFormatOf(head);
    if (format.empty()) return false;
    result.errorMessage = foreignFormatSentence(format);
    return true;
}

DesignParseResult readDesign(std::string_view text, std::string_view name) {
    if (DesignParseResult refused; refusedForeign(text.substr(0, 4096), refused)) return refused;
    if (isSvgDesign(text.substr(0, 4096), name)) return parseSvg(std::string(text));
    return parseDesign(text);
}

namespace {

// The bytes already read to tell the form, then the rest of the source.
class ReplayedSource : public DesignTextSource {
public:
    ReplayedSource(std::string head, DesignTextSource& rest) : head_(std::move(head)), rest_(rest) {}
    std::size_t read(char* buffer, std::size_t size) override {
        if (given_ < head_.size()) {
            const std::size_t n = std::min(size, head_.size() - given_);
            std::memcpy(buffer, head_.data() + given_, n);
            given_ += n;
            return n;
        }
        return rest_.read(buffer, size);
    }
    std::size_t sizeHint() const override {
        const std::size_t rest = rest_.sizeHint();
        return rest ? rest + (head_.size() - given_) : 0;
    }

private:
    std::string head_;
    std::size_t given_ = 0;
    DesignTextSource& rest_;
};

}  // namespace

DesignParseResult readDesign(DesignTextSource& source, std::string_view name) {
    constexpr std::size_t HeadSize = 4096;
    // Asked before the first read: what is left then is the whole text.
    const std::size_t size = source.sizeHint();
    std::string text(HeadSize, '\0');
    std::size_t have = 0;
    while (have < HeadSize) {
        const std::size_t got = source.read(text.data() + have, HeadSize - have);
        if (got == 0) break;
        have += got;
    }
    text.resize(have);
    if (DesignParseResult refused; refusedForeign(text, refused)) return refused;
    if (!isSvgDesign(text, name)) {
        ReplayedSource replayed(std::move(text), source);
        return parseDesign(replayed);
    }
    // The whole document: in one piece of memory when the source told its size.
    text.reserve(std::max(size + 1, HeadSize));
    for (;;) {
        if (text.capacity() == text.size()) text.reserve(text.size() * 2);
        const std::size_t before = text.size();
        text.resize(text.capacity());
        const std::size_t got = source.read(text.data() + before, text.size() - before);
        text.resize(before + got);
        if (got == 0) break;
    }
    return parseSvg(std::move(text));
}

}  // namespace vantrel
