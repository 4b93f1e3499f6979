#pragma once
#include <string>

namespace vantrel::host {

std::string utf8(const std::wstring& text);
// One line on standard output, flushed at once (several threads report).
void say(const std::string& line);

}  // namespace vantrel::host
