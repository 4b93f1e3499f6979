#pragma once
#include <windows.h>

#include <string>

namespace vantrel::win {

// A string-table entry of the given module, whole (LoadString with a zero
// length hands out the resource itself, so nothing is cut short).
std::wstring loadResourceString(HINSTANCE module, UINT id);

// The module (DLL or program) that holds this code and its resources.
HINSTANCE thisModule();

}  // namespace vantrel::win
