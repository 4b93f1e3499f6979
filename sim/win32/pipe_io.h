#pragma once
// Overlapped named-pipe operations that a stop event can interrupt: every
// wait of the simulator's pipe threads also waits for its stop event, so an
// unplug or a quit ends a pending connect, read or write at once.
#include <windows.h>

#include <string>
#include <string_view>

#include "support/win32/unique_handle.h"

namespace vantrel::sim {

// One OVERLAPPED record with its own manual-reset event. It must outlive the
// operation it was given to: `finish` always waits for the real end.
class Overlapped {
public:
    Overlapped();
    Overlapped(const Overlapped&) = delete;
    Overlapped& operator=(const Overlapped&) = delete;
    OVERLAPPED* prepare();
    OVERLAPPED* record() { return &record_; }
    HANDLE event() const { return event_.get(); }

private:
    OVERLAPPED record_{};
    win::UniqueHandle event_;
};

enum class IoResult { Done, Failed, Stopped };

// Ends an operation begun with `started` (the return value of ReadFile,
// WriteFile or ConnectNamedPipe): waits for it or for `stop`; on stop the
// operation is cancelled and waited for before returning Stopped.
IoResult finishIo(HANDLE pipe, Overlapped& op, BOOL started, HANDLE stop, DWORD& bytes);

// Cancels this thread's operation on `pipe` and waits for its real end, so
// that `op` and its buffer may go.
void cancelIo(HANDLE pipe, Overlapped& op, DWORD& bytes);

// Creates one instance of a byte-mode duplex pipe with overlapped I/O.
win::UniqueHandle createPipe(const std::wstring& name, DWORD maxInstances, DWORD bufferBytes = 65536);

// Waits for a client on `pipe`; false when `stop` came first or the connect failed.
IoResult connectPipe(HANDLE pipe, HANDLE stop);

// Writes all of `bytes`; Done only when every byte went out.
IoResult writeAll(HANDLE pipe, std::string_view bytes, HANDLE stop);

std::wstring widen(std::string_view utf8);
std::string narrow(std::wstring_view wide);

}  // namespace vantrel::sim
