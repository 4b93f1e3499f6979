// The record of one discovery pass, taken by standing between discovery and
// the device list it asks. FindCutterPath asks for the identification of each
// interface of our vendor, in order, until one names a maker of cutters: the
// pass is complete at that cutter, or once every such interface was asked.
#include "device/win32/logged_device_list.h"

#include "device/cutter_id.h"
#include "log/win32/diagnostics_run.h"

namespace vantrel::win {

namespace {

class LoggedDeviceList : public DeviceList {
public:
    explicit LoggedDeviceList(std::unique_ptr<DeviceList> inner) : inner_(std::move(inner)) {}
    // A pass broken off early is logged as far as it went.
    ~LoggedDeviceList() override { finish(); }

    std::vector<DeviceInterface> interfaces() override {
        std::vector<DeviceInterface> found = inner_->interfaces();
        try {
            pass_.clear();
            paths_.clear();
            unasked_ = 0;
            for (const DeviceInterface& device : found) {
                const bool ours = hasCutterVendorId(device.instanceId);
                pass_.push_back({device.instanceId, ours ? InterfaceVerdict::NotExamined : InterfaceVerdict::OtherVendor, 0, {}});
                paths_.push_back(device.devicePath);
                unasked_ += ours ? 1 : 0;
            }
            recording_ = true;
            if (unasked_ == 0) finish();
        } catch (...) {
            recording_ = false;  // out of memory: this pass goes unlogged
        }
        return found;
    }

    std::optional<std::string> deviceId(const DeviceInterface& device) override {
        // Cleared first, so that a failure that sets no error shows as none.
        // A failed query closes its handle on the way out; CloseHandle sets
        // the error only when it fails itself, so the query's error survives.
        SetLastError(ERROR_SUCCESS);
        std::optional<std::string> id = inner_->deviceId(device);
        const DWORD error = id ? ERROR_SUCCESS : GetLastError();
        try {
            record(device, id, error);
        } catch (...) {
            recording_ = false;
        }
        SetLastError(error);
        return id;
    }

    UniqueHandle openChannel(const std::wstring& channelPath) override { return inner_->openChannel(channelPath); }

private:
    void record(const DeviceInterface& device, const std::optional<std::string>& id, DWORD error) {
        if (!recording_) return;
        for (std::size_t i = 0; i < pass_.size(); ++i) {
            SeenInterface& seen = pass_[i];
            if (seen.verdict != InterfaceVerdict::NotExamined || seen.instanceId != device.instanceId ||
                paths_[i] != device.devicePath)
                continue;
            if (!id) {
                seen.verdict = InterfaceVerdict::NoIdentification;
                seen.error = error;
            } else {
                seen.verdict = namesCutterMaker(*id) ? InterfaceVerdict::Cutter : InterfaceVerdict::NotACutter;
                seen.deviceId = *id;
            }
            if (--unasked_ == 0 || seen.verdict == InterfaceVerdict::Cutter) finish();
            return;
        }
    }

    void finish() noexcept {
        if (!recording_) return;
        recording_ = false;
        logDiscoveryPass(pass_);
    }

    std::unique_ptr<DeviceList> inner_;
    DiscoveryPass pass_;
    std::vector<std::wstring> paths_;
    std::size_t unasked_ = 0;
    bool recording_ = false;
};

}  // namespace

DeviceListFactory withDiscoveryLog(DeviceListFactory factory) {
    return [factory = std::move(factory)]() -> std::unique_ptr<DeviceList> {
        std::unique_ptr<DeviceList> inner = factory ? factory() : nullptr;
        if (!inner) return inner;
        return std::make_unique<LoggedDeviceList>(std::move(inner));
    };
}

}  // namespace vantrel::win
