// The fault table: every row runs the plug-in as the host does, against the
// simulated cutter with one fault injected (or with no machine at all), and
// checks what the user sees, what the machine received of the job (nothing
// lost, nothing twice) and the lines the diagnostics log got. Each row prints
// itself as a line of the table in docs/faults.md; with VANTREL_LOG_SAMPLES
// set (a Windows folder) each row's log is copied there as <row>.log.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <functional>
#include <iostream>
#include <sstream>
#include <atomic>
#include <thread>
#include <utility>
#include <string>
#include <string_view>
#include <vector>

#include "design/design_file.h"
#include "driving/window_driving.h"
#include "operations/operation_texts.h"
#include "plugin/win32/plugin_app.h"
#include "plugin/win32/registry_profile.h"
#include "resource.h"
#include "support/plugin_run.h"
#include "support/simulator_process.h"
#include "support/win_test_support.h"
#include "ui/win32/jog_button.h"

namespace vantrel::test {
namespace {

using namespace std::chrono_literals;
using driving::ownedDialog;
using driving::textOf;

const wchar_t LinkLost[] = L"Connection lost: the job was not completely sent";
const wchar_t Ready[] = L"Click \"Start\" when you are ready to cut";
const wchar_t ResolutionRefused[] = L"The machine resolution must be from 1 to 100000 steps per inch.";
const wchar_t MarksQuestion[] = L"Unable to find registration marks.\n\nWould you like to continue to cut?";

const char* const SmallDesign = "M 1 1 L 3 1 L 3 2 Z M 1.5 1.5 C 2 2.5 2.5 0.5 3 1.5";

// About 300 kB of job: more than a pipe holds, a third of a second at the
// machine's 1 MB/s.
const std::string& bigDesign() {
    static const std::string design = [] {
        std::string text = "M 0.5 0.5";
        for (int i = 1; i <= 25000; ++i) {
            char point[48];
            std::snprintf(point, sizeof point, " L %.4f %.4f", 0.5 + 10.0 * i / 25000, (i % 2) ? 1.5 : 0.5);
            text += point;
        }
        return text;
    }();
    return design;
}

// What a row's driver sees and does, from the driver thread.
struct Context {
    HWND dialog = nullptr;
    SimulatorProcess* sim = nullptr;
    std::size_t jobSize = 0;         // the WYSIWYG job the dialog would send
    std::size_t unplugAfter = 0;     // job bytes the simulator takes before its cable goes
    std::vector<std::wstring> seen;  // what the user saw, in order
    HANDLE held = nullptr;           // a channel another program holds

    HWND item(int id) const { return GetDlgItem(dialog, id); }
    bool waitStatus(const std::wstring& prefix, std::chrono::milliseconds timeout = 10s) const {
        return waitFor([&] { return textOf(item(IDC_PREVIEW)).rfind(prefix, 0) == 0; }, timeout);
    }
    bool waitCaption(const std::wstring& prefix, std::chrono::milliseconds timeout = 20s) const {
        return waitFor([&] { return textOf(item(IDC_PROGRESS)).rfind(prefix, 0) == 0; }, timeout);
    }
    bool connected(std::chrono::milliseconds timeout = 15s) const { return waitUntilConnected(dialog, timeout); }
    void start() const { PostMessageW(item(IDC_START), BM_CLICK, 0, 0); }
    // The simulator pulls its cable after `bytes` more bytes: with the machine
    // identified, the next bytes are those of what Start sends.
    void unplugAfterJobBytes(std::size_t bytes) {
        unplugAfter = bytes;
        sim->set("unplug-after-bytes", std::to_string(bytes));
    }

    void sawStatus() { seen.push_back(textOf(item(IDC_PREVIEW))); }
    void sawCaption() { seen.push_back(textOf(item(IDC_PROGRESS))); }
    void sawStart() { seen.push_back(IsWindowEnabled(item(IDC_START)) ? L"Start enabled" : L"Start disabled"); }
    // Waits for a message box over the dialog, notes its text and answers it.
    bool sawMessage(int answer, std::chrono::milliseconds timeout = 30s) {
        HWND box = nullptr;
        waitFor([&] { return (box = ownedDialog(dialog)) && GetDlgItem(box, 0xFFFF); }, timeout);
        if (!box) return false;
        seen.push_back(textOf(GetDlgItem(box, 0xFFFF)));
        PostMessageW(box, WM_COMMAND, answer, 0);
        waitFor([&] { return !IsWindow(box); }, 5s);
        return true;
    }
    // After a fault no message box may be left for the user to puzzle over:
    // looked for once the monitor has checked the link again.
    void sawNoMessage() {
        EXPECT_TRUE(waitForConnectionChecks(dialog, 1));
        if (HWND box = ownedDialog(dialog)) seen.push_back(L"message: " + textOf(GetDlgItem(box, 0xFFFF)));
    }
};

enum class Machine { Simulated, NoneAttached, SwitchedOff };
enum class JobBytes { None, Whole, UpToTheUnplug };

struct Row {
    const char* id = "";  // its log sample's name
    const char* fault = "";  // as the table names it
    Machine machine = Machine::Simulated;
    std::vector<std::wstring> simulator = {};  // options beyond the identification and busy time
    int cutType = 0;
    const char16_t* dpiY = nullptr;  // stored as the Y resolution
    const char* design = nullptr;    // SmallDesign when null
    std::function<void(Context&)> act = {};
    std::vector<std::wstring> sees = {};  // prefixes of what the user must see, in order
    JobBytes job = JobBytes::None;
    std::vector<std::string> logged = {};  // log texts in order; "{size}" is the job's size
    std::vector<std::string> once = {};    // log texts that appear exactly once
    std::vector<std::string> never = {};   // log texts that never appear
};

void justWatch(Context& c, const wchar_t* status) {
    c.waitStatus(status, 5s);
    EXPECT_TRUE(waitForConnectionChecks(c.dialog, 2));  // a few searches or polls more: nothing may change
    c.sawStatus();
    c.sawStart();
}

void pullDuringTheJob(Context& c, std::size_t bytes) {
    if (!c.connected()) return;
    c.unplugAfterJobBytes(bytes);
    c.start();
    c.waitCaption(LinkLost);
    c.sawCaption();
    c.waitStatus(L"Not Connected");
    c.sawStatus();
    c.sawNoMessage();
}

// A machine that takes nothing: the dialog goes on answering (a round trip
// well under half a second) through two checks of the monitor, and Escape
// closes it within `closeLimit`, pending write and all.
void answersAndCloses(Context& c, std::chrono::milliseconds closeLimit) {
    DWORD slowest = 0;
    std::atomic<bool> watching{true};
    std::thread probe([&] {
        while (watching) {
            const DWORD sent = GetTickCount();
            DWORD_PTR result = 0;
            if (!SendMessageTimeoutW(c.dialog, WM_NULL, 0, 0, SMTO_NORMAL, 2000, &result)) slowest = 2000;
            slowest = std::max(slowest, GetTickCount() - sent);
            Sleep(10);
        }
    });
    EXPECT_TRUE(waitForConnectionChecks(c.dialog, 2));
    watching = false;
    probe.join();
    EXPECT_LT(slowest, 500u) << "the dialog did not answer for " << slowest << " ms";
    c.seen.push_back(slowest < 500 ? L"the dialog answers" : L"the dialog stops answering");
    c.sawStatus();
    c.sawCaption();
    const DWORD pressed = GetTickCount();
    PostMessageW(c.dialog, WM_COMMAND, IDCANCEL, 0);
    const bool closed = waitFor([&] { return !IsWindow(c.dialog); }, 10s);
    const DWORD took = GetTickCount() - pressed;
    EXPECT_TRUE(closed && took < closeLimit.count()) << "Escape closed the dialog after " << took << " ms";
    c.seen.push_back(closed && took < closeLimit.count() ? L"Escape closes it" : L"Escape does not close it");
}

void startAndRead(Context& c) {
    if (!c.connected()) return;
    c.start();
    c.sawMessage(IDOK);
    EXPECT_TRUE(driving::flushPostedMessages(c.dialog));  // the answer handled
    c.sawCaption();
}

void pullDuringTheSearch(Context& c, int answer) {
    if (!c.connected()) return;
    c.unplugAfterJobBytes(10);  // inside the search command
    c.start();
    if (!c.sawMessage(answer)) return;
    EXPECT_TRUE(waitForConnectionChecks(c.dialog, 2));  // a check of the monitor, and time for a job to go wrong
    c.sawCaption();
    c.sawStatus();
    c.sawNoMessage();
}

// The jogs the machine got from byte `from` on (the row jogs right only).
std::wstring jogsReceived(const std::string& received, std::size_t from) {
    const std::string escNul("\x1B\0", 2);
    std::wstring names;
    for (std::size_t at = received.find(escNul, from); at != std::string::npos && at + 2 < received.size();
         at = received.find(escNul, at + 3)) {
        const char code = received[at + 2];
        names += std::wstring(names.empty() ? L"" : L", ") + (code == 0 ? L"stop" : code == 4 ? L"right" : L"?");
    }
    return names;
}

std::string carriagePosition(SimulatorProcess& sim) {
    const std::string status = sim.status();
    const std::size_t at = status.find("position=");
    return at == std::string::npos ? std::string() : status.substr(at, status.find(' ', at) - at);
}

// In the test-cut dialog: the machine takes the start of a jog to the right
// and then nothing for 2.5 s, while the jog is released and tapped twice
// more; then it takes data again, and the carriage must stand still.
void jogWhileTheMachineTakesNothing(Context& c) {
    if (!c.connected()) return;
    PostMessageW(c.item(IDC_TEST_CUT), BM_CLICK, 0, 0);
    HWND testCut = waitForDialog(std::wstring(TestCutDialogTitle), 10s);
    if (!testCut) return;
    const std::size_t before = c.sim->received().size();
    c.sim->set("stall-after-bytes", "3");
    auto jog = [&](bool pressed) {
        PostMessageW(testCut, win::WM_JOG_BUTTON, IDC_JOG_RIGHT, pressed ? 1 : 0);
        EXPECT_TRUE(driving::flushPostedMessages(testCut));
    };
    jog(true);
    if (!c.sim->waitForReceived(before + 3, 5s)) return;
    const DWORD stalled = GetTickCount();
    jog(false);
    for (int tap = 0; tap < 2; ++tap) {
        Sleep(200);
        jog(true);
        Sleep(200);
        jog(false);
    }
    while (GetTickCount() - stalled < 2500) Sleep(50);
    c.sim->set("stall-after-bytes", "-1");
    // What waited reaches the machine within a few of its 50 ms looks.
    c.sim->waitForReceived(before + 6, 5s);
    Sleep(500);
    c.seen.push_back(L"the machine got: " + jogsReceived(c.sim->received(), before) + L", then nothing more");
    const std::string standing = carriagePosition(*c.sim);
    Sleep(500);  // a running carriage goes 500 steps in this time
    c.seen.push_back(carriagePosition(*c.sim) == standing ? L"the carriage stands still" : L"the carriage runs on");
    PostMessageW(testCut, WM_COMMAND, IDCANCEL, 0);
    waitFor([&] { return !IsWindow(testCut); }, 5s);
}

// After the machine's input channel alone failed: once the dialog that
// talked to the machine is done, the main dialog finds and identifies it anew.
void identifiedAnew(Context& c) {
    EXPECT_TRUE(waitForConnectionChecks(c.dialog, 2));
    c.connected(20s);
    c.sawStatus();
    c.sawStart();
}

const std::vector<Row>& rows() {
    static const std::vector<Row> table = {
        {.id = "no-machine",
         .fault = "No machine attached (real discovery, no USB device)",
         .machine = Machine::NoneAttached,
         .act = [](Context& c) { justWatch(c, L"Not Connected"); },
         .sees = {L"Not Connected", L"Start disabled"},
         .logged = {"plug-in run begins", "discovery: no USB device interfaces, no cutter", "plug-in run ends"},
         .once = {"discovery:"},
         .never = {" connected:"}},
        {.id = "switched-off",
         .fault = "The simulated cutter is not running (its device does not answer)",
         .machine = Machine::SwitchedOff,
         .act = [](Context& c) { justWatch(c, L"Not Connected"); },
         .sees = {L"Not Connected", L"Start disabled"},
         .logged = {"discovery: 1 USB device interface, no cutter",
                    "USB\\VID_0B4D&PID_FFFF\\SIMULATED: vendor 0B4D, no identification (error 2 (ERROR_FILE_NOT_FOUND))"},
         .once = {"discovery:"},
         .never = {" connected:"}},
        {.id = "not-a-cutter",
         .fault = "A device of the vendor that is not a cutter (another maker in its 1284 id)",
         .simulator = {L"--device-id", L"MANUFACTURER:Hewlett-Packard;MODEL:DeskJet 2130;CLASS:PRINTER;"},
         .act = [](Context& c) { justWatch(c, L"Not Connected"); },
         .sees = {L"Not Connected", L"Start disabled"},
         .logged = {"discovery: 1 USB device interface, no cutter",
                    "vendor 0B4D, id \"MANUFACTURER:Hewlett-Packard;MODEL:DeskJet 2130;CLASS:PRINTER;\", not a cutter"},
         .once = {"discovery:"},
         .never = {" connected:"}},
        {.id = "channel-held",
         .fault = "Another program holds the machine's channel, then lets go",
         .act =
             [](Context& c) {
                 c.waitStatus(L"Not Connected", 5s);
                 EXPECT_TRUE(waitForConnectionChecks(c.dialog, 2));  // two tries more, both refused
                 c.sawStatus();
                 CloseHandle(c.held);
                 c.held = nullptr;
                 c.connected(10s);
                 c.sawStatus();
             },
         .sees = {L"Not Connected", L"Connected [CAMEO V1.10]"},
         .logged = {"discovery: 1 USB device interface, cutter found", "outgoing channel not opened: ",
                    "error 231 (ERROR_PIPE_BUSY)", " connected: ", "identified: \"CAMEO V1.10\""},
         .once = {"channel not opened"}},
        {.id = "silent",
         .fault = "Silent machine: the identification request is never answered",
         .simulator = {L"--never-answer-fg"},
         .act = [](Context& c) { justWatch(c, L"Connecting..."); },
         .sees = {L"Connecting...", L"Start disabled"},
         .logged = {" connected: ", "machine idle: identification asked"},
         .once = {"identification asked"},
         .never = {"identified:"}},
        {.id = "busy-forever",
         .fault = "Machine busy forever (every status reply is 1)",
         .simulator = {L"--stay-busy"},
         .act = [](Context& c) { justWatch(c, L"Connecting..."); },
         .sees = {L"Connecting...", L"Start disabled"},
         .logged = {" connected: "},
         .once = {" connected: "},
         .never = {"identification asked"}},
        {.id = "garbage",
         .fault = "Garbage replies (13 bytes, ETX-ended)",
         .simulator = {L"--garbage"},
         .act = [](Context& c) { justWatch(c, L"Connecting..."); },
         .sees = {L"Connecting...", L"Start disabled"},
         .logged = {" connected: "},
         .once = {" connected: "},
         .never = {"identification asked"}},
        {.id = "no-etx",
         .fault = "Replies without their ETX",
         .simulator = {L"--no-etx"},
         .act = [](Context& c) { justWatch(c, L"Connecting..."); },
         .sees = {L"Connecting...", L"Start disabled"},
         .logged = {" connected: "},
         .once = {" connected: "},
         .never = {"identification asked"}},
        {.id = "busy-at-first",
         .fault = "Machine still busy for 2.5 s when found",
         .simulator = {L"--start-busy-ms", L"2500"},
         .act =
             [](Context& c) {
                 c.connected();
                 c.sawStatus();
             },
         .sees = {L"Connected [CAMEO V1.10]"},
         .logged = {" connected: ", "identification asked", "identified: "}},
        {.id = "unplug-identifying",
         .fault = "Unplugged during identification (machine busy), plugged back 1.5 s later",
         .simulator = {L"--start-busy-ms", L"4000", L"--replug-after-ms", L"1500"},
         .act =
             [](Context& c) {
                 waitFor([&] { return c.sim->status().find("output-client=1") != std::string::npos; }, 10s);
                 c.sim->unplug();
                 c.waitStatus(L"Not Connected");
                 c.sawStatus();
                 c.connected(20s);
                 c.sawStatus();
             },
         .sees = {L"Not Connected", L"Connected [CAMEO V1.10]"},
         .logged = {" connected: ", "disconnected: the incoming channel failed", " connected: ", "identified: "},
         .once = {"identified: "}},
        {.id = "unplug-idle",
         .fault = "Unplugged while connected and idle, plugged back 1.5 s later",
         .simulator = {L"--replug-after-ms", L"1500"},
         .act =
             [](Context& c) {
                 if (!c.connected()) return;
                 c.sim->unplug();
                 c.waitStatus(L"Not Connected");
                 c.sawStatus();
                 c.sawStart();
                 c.connected(20s);
                 c.sawStatus();
             },
         .sees = {L"Not Connected", L"Start disabled", L"Connected [CAMEO V1.10]"},
         .logged = {"identified: ", "disconnected: the incoming channel failed", "discovery: ", " connected: ",
                    "identified: "}},
        {.id = "good-run",
         .fault = "None: a WYSIWYG job",
         .act =
             [](Context& c) {
                 if (!c.connected()) return;
                 c.start();
                 c.waitCaption(L"Finished");
                 c.sawCaption();
                 c.sawMessage(IDOK);
             },
         .sees = {L"Finished sending data to Silhouette machine", L"Finished sending all data to your Silhouette machine!"},
         .job = JobBytes::Whole,
         .logged = {"identified: \"CAMEO V1.10\", model 2 (CAMEO)", "job start: WYSIWYG, {size} bytes; force 10, speed 10",
                    "job end: sent, {size} of {size} bytes written in ",
                    "message shown: \"Finished sending all data to your Silhouette machine!\"",
                    "disconnected: the dialog was closed", "plug-in run ends"}},
        {.id = "slow-reader",
         .fault = "Slow machine: it takes 100 kB/s",
         .simulator = {L"--write-rate", L"100000"},
         .design = bigDesign().c_str(),
         .act =
             [](Context& c) {
                 if (!c.connected()) return;
                 c.start();
                 c.waitCaption(L"Finished", 30s);
                 c.sawCaption();
                 c.sawMessage(IDOK);
             },
         .sees = {L"Finished sending data to Silhouette machine", L"Finished sending all data to your Silhouette machine!"},
         .job = JobBytes::Whole,
         .logged = {"job start: WYSIWYG, {size} bytes", "job end: sent, {size} of {size} bytes"}},
        {.id = "unplug-job-first-byte",
         .fault = "Unplugged as the job begins (after its first byte)",
         .simulator = {L"--slow"},
         .design = bigDesign().c_str(),
         .act = [](Context& c) { pullDuringTheJob(c, 1); },
         .sees = {LinkLost, L"Not Connected"},
         .job = JobBytes::UpToTheUnplug,
         // The writer takes the job as soon as it is queued, so the cable may
         // be gone before the dialog logs the job's start: no order between them.
         .logged = {"job start: WYSIWYG, {size} bytes", "job end: link lost after ",
                    "the write of {size} bytes did not complete"},
         .never = {"message shown:"}},
        {.id = "unplug-job-middle",
         .fault = "Unplugged halfway through the job",
         .simulator = {L"--slow"},
         .design = bigDesign().c_str(),
         .act = [](Context& c) { pullDuringTheJob(c, c.jobSize / 2); },
         .sees = {LinkLost, L"Not Connected"},
         .job = JobBytes::UpToTheUnplug,
         .logged = {"job start: ", "disconnected: the ", "job end: link lost after "},
         .never = {"message shown:"}},
        {.id = "unplug-job-late",
         .fault = "Unplugged 100 kB before the job's end",
         .simulator = {L"--slow"},
         .design = bigDesign().c_str(),
         .act = [](Context& c) { pullDuringTheJob(c, c.jobSize - 100000); },
         .sees = {LinkLost, L"Not Connected"},
         .job = JobBytes::UpToTheUnplug,
         .logged = {"job start: ", "disconnected: the ", "job end: link lost after "},
         .never = {"message shown:"}},
        {.id = "unplug-job-replug",
         .fault = "Unplugged a third into the job, plugged back 1 s later",
         .simulator = {L"--slow", L"--replug-after-ms", L"1000"},
         .design = bigDesign().c_str(),
         .act =
             [](Context& c) {
                 pullDuringTheJob(c, c.jobSize / 3);
                 c.connected(20s);
                 c.sawStatus();
                 c.sawCaption();
             },
         .sees = {LinkLost, L"Not Connected", L"Connected [CAMEO V1.10]", LinkLost},
         .job = JobBytes::UpToTheUnplug,
         .logged = {"job start: ", "disconnected: the ", "job end: link lost after ", " connected: ", "identified: "},
         .once = {"job start: "}},
        {.id = "resolution-tiny",
         .fault = "Stored Y resolution \"1e-30\"",
         .dpiY = u"1e-30",
         .act = [](Context& c) { startAndRead(c); },
         .sees = {ResolutionRefused, Ready},
         .logged = {"job end: refused, nothing sent",
                    "message shown: \"The machine resolution must be from 1 to 100000 steps per inch.\""},
         .never = {"job start:"}},
        {.id = "resolution-huge",
         .fault = "Stored Y resolution \"1e8\"",
         .dpiY = u"1e8",
         .act = [](Context& c) { startAndRead(c); },
         .sees = {ResolutionRefused, Ready},
         .logged = {"job end: refused, nothing sent"},
         .never = {"job start:"}},
        {.id = "unplug-search-no",
         .fault = "Print and Cut: unplugged during the mark search, the user answers No",
         .cutType = 1,
         .act = [](Context& c) { pullDuringTheSearch(c, IDNO); },
         .sees = {MarksQuestion, Ready, L"Not Connected"},
         .logged = {"disconnected: the ", "message shown: \"Unable to find registration marks."},
         .never = {"job start:"}},
        {.id = "unplug-search-yes",
         .fault = "Print and Cut: unplugged during the mark search, the user answers Yes",
         .cutType = 1,
         .act = [](Context& c) { pullDuringTheSearch(c, IDYES); },
         .sees = {MarksQuestion, Ready, L"Not Connected", L"message: You are not connected to your Silhouette!"},
         .logged = {"disconnected: the ", "message shown: \"Unable to find registration marks.",
                    "message shown: \"You are not connected to your Silhouette!\""},
         .never = {"job start:"}},
        {.id = "unplug-knife-point",
         .fault = "Knife Point: unplugged while the knife is positioned",
         .cutType = 2,
         .act =
             [](Context& c) {
                 if (!c.connected()) return;
                 c.start();
                 HWND positioning = waitForDialog(std::wstring(KnifePointDialogTitle), 10s);
                 if (!positioning) return;
                 c.sim->unplug();
                 waitFor([&] { return !IsWindow(positioning); }, 5s);
                 c.waitStatus(L"Not Connected");
                 c.sawCaption();
                 c.sawStatus();
                 c.sawNoMessage();
             },
         .sees = {Ready, L"Not Connected"},
         .logged = {"identified: ", "disconnected: the "},
         .never = {"job start:", "message shown:"}},
        {.id = "stall-identifying",
         .fault = "The machine takes no data: the first status request stays pending (`--stall-after-bytes 0`), then Escape",
         .simulator = {L"--stall-after-bytes", L"0"},
         .act =
             [](Context& c) {
                 c.waitStatus(L"Connecting...", 5s);
                 c.sawStart();
                 answersAndCloses(c, 3s);
             },
         .sees = {L"Start disabled", L"the dialog answers", L"Connecting...", L"Escape closes it"},
         .logged = {" connected: ", "disconnected: the dialog was closed"},
         .once = {" connected: "},
         .never = {"identification asked", "message shown:"}},
        {.id = "stall-job",
         .fault = "The machine stops taking data a third into the job, then Escape",
         .simulator = {L"--stall-after-bytes", L"1000000000"},
         .design = bigDesign().c_str(),
         .act =
             [](Context& c) {
                 if (!c.connected()) return;
                 c.unplugAfter = c.jobSize / 3;
                 c.sim->set("stall-after-bytes", std::to_string(c.unplugAfter));
                 c.start();
                 c.waitCaption(L"Sending data");
                 answersAndCloses(c, 5s);
             },
         .sees = {L"the dialog answers", L"Connected [CAMEO V1.10]", L"Sending data", L"Escape closes it"},
         .job = JobBytes::UpToTheUnplug,
         .logged = {"job start: ", "job end: dialog closed after "},
         .never = {"message shown:"}},
        {.id = "stall-jog",
         .fault = "The machine takes a jog's start, then nothing for 2.5 s while the jog is released and tapped twice more",
         .simulator = {L"--stall-after-bytes", L"1000000000"},
         .act = jogWhileTheMachineTakesNothing,
         .sees = {L"the machine got: right, stop, then nothing more", L"the carriage stands still"},
         .logged = {"identified: "},
         .never = {"bytes not sent", "message shown:"}},
        {.id = "command-lost-search",
         .fault = "Print and Cut: the command channel alone has failed as the mark search begins, the user answers No",
         .cutType = 1,
         .act =
             [](Context& c) {
                 if (!c.connected()) return;
                 // Nothing is written until Start: the search command's write is the first to fail.
                 EXPECT_TRUE(c.sim->control("fail-input"));
                 c.start();
                 if (!c.sawMessage(IDNO, 10s)) return;
                 EXPECT_TRUE(driving::flushPostedMessages(c.dialog));
                 c.sawCaption();
                 identifiedAnew(c);
             },
         .sees = {MarksQuestion, Ready, L"Connected [CAMEO V1.10]", L"Start enabled"},
         .logged = {"identified: ", "disconnected: the outgoing channel failed",
                    "message shown: \"Unable to find registration marks.", "identified: "},
         .never = {"job start:"}},
        {.id = "command-lost-calibration",
         .fault = "Calibrate DPI: the command channel alone has failed when the square is sent",
         .act =
             [](Context& c) {
                 if (!c.connected()) return;
                 PostMessageW(c.item(IDC_CALIBRATE_DPI), BM_CLICK, 0, 0);
                 HWND calibration = waitForDialog(L"Calibrate Resolution", 10s);
                 if (!calibration) return;
                 EXPECT_TRUE(c.sim->control("fail-input"));
                 PostMessageW(GetDlgItem(calibration, IDC_CALIB_CUT_SQUARE), BM_CLICK, 0, 0);
                 const bool closed = waitFor([&] { return !IsWindow(calibration); }, 5s);
                 c.seen.push_back(closed ? L"the calibration closes by itself" : L"the calibration stays open");
                 identifiedAnew(c);
             },
         .sees = {L"the calibration closes by itself", L"Connected [CAMEO V1.10]", L"Start enabled"},
         .logged = {"identified: ", "disconnected: the outgoing channel failed", "identified: "},
         .never = {"message shown:"}}
    };
    return table;
}

class ScratchFolder {
public:
    ScratchFolder() {
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        path_ = std::wstring(temp) + L"vantrel-faults-" + std::to_wstring(GetCurrentProcessId());
        CreateDirectoryW(path_.c_str(), nullptr);
        clear();
    }
    ~ScratchFolder() {
        clear();
        RemoveDirectoryW(path_.c_str());
    }
    void clear() const {
        DeleteFileW((path_ + L"\\vantrel.log").c_str());
        DeleteFileW((path_ + L"\\vantrel.log.1").c_str());
    }
    const std::wstring& path() const { return path_; }
    std::string log() const {
        std::ifstream in((path_ + L"\\vantrel.log").c_str(), std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }

private:
    std::wstring path_;
};

std::string narrow(const std::wstring& text) {
    std::string out;
    for (wchar_t c : text) out += c == L'\n' ? ' ' : c < 0x80 ? static_cast<char>(c) : '?';
    return out;
}

std::size_t count(const std::string& text, const std::string& part) {
    std::size_t n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

std::string withSize(std::string text, std::size_t size) {
    for (std::size_t at; (at = text.find("{size}")) != std::string::npos;) text.replace(at, 6, std::to_string(size));
    return text;
}

// How much of `job` the machine received from its first byte on, and how
// many of its bytes arrived more than once.
struct JobReceipt {
    std::size_t received = 0;
    std::size_t duplicated = 0;
};
JobReceipt receiptOf(const std::string& received, const std::string& job) {
    JobReceipt receipt;
    const std::string head = job.substr(0, 12);
    bool first = true;
    for (std::size_t at = received.find(head); at != std::string::npos; at = received.find(head, at + 1)) {
        std::size_t same = 0;
        while (same < job.size() && at + same < received.size() && received[at + same] == job[same]) ++same;
        (first ? receipt.received : receipt.duplicated) += same;
        first = false;
    }
    return receipt;
}

// What followed the part of the job that arrived: a reconnection's status
// and identification requests, and nothing else.
bool onlyPollsAfter(const std::string& received, const std::string& job, std::size_t arrived) {
    const std::size_t at = received.find(job.substr(0, 12));
    if (at == std::string::npos) return false;
    std::string_view rest = std::string_view(received).substr(at + arrived);
    while (!rest.empty()) {
        if (rest.substr(0, 2) == "\x1B\x05")
            rest.remove_prefix(2);
        else if (rest.substr(0, 3) == "FG\x03")
            rest.remove_prefix(3);
        else
            return false;
    }
    return true;
}

void PrintTo(const Row& row, std::ostream* out) { *out << row.id; }

class FaultTable : public PluginRun, public ::testing::WithParamInterface<Row> {};

TEST_P(FaultTable, Row) {
    const Row& row = GetParam();
    ScratchFolder logs;
    SetEnvironmentVariableW(L"VANTREL_LOG_DIR", logs.path().c_str());

    std::unique_ptr<SimulatorProcess> sim;
    if (row.machine == Machine::Simulated) {
        std::vector<std::wstring> options = {L"--identification", L"CAMEO V1.10", L"--busy-ms", L"200"};
        options.insert(options.end(), row.simulator.begin(), row.simulator.end());
        sim = std::make_unique<SimulatorProcess>(options);
        ASSERT_TRUE(sim->running());
        useSimulator(*sim);
    } else if (row.machine == Machine::SwitchedOff) {
        SetEnvironmentVariableW(L"VANTREL_SIMULATOR", L"\\\\.\\pipe\\vantrel-switched-off");
    } else {
        SetEnvironmentVariableW(L"VANTREL_SIMULATOR", nullptr);
    }
    win::RegistryProfile profile(win::PluginApp::instance().profileKey());
    if (row.cutType != 0) profile.writeInt("sil_cuttype", row.cutType);
    if (row.dpiY) profile.writeText("sil_dpiy", row.dpiY);

    const char* design = row.design ? row.design : SmallDesign;
    auto parsed = parseDesign(design);
    ASSERT_TRUE(parsed.ok);
    design_ = parsed.path;
    const std::string job = expectedJobWire();
    Context context;
    context.sim = sim.get();
    context.jobSize = job.size();
    if (std::string(row.id) == "channel-held")
        context.held = CreateFileW(sim->channelPath(0).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                   0, nullptr);
    run(design, [&](HWND dialog) {
        context.dialog = dialog;
        row.act(context);
    });
    if (context.held && context.held != INVALID_HANDLE_VALUE) CloseHandle(context.held);
    SetEnvironmentVariableW(L"VANTREL_LOG_DIR", nullptr);

    // What the user saw.
    std::size_t next = 0;
    for (const std::wstring& expected : row.sees) {
        while (next < context.seen.size() && context.seen[next].rfind(expected, 0) != 0) ++next;
        EXPECT_LT(next, context.seen.size()) << "never saw: " << narrow(expected);
        if (next < context.seen.size()) ++next;
    }

    // The job on the wire: whole, or up to the pulled cable, or not at all;
    // never twice, and never reported sent unless it all arrived. A slow
    // machine is still reading the last of it from the pipe when the dialog
    // reports it sent (as a real one still holds it in its buffer), and has
    // it all once it finds the closed dialog's channel closed.
    if (sim) {
        EXPECT_TRUE(sim->waitUntilInputClosed(15s)) << "the closed dialog left the machine's channel open";
    }
    const JobReceipt receipt = sim ? receiptOf(sim->received(), job) : JobReceipt{};
    const bool reportedSent = std::find(context.seen.begin(), context.seen.end(),
                                        L"Finished sending all data to your Silhouette machine!") != context.seen.end();
    const std::size_t lost = reportedSent ? job.size() - receipt.received : 0;
    EXPECT_EQ(lost, 0u);
    EXPECT_EQ(receipt.duplicated, 0u);
    switch (row.job) {
        case JobBytes::None:
            EXPECT_EQ(receipt.received, 0u);
            if (sim) {
                EXPECT_EQ(sim->received().find("FM1\x03"), std::string::npos) << "no job header at all";
            }
            break;
        case JobBytes::Whole: EXPECT_EQ(receipt.received, job.size()); break;
        case JobBytes::UpToTheUnplug:
            // The simulator pulls its cable once a read holding the byte it
            // was told has ended: a read it had already begun may carry more.
            EXPECT_GE(receipt.received, context.unplugAfter);
            EXPECT_LT(receipt.received, job.size());
            EXPECT_TRUE(onlyPollsAfter(sim->received(), job, receipt.received))
                << "after the start of the job the machine got only status and identification requests";
            break;
    }

    // The diagnostics log.
    const std::string log = logs.log();
    std::size_t at = 0;
    for (const std::string& text : row.logged) {
        const std::size_t found = log.find(withSize(text, job.size()), at);
        EXPECT_NE(found, std::string::npos) << "not logged (in this order): " << withSize(text, job.size()) << "\n"
                                            << log;
        if (found != std::string::npos) at = found + 1;
    }
    for (const std::string& text : row.once) EXPECT_EQ(count(log, text), 1u) << text << "\n" << log;
    for (const std::string& text : row.never) EXPECT_EQ(count(log, text), 0u) << text << "\n" << log;
    EXPECT_EQ(log.find("BZ1"), std::string::npos) << "the design itself is never logged";
    if (wchar_t samples[MAX_PATH]; GetEnvironmentVariableW(L"VANTREL_LOG_SAMPLES", samples, MAX_PATH) > 0) {
        const std::wstring name = std::wstring(samples) + L"\\" + std::wstring(row.id, row.id + std::strlen(row.id)) + L".log";
        std::ofstream out(name.c_str(), std::ios::binary);
        out << log;
    }

    std::string sees;
    for (const std::wstring& text : context.seen) sees += (sees.empty() ? "" : " -> ") + narrow(text);
    std::cout << "FAULT-ROW | " << row.fault << " | " << sees << " | "
              << (row.job == JobBytes::None ? std::string("no job") : std::to_string(receipt.received) + " of " +
                                                                          std::to_string(job.size()))
              << " | " << lost << " | " << receipt.duplicated << " |" << std::endl;
}

INSTANTIATE_TEST_SUITE_P(Faults, FaultTable, ::testing::ValuesIn(rows()),
                         [](const ::testing::TestParamInfo<Row>& info) {
                             std::string name = info.param.id;
                             for (char& c : name)
                                 if (c == '-') c = '_';
                             return name;
                         });

}  // namespace
}  // namespace vantrel::test
