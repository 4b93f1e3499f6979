#pragma once
#include <windows.h>

#include <string>

namespace vantrel::win {

// A string-table entry of the given module, whole (LoadString with a zero
// length hands out the resource itself, so nothing is cut short).
std::wstring loadResourceString(HINSTANCE module, UINT id);

// The module (DLL or program) that holds this code and its resources.
HINSTANCE thisModule();

// The file name of `module` without its extension ("Vantrel"); "Vantrel"
// when it cannot be read.
std::wstring moduleBaseName(HINSTANCE module);

}  // namespace vantrel::win
