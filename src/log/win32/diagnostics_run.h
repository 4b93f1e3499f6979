#pragma once
// The diagnostics log of one plug-in run and the hooks that write to it. The
// run's scope (OnPluginCutPath) owns a DiagnosticsRun; while it lives, the
// hooks below add their events to its log, from any thread. Outside a run
// (and in tests that do not make one) every hook does nothing. No hook
// throws, and none waits for the file.
#include <windows.h>

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "cutdata/cut_job.h"
#include "log/log_events.h"
#include "settings/settings.h"

namespace vantrel::win {

class DiagnosticsRun {
public:
    // Starts the log (in `folder`, or the default folder when empty) and
    // writes `firstLine`: what the application tells of itself
    // (runBeginsText). No log for this run when it is empty.
    explicit DiagnosticsRun(const std::string& firstLine, std::wstring folder = {});
    // Writes the run's last line and lets the log's writer finish.
    ~DiagnosticsRun();
    DiagnosticsRun(const DiagnosticsRun&) = delete;
    DiagnosticsRun& operator=(const DiagnosticsRun&) = delete;

    struct State;

private:
    std::shared_ptr<State> state_;
};

// Discovery: a pass, logged when its outcome has changed
// (withDiscoveryLog in device/win32/logged_device_list.h records them).
void logDiscoveryPass(const DiscoveryPass& pass) noexcept;

// The connection monitor.
void logChannelNotOpened(bool outgoing, const std::wstring& path, DWORD error) noexcept;
void logConnected(const std::wstring& outgoingPath, const std::wstring& incomingPath) noexcept;
void logIdentificationAsked() noexcept;
void logIdentified(std::string_view identification, int model) noexcept;
void logMarkSearchAnswer(std::string_view answer, std::optional<long> code) noexcept;
// Only when the link was made: `connected` says whether it was.
void logDisconnected(bool connected, const char* why) noexcept;
// A command was not queued: the machine had not yet taken an earlier write.
void logCommandRefused(std::size_t bytes) noexcept;
// A port thread closed its channel after a failed transfer; `notifyMessage`
// (WM_READER_EVENT or WM_WRITER_EVENT) tells which channel it was.
void logChannelLost(UINT notifyMessage, DWORD error) noexcept;

// The cut run.
void logJobStarted(const CutJob& job, std::size_t bytes, const Resolution& resolution, float mediaWidth) noexcept;
void logJobEnded(JobEnd end, std::size_t bytes) noexcept;
void logMessageShown(const wchar_t* text) noexcept;

}  // namespace vantrel::win
