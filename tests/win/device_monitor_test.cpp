// The connection monitor driven by its timers from a hidden window, against a
// cutter on named pipes: finding, polling, identifying, losing and finding the
// machine again, and a whole job received byte for byte.
#include <gtest/gtest.h>

#include "cutdata/commands.h"
#include "device/win32/connection_monitor.h"
#include "device_fake_cutter.h"
#include "device_test_window.h"
#include "log/win32/diagnostics_log.h"
#include "log/win32/diagnostics_run.h"
#include "support/win_test_support.h"
#include "support/wire_bytes.h"

namespace vantrel::test {
namespace {

using namespace std::chrono_literals;

struct Screen : win::ConnectionListener {
    std::vector<StatusLine> statuses;
    bool buttons = false;
    int buttonsEnabled = 0;
    int identifiedCleared = 0;
    CutterModel identifiedModel = CutterModelNone;
    std::string identification;
    MatSize mat;
    CutterModel drawnModel = CutterModelNone;
    float rightEdge = 10.0f;
    std::vector<std::size_t> writesDone;
    std::vector<std::string> calls;

    void showStatus(const StatusLine& status) override { statuses.push_back(status); }
    void clearIdentifiedMachine() override {
        ++identifiedCleared;
        drawnModel = CutterModelNone;
    }
    void setMachineButtonsEnabled(bool enabled) override {
        buttons = enabled;
        buttonsEnabled += enabled;
        calls.push_back(enabled ? "enable" : "disable");
    }
    void cutterIdentified(CutterModel model, std::string_view text) override {
        identifiedModel = model;
        identification = text;
        calls.push_back("identified");
    }
    float designRightEdge() override { return rightEdge; }
    void showMat(const MatSize& m) override {
        mat = m;
        calls.push_back("mat");
    }
    void showIdentifiedMachine(CutterModel model) override {
        drawnModel = model;
        calls.push_back("machine");
    }
    void writeDone(std::size_t bytes) override { writesDone.push_back(bytes); }
    std::wstring status() const { return statuses.empty() ? L"" : statuses.back().text; }
    // What happened, for a failing wait.
    std::string trace(const FakeCutter& cutter) const {
        std::string text = "statuses:";
        for (const auto& s : statuses) text += " " + std::string(s.text.begin(), s.text.end()) + ";";
        return text + " status requests " + std::to_string(cutter.statusRequests()) + ", identify requests " +
               std::to_string(cutter.identifyRequests()) + ", connections " + std::to_string(cutter.connections());
    }
};

// Discovery that counts its searches.
class CountingList : public win::DeviceList {
public:
    CountingList(std::unique_ptr<win::DeviceList> inner, int& searches) : inner_(std::move(inner)), searches_(searches) {}
    std::vector<win::DeviceInterface> interfaces() override {
        ++searches_;
        return inner_->interfaces();
    }
    std::optional<std::string> deviceId(const win::DeviceInterface& d) override { return inner_->deviceId(d); }
    win::UniqueHandle openChannel(const std::wstring& path) override { return inner_->openChannel(path); }

private:
    std::unique_ptr<win::DeviceList> inner_;
    int& searches_;
};

// A device that hangs, shared by the lists of every dialog and by the calls
// stuck in it, which may return after the test has ended.
struct Hang {
    win::UniqueHandle release{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    std::atomic<bool> opensHang{false};
    // Calls that entered the hang; none returns before the release.
    std::atomic<int> stuckQueries{0};
    std::atomic<int> stuckOpens{0};
    bool released() const { return WaitForSingleObject(release.get(), 0) == WAIT_OBJECT_0; }
};

// Before the cutter, a device of the vendor that never answers its
// identification query; with `opensHang`, the cutter's channels never open
// either. Both until the release.
class HangingDeviceFirst : public win::DeviceList {
public:
    HangingDeviceFirst(std::unique_ptr<win::DeviceList> inner, std::shared_ptr<Hang> hang)
        : inner_(std::move(inner)), hang_(std::move(hang)) {}
    std::vector<win::DeviceInterface> interfaces() override {
        std::vector<win::DeviceInterface> all = {{L"USB\\VID_0B4D&PID_1111\\HANGS", L"\\\\.\\pipe\\vantrel-hangs"}};
        for (auto& device : inner_->interfaces()) all.push_back(device);
        return all;
    }
    std::optional<std::string> deviceId(const win::DeviceInterface& d) override {
        if (d.devicePath.find(L"vantrel-hangs") == std::wstring::npos) return inner_->deviceId(d);
        ++hang_->stuckQueries;
        WaitForSingleObject(hang_->release.get(), INFINITE);
        return std::nullopt;
    }
    win::UniqueHandle openChannel(const std::wstring& path) override {
        if (!hang_->opensHang || hang_->released()) return inner_->openChannel(path);
        ++hang_->stuckOpens;
        WaitForSingleObject(hang_->release.get(), INFINITE);
        SetLastError(ERROR_GEN_FAILURE);
        return {};
    }

private:
    std::unique_ptr<win::DeviceList> inner_;
    std::shared_ptr<Hang> hang_;
};

class Monitor : public ::testing::Test {
protected:
    void open(const std::wstring& pipeBase, std::shared_ptr<Hang> hangFirst = nullptr) {
        monitor_ = std::make_unique<win::ConnectionMonitor>(screen_, [this, pipeBase, hangFirst] {
            std::unique_ptr<win::DeviceList> list =
                pipeBase.empty() ? win::makeUsbDeviceList() : win::makeSimulatedDeviceList(pipeBase);
            if (hangFirst) list = std::make_unique<HangingDeviceFirst>(std::move(list), hangFirst);
            return std::make_unique<CountingList>(std::move(list), searches_);
        });
        window_.setHandler([this](UINT message, WPARAM wParam, LPARAM lParam) {
            const DWORD began = GetTickCount();
            const bool handled = message == WM_TIMER ? monitor_->handleTimer(wParam)
                                                     : monitor_->handleMessage(message, wParam, lParam);
            longestHandlingMs_ = std::max(longestHandlingMs_, GetTickCount() - began);
            return handled;
        });
        monitor_->open(window_.hwnd());
    }
    // As the dialog closes and goes.
    void close() {
        monitor_->closeLink();
        monitor_->forgetWindow();
        monitor_.reset();
    }
    void TearDown() override {
        if (monitor_) monitor_->closeLink();
    }
    bool waitForStatus(const std::wstring& text, std::chrono::milliseconds timeout = 15s) {
        return EventWindow::pumpUntil([&] { return screen_.status() == text; }, timeout);
    }
    bool waitForIdentified(int times, std::chrono::milliseconds timeout = 15s) {
        return EventWindow::pumpUntil([&] { return screen_.buttonsEnabled >= times; }, timeout);
    }
    bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout = 15s) {
        return EventWindow::pumpUntil(condition, timeout);
    }

    Screen screen_;
    EventWindow window_;
    int searches_ = 0;
    DWORD longestHandlingMs_ = 0;
    std::unique_ptr<win::ConnectionMonitor> monitor_;
};

TEST(Discovery, TheUsbListRunsAndFindsNoCutterHere) {
    auto devices = win::makeUsbDeviceList();
    EXPECT_FALSE(win::FindCutterPath(true, *devices).has_value());
    EXPECT_FALSE(win::FindCutterPath(false, *devices).has_value());
}

TEST(Discovery, ASimulatedCutterIsFoundByItsIdentificationPipe) {
    struct Case {
        std::string deviceId;
        bool found;
    } cases[] = {{"MANUFACTURER:Silhouette;MODEL:SD;", true},
                 {"manufacturer:   GRAPHTEC;", true},
                 {"MFG:Graphtec;", false},
                 {"MANUFACTURER:Graphtec Corp;", false},
                 {std::string(600, 'x') + ";MANUFACTURER:Silhouette", false}};  // beyond the 512-byte buffer
    for (const auto& c : cases) {
        FakeCutter cutter({.deviceId = c.deviceId});
        cutter.plug();
        auto devices = win::makeSimulatedDeviceList(cutter.base());
        auto outgoing = win::FindCutterPath(true, *devices);
        auto incoming = win::FindCutterPath(false, *devices);
        EXPECT_EQ(outgoing.has_value(), c.found) << c.deviceId;
        if (c.found && outgoing && incoming) {
            EXPECT_EQ(*outgoing, cutter.base() + L"\\.00");
            EXPECT_EQ(*incoming, cutter.base() + L"\\.01");
        }
    }
    // Nothing serves the pipes: nothing is found, and nothing hangs.
    auto devices = win::makeSimulatedDeviceList(L"\\\\.\\pipe\\vantrel-device-test-nobody");
    EXPECT_FALSE(win::FindCutterPath(true, *devices).has_value());
}

TEST(Discovery, TheEnvironmentChoosesTheSimulatedList) {
    FakeCutter cutter({});
    cutter.plug();
    SetEnvironmentVariableW(L"VANTREL_SIMULATOR", cutter.base().c_str());
    auto path = win::FindCutterPath(true);
    SetEnvironmentVariableW(L"VANTREL_SIMULATOR", nullptr);
    ASSERT_TRUE(path.has_value());
    EXPECT_EQ(*path, cutter.base() + L"\\.00");
    EXPECT_FALSE(win::FindCutterPath(true).has_value());
}

TEST_F(Monitor, WithoutAMachineItSaysNotConnectedAndSearchesOncePerTick) {
    open(L"");
    EXPECT_EQ(screen_.status(), L"Connecting...");
    EXPECT_FALSE(screen_.buttons);
    ASSERT_TRUE(waitForStatus(L"Not Connected", 3s));
    ASSERT_TRUE(EventWindow::pumpTicks(window_.hwnd(), win::TIMER_CONNECT, 2));
    // One search per tick, for the outgoing channel only.
    EXPECT_GE(searches_, 2);
    EXPECT_LE(searches_, 4);
    EXPECT_EQ(screen_.statuses.back().argb, 0xFFFF0000u);
    EXPECT_FALSE(monitor_->connected());
    EXPECT_TRUE(monitor_->writerPath().empty());
}

TEST_F(Monitor, ABusyMachineIsPolledThenIdentified) {
    FakeCutter cutter({.identification = "  CAMEO V1.10 \r\n", .busyAnswers = 3});
    cutter.plug();
    open(cutter.base());
    ASSERT_TRUE(waitForStatus(L"Connecting...", 3s));
    ASSERT_TRUE(waitForIdentified(1)) << screen_.trace(cutter);
    EXPECT_EQ(screen_.statuses.back(), (StatusLine{L"Connected [CAMEO V1.10]", 0xFF000000}));
    EXPECT_EQ(screen_.identifiedModel, CutterModelCameo);
    EXPECT_EQ(monitor_->model(), CutterModelCameo);
    EXPECT_EQ(screen_.mat, (MatSize{12.0f, 12.0f, false}));
    EXPECT_EQ(screen_.drawnModel, CutterModelCameo);
    EXPECT_EQ(screen_.calls.back(), "machine");
    EXPECT_GE(cutter.statusRequests(), 4);  // three busy answers, then idle
    EXPECT_EQ(cutter.identifyRequests(), 1);
    EXPECT_TRUE(onlyPollsAndIdentify(cutter.received()));
    EXPECT_EQ(cutter.received().substr(cutter.received().size() - 3), "FG\x03");
    // Identified: polling has stopped.
    int polls = cutter.statusRequests();
    ASSERT_TRUE(EventWindow::pumpTicks(window_.hwnd(), win::TIMER_CONNECT, 2));  // ten poll periods
    EXPECT_EQ(cutter.statusRequests(), polls);
    EXPECT_EQ(screen_.status(), L"Connected [CAMEO V1.10]");
    EXPECT_TRUE(monitor_->connected());
}

TEST_F(Monitor, ModelAndMatFollowTheIdentification) {
    struct Case {
        const char* identification;
        float rightEdge;
        CutterModel model;
        MatSize mat;
    } cases[] = {{"Portrait 1.00", 11.5f, CutterModelPortrait, {12.0f, 8.5f, false}},
                 {"SILHOUETTE SD", 13.0f, CutterModelSilhouette, {13.25f, 8.5f, true}}};
    for (const auto& c : cases) {
        Screen screen;
        screen.rightEdge = c.rightEdge;
        win::ConnectionMonitor monitor(screen, [] { return win::makeUsbDeviceList(); });
        monitor.IdentifyCutter(c.identification);
        EXPECT_EQ(screen.identifiedModel, c.model);
        EXPECT_EQ(screen.mat, c.mat);
        EXPECT_EQ(screen.calls, (std::vector<std::string>{"identified", "enable", "mat", "machine"}));
    }
}

TEST_F(Monitor, AMachineThatNeverAnswersStaysConnecting) {
    FakeCutter cutter({.answerIdentify = false});
    cutter.plug();
    open(cutter.base());
    ASSERT_TRUE(waitUntil([&] { return cutter.identifyRequests() == 1; }));
    ASSERT_TRUE(EventWindow::pumpTicks(window_.hwnd(), win::TIMER_CONNECT, 2));
    EXPECT_EQ(screen_.status(), L"Connecting...");
    EXPECT_FALSE(screen_.buttons);
    EXPECT_TRUE(monitor_->awaitingIdentity());
    EXPECT_EQ(cutter.identifyRequests(), 1);
}

// Discovery and the channel's open run beside the dialog: a device that never
// answers is given up after its limit and skipped, the cutter after it is
// found, and no timer or message of the dialog waits for it. However often the
// dialog opens, a device stuck in a call is not called again until it returns.
TEST_F(Monitor, ADeviceThatNeverAnswersIsSkippedWithoutHoldingUpTheDialog) {
    FakeCutter cutter({});
    cutter.plug();
    auto hang = std::make_shared<Hang>();
    for (int dialog = 1; dialog <= 3; ++dialog) {
        open(cutter.base(), hang);
        ASSERT_TRUE(waitForIdentified(dialog, 20s)) << screen_.trace(cutter);
        close();
    }
    EXPECT_EQ(hang->stuckQueries.load(), 1) << "each dialog left one more thread stuck in the device";

    // The cutter's channel never opens: each check gives the open up after
    // its limit, the same open is never made twice at once, and once the
    // driver answers again the channel opens.
    hang->opensHang = true;
    ScratchFolder logFolder;
    {
        win::DiagnosticsRun run("run begins", logFolder.path());
        const int searches = searches_;
        open(cutter.base(), hang);
        // Three searches, and time for the last to try its open.
        ASSERT_TRUE(waitUntil([&] { return searches_ >= searches + 3; }));
        ASSERT_TRUE(EventWindow::pumpTicks(window_.hwnd(), win::TIMER_CONNECT, 2));
        EXPECT_EQ(hang->stuckOpens.load(), 1) << "each check left one more thread stuck in the open";
        EXPECT_EQ(screen_.status(), L"Not Connected");
        EXPECT_FALSE(monitor_->connected());
        SetEvent(hang->release.get());
        ASSERT_TRUE(waitForIdentified(4, 20s)) << screen_.trace(cutter);
        close();
    }
    const std::string log = logFolder.read(win::LogFileName);
    EXPECT_NE(log.find("PID_1111\\HANGS: vendor 0B4D, no identification (error 1460 (ERROR_TIMEOUT))"), std::string::npos)
        << log;
    EXPECT_NE(log.find("outgoing channel not opened: " + std::string(cutter.base().begin(), cutter.base().end()) +
                       "\\.00: error 1460 (ERROR_TIMEOUT)"),
              std::string::npos)
        << log;
    EXPECT_LT(longestHandlingMs_, 500u) << "the dialog's thread waited for discovery or an open";
}

TEST_F(Monitor, UnpluggedItSaysNotConnectedAtTheNextTickAndReconnectsByItself) {
    FakeCutter cutter({});
    cutter.plug();
    open(cutter.base());
    ASSERT_TRUE(waitForIdentified(1)) << screen_.trace(cutter);
    cutter.unplug();
    ASSERT_TRUE(waitUntil([&] { return !screen_.buttons; }, 3s));
    ASSERT_TRUE(waitForStatus(L"Not Connected", 3s));
    EXPECT_EQ(screen_.drawnModel, CutterModelNone);
    EXPECT_FALSE(monitor_->connected());
    cutter.plug();
    ASSERT_TRUE(waitForIdentified(2)) << screen_.trace(cutter);
    EXPECT_EQ(screen_.status(), L"Connected [CAMEO V1.10]");
    EXPECT_EQ(cutter.identifyRequests(), 2);
}

std::string jobText(std::size_t bytes) {
    std::string job = "FN0|FN1|FJ|FC0|TB99|";
    for (long long i = 0; job.size() < bytes; ++i) {
        CommandStream s;
        s.draw(i % 6096, i % 60000);
        if (i % 7 == 0) s.move(i % 1000, i % 999);
        job += s.text();
    }
    return job + "&1,1,1|TB50,0|FO0|H|";
}

TEST_F(Monitor, AJobOfSeveralMegabytesArrivesByteForByteAtTheSlowLinkSpeed) {
    FakeCutter cutter({.bytesPerSecond = 1 << 20});
    cutter.plug();
    open(cutter.base());
    ASSERT_TRUE(waitForIdentified(1)) << screen_.trace(cutter);
    const std::size_t before = cutter.receivedSize();
    const std::string job = jobText(3 << 20);
    auto started = std::chrono::steady_clock::now();
    monitor_->Enqueue(job);
    ASSERT_TRUE(waitUntil([&] { return !screen_.writesDone.empty() && screen_.writesDone.back() == job.size(); }, 30s));
    auto took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started);
    std::printf("%zu bytes written in %lld ms\n", job.size(), static_cast<long long>(took.count()));
    ASSERT_TRUE(waitUntil([&] { return cutter.receivedSize() == before + job.size(); }, 5s));
    EXPECT_TRUE(cutter.received().substr(before) == toWire(job));
    EXPECT_TRUE(monitor_->connected());
}

TEST_F(Monitor, UnpluggedDuringAJobTheLinkReturnsAndNothingIsSentAgain) {
    const std::string job = jobText(2 << 20);
    FakeCutter cutter({.bytesPerSecond = 1 << 20});
    cutter.plug();
    open(cutter.base());
    ASSERT_TRUE(waitForIdentified(1)) << screen_.trace(cutter);
    const std::size_t before = cutter.receivedSize();
    monitor_->Enqueue(job);
    ASSERT_TRUE(waitUntil([&] { return cutter.receivedSize() > before + 300000; }, 10s));
    cutter.unplug();
    ASSERT_TRUE(waitUntil([&] { return !screen_.buttons; }, 3s));
    const std::size_t cut = cutter.receivedSize();
    EXPECT_LT(cut, before + job.size());
    cutter.plug();
    ASSERT_TRUE(waitForIdentified(2)) << screen_.trace(cutter);
    // Two checks more: the old connection's write had time to report.
    ASSERT_TRUE(EventWindow::pumpTicks(window_.hwnd(), win::TIMER_CONNECT, 2));
    EXPECT_TRUE(screen_.writesDone.empty() || screen_.writesDone.back() != job.size());
    std::string received = cutter.received();
    EXPECT_TRUE(received.substr(before, cut - before) == toWire(job).substr(0, cut - before));
    EXPECT_TRUE(onlyPollsAndIdentify(std::string_view(received).substr(cut)));
}

TEST_F(Monitor, UnpluggedWhilePollingOrIdentifyingTheLinkReturnsAndAsksOncePerConnection) {
    struct Case {
        const char* name;
        FakeCutter::Behaviour behaviour;
        std::function<bool(const FakeCutter&)> unplugWhen;
    } cases[] = {
        {"polling", {.busyAnswers = 4}, [](const FakeCutter& c) { return c.statusRequests() >= 2; }},
        {"identifying", {.answerIdentify = false}, [](const FakeCutter& c) { return c.identifyRequests() >= 1; }},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        Screen screen;
        FakeCutter cutter(c.behaviour);
        cutter.plug();
        win::ConnectionMonitor monitor(screen, [&] { return win::makeSimulatedDeviceList(cutter.base()); });
        EventWindow window;
        window.setHandler([&](UINT message, WPARAM wParam, LPARAM lParam) {
            if (message == WM_TIMER) return monitor.handleTimer(wParam);
            return monitor.handleMessage(message, wParam, lParam);
        });
        monitor.open(window.hwnd());
        ASSERT_TRUE(waitUntil([&] { return c.unplugWhen(cutter); }));
        const int identifies = cutter.identifyRequests();
        cutter.unplug();
        ASSERT_TRUE(waitUntil([&] { return screen.status() == L"Not Connected"; }, 3s));
        EXPECT_FALSE(monitor.awaitingIdentity());
        cutter.setAnswerIdentify(true);
        cutter.plug();
        ASSERT_TRUE(waitUntil([&] { return screen.buttonsEnabled >= 1; })) << screen.trace(cutter);
        EXPECT_EQ(screen.status(), L"Connected [CAMEO V1.10]");
        EXPECT_EQ(cutter.identifyRequests(), identifies + 1);
        EXPECT_TRUE(onlyPollsAndIdentify(cutter.received()));
        monitor.closeLink();
    }
}

TEST_F(Monitor, ClosingTheLinkStopsTimersChannelsAndThreads) {
    FakeCutter cutter({});
    cutter.plug();
    open(cutter.base());
    ASSERT_TRUE(waitForIdentified(1)) << screen_.trace(cutter);
    monitor_->closeLink();
    EXPECT_FALSE(monitor_->reader().isRunning());
    EXPECT_FALSE(monitor_->writer().isRunning());
    EXPECT_FALSE(monitor_->writer().isChannelOpen());
    EXPECT_FALSE(monitor_->reader().isChannelOpen());
    std::size_t statuses = screen_.statuses.size();
    // A timer of the monitor's period ticks twice, as the killed one would have.
    constexpr UINT_PTR Reference = 77;
    SetTimer(window_.hwnd(), Reference, win::TimerConnectMs, nullptr);
    EXPECT_TRUE(EventWindow::pumpTicks(window_.hwnd(), Reference, 2));
    KillTimer(window_.hwnd(), Reference);
    EXPECT_EQ(screen_.statuses.size(), statuses);  // no more checks
}

}  // namespace
}  // namespace vantrel::test
