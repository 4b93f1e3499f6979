#include "log/log_format.h"


namespace vantrel {

namespace {

// The last `width` digits of `value` in `base` (10 or 16), leading zeros
// first: the time stamp's fields and the escapes' codes alike.
void putFixedDigits(std::string& out, unsigned long value, int width, unsigned base) {
    static constexpr char Digits[] = "0123456789ABCDEF";
    char digits[8];
    for (int i = width - 1; i >= 0; --i) {
        digits[i] = Digits[value % base];
        value /= base;
    }
    out.append(digits, static_cast<std::size_t>(width));
}

// Decimal fields are clamped to their width, so that a broken clock can never
// widen the time stamp.
void putDigits(std::string& out, int value, int width) {
    int limit = 1;
    for (int i = 0; i < width; ++i) limit *= 10;
    value = value < 0 ? 0 : value >= limit ? limit - 1 : value;
    putFixedDigits(out, static_cast<unsigned long>(value), width, 10);
}

std::string timeStamp(const LogTime& t) {
    const struct {
        int value;
        int width;
        char after;
    } fields[] = {{t.year, 4, '-'},   {t.month, 2, '-'},  {t.day, 2, ' '},         {t.hour, 2, ':'},
                  {t.minute, 2, ':'}, {t.second, 2, '.'}, {t.millisecond, 3, ' '}};
    std::string out;
    out.reserve(24);
    for (const auto& field : fields) {
        putDigits(out, field.value, field.width);
        out += field.after;
    }
    return out;
}

template <typename Char>
std::string printableText(std::basic_string_view<Char> text) {
    std::string out;
    out.reserve(text.size());
    for (Char c : text) {
        const auto code = static_cast<unsigned long>(c);
        if (code == '\n') {
            out += "\\n";
        } else if (code == '\r') {
            out += "\\r";
        } else if (code == '\t') {
            out += "\\t";
        } else if (code >= 0x20 && code < 0x7F) {
            out += static_cast<char>(code);
        } else {
            // A byte as \xNN; a wider character as \uNNNN, or \UNNNNNNNN beyond 16 bits.
            const bool byte = sizeof(Char) == 1 || code < 0x80;
            const int width = byte ? 2 : code <= 0xFFFF ? 4 : 8;
            out += byte ? "\\x" : width == 4 ? "\\u" : "\\U";
            putFixedDigits(out, byte ? code & 0xFF : code, width, 16);
        }
    }
    return out;
}

}  // namespace

std::string timestampedLines(const LogTime& time, std::string_view text) {
    const std::string stamp = timeStamp(time);
    if (text.empty()) return stamp + "\r\n";
    std::string out;
    for (std::size_t begin = 0; begin < text.size();) {
        std::size_t end = text.find('\n', begin);
        if (end == std::string_view::npos) end = text.size();
        out += stamp;
        out.append(text.substr(begin, end - begin));
        out += "\r\n";
        begin = end + 1;
    }
    return out;
}

std::string printable(std::string_view text) { return printableText(text); }
std::string printable(std::u16string_view text) { return printableText(text); }
std::string printable(std::wstring_view text) { return printableText(text); }

std::string systemErrorText(unsigned long code) {
    if (code == 0) return "no error code";
    const char* name = nullptr;
    switch (code) {
        case 1: name = "ERROR_INVALID_FUNCTION"; break;
        case 2: name = "ERROR_FILE_NOT_FOUND"; break;
        case 3: name = "ERROR_PATH_NOT_FOUND"; break;
        case 5: name = "ERROR_ACCESS_DENIED"; break;
        case 6: name = "ERROR_INVALID_HANDLE"; break;
        case 21: name = "ERROR_NOT_READY"; break;
        case 22: name = "ERROR_BAD_COMMAND"; break;
        case 31: name = "ERROR_GEN_FAILURE"; break;
        case 32: name = "ERROR_SHARING_VIOLATION"; break;
        case 50: name = "ERROR_NOT_SUPPORTED"; break;
        case 87: name = "ERROR_INVALID_PARAMETER"; break;
        case 109: name = "ERROR_BROKEN_PIPE"; break;
        case 121: name = "ERROR_SEM_TIMEOUT"; break;
        case 170: name = "ERROR_BUSY"; break;
        case 231: name = "ERROR_PIPE_BUSY"; break;
        case 232: name = "ERROR_NO_DATA"; break;
        case 233: name = "ERROR_PIPE_NOT_CONNECTED"; break;
        case 995: name = "ERROR_OPERATION_ABORTED"; break;
        case 1167: name = "ERROR_DEVICE_NOT_CONNECTED"; break;
        case 1460: name = "ERROR_TIMEOUT"; break;
        default: break;
    }
    std::string out = "error " + std::to_string(code);
    if (name) {
        out += " (";
        out += name;
        out += ')';
    }
    return out;
}

std::string secondsText(unsigned long long milliseconds) {
    std::string out = std::to_string(milliseconds / 1000);
    out += '.';
    putDigits(out, static_cast<int>(milliseconds % 1000), 3);
    out += " s";
    return out;
}

}  // namespace vantrel
