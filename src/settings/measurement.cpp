#include "settings/measurement.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <system_error>

namespace vantrel {

namespace {

// The C library's white space, fixed to the "C" locale: the DLL runs in the
// host's process, whose locale we do not control.
bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

std::string_view skipSpace(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && isSpace(text[i])) ++i;
    return text.substr(i);
}

// Leading white space, optional sign, digits; saturates instead of wrapping.
struct IntegerReading {
    std::int64_t value = 0;
    bool negative = false;  // a minus sign was read, even before a zero
};

IntegerReading readInteger(std::string_view text) {
    text = skipSpace(text);
    IntegerReading reading;
    std::size_t i = 0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        reading.negative = text[i] == '-';
        ++i;
    }
    std::uint64_t magnitude = 0;
    const std::uint64_t limit = reading.negative ? std::uint64_t{1} << 63 : (std::uint64_t{1} << 63) - 1;
    for (; i < text.size() && isDigit(text[i]); ++i) {
        std::uint64_t digit = static_cast<std::uint64_t>(text[i] - '0');
        magnitude = magnitude > (limit - digit) / 10 ? limit : magnitude * 10 + digit;
    }
    if (reading.negative)
        reading.value = magnitude == (std::uint64_t{1} << 63) ? std::numeric_limits<std::int64_t>::min()
                                                              : -static_cast<std::int64_t>(magnitude);
    else
        reading.value = static_cast<std::int64_t>(magnitude);
    return reading;
}

// The decimal form only: no "inf", "nan" or hexadecimal, which a general
// conversion would accept and which no length can be.
double readDecimal(std::string_view text) {
    text = skipSpace(text);
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    const std::size_t numberBegin = i;
    std::size_t digits = 0;
    while (i < text.size() && isDigit(text[i])) ++i, ++digits;
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && isDigit(text[i])) ++i, ++digits;
    }
    if (digits == 0) return 0.0;
    // An exponent counts only when digits follow it ("1e" reads as 1).
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        std::size_t j = i + 1;
        if (j < text.size() && (text[j] == '+' || text[j] == '-')) ++j;
        if (j < text.size() && isDigit(text[j])) {
            while (j < text.size() && isDigit(text[j])) ++j;
            i = j;
        }
    }
    std::string_view number = text.substr(numberBegin, i - numberBegin);
    double value = 0.0;
    auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value,
                                        std::chars_format::general);
    (void)end;
    // Underflow is harmlessly 0; overflow would be infinite, which no caller can use.
    if (error != std::errc() || !std::isfinite(value)) return 0.0;
    return negative ? -value : value;
}

}  // namespace

double ParseMeasurement(std::string_view text) {
    text = text.substr(0, text.find('\0'));
    const std::size_t slash = text.find('/');
    if (slash == std::string_view::npos) return readDecimal(text);

    const std::int64_t denominator = readInteger(text.substr(slash + 1)).value;
    if (denominator == 0) return 0.0;

    // Leading blanks are not the blank of a mixed number: " 6 1/16" is 6 1/16
    // and " 1/2" a plain half.
    const std::string_view before = skipSpace(text.substr(0, slash));
    const std::size_t blank = before.find(' ');
    if (blank == std::string_view::npos)
        return static_cast<double>(readInteger(before).value) / static_cast<double>(denominator);

    const double fraction =
        static_cast<double>(readInteger(before.substr(blank + 1)).value) / static_cast<double>(denominator);
    const IntegerReading whole = readInteger(before.substr(0, blank));
    // The sign of the whole number is the sign of the mixed number; a whole of
    // 0 adds its fraction ("0 1/2" is a half, "-0 1/2" minus a half).
    return whole.negative ? static_cast<double>(whole.value) - fraction
                          : static_cast<double>(whole.value) + fraction;
}

double ParseMeasurement(std::u16string_view text) {
    std::string narrow;
    narrow.reserve(text.size());
    for (char16_t c : text) {
        if (c == u'\0') break;
        narrow.push_back(c < 0x80 ? static_cast<char>(c) : '?');
    }
    return ParseMeasurement(std::string_view(narrow));
}

}  // namespace vantrel
