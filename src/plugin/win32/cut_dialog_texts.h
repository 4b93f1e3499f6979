#pragma once
// The main dialog's own texts: its captions on the progress bar and its messages.

namespace vantrel::win {

inline constexpr wchar_t ReadyCaption[] = L"Click \"Start\" when you are ready to cut";
inline constexpr wchar_t PreparingCaption[] = L"Preparing cutting data... Please wait...";
inline constexpr wchar_t SendingCaption[] = L"Sending data to Silhouette... Please wait...";
inline constexpr wchar_t FinishedCaption[] = L"Finished sending data to Silhouette machine";
// Shown instead of the finished texts when the link goes while the job is on its way.
inline constexpr wchar_t LinkLostCaption[] = L"Connection lost: the job was not completely sent";
inline constexpr wchar_t FinishedMessage[] = L"Finished sending all data to your Silhouette machine!";
inline constexpr wchar_t NotConnectedMessage[] = L"You are not connected to your Silhouette!";

}  // namespace vantrel::win
