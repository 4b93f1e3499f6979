// The device link as the main dialog runs it, against the simulated cutter:
// found through VANTREL_SIMULATOR, identified, then a generated job of several
// megabytes sent at the machine's link speed, also across a pulled cable.
#include <gtest/gtest.h>

#include <cmath>

#include "cutdata/commands.h"
#include "cutdata/cut_stream.h"
#include "device/win32/connection_monitor.h"
#include "device_test_window.h"
#include "plugin/win32/cut_data_generator.h"
#include "settings/profile.h"
#include "support/simulator_process.h"

namespace vantrel::test {
namespace {

using namespace std::chrono_literals;

struct Dialog : win::ConnectionListener {
    std::wstring status;
    bool buttons = false;
    int identified = 0;
    CutterModel model = CutterModelNone;
    std::vector<std::size_t> writesDone;
    void showStatus(const StatusLine& line) override { status = line.text; }
    void clearIdentifiedMachine() override {}
    void setMachineButtonsEnabled(bool enabled) override { buttons = enabled; }
    void cutterIdentified(CutterModel m, std::string_view) override {
        model = m;
        ++identified;
    }
    float designRightEdge() override { return 10.0f; }
    void showMat(const MatSize&) override {}
    void showIdentifiedMachine(CutterModel) override {}
    void writeDone(std::size_t bytes) override { writesDone.push_back(bytes); }
};

// A spiral of many short lines: a job of about `bytes` bytes.
CutJob spiralJob(std::size_t bytes) {
    CutJob job;
    job.model = CutterModelCameo;
    std::size_t points = bytes / 12;
    for (std::size_t i = 0; i < points; ++i) {
        double angle = static_cast<double>(i) * 0.01;
        double radius = 0.5 + 5.0 * static_cast<double>(i) / static_cast<double>(points);
        job.path.points.push_back({static_cast<float>(6 + radius * std::cos(angle)),
                                   static_cast<float>(6 + radius * std::sin(angle))});
        job.path.types.push_back(i == 0 ? PathPointTypeStart : PathPointTypeLine);
    }
    return job;
}

class DeviceLink : public ::testing::Test {
protected:
    void start(const std::vector<std::wstring>& options) {
        sim_ = std::make_unique<SimulatorProcess>(options);
        ASSERT_TRUE(sim_->running());
        SetEnvironmentVariableW(L"VANTREL_SIMULATOR", sim_->pipeBase().c_str());
        window_.setHandler([this](UINT message, WPARAM wParam, LPARAM lParam) {
            if (message == WM_TIMER) return monitor_.handleTimer(wParam);
            if (message == win::WM_GENERATOR_EVENT) {
                generatorEvents_.push_back({wParam, lParam});
                return true;
            }
            return monitor_.handleMessage(message, wParam, lParam);
        });
        monitor_.open(window_.hwnd());
    }
    void TearDown() override {
        generator_.Stop();
        monitor_.closeLink();
        SetEnvironmentVariableW(L"VANTREL_SIMULATOR", nullptr);
    }
    bool waitForIdentified(int times) {
        return EventWindow::pumpUntil([&] { return dialog_.identified >= times && dialog_.buttons; }, 20s);
    }
    // What the generator will send for `job`, as the machine sees it.
    std::string runJob(const CutJob& job) {
        generator_.job = job;
        generator_.mediaWidth = 12.0f;
        generator_.connection = monitor_.writer().connection();
        std::string text = buildCutStream(job, 508.0, 508.0, 12.0f).text;
        EXPECT_TRUE(generator_.Start(window_.hwnd(), win::WM_GENERATOR_EVENT, THREAD_PRIORITY_NORMAL, false));
        return toWire(text);
    }

    Dialog dialog_;
    EventWindow window_;
    MemoryProfile profile_;
    win::ConnectionMonitor monitor_{dialog_};
    win::CutDataGenerator generator_{monitor_.writer(), profile_};
    std::unique_ptr<SimulatorProcess> sim_;
    std::vector<std::pair<WPARAM, LPARAM>> generatorEvents_;
};

TEST_F(DeviceLink, AGeneratedJobOfSeveralMegabytesArrivesWhole) {
    start({L"--slow", L"--identification", L" CAMEO V1.10 "});
    ASSERT_TRUE(waitForIdentified(1)) << std::string(dialog_.status.begin(), dialog_.status.end());
    EXPECT_EQ(dialog_.status, L"Connected [CAMEO V1.10]");
    EXPECT_EQ(monitor_.model(), CutterModelCameo);
    const std::size_t before = sim_->received().size();
    const std::string wire = runJob(spiralJob(3 << 20));
    ASSERT_GT(wire.size(), 2u << 20);
    ASSERT_TRUE(EventWindow::pumpUntil([&] { return !dialog_.writesDone.empty() && dialog_.writesDone.back() == wire.size(); }, 60s));
    ASSERT_EQ(generatorEvents_.size(), 1u);
    EXPECT_EQ(generatorEvents_[0], (std::pair<WPARAM, LPARAM>{0, static_cast<LPARAM>(wire.size())}));
    ASSERT_TRUE(sim_->waitForReceived(before + wire.size(), 10s));
    std::string received = sim_->received();
    EXPECT_EQ(received.size(), before + wire.size());
    EXPECT_TRUE(received.substr(before) == wire);
    EXPECT_TRUE(sim_->anomalies().empty());
}

TEST_F(DeviceLink, ACablePulledDuringAJobComesBackAndNothingIsSentTwice) {
    start({L"--slow", L"--replug-after-ms", L"1500"});
    ASSERT_TRUE(waitForIdentified(1));
    const std::size_t before = sim_->received().size();
    ASSERT_TRUE(sim_->set("unplug-after-bytes", "400000"));
    const std::string wire = runJob(spiralJob(2 << 20));
    // The link is lost, found again and the machine identified anew.
    ASSERT_TRUE(EventWindow::pumpUntil([&] { return !dialog_.buttons; }, 20s));
    ASSERT_TRUE(waitForIdentified(2));
    // Two checks more: the old connection's write had time to report.
    ASSERT_TRUE(EventWindow::pumpTicks(window_.hwnd(), win::TIMER_CONNECT, 2));
    EXPECT_TRUE(dialog_.writesDone.empty() || dialog_.writesDone.back() != wire.size());
    std::string received = sim_->received();
    ASSERT_GE(received.size(), before + 400000);
    EXPECT_TRUE(received.substr(before, 400000) == wire.substr(0, 400000));
    // After the cut: only status requests and one identification request.
    std::string_view after = std::string_view(received).substr(before + 400000);
    int identifies = 0;
    while (!after.empty()) {
        if (after.substr(0, 2) == StatusRequest) {
            after.remove_prefix(2);
        } else if (after.substr(0, 3) == "FG\x03") {
            after.remove_prefix(3);
            ++identifies;
        } else {
            FAIL() << "unexpected bytes after the reconnection: " << after.substr(0, 40);
        }
    }
    EXPECT_EQ(identifies, 1);
}

}  // namespace
}  // namespace vantrel::test
