#include "device/win32/discovery.h"

#include <set>

#include "support/win32/module_thread.h"

namespace vantrel::win {

namespace {

// Paths with a call into their device that has not returned, for the whole
// process: the lists made for one dialog and those made for the next share
// it, so that a device stuck in a call is never called again until it
// returns, however often the dialog is opened.
struct OutstandingCalls {
    std::mutex mutex;
    std::set<std::wstring> paths;
};

std::shared_ptr<OutstandingCalls> outstandingCalls() {
    // Each call thread keeps a share: one still stuck as the process ends
    // never uses memory freed under it. (While any runs, its reference keeps
    // the module, and so this object, loaded.)
    static const auto calls = std::make_shared<OutstandingCalls>();
    return calls;
}

// What one call left; its thread and its caller share it, and whoever lets
// go of it last frees it, so a call that returns long after it was given up
// writes into memory that still exists (and what it opened is closed then).
template <typename Result>
struct CallOutcome {
    Result result{};
    DWORD error = ERROR_SUCCESS;
    UniqueHandle done{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
};

template <typename Result>
Result failedWith(DWORD error) {
    SetLastError(error);
    return Result{};
}

// Runs `call` (a query or an open on `path`, giving a Result that converts to
// false on failure) on a thread of its own and waits for it at most
// `limitMs`; a call given up, or refused because the last on that path has
// not returned, fails with ERROR_TIMEOUT.
template <typename Result, typename Call>
Result callWithLimit(const std::wstring& path, DWORD limitMs, Call call) {
    auto outcome = std::make_shared<CallOutcome<Result>>();
    if (!outcome->done) return failedWith<Result>(ERROR_NOT_ENOUGH_MEMORY);
    std::shared_ptr<OutstandingCalls> calls = outstandingCalls();
    {
        std::lock_guard lock(calls->mutex);
        // Still in the call it never returned from: asking again would only
        // add a thread stuck beside it.
        if (!calls->paths.insert(path).second) return failedWith<Result>(ERROR_TIMEOUT);
    }
    UniqueHandle thread;
    try {
        thread = startModuleThread([outcome, calls, path, call = std::move(call)]() mutable {
            try {
                SetLastError(ERROR_SUCCESS);
                outcome->result = call();
                outcome->error = outcome->result ? ERROR_SUCCESS : GetLastError();
            } catch (...) {
                outcome->result = Result{};
                outcome->error = ERROR_NOT_ENOUGH_MEMORY;
            }
            {
                std::lock_guard lock(calls->mutex);
                calls->paths.erase(path);
            }
            SetEvent(outcome->done.get());
        });
    } catch (...) {
    }
    if (!thread) {
        std::lock_guard lock(calls->mutex);
        calls->paths.erase(path);
        return failedWith<Result>(ERROR_NOT_ENOUGH_MEMORY);
    }
    if (WaitForSingleObject(outcome->done.get(), limitMs) != WAIT_OBJECT_0) {
        // Documented to end synchronous I/O the thread has pending, the open
        // among it, where the driver allows; if it does not, the thread is
        // left to return when the driver lets it, and the path stays taken
        // until then.
        CancelSynchronousIo(thread.get());
        return failedWith<Result>(ERROR_TIMEOUT);
    }
    // The thread set the event after its last write to the outcome.
    SetLastError(outcome->error);
    return std::move(outcome->result);
}

class CallLimitedList : public DeviceList {
public:
    CallLimitedList(std::unique_ptr<DeviceList> inner, DWORD limitMs) : inner_(std::move(inner)), limitMs_(limitMs) {}

    std::vector<DeviceInterface> interfaces() override { return inner_->interfaces(); }
    void forEachInterface(const std::function<bool(const DeviceInterface&)>& visit) override {
        inner_->forEachInterface(visit);
    }

    std::optional<std::string> deviceId(const DeviceInterface& device) override {
        return callWithLimit<std::optional<std::string>>(device.devicePath, limitMs_,
                                                         [inner = inner_, device] { return inner->deviceId(device); });
    }

    UniqueHandle openChannel(const std::wstring& channelPath) override {
        return callWithLimit<UniqueHandle>(channelPath, limitMs_,
                                           [inner = inner_, channelPath] { return inner->openChannel(channelPath); });
    }

private:
    // Shared with the calls still running: a call given up may return after
    // this list has gone.
    std::shared_ptr<DeviceList> inner_;
    DWORD limitMs_;
};

}  // namespace

DeviceListFactory withDeviceCallLimit(DeviceListFactory factory, DWORD limitMs) {
    return [factory = std::move(factory), limitMs]() -> std::unique_ptr<DeviceList> {
        auto inner = factory();
        if (!inner) return nullptr;
        return std::make_unique<CallLimitedList>(std::move(inner), limitMs);
    };
}

Discovery::Discovery(DeviceListFactory devices) : devices_(std::move(devices)) {}

Discovery::~Discovery() {
    if (thread_.joinable()) thread_.join();
}

bool Discovery::searching() const {
    std::lock_guard lock(mutex_);
    return searching_;
}

std::optional<Discovery::Found> Discovery::take() {
    std::lock_guard lock(mutex_);
    std::optional<Found> found;
    found.swap(found_);
    return found;
}

void Discovery::start(bool outgoing, HWND window) {
    {
        std::lock_guard lock(mutex_);
        if (searching_) return;
        searching_ = true;
        found_.reset();
    }
    // The previous search has ended (searching_ was clear).
    if (thread_.joinable()) thread_.join();
    try {
        thread_ = std::thread([this, outgoing, window] {
            Found found{outgoing, std::nullopt, {}, ERROR_SUCCESS};
            try {
                auto devices = devices_();
                if (devices) found.path = FindCutterPath(outgoing, *devices);
                if (found.path) {
                    SetLastError(ERROR_SUCCESS);
                    found.channel = devices->openChannel(*found.path);
                    found.openError = found.channel ? ERROR_SUCCESS : GetLastError();
                }
            } catch (...) {
                found = Found{outgoing, std::nullopt, {}, ERROR_SUCCESS};  // out of memory: nothing found this time
            }
            {
                std::lock_guard lock(mutex_);
                found_ = std::move(found);
                searching_ = false;
            }
            if (window) PostMessageW(window, WM_DISCOVERY_DONE, 0, 0);
        });
    } catch (...) {
        std::lock_guard lock(mutex_);
        searching_ = false;
        found_ = Found{outgoing, std::nullopt, {}, ERROR_SUCCESS};
    }
}

}  // namespace vantrel::win
