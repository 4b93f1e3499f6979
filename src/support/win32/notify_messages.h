#pragma once
// The worker threads' notify messages: the reader, the writer and the
// generator each reach the user interface only by posting its one message to
// its notify window, and the log names a lost channel by the message of the
// thread that lost it.
#include <windows.h>

namespace vantrel::win {

inline constexpr UINT WM_READER_EVENT = 3028;
inline constexpr UINT WM_WRITER_EVENT = 3029;
inline constexpr UINT WM_GENERATOR_EVENT = 3030;

}  // namespace vantrel::win
