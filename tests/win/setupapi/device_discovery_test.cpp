// Discovery on SetupAPI, run for real: a substitute setupapi.dll beside this
// program, loaded in place of Wine's through a DLL override, stages the
// device sets and logs the calls. Checked here: the calls and the sizes the
// discovery code passes (the detail structure's cbSize is 8 on x64 and 6 on
// x86), the channel paths it builds, what it skips, and that every set is
// released. The identification query stays behind the DeviceList interface:
// the cutters staged here answer it, every other device goes to the real
// query, which cannot open it. (On Windows setupapi.dll is a known DLL and
// cannot be substituted: this program runs under Wine only.)
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "device/win32/device_list.h"
#include "substitute.h"

namespace vantrel::test {
namespace {

#ifdef _WIN64
constexpr unsigned long DetailCbSize = 8, InterfaceDataCbSize = 32, DevInfoDataCbSize = 32;
#else
constexpr unsigned long DetailCbSize = 6, InterfaceDataCbSize = 28, DevInfoDataCbSize = 28;
#endif

const char* const CutterId = "MANUFACTURER:Silhouette;MODEL:CAMEO;";

class Substitute {
public:
    Substitute() {
        HMODULE module = GetModuleHandleW(L"setupapi.dll");
        stage_ = reinterpret_cast<SubstituteStageFunction>(
            reinterpret_cast<void*>(GetProcAddress(module, "SubstituteStage")));
        log_ = reinterpret_cast<SubstituteCallLogFunction>(
            reinterpret_cast<void*>(GetProcAddress(module, "SubstituteCallLog")));
    }
    bool loaded() const { return stage_ && log_; }
    void stage(const std::vector<StagedInterface>& interfaces, bool setFails = false) {
        stage_(interfaces.data(), static_cast<int>(interfaces.size()), setFails);
    }
    std::string log() const { return log_(); }
    int count(const std::string& call) const {
        std::string text = log();
        int n = 0;
        for (std::size_t at = 0; (at = text.find(call, at)) != std::string::npos; ++at) ++n;
        return n;
    }

private:
    SubstituteStageFunction stage_ = nullptr;
    SubstituteCallLogFunction log_ = nullptr;
};

// The USB list of SetupAPI, with the identification of the staged cutters
// answered here and every other device asked of the real query.
class StagedIds : public win::DeviceList {
public:
    explicit StagedIds(std::map<std::wstring, std::string> ids) : ids_(std::move(ids)) {}
    std::vector<win::DeviceInterface> interfaces() override { return usb_->interfaces(); }
    void forEachInterface(const std::function<bool(const win::DeviceInterface&)>& visit) override {
        usb_->forEachInterface(visit);
    }
    std::optional<std::string> deviceId(const win::DeviceInterface& device) override {
        asked.push_back(device.devicePath);
        auto known = ids_.find(device.devicePath);
        if (known != ids_.end()) return known->second;
        return usb_->deviceId(device);
    }
    std::vector<std::wstring> asked;

private:
    std::map<std::wstring, std::string> ids_;
    std::unique_ptr<win::DeviceList> usb_ = win::makeUsbDeviceList();
};

std::wstring usbPath(const wchar_t* name) {
    return std::wstring(L"\\\\?\\usb#") + name + L"#{a5dcbf10-6530-11d2-901f-00c04fb951ed}";
}

// The lines the discovery code must log for the staged interface at `index`.
std::string expectedCalls(unsigned long index, const StagedInterface& device) {
    const unsigned long number = index + 1;
    char line[400];
    std::string calls;
    auto add = [&](const char* format, auto... values) {
        std::snprintf(line, sizeof line, format, values...);
        calls += line;
        calls += '\n';
    };
    add("EnumDeviceInterfaces set=1 device=null class=usb index=%lu cbSize=%lu", index, InterfaceDataCbSize);
    add("GetDeviceInterfaceDetail set=1 interface=%lu detail=null size=0 cbSize=0 required=set device=null "
        "deviceCbSize=0",
        number);
    if (device.fault == StagedInterface::SizeQueryFails) return calls;
    // The detail: cbSize and the path after it, with its terminator.
    const unsigned long detailBytes = 4 + (std::wcslen(device.devicePath) + 1) * 2;
    add("GetDeviceInterfaceDetail set=1 interface=%lu detail=set size=%lu cbSize=%lu required=null device=set "
        "deviceCbSize=%lu",
        number, detailBytes, DetailCbSize, DevInfoDataCbSize);
    if (device.fault == StagedInterface::DetailFails) return calls;
    add("GetDeviceInstanceId set=1 device=%lu cbSize=%lu id=null size=0 required=set", number, DevInfoDataCbSize);
    // That many characters plus one; a failed size query leaves 0.
    const unsigned long idChars =
        device.fault == StagedInterface::InstanceIdFails ? 1 : std::wcslen(device.instanceId) + 2;
    add("GetDeviceInstanceId set=1 device=%lu cbSize=%lu id=set size=%lu required=null", number, DevInfoDataCbSize,
        idChars);
    return calls;
}

class RealDiscovery : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(substitute_.loaded()) << "Wine's own setupapi.dll was loaded: run with WINEDLLOVERRIDES=setupapi=n,b "
                                             "and the substitute beside the program";
    }
    Substitute substitute_;
};

TEST_F(RealDiscovery, TheCutterThirdInTheListGivesItsChannelPathsAfterTheCallsSetupApiExpects) {
    const std::wstring printer = usbPath(L"vid_04b8&pid_0005#p1"), gone = usbPath(L"vid_0b4d&pid_1121#gone"),
                       cutter = usbPath(L"vid_0b4d&pid_1123#cameo"), second = usbPath(L"vid_0b4d&pid_1137#second");
    const std::vector<StagedInterface> set = {
        {L"USB\\VID_04B8&PID_0005\\P1", printer.c_str(), StagedInterface::None},
        {L"USB\\VID_0B4D&PID_1121\\GONE", gone.c_str(), StagedInterface::None},  // cannot be opened
        {L"USB\\VID_0B4D&PID_1123\\5&2B4E0A1&0&3", cutter.c_str(), StagedInterface::None},
        {L"USB\\VID_0B4D&PID_1137\\SECOND", second.c_str(), StagedInterface::None},
    };
    for (bool outgoing : {true, false}) {
        SCOPED_TRACE(outgoing ? "outgoing" : "incoming");
        substitute_.stage(set);
        StagedIds devices({{cutter, CutterId}, {second, CutterId}});
        auto path = win::FindCutterPath(outgoing, devices);
        ASSERT_TRUE(path.has_value());
        EXPECT_EQ(*path, cutter + (outgoing ? L"\\.00" : L"\\.01"));
        EXPECT_EQ(devices.asked, (std::vector<std::wstring>{gone, cutter}));
        // The enumeration stops at the cutter: the second one is never looked at.
        std::string expected = "GetClassDevs class=usb enumerator=null window=null flags=0x12\n";
        for (unsigned long i = 0; i < 3; ++i) expected += expectedCalls(i, set[i]);
        expected += "DestroyDeviceInfoList set=1\n";
        EXPECT_EQ(substitute_.log(), expected);
    }
}

TEST_F(RealDiscovery, SetsWithoutAUsableCutterGiveNothingAndAreReleased) {
    const std::wstring printer = usbPath(L"vid_04b8&pid_0005#p1"), mouse = usbPath(L"vid_046d&pid_c077#m"),
                       lowercase = usbPath(L"vid_0b4d&pid_1121#lower"), sizeFails = usbPath(L"vid_0b4d&pid_1121#a"),
                       detailFails = usbPath(L"vid_0b4d&pid_1121#b"), idFails = usbPath(L"vid_0b4d&pid_1121#c"),
                       gone = usbPath(L"vid_0b4d&pid_1121#gone");
    // Every device here would be taken for a cutter if its identification were asked for.
    const std::map<std::wstring, std::string> ids = {{printer, CutterId},     {mouse, CutterId},
                                                     {lowercase, CutterId},   {sizeFails, CutterId},
                                                     {detailFails, CutterId}, {idFails, CutterId}};
    struct Case {
        const char* name;
        std::vector<StagedInterface> set;
        std::vector<std::wstring> asked;
    } cases[] = {
        {"no device", {}, {}},
        {"other vendors only",
         {{L"USB\\VID_04B8&PID_0005\\P1", printer.c_str(), StagedInterface::None},
          {L"USB\\VID_046D&PID_C077\\M", mouse.c_str(), StagedInterface::None},
          {L"USB\\vid_0b4d&pid_1121\\LOWER", lowercase.c_str(), StagedInterface::None}},
         {}},
        {"failing detail and instance id queries",
         {{L"USB\\VID_0B4D&PID_1121\\A", sizeFails.c_str(), StagedInterface::SizeQueryFails},
          {L"USB\\VID_0B4D&PID_1121\\B", detailFails.c_str(), StagedInterface::DetailFails},
          {L"USB\\VID_0B4D&PID_1121\\C", idFails.c_str(), StagedInterface::InstanceIdFails}},
         {}},
        {"a cutter that cannot be opened", {{L"USB\\VID_0B4D&PID_1121\\GONE", gone.c_str(), StagedInterface::None}},
         {gone}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        substitute_.stage(c.set);
        StagedIds devices(ids);
        EXPECT_FALSE(win::FindCutterPath(true, devices).has_value());
        EXPECT_EQ(devices.asked, c.asked);
        std::string expected = "GetClassDevs class=usb enumerator=null window=null flags=0x12\n";
        for (unsigned long i = 0; i < c.set.size(); ++i) expected += expectedCalls(i, c.set[i]);
        expected += "EnumDeviceInterfaces set=1 device=null class=usb index=" + std::to_string(c.set.size()) +
                    " cbSize=" + std::to_string(InterfaceDataCbSize) + "\nDestroyDeviceInfoList set=1\n";
        EXPECT_EQ(substitute_.log(), expected);
    }
    // No device set at all: nothing to enumerate or release.
    substitute_.stage({}, true);
    StagedIds devices(ids);
    EXPECT_FALSE(win::FindCutterPath(true, devices).has_value());
    EXPECT_EQ(substitute_.log(), "GetClassDevs class=usb enumerator=null window=null flags=0x12\n");
}

TEST_F(RealDiscovery, OnlyAPipePathInTheEnvironmentChoosesTheSimulatedList) {
    const std::wstring cutter = usbPath(L"vid_0b4d&pid_1123#cameo");
    substitute_.stage({{L"USB\\VID_0B4D&PID_1123\\CAMEO", cutter.c_str(), StagedInterface::None}});
    struct Case {
        const wchar_t* value;  // null: unset
        bool usb;
    } cases[] = {{nullptr, true},
                 {L"C:\\vantrel\\sim", true},
                 {L"vantrel-sim", true},
                 {L"\\\\?\\pipe\\vantrel-sim", true},
                 {L"\\\\.\\pipe\\vantrel-test-nobody", false},
                 {L"\\\\.\\PIPE\\vantrel-test-nobody", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value ? testing::PrintToString(std::wstring(c.value)) : "unset");
        SetEnvironmentVariableW(L"VANTREL_SIMULATOR", c.value);
        int before = substitute_.count("GetClassDevs");
        // The real query cannot open the staged cutter and no simulator serves the pipe.
        EXPECT_FALSE(win::FindCutterPath(true).has_value());
        EXPECT_EQ(substitute_.count("GetClassDevs") - before, c.usb ? 1 : 0);
    }
    SetEnvironmentVariableW(L"VANTREL_SIMULATOR", nullptr);
}

}  // namespace
}  // namespace vantrel::test
