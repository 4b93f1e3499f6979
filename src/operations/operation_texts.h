#pragma once
// The words the registration-mark and test-cut dialogs show. They are the
// machine's long-standing texts, spelling included ("Carrige"): users and the
// help pages know them as they stand.
#include <string_view>

namespace vantrel {

// Registration-mark search.
inline constexpr std::wstring_view RegMarkDialogTitle = L"Registration Mark Detection";
inline constexpr std::wstring_view RegMarkSearchingCaption = L"Searching For Registration Marks. Please wait...";
inline constexpr std::wstring_view RegMarkNotFoundQuestion =
    L"Unable to find registration marks.\n\nWould you like to continue to cut?";

// Test cut and knife-point positioning.
inline constexpr std::wstring_view TestCutDialogTitle = L"Perform Test Cut";
inline constexpr std::wstring_view KnifePointDialogTitle = L"Setup Knifepoint Cutting";
inline constexpr std::wstring_view MoveCarriageFrameCaption = L"&Move Carrige";
inline constexpr std::wstring_view JogUpCaption = L"&Up";
inline constexpr std::wstring_view JogLeftCaption = L"&Left";
inline constexpr std::wstring_view JogDownCaption = L"&Down";
inline constexpr std::wstring_view JogRightCaption = L"&Right";
inline constexpr std::wstring_view TestButtonCaption = L"Click Here To &Test Cut";
inline constexpr std::wstring_view KnifePointButtonCaption = L"Click To Begin Cu&tting";
inline constexpr std::wstring_view TestingCaption = L"Testing. Please wait...";
inline constexpr std::wstring_view TestCutInstructions =
    L"Click and hold down the directional buttons on the left to move the carrige to an inconspicuous area "
    L"inside your material.\n\nYou may also use the Arrow Keys on your keyboard.";
inline constexpr std::wstring_view KnifePointInstructions =
    L"Click and hold down the directional buttons on the left to move the carrige to an area inside your "
    L"material.\n\nYou may also use the Arrow Keys on your keyboard.";

}  // namespace vantrel
