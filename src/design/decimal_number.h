#pragma once
// Decimal numbers of design files, read fast and exactly: shared by the path
// data reader and the SVG reader, so both give a number the same double.
#include <algorithm>
#include <cstdint>

namespace vantrel::decimal {

inline bool isDigit(char c) { return c >= '0' && c <= '9'; }

// A number as read: its decimal digits as an integer (exact while there
// are at most 19 of them) and the power of ten to scale it by.
struct Decimal {
    std::uint64_t digits = 0;
    int count = 0;
    int scale = 0;
    bool negative = false;
};

// End of the number that starts at `from`, or nullptr when it has no digits
// (`exponentFault` then tells whether the fault is in its exponent).
// `ranOut` tells that the scan stopped at `end`: the number may go on.
inline const char* numberEnd(const char* from, const char* end, Decimal& d, bool& exponentFault, bool& ranOut) {
    const char* i = from;
    d.negative = *i == '-';
    if (*i == '+' || *i == '-') ++i;
    // Unsigned arithmetic: past 19 digits the integer wraps and is not used.
    std::uint64_t digits = 0;
    const char* first = i;
    while (i < end && isDigit(*i)) digits = digits * 10 + static_cast<unsigned>(*i++ - '0');
    int count = static_cast<int>(i - first), fraction = 0;
    if (i < end && *i == '.') {
        const char* point = ++i;
        while (i < end && isDigit(*i)) digits = digits * 10 + static_cast<unsigned>(*i++ - '0');
        fraction = static_cast<int>(i - point);
        count += fraction;
    }
    d.digits = digits;
    d.count = count;
    d.scale = -fraction;
    exponentFault = false;
    ranOut = i == end;
    if (count == 0) return nullptr;
    if (i < end && (*i == 'e' || *i == 'E')) {
        const char* e = i + 1;
        bool negativeExponent = false;
        if (e < end && (*e == '+' || *e == '-')) negativeExponent = *e++ == '-';
        ranOut = e >= end;
        if (e >= end || !isDigit(*e)) {
            exponentFault = true;
            return nullptr;
        }
        int exponent = 0;
        for (; e < end && isDigit(*e); ++e) exponent = std::min(exponent * 10 + (*e - '0'), 100000);
        d.scale += negativeExponent ? -exponent : exponent;
        ranOut = e == end;
        i = e;
    }
    return i;
}

// The value of a number held whole in `d`, when one correctly rounded
// operation gives it: digits below 2^53 and a power of ten a double holds
// exactly (up to 10^22). Then it is what strtod gives, bit for bit.
inline bool exactValue(const Decimal& d, double& value) {
#if defined(__FLT_EVAL_METHOD__) && __FLT_EVAL_METHOD__ != 0
    // x87 arithmetic would round twice: always the slow way.
    (void)d, (void)value;
    return false;
#else
    static constexpr double Powers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                        1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    if (d.count > 19 || d.digits > (std::uint64_t{1} << 53) || d.scale < -22 || d.scale > 22) return false;
    const double digits = static_cast<double>(d.digits);
    value = d.scale < 0 ? digits / Powers[-d.scale] : digits * Powers[d.scale];
    if (d.negative) value = -value;
    return true;
#endif
}

}  // namespace vantrel::decimal
