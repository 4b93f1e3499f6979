#pragma once
// How the diagnostics log writes: one line per event, each beginning with the
// local time to the millisecond, in plain ASCII with CR LF line ends (what
// every Windows editor shows as lines). Whatever comes from a device, the
// system or the user is escaped, so that it can neither break a line nor put
// control characters into the file.
#include <string>
#include <string_view>

namespace vantrel {

struct LogTime {
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
    int millisecond = 0;
};

// "2024-05-01 14:03:07.250 " before each line of `text` (lines end at "\n";
// a final "\n" adds no empty line), each ended by CR LF.
std::string timestampedLines(const LogTime& time, std::string_view text);

// Printable ASCII kept as it is; line feed, carriage return and tab as \n, \r
// and \t; every other byte below 0x20 or from 0x7F on as \xNN.
std::string printable(std::string_view text);
// The same for UTF-16 text (paths, instance ids, message texts): characters
// beyond ASCII as \uNNNN.
std::string printable(std::u16string_view text);
std::string printable(std::wstring_view text);

// "error 5 (ERROR_ACCESS_DENIED)": a system error code with its name when it
// is one that device links are known to report; "no error code" for 0.
std::string systemErrorText(unsigned long code);

// Whole milliseconds as seconds with three decimals: 2345 -> "2.345 s".
std::string secondsText(unsigned long long milliseconds);

}  // namespace vantrel
