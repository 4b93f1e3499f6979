#include "tools/version_text.h"

#include <array>
#include <cstdio>

namespace vantrel {

FileVersion fileVersionFromHalves(std::uint32_t mostSignificant, std::uint32_t leastSignificant) {
    FileVersion v;
    v.parts[0] = static_cast<std::uint16_t>(mostSignificant >> 16);
    v.parts[1] = static_cast<std::uint16_t>(mostSignificant & 0xFFFF);
    v.parts[2] = static_cast<std::uint16_t>(leastSignificant >> 16);
    v.parts[3] = static_cast<std::uint16_t>(leastSignificant & 0xFFFF);
    return v;
}

std::string formatFileVersion(const FileVersion& version, int count, unsigned twoDigitParts) {
    if (count < 1) count = 1;
    if (count > 4) count = 4;
    std::string out;
    for (int i = 0; i < count; ++i) {
        char part[16];
        std::snprintf(part, sizeof part, (twoDigitParts >> i) & 1 ? "%02i" : "%i", static_cast<int>(version.parts[i]));
        if (i) out.push_back('.');
        out += part;
    }
    return out;
}

std::string buildTimestamp(std::string_view date, std::string_view time) {
    static constexpr std::array<std::string_view, 12> months = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                               "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    static constexpr std::array<std::string_view, 7> weekdays = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    std::string fallback = std::string(date) + " " + std::string(time);
    // "Mmm dd yyyy": the day is blank-padded to two characters.
    if (date.size() != 11 || time.size() != 8) return fallback;
    int month = -1;
    for (int m = 0; m < 12; ++m)
        if (date.substr(0, 3) == months[m]) month = m + 1;
    auto digit = [](char c) { return c >= '0' && c <= '9' ? c - '0' : -1; };
    int dayTens = date[4] == ' ' ? 0 : digit(date[4]);
    int dayUnits = digit(date[5]);
    int year = 0;
    for (int i = 7; i < 11; ++i) {
        if (digit(date[i]) < 0) return fallback;
        year = year * 10 + digit(date[i]);
    }
    if (month < 0 || dayTens < 0 || dayUnits < 0 || date[3] != ' ' || date[6] != ' ') return fallback;
    int day = dayTens * 10 + dayUnits;
    if (day < 1 || day > 31) return fallback;
    // Zeller-style day of the week (Sakamoto's method), valid for the Gregorian calendar.
    static constexpr int offsets[] = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
    int y = month < 3 ? year - 1 : year;
    int weekday = (y + y / 4 - y / 100 + y / 400 + offsets[month - 1] + day) % 7;
    char text[40];
    std::snprintf(text, sizeof text, "%s %s %2d %.8s %04d", weekdays[weekday].data(), months[month - 1].data(), day,
                  time.data(), year);
    return text;
}

const char16_t AboutNotice[] =
    u"\nCopyright \u00A9 2026 the Vantrel developers. All rights reserved.\n"
    u"Silhouette, Cameo and Portrait are trademarks of their owners; they do not make or endorse Vantrel.";

std::u16string aboutText(std::u16string_view appName, std::string_view version, std::string_view buildTime) {
    std::u16string out(appName);
    out += u" v";
    out.append(version.begin(), version.end());
    out += u"\nBuild Timestamp: ";
    out.append(buildTime.begin(), buildTime.end());
    out += AboutNotice;
    return out;
}

}  // namespace vantrel
