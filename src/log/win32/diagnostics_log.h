#pragma once
// The diagnostics log file and its writer thread. Whoever logs only formats a
// text and appends it to a bounded queue under a lock held for that append;
// the file is opened, rotated and written on the log's own thread, so the
// user-interface thread and the port threads never wait for a disk. A full
// queue drops the event (the writer later notes how many were dropped), and
// a file that cannot be written loses its lines without a word.
#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "log/log_queue.h"
#include "support/win32/unique_handle.h"

namespace vantrel::win {

inline constexpr wchar_t LogFileName[] = L"vantrel.log";
inline constexpr wchar_t OlderLogFileName[] = L"vantrel.log.1";
// How long closing waits for the writer to empty its queue.
inline constexpr DWORD LogShutdownWaitMs = 2000;

// The folder the log goes to: the one the environment variable
// VANTREL_LOG_DIR names (tests point it at a scratch folder), else
// "Vantrel" in the user's local application-data folder; empty when neither
// can be found.
std::wstring defaultLogFolder();

class DiagnosticsLog {
public:
    // An empty `folder` means defaultLogFolder(), looked up on the writer
    // thread. The folder is created if it is missing (one level).
    explicit DiagnosticsLog(std::wstring folder = {}, std::uint64_t fileLimit = LogFileLimit,
                            std::size_t queueBytes = LogQueueBytes);
    // Lets the writer empty its queue, waiting at most LogShutdownWaitMs. A
    // writer stuck in the file system past that is left to finish alone: it
    // owns its state and keeps this module loaded until it ends.
    ~DiagnosticsLog();
    DiagnosticsLog(const DiagnosticsLog&) = delete;
    DiagnosticsLog& operator=(const DiagnosticsLog&) = delete;

    // Queues one event: every line of `text` gets the local time. Never
    // throws, never waits for the file.
    void write(std::string_view text) noexcept;

    struct Shared;

private:
    std::shared_ptr<Shared> shared_;
    UniqueHandle thread_;
};

}  // namespace vantrel::win
