#include "device/win32/discovery.h"

#include <process.h>

#include <set>

#include "support/win32/unique_handle.h"

namespace vantrel::win {

namespace {

// Devices whose query has not returned yet, by device path.
struct HangingDevices {
    std::mutex mutex;
    std::set<std::wstring> paths;
};

// One identification query on a thread of its own. The query and the waiter
// share this block; whoever lets go of it last frees it, so a query that
// returns long after it was given up writes into memory that still exists.
struct Query {
    std::shared_ptr<DeviceList> devices;
    DeviceInterface device;
    std::optional<std::string> id;
    DWORD error = ERROR_SUCCESS;
    UniqueHandle done{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    std::shared_ptr<HangingDevices> hanging;
};

unsigned __stdcall runQuery(void* raw) {
    std::unique_ptr<std::shared_ptr<Query>> owner(static_cast<std::shared_ptr<Query>*>(raw));
    Query& query = **owner;
    try {
        SetLastError(ERROR_SUCCESS);
        query.id = query.devices->deviceId(query.device);
        query.error = query.id ? ERROR_SUCCESS : GetLastError();
    } catch (...) {
        query.id.reset();
        query.error = ERROR_NOT_ENOUGH_MEMORY;
    }
    {
        std::lock_guard lock(query.hanging->mutex);
        query.hanging->paths.erase(query.device.devicePath);
    }
    SetEvent(query.done.get());
    return 0;
}

class QueryLimitedList : public DeviceList {
public:
    QueryLimitedList(std::unique_ptr<DeviceList> inner, DWORD limitMs, std::shared_ptr<HangingDevices> hanging)
        : inner_(std::move(inner)), limitMs_(limitMs), hanging_(std::move(hanging)) {}

    std::vector<DeviceInterface> interfaces() override { return inner_->interfaces(); }
    void forEachInterface(const std::function<bool(const DeviceInterface&)>& visit) override {
        inner_->forEachInterface(visit);
    }

    std::optional<std::string> deviceId(const DeviceInterface& device) override {
        {
            std::lock_guard lock(hanging_->mutex);
            // Still in the call it never returned from: asking again would
            // only add a thread stuck beside it.
            if (!hanging_->paths.insert(device.devicePath).second) return timedOut();
        }
        auto query = std::make_shared<Query>();
        query->devices = inner_;
        query->device = device;
        query->hanging = hanging_;
        auto* handed = new std::shared_ptr<Query>(query);
        UniqueHandle thread(reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, &runQuery, handed, 0, nullptr)));
        if (!thread || !query->done) {
            if (!thread) delete handed;
            std::lock_guard lock(hanging_->mutex);
            if (!thread) hanging_->paths.erase(device.devicePath);
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return std::nullopt;
        }
        if (WaitForSingleObject(query->done.get(), limitMs_) != WAIT_OBJECT_0) {
            // Documented to end synchronous I/O the thread has pending, the
            // open among it, where the driver allows; if it does not, the
            // thread is left to return when the driver lets it.
            CancelSynchronousIo(thread.get());
            return timedOut();
        }
        SetLastError(query->error);
        return query->id;
    }

private:
    static std::optional<std::string> timedOut() {
        SetLastError(ERROR_TIMEOUT);
        return std::nullopt;
    }

    std::shared_ptr<DeviceList> inner_;
    DWORD limitMs_;
    std::shared_ptr<HangingDevices> hanging_;
};

}  // namespace

DeviceListFactory withQueryLimit(DeviceListFactory factory, DWORD limitMs) {
    auto hanging = std::make_shared<HangingDevices>();
    return [factory = std::move(factory), limitMs, hanging]() -> std::unique_ptr<DeviceList> {
        auto inner = factory();
        if (!inner) return nullptr;
        return std::make_unique<QueryLimitedList>(std::move(inner), limitMs, hanging);
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
            Found found{outgoing, std::nullopt};
            try {
                auto devices = devices_();
                if (devices) found.path = FindCutterPath(outgoing, *devices);
            } catch (...) {
                found.path.reset();  // out of memory: nothing found this time
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
        found_ = Found{outgoing, std::nullopt};
    }
}

}  // namespace vantrel::win
