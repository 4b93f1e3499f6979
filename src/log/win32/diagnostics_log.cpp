#include "log/win32/diagnostics_log.h"

#include <knownfolders.h>
#include <shlobj.h>

#include "log/log_events.h"
#include "log/log_format.h"
#include "support/win32/module_thread.h"

namespace vantrel::win {

struct DiagnosticsLog::Shared {
    Shared(std::wstring folderName, std::uint64_t limit, std::size_t queueBytes)
        : folder(std::move(folderName)), fileLimit(limit), queue(queueBytes),
          wake(CreateEventW(nullptr, FALSE, FALSE, nullptr)) {}

    std::wstring folder;  // read by the writer only
    const std::uint64_t fileLimit;
    SRWLOCK lock = SRWLOCK_INIT;
    LogQueue queue;     // guarded by lock
    bool quit = false;  // guarded by lock
    UniqueHandle wake;  // auto-reset: set when the queue gains its first text, and to quit
};

namespace {

class ExclusiveLock {
public:
    explicit ExclusiveLock(SRWLOCK& lock) : lock_(lock) { AcquireSRWLockExclusive(&lock_); }
    ~ExclusiveLock() { ReleaseSRWLockExclusive(&lock_); }
    ExclusiveLock(const ExclusiveLock&) = delete;
    ExclusiveLock& operator=(const ExclusiveLock&) = delete;

private:
    SRWLOCK& lock_;
};

LogTime localTime() {
    SYSTEMTIME t;
    GetLocalTime(&t);
    return {t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds};
}

std::wstring environmentText(const wchar_t* name) {
    std::wstring value(260, L'\0');
    for (;;) {
        DWORD length = GetEnvironmentVariableW(name, value.data(), static_cast<DWORD>(value.size()));
        if (length == 0) return {};
        if (length < value.size()) {
            value.resize(length);
            return value;
        }
        value.resize(length);
    }
}

// Appends a batch to the log, moving a full file aside first. Any failure
// loses the batch: the log must never get in the way.
void appendToFile(const std::wstring& folder, std::string_view bytes, std::uint64_t limit) {
    bytes = newestLinesWithin(bytes, limit);
    if (bytes.empty()) return;
    const std::wstring path = folder + L"\\" + LogFileName;
    auto open = [&] {
        // Shared for reading, writing and deleting: a user may read the log
        // while it is written, and another process's log may rotate it.
        return UniqueHandle(CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    };
    UniqueHandle file = open();
    LARGE_INTEGER size = {};
    if (!file || !GetFileSizeEx(file.get(), &size)) return;
    if (mustRotate(static_cast<std::uint64_t>(size.QuadPart), bytes.size(), limit)) {
        file.reset();
        const std::wstring older = folder + L"\\" + OlderLogFileName;
        // Without the move the file would grow past its bound: drop the batch then.
        if (!MoveFileExW(path.c_str(), older.c_str(), MOVEFILE_REPLACE_EXISTING)) return;
        file = open();
        if (!file) return;
    }
    while (!bytes.empty()) {
        const DWORD chunk = bytes.size() > 1u << 20 ? 1u << 20 : static_cast<DWORD>(bytes.size());
        DWORD written = 0;
        if (!WriteFile(file.get(), bytes.data(), chunk, &written, nullptr) || written == 0) return;
        bytes.remove_prefix(written);
    }
}

void runWriter(DiagnosticsLog::Shared& shared) {
    std::wstring folder = shared.folder.empty() ? defaultLogFolder() : shared.folder;
    if (!folder.empty()) CreateDirectoryW(folder.c_str(), nullptr);
    std::string batch;
    for (;;) {
        WaitForSingleObject(shared.wake.get(), INFINITE);
        // Everything queued is written before a quit is obeyed.
        for (;;) {
            std::size_t dropped = 0;
            bool quit = false;
            {
                ExclusiveLock lock(shared.lock);
                dropped = shared.queue.take(batch);
                quit = shared.quit;
            }
            if (dropped > 0) batch += timestampedLines(localTime(), droppedEventsText(dropped));
            if (!batch.empty() && !folder.empty()) appendToFile(folder, batch, shared.fileLimit);
            if (batch.empty()) {
                if (quit) return;
                break;
            }
        }
    }
}

}  // namespace

std::wstring defaultLogFolder() {
    std::wstring folder = environmentText(L"VANTREL_LOG_DIR");
    if (!folder.empty()) return folder;
    PWSTR known = nullptr;
    // The caller frees the path whether or not the call succeeded.
    if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_LocalAppData, 0, nullptr, &known)) && known) folder = known;
    CoTaskMemFree(known);
    if (folder.empty()) folder = environmentText(L"LOCALAPPDATA");
    return folder.empty() ? folder : folder + L"\\Vantrel";
}

DiagnosticsLog::DiagnosticsLog(std::wstring folder, std::uint64_t fileLimit, std::size_t queueBytes)
    : shared_(std::make_shared<Shared>(std::move(folder), fileLimit, queueBytes)) {
    if (!shared_->wake) return;
    // The writer holds its own reference on this module, so that a writer
    // still busy after the host has unloaded us never runs unmapped code.
    try {
        thread_ = startModuleThread([shared = shared_] { runWriter(*shared); });
    } catch (...) {
        // Out of memory: this run goes unlogged.
    }
}

DiagnosticsLog::~DiagnosticsLog() {
    {
        ExclusiveLock lock(shared_->lock);
        shared_->quit = true;
    }
    if (shared_->wake) SetEvent(shared_->wake.get());
    // Bounded: a log must never hold up the host's closing. Past the wait the
    // thread keeps its own share of the state and of the module.
    if (thread_) WaitForSingleObject(thread_.get(), LogShutdownWaitMs);
}

void DiagnosticsLog::write(std::string_view text) noexcept {
    try {
        const std::string lines = timestampedLines(localTime(), text);
        bool first = false;
        {
            ExclusiveLock lock(shared_->lock);
            first = shared_->queue.empty();
            if (!shared_->queue.push(lines)) return;
        }
        // One wake per batch: every signal is a round trip to the kernel.
        if (first) SetEvent(shared_->wake.get());
    } catch (...) {
        // Formatting ran out of memory: the event is lost, the caller goes on.
    }
}

}  // namespace vantrel::win
