#pragma once
// The machine's replies, read in one place: the status character and the
// registration-mark search's answer. The identification text is read in
// identification.h.
#include <optional>
#include <string_view>

namespace vantrel {

// Answer to the status request: one character, this one while the machine is
// still carrying out earlier commands, any other once it is idle.
inline constexpr char BusyStatus = '1';

// A status answer is exactly one character; longer replies answer something else.
bool isStatusReply(std::string_view reply);
bool isBusyReply(std::string_view reply);
bool isIdleReply(std::string_view reply);

// The calibration square is watched more loosely: any reply that does not
// begin with the busy character means the machine has finished, so a reply
// that was not a status answer (the tail of an earlier one) never keeps the
// dialog waiting.
bool beginsBusy(std::string_view reply);

// Answer to the registration-mark search: its leading decimal integer
// (leading white space skipped, optional sign) is 0 when the marks were
// found. An answer with no such digits ("ERROR", blanks) is empty here: it
// says nothing was found, and reading it as 0 would cut without the marks.
// Digits beyond the range of long saturate, so a huge number never reads as 0.
std::optional<long> markSearchCode(std::string_view reply);

}  // namespace vantrel
