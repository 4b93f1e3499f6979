// The main dialog as a user drives it, against the simulated cutter: opening
// state, identification, settings stored as they change, a whole job received
// byte for byte, and what happens when the cable goes during a transfer.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <atomic>
#include <functional>
#include <string>

#include "cutdata/commands.h"
#include "cutdata/cut_stream.h"
#include "cutdata/reg_marks.h"
#include "operations/operation_texts.h"
#include "design/design_file.h"
#include "driving/window_driving.h"
#include "plugin/win32/plugin_app.h"
#include "plugin/win32/registry_profile.h"
#include "resource.h"
#include "settings/settings.h"
#include "support/plugin_run.h"
#include "support/simulator_process.h"
#include "support/win_test_support.h"
#include "support/wire_bytes.h"
#include "ui/win32/jog_button.h"
#include "tools_test_support.h"

namespace vantrel::test {
namespace {

using namespace std::chrono_literals;

// A small design with a curve, a closed figure and an open one, in inches.
const char* const SmallDesign = "M 1 1 L 3 1 L 3 2 Z M 1.5 1.5 C 2 2.5 2.5 0.5 3 1.5";

using driving::flushPostedMessages;
using driving::ownedDialog;
using driving::textOf;

using CutDialogRun = PluginRun;

bool waitForText(HWND window, const std::wstring& prefix, std::chrono::milliseconds timeout) {
    return waitFor([&] { return textOf(window).rfind(prefix, 0) == 0; }, timeout);
}

TEST_F(CutDialogRun, OpensOnACleanProfileAndStoresItsSettingsAtOnce) {
    // No cutter at all: a pipe base nobody serves.
    SetEnvironmentVariableW(L"VANTREL_SIMULATOR", L"\\\\.\\pipe\\vantrel-nobody-here");
    std::wstring firstStatus, laterStatus, force, speed, multiCut, cutType;
    bool startEnabled = true, testCutEnabled = true, calibrateEnabled = true;
    int storedForceAfterDrag = 0;
    std::wstring forceAfterDrag;
    run(SmallDesign, [&](HWND dialog) {
        firstStatus = textOf(GetDlgItem(dialog, IDC_PREVIEW));
        force = textOf(GetDlgItem(dialog, IDC_FORCE_LABEL));
        speed = textOf(GetDlgItem(dialog, IDC_SPEED_LABEL));
        multiCut = textOf(GetDlgItem(dialog, IDC_MULTICUT_LIST));
        cutType = textOf(GetDlgItem(dialog, IDC_CUT_TYPE_LIST));
        startEnabled = IsWindowEnabled(GetDlgItem(dialog, IDC_START));
        testCutEnabled = IsWindowEnabled(GetDlgItem(dialog, IDC_TEST_CUT));
        calibrateEnabled = IsWindowEnabled(GetDlgItem(dialog, IDC_CALIBRATE_DPI));
        waitForText(GetDlgItem(dialog, IDC_PREVIEW), L"Not Connected", 5s);
        laterStatus = textOf(GetDlgItem(dialog, IDC_PREVIEW));

        // The End key takes the slider to its right end as a drag would.
        HWND slider = GetDlgItem(dialog, IDC_FORCE_SLIDER);
        PostMessageW(slider, WM_KEYDOWN, VK_END, 0);
        PostMessageW(slider, WM_KEYUP, VK_END, 0);
        waitFor([&] { return textOf(GetDlgItem(dialog, IDC_FORCE_LABEL)) == L"Force: 33"; }, 3s);
        forceAfterDrag = textOf(GetDlgItem(dialog, IDC_FORCE_LABEL));
        storedForceAfterDrag = storedInt("sil_force");

        // Enter does nothing. A dialog it ended would be gone before its
        // thread took the flush's second message.
        PostMessageW(dialog, WM_COMMAND, IDOK, 0);
        EXPECT_TRUE(flushPostedMessages(dialog) && IsWindow(dialog));
    });
    EXPECT_EQ(firstStatus, L"Connecting...");
    EXPECT_EQ(laterStatus, L"Not Connected");
    EXPECT_EQ(force, L"Force: 10");
    EXPECT_EQ(speed, L"Speed: 10");
    EXPECT_EQ(multiCut, L"Disabled");
    EXPECT_EQ(cutType, L"WYSIWYG");
    EXPECT_FALSE(startEnabled);
    EXPECT_FALSE(testCutEnabled);
    EXPECT_FALSE(calibrateEnabled);
    EXPECT_EQ(forceAfterDrag, L"Force: 33");
    EXPECT_EQ(storedForceAfterDrag, 33);
    // Stored at opening although the user changed nothing.
    EXPECT_EQ(storedInt("sil_usebo"), 1);
    EXPECT_EQ(storedInt("sil_cuttype"), 0);
    EXPECT_EQ(storedInt("sil_carmat"), 1);
    EXPECT_EQ(storedInt("sil_speed"), 10);
}

TEST_F(CutDialogRun, TheCaptionHelpButtonOpensAbout) {
    SetEnvironmentVariableW(L"VANTREL_SIMULATOR", L"\\\\.\\pipe\\vantrel-nobody-here");
    std::wstring aboutText;
    bool ownedByTheDialog = false;
    run(SmallDesign, [&](HWND dialog) {
        // A press on "?" as the caption reports it.
        PostMessageW(dialog, WM_NCLBUTTONDOWN, HTHELP, 0);
        HWND about = waitForDialog(L"About...", 5s);
        if (!about) return;
        ownedByTheDialog = GetWindow(about, GW_OWNER) == dialog;
        aboutText = textOf(GetDlgItem(about, IDC_ABOUT_TEXT));
        PostMessageW(about, WM_COMMAND, IDCANCEL, 0);
        waitFor([&] { return !IsWindow(about); }, 5s);
    });
    EXPECT_TRUE(ownedByTheDialog);
    // Name and version are the module's: here the test program, which links
    // the plug-in's code and has no version resource.
    EXPECT_NE(aboutText.find(L" v0.0.0\nBuild Timestamp: "), std::wstring::npos)
        << std::string(aboutText.begin(), aboutText.end());
}

// Keys pressed as the user presses them, after a real click on a group box's
// help icon: they go to the help window, through the dialog manager, while
// the main dialog's modal loop runs.
TEST_F(CutDialogRun, KeysAfterAHelpIconGoToTheHelpWindow) {
    SetEnvironmentVariableW(L"VANTREL_SIMULATOR", L"\\\\.\\pipe\\vantrel-nobody-here");
    bool helpInFront = false, hiddenByEscape = false, openAfterEscape = false, hiddenByMnemonic = false,
         closedByEscape = false;
    run(SmallDesign, [&](HWND dialog) {
        if (!driving::bringToFront(dialog)) return;
        HWND group = GetDlgItem(dialog, IDC_MULTICUT_GROUP);
        RECT client{};
        GetClientRect(group, &client);
        POINT icon = {client.right - 16 + 2, 4 + 5};  // inside the icon's disc
        ClientToScreen(group, &icon);
        HWND help = nullptr;
        // The icon is placed by the group box's first paint, which a busy
        // machine may not have run yet: paint it, and click again until it shows.
        printClient(group, 0);
        auto openHelp = [&] {
            for (int click = 0; click < 5 && !(help = findDialog(L"Multi-Cut Help")); ++click) {
                driving::clickAt(icon);
                help = waitForDialog(L"Multi-Cut Help", 1s);
            }
            return help && waitFor([&] { return GetForegroundWindow() == help; }, 3s);
        };
        if (!(helpInFront = openHelp())) return;
        driving::pressKey(VK_ESCAPE);
        hiddenByEscape = waitFor([&] { return !IsWindowVisible(help); }, 5s);
        openAfterEscape = flushPostedMessages(dialog) && IsWindow(dialog) && IsWindowVisible(dialog);
        // Its "&OK" by its mnemonic.
        if (!openHelp()) return;
        driving::pressKey('O', true);
        hiddenByMnemonic = waitFor([&] { return !IsWindowVisible(help); }, 5s);
        // The main dialog still has its own Escape.
        if (!driving::bringToFront(dialog)) return;
        driving::pressKey(VK_ESCAPE);
        closedByEscape = waitFor([&] { return !IsWindow(dialog); }, 5s);
    });
    EXPECT_TRUE(helpInFront);
    EXPECT_TRUE(hiddenByEscape);
    EXPECT_TRUE(openAfterEscape) << "Escape meant for the help window closed the main dialog";
    EXPECT_TRUE(hiddenByMnemonic);
    EXPECT_TRUE(closedByEscape);
}

TEST_F(CutDialogRun, IdentifiesTheCutterAndSendsAWysiwygJobByteForByte) {
    SimulatorProcess sim({L"--identification", L"CAMEO V1.10", L"--busy-ms", L"200"});
    ASSERT_TRUE(sim.running());
    useSimulator(sim);
    std::wstring connected, message, progressAfterStart;
    bool buttonsEnabled = false, buttonsDisabledDuringJob = false;
    run(SmallDesign, [&](HWND dialog) {
        HWND preview = GetDlgItem(dialog, IDC_PREVIEW);
        if (!waitForText(preview, L"Connected [", 15s)) return;
        connected = textOf(preview);
        waitFor([&] { return IsWindowEnabled(GetDlgItem(dialog, IDC_START)) != FALSE; }, 3s);
        buttonsEnabled = IsWindowEnabled(GetDlgItem(dialog, IDC_START)) && IsWindowEnabled(GetDlgItem(dialog, IDC_TEST_CUT)) &&
                         IsWindowEnabled(GetDlgItem(dialog, IDC_CALIBRATE_DPI));
        PostMessageW(GetDlgItem(dialog, IDC_START), BM_CLICK, 0, 0);
        buttonsDisabledDuringJob = waitFor(
            [&] {
                return !IsWindowEnabled(GetDlgItem(dialog, IDC_START)) &&
                       !IsWindowEnabled(GetDlgItem(dialog, IDC_CALIBRATE_DPI)) &&
                       !IsWindowEnabled(GetDlgItem(dialog, IDC_TEST_CUT));
            },
            3s);
        HWND box = nullptr;
        waitFor([&] { return (box = ownedDialog(dialog)) != nullptr; }, 30s);
        if (!box) return;
        progressAfterStart = textOf(GetDlgItem(dialog, IDC_PROGRESS));
        message = textOf(GetDlgItem(box, 0xFFFF));
        PostMessageW(box, WM_COMMAND, IDOK, 0);
        waitFor([&] { return !IsWindow(dialog); }, 10s);
    });
    EXPECT_EQ(connected, L"Connected [CAMEO V1.10]");
    EXPECT_TRUE(buttonsEnabled);
    EXPECT_TRUE(buttonsDisabledDuringJob);
    EXPECT_EQ(progressAfterStart, L"Finished sending data to Silhouette machine");
    EXPECT_EQ(message, FinishedMessage);

    const std::string wire = expectedJobWire();
    const std::string received = sim.received();
    ASSERT_GE(received.size(), wire.size());
    EXPECT_EQ(received.substr(received.size() - wire.size()), wire) << "the job is the last thing the machine got";
    EXPECT_EQ(received.find('|'), std::string::npos);
}

// A zig-zag of `segments` straight segments: a big job from a small file.
std::string zigZagDesign(int segments) {
    std::string design = "M 0.5 0.5";
    for (int i = 1; i <= segments; ++i) {
        char point[64];
        std::snprintf(point, sizeof point, " L %.4f %.4f", 0.5 + 10.0 * i / segments, (i % 2) ? 1.5 : 0.5);
        design += point;
    }
    return design;
}

TEST_F(CutDialogRun, EscapeWhileTheJobIsPreparedLeavesTheDialogOpen) {
    SimulatorProcess sim({L"--identification", L"SILHOUETTE SD", L"--busy-ms", L"100"});
    ASSERT_TRUE(sim.running());
    useSimulator(sim);
    storeInt("sil_multicut", 9);  // ten passes: a stream that takes a while to prepare
    const std::string design = zigZagDesign(200000);
    bool openAfterEscape = false, finished = false;
    run(design.c_str(), [&](HWND dialog) {
        if (!waitUntilConnected(dialog)) return;
        // Both land in the queue together: Escape arrives while the stream is generated.
        PostMessageW(GetDlgItem(dialog, IDC_START), BM_CLICK, 0, 0);
        PostMessageW(dialog, WM_KEYDOWN, VK_ESCAPE, 0);
        PostMessageW(dialog, WM_KEYUP, VK_ESCAPE, 0);
        openAfterEscape = flushPostedMessages(dialog) && IsWindow(dialog);
        HWND box = nullptr;
        waitFor([&] { return (box = ownedDialog(dialog)) != nullptr; }, 90s);
        finished = box && textOf(GetDlgItem(box, 0xFFFF)) == FinishedMessage;
    });
    EXPECT_TRUE(openAfterEscape);
    EXPECT_TRUE(finished);
}

TEST_F(CutDialogRun, AnUnpluggedTransferIsNotReportedAsSent) {
    // The machine takes about 1 MB/s, as its USB link does.
    SimulatorProcess sim({L"--identification", L"CAMEO V1.10", L"--busy-ms", L"100", L"--slow"});
    ASSERT_TRUE(sim.running());
    useSimulator(sim);
    storeInt("sil_multicut", 1);
    const std::string design = zigZagDesign(100000);
    std::wstring captionAfterUnplug, statusAfterUnplug;
    bool messageBoxShown = false;
    run(design.c_str(), [&](HWND dialog) {
        HWND preview = GetDlgItem(dialog, IDC_PREVIEW);
        if (!waitUntilConnected(dialog)) return;
        PostMessageW(GetDlgItem(dialog, IDC_START), BM_CLICK, 0, 0);
        HWND progress = GetDlgItem(dialog, IDC_PROGRESS);
        if (!waitForText(progress, L"Sending data to Silhouette", 30s)) return;
        sim.waitForReceived(sim.received().size() + 200000, 10s);
        sim.unplug();
        waitFor([&] { return textOf(progress).rfind(L"Sending", 0) != 0; }, 10s);
        captionAfterUnplug = textOf(progress);
        waitForText(preview, L"Not Connected", 5s);
        statusAfterUnplug = textOf(preview);
        // A check of the monitor more: the port threads' news of the end of the job has been handled.
        EXPECT_TRUE(waitForConnectionChecks(dialog, 1));
        messageBoxShown = ownedDialog(dialog) != nullptr;
    });
    EXPECT_EQ(captionAfterUnplug, L"Connection lost: the job was not completely sent");
    EXPECT_EQ(statusAfterUnplug, L"Not Connected");
    EXPECT_FALSE(messageBoxShown);
}

const std::wstring MarksQuestion = L"Unable to find registration marks.\n\nWould you like to continue to cut?";
const std::wstring LinkLostCaption = L"Connection lost: the job was not completely sent";

class PrintAndCutRun : public CutDialogRun {
protected:
    void SetUp() override {
        CutDialogRun::SetUp();
        storeInt("sil_cuttype", 1);
    }
    // What the cut run must send for the design on a connected CAMEO at 508 steps per inch.
    std::string searchWire() const {
        RegMarkLayout layout = RegMarkLayout::around(design_, true);
        auto search = computeRegMarkSearch(layout, 2, true, 508.0f, 508.0f);
        return search ? toWire(regMarkSearchCommand(*search, 10)) : std::string("no search");
    }
    std::string jobWire() const {
        RegMarkLayout layout = RegMarkLayout::around(design_, true);
        auto search = computeRegMarkSearch(layout, 2, true, 508.0f, 508.0f);
        if (!search) return "no search";
        return expectedJobWire(508.0f, 508.0f, [&](CutJob& job) {
            job.printAndCut = true;
            job.markOriginX = search->markOriginX;
            job.markOriginY = search->markOriginY;
            job.markExtentX = search->markExtentX;
            job.markExtentY = search->markExtentY;
        });
    }
};

TEST_F(PrintAndCutRun, MarksFoundAtTheFirstTryThenTheJobIsCut) {
    SimulatorProcess sim({L"--identification", L"CAMEO V1.10", L"--busy-ms", L"200", L"--search", L"found"});
    ASSERT_TRUE(sim.running());
    useSimulator(sim);
    bool finished = false;
    run(SmallDesign, [&](HWND dialog) {
        if (!waitUntilConnected(dialog)) return;
        finished = startAndWaitForMessage(dialog, FinishedMessage) != nullptr;
    });
    EXPECT_TRUE(finished);
    const std::string received = sim.received();
    const std::string search = searchWire(), job = jobWire();
    EXPECT_NE(received.find(search), std::string::npos) << "the search command as the core computes it";
    ASSERT_GE(received.size(), job.size());
    EXPECT_EQ(received.substr(received.size() - job.size()), job);
    EXPECT_LT(received.find(search), received.size() - job.size()) << "the search comes before the job";
}

TEST_F(PrintAndCutRun, MarksNotFoundTwiceAskAndNoLeavesEverythingButHome) {
    SimulatorProcess sim({L"--identification", L"CAMEO V1.10", L"--busy-ms", L"200", L"--search", L"not-found"});
    ASSERT_TRUE(sim.running());
    useSimulator(sim);
    bool asked = false, openAfterNo = false, startEnabledAfterNo = false;
    std::string receivedAfterNo;
    run(SmallDesign, [&](HWND dialog) {
        if (!waitUntilConnected(dialog)) return;
        HWND box = startAndWaitForMessage(dialog, MarksQuestion);
        if (!box) return;
        asked = true;
        PostMessageW(box, WM_COMMAND, IDNO, 0);
        // The answer has been handled once the flush is through: a job would
        // have begun by then, with Start disabled.
        openAfterNo = flushPostedMessages(dialog) && IsWindow(dialog);
        startEnabledAfterNo = IsWindowEnabled(GetDlgItem(dialog, IDC_START)) != FALSE;
        // The carriage was sent home before the question; the machine may still be reading it.
        waitFor([&] { return (receivedAfterNo = sim.received()).rfind("H\x03") != std::string::npos; }, 5s);
    });
    EXPECT_TRUE(asked);
    EXPECT_TRUE(openAfterNo);
    EXPECT_TRUE(startEnabledAfterNo);
    const std::string search = searchWire();
    const std::size_t first = receivedAfterNo.find(search);
    ASSERT_NE(first, std::string::npos);
    EXPECT_NE(receivedAfterNo.find(search, first + 1), std::string::npos) << "one retry";
    EXPECT_EQ(receivedAfterNo.find("FM1\x03"), std::string::npos) << "no job was sent";
    EXPECT_NE(receivedAfterNo.rfind("H\x03"), std::string::npos);
}

TEST_F(PrintAndCutRun, MarksNotFoundTwiceAskAndYesCutsTheJob) {
    SimulatorProcess sim({L"--identification", L"CAMEO V1.10", L"--busy-ms", L"200", L"--search", L"not-found"});
    ASSERT_TRUE(sim.running());
    useSimulator(sim);
    bool asked = false, finished = false;
    run(SmallDesign, [&](HWND dialog) {
        if (!waitUntilConnected(dialog)) return;
        HWND box = startAndWaitForMessage(dialog, MarksQuestion);
        if (!box) return;
        asked = true;
        PostMessageW(box, WM_COMMAND, IDYES, 0);
        finished = waitFor([&] { return messageBoxShowing(dialog, FinishedMessage) != nullptr; }, 30s);
    });
    EXPECT_TRUE(asked);
    EXPECT_TRUE(finished);
    const std::string received = sim.received();
    const std::string search = searchWire(), job = jobWire();
    ASSERT_GE(received.size(), job.size());
    EXPECT_EQ(received.substr(received.size() - job.size()), job) << "cut where the marks were expected";
    const std::size_t home = received.rfind("H\x03", received.size() - job.size());
    ASSERT_NE(home, std::string::npos);
    EXPECT_GT(home, received.rfind(search)) << "home after the second search, then the job";
}

// Knife Point: the user jogs the knife to where the cut should begin and the
// job starts there, with no way home in between. A jog still held when the
// user confirms is stopped before the job, never left to run under it.
TEST_F(CutDialogRun, KnifePointJogsThenCutsFromThere) {
    for (bool stillHeld : {false, true}) {
        SCOPED_TRACE(stillHeld ? "jog still held" : "jog released");
        SimulatorProcess sim({L"--identification", L"CAMEO V1.10", L"--busy-ms", L"200"});
        ASSERT_TRUE(sim.running());
        useSimulator(sim);
        storeInt("sil_cuttype", 2);
        std::wstring positioningButton;
        bool finished = false;
        std::size_t receivedBeforeStart = 0;
        run(SmallDesign, [&](HWND dialog) {
            if (!waitUntilConnected(dialog)) return;
            receivedBeforeStart = sim.received().size();
            PostMessageW(GetDlgItem(dialog, IDC_START), BM_CLICK, 0, 0);
            HWND positioning = waitForDialog(std::wstring(KnifePointDialogTitle), 10s);
            if (!positioning) return;
            positioningButton = textOf(GetDlgItem(positioning, IDC_TEST_CUT_BUTTON));
            PostMessageW(positioning, win::WM_JOG_BUTTON, IDC_JOG_LEFT, 1);
            // The carriage moves once the machine has the jog.
            sim.waitForReceived(receivedBeforeStart + jogSequence(JogCode::Left).size(), 5s);
            if (!stillHeld) {
                PostMessageW(positioning, win::WM_JOG_BUTTON, IDC_JOG_LEFT, 0);
                sim.waitForReceived(receivedBeforeStart + 2 * jogSequence(JogCode::Stop).size(), 5s);
            }
            PostMessageW(GetDlgItem(positioning, IDC_TEST_CUT_BUTTON), BM_CLICK, 0, 0);
            finished = waitFor([&] { return messageBoxShowing(dialog, FinishedMessage) != nullptr; }, 30s);
        });
        EXPECT_EQ(positioningButton, KnifePointButtonCaption);
        EXPECT_TRUE(finished);

        const std::string wire = expectedJobWire(508.0f, 508.0f, [](CutJob& job) { job.knifePoint = true; });
        const std::string received = sim.received();
        ASSERT_GE(received.size(), receivedBeforeStart + wire.size());
        EXPECT_EQ(received.substr(received.size() - wire.size()), wire);
        std::string sinceStart =
            received.substr(receivedBeforeStart, received.size() - wire.size() - receivedBeforeStart);
        const std::string status(StatusRequest);
        for (auto at = sinceStart.find(status); at != std::string::npos; at = sinceStart.find(status))
            sinceStart.erase(at, status.size());
        EXPECT_EQ(sinceStart, jogSequence(JogCode::Left) + jogSequence(JogCode::Stop))
            << "only the jog, stopped, before the job";
    }
}

// How many times the machine was asked for its identification.
int identifyRequests(SimulatorProcess& sim) {
    int count = 0;
    for (const std::string& command : sim.commands()) count += command == "FG";
    return count;
}

// The cable is pulled and put straight back while the test-cut dialog has the
// port threads' news: that dialog closes, and the main dialog finds the
// machine and identifies it again instead of staying at "Connecting...".
TEST_F(CutDialogRun, ALinkLostUnderTheTestCutIsFoundAndIdentifiedAgain) {
    SimulatorProcess sim({L"--identification", L"CAMEO V1.10"});
    ASSERT_TRUE(sim.running());
    useSimulator(sim);
    bool testCutClosed = false, identifiedAgain = false;
    std::wstring status;
    run(SmallDesign, [&](HWND dialog) {
        HWND preview = GetDlgItem(dialog, IDC_PREVIEW);
        if (!waitUntilConnected(dialog)) return;
        PostMessageW(GetDlgItem(dialog, IDC_TEST_CUT), BM_CLICK, 0, 0);
        HWND testCut = waitForDialog(std::wstring(TestCutDialogTitle), 10s);
        if (!testCut) return;
        sim.unplug();
        sim.replug();
        testCutClosed = waitFor([&] { return !IsWindow(testCut); }, 5s);
        identifiedAgain = waitFor(
            [&] {
                return identifyRequests(sim) >= 2 && textOf(preview).rfind(L"Connected [", 0) == 0 &&
                       IsWindowEnabled(GetDlgItem(dialog, IDC_START));
            },
            15s);
        status = textOf(preview);
    });
    EXPECT_TRUE(testCutClosed);
    EXPECT_TRUE(identifiedAgain) << "status line: " << std::string(status.begin(), status.end());
    EXPECT_EQ(identifyRequests(sim), 2) << "asked once per connection";
}

// The cable goes while the machine searches for the marks: the search ends,
// the question comes, and while the user reads it the monitor finds the link
// gone and back. Yes then does not send the job on the link that came back
// (the search was made on the old one): the user is told, and nothing hangs.
// (A link still gone at Yes is a row of the fault table.)
TEST_F(PrintAndCutRun, ACablePulledDuringTheSearchNeverSendsTheJobAfterwards) {
    SimulatorProcess sim({L"--identification", L"CAMEO V1.10", L"--busy-ms", L"200"});
    ASSERT_TRUE(sim.running());
    useSimulator(sim);
    bool asked = false;
    std::wstring statusAtYes, caption;
    std::string afterYes = "(not answered)";
    run(SmallDesign, [&](HWND dialog) {
        HWND preview = GetDlgItem(dialog, IDC_PREVIEW);
        HWND progress = GetDlgItem(dialog, IDC_PROGRESS);
        if (!waitUntilConnected(dialog)) return;
        // The machine's answer to the search is far off: it is still searching when the cable goes.
        sim.set("reply-delay-ms", "60000");
        const std::size_t beforeStart = sim.received().size();
        PostMessageW(GetDlgItem(dialog, IDC_START), BM_CLICK, 0, 0);
        if (!waitForDialog(std::wstring(RegMarkDialogTitle), 10s)) return;
        if (!sim.waitForReceived(beforeStart + searchWire().size(), 5s)) return;
        sim.unplug();
        sim.set("reply-delay-ms", "0");
        HWND box = nullptr;
        if (!waitFor([&] { return (box = messageBoxShowing(dialog, MarksQuestion)) != nullptr; }, 10s)) return;
        asked = true;
        waitForText(preview, L"Not Connected", 5s);
        sim.replug();
        waitUntilConnected(dialog);
        statusAtYes = textOf(preview);
        const std::size_t atYes = sim.received().size();
        PostMessageW(box, WM_COMMAND, IDYES, 0);
        waitFor([&] { return !IsWindow(box); }, 5s);
        waitFor([&] { return textOf(progress) == LinkLostCaption || ownedDialog(dialog) != nullptr; }, 30s);
        caption = textOf(progress);
        afterYes = sim.received().substr(atYes);
    });
    EXPECT_TRUE(asked);
    EXPECT_EQ(statusAtYes, L"Connected [CAMEO V1.10]");
    EXPECT_EQ(caption, LinkLostCaption);
    EXPECT_TRUE(onlyPollsAndIdentify(afterYes)) << "no job after Yes: " << afterYes.size() << " bytes";
}

// Every answer comes 0.7 s late: the search's answer ends its dialog while
// the answers to its status requests are still on their way, and they reach
// the main dialog during the job. They must not identify the machine again:
// no "FG" behind the job, the machine buttons off until the job is sent.
TEST_F(PrintAndCutRun, LateStatusAnswersDoNotIdentifyTheMachineAgainDuringTheJob) {
    SimulatorProcess sim({L"--identification", L"CAMEO V1.10", L"--busy-ms", L"200", L"--slow"});
    ASSERT_TRUE(sim.running());
    useSimulator(sim);
    const std::string design = zigZagDesign(60000);
    bool finished = false, buttonsOnDuringJob = false;
    std::size_t beforeStart = 0;
    run(design.c_str(), [&](HWND dialog) {
        HWND progress = GetDlgItem(dialog, IDC_PROGRESS);
        if (!waitUntilConnected(dialog)) return;
        sim.set("reply-delay-ms", "700");
        beforeStart = sim.received().size();
        PostMessageW(GetDlgItem(dialog, IDC_START), BM_CLICK, 0, 0);
        finished = waitFor(
            [&] {
                const std::wstring caption = textOf(progress);
                const bool jobRunning = caption.rfind(L"Preparing", 0) == 0 || caption.rfind(L"Sending", 0) == 0;
                if (jobRunning && (IsWindowEnabled(GetDlgItem(dialog, IDC_START)) ||
                                   IsWindowEnabled(GetDlgItem(dialog, IDC_TEST_CUT)) ||
                                   IsWindowEnabled(GetDlgItem(dialog, IDC_CALIBRATE_DPI))))
                    buttonsOnDuringJob = true;
                return messageBoxShowing(dialog, FinishedMessage) != nullptr;
            },
            60s);
    });
    EXPECT_TRUE(finished);
    EXPECT_FALSE(buttonsOnDuringJob);
    const std::string search = searchWire(), job = jobWire();
    // The writer is done once the pipe has taken the last bytes; the slow machine reads them a little later.
    sim.waitForReceived(beforeStart + search.size() + job.size(), 10s);
    const std::string received = sim.received();
    ASSERT_GT(received.size(), beforeStart);
    const std::string sinceStart = received.substr(beforeStart);
    ASSERT_NE(sinceStart.find(search), std::string::npos);
    EXPECT_EQ(sinceStart.find("FG\x03"), std::string::npos) << "not identified again";
    ASSERT_GE(sinceStart.size(), job.size());
    EXPECT_TRUE(sinceStart.substr(sinceStart.size() - job.size()) == job) << "the job is the last thing sent";
}

}  // namespace
}  // namespace vantrel::test
