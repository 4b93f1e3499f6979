// Any bytes as a typed measurement: the result is always finite, the UTF-16
// form agrees with the 8-bit one on ASCII text, and text without "/" agrees
// with the C library's reading of a plain decimal.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "settings/measurement.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    double value = vantrel::ParseMeasurement(text);
    if (!std::isfinite(value)) std::abort();

    std::u16string wide;
    bool ascii = true;
    for (unsigned char c : text) {
        ascii = ascii && c < 0x80;
        wide.push_back(c);
    }
    if (ascii && vantrel::ParseMeasurement(wide) != value) std::abort();

    // Plain decimals only: the C library also reads "inf", "nan" and hexadecimal.
    std::string cString(text.substr(0, text.find('\0')));
    if (cString.find_first_of("/xXiInN") == std::string::npos) {
        double expected = std::strtod(cString.c_str(), nullptr);
        if (!std::isfinite(expected)) expected = 0.0;
        if (expected != value) std::abort();
    }
    return 0;
}
