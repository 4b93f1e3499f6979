// The diagnostics log's text and bounds: time stamps, escaping of what devices
// and users supply, the discovery record and when it is repeated, job lines
// that never carry the design, the bounded queue and the rotation decision.
#include <gtest/gtest.h>

#include "log/log_events.h"
#include "log/log_format.h"
#include "log/log_queue.h"

namespace vantrel {
namespace {

TEST(LogFormat, EveryLineGetsTheTimeStampAndCrLf) {
    const LogTime time{2024, 5, 1, 9, 3, 7, 25};
    EXPECT_EQ(timestampedLines(time, "connected"), "2024-05-01 09:03:07.025 connected\r\n");
    EXPECT_EQ(timestampedLines(time, "discovery: 1\n  one\n"),
              "2024-05-01 09:03:07.025 discovery: 1\r\n2024-05-01 09:03:07.025   one\r\n");
    EXPECT_EQ(timestampedLines(time, ""), "2024-05-01 09:03:07.025 \r\n");
    // A broken clock never widens the stamp.
    EXPECT_EQ(timestampedLines({12345, -1, 99, 24, 60, 60, 1000}, "x"), "9999-00-99 24:60:60.999 x\r\n");
}

TEST(LogFormat, DeviceAndUserTextCannotBreakALine) {
    EXPECT_EQ(printable(std::string_view("MFG:A;\x03\r\n\t\x7F\xFF", 12)), "MFG:A;\\x03\\r\\n\\t\\x7F\\xFF");
    EXPECT_EQ(printable(std::string_view("nul\0x", 5)), "nul\\x00x");
    EXPECT_EQ(printable(u"USB\\VID_0B4D&PID_1121\\5&2B\u00E9\u2122\x01"), "USB\\VID_0B4D&PID_1121\\5&2B\\u00E9\\u2122\\x01");
    EXPECT_EQ(printable(L"Unable\n\nWould"), "Unable\\n\\nWould");
    EXPECT_EQ(systemErrorText(5), "error 5 (ERROR_ACCESS_DENIED)");
    EXPECT_EQ(systemErrorText(1167), "error 1167 (ERROR_DEVICE_NOT_CONNECTED)");
    EXPECT_EQ(systemErrorText(4242), "error 4242");
    EXPECT_EQ(systemErrorText(0), "no error code");
    EXPECT_EQ(secondsText(2345), "2.345 s");
    EXPECT_EQ(secondsText(7), "0.007 s");
}

DiscoveryPass mixedPass() {
    return {
        {L"USB\\VID_046D&PID_C52B\\5&2A", InterfaceVerdict::OtherVendor, 0, ""},
        {L"USB\\VID_0B4D&PID_1121\\7&1", InterfaceVerdict::NoIdentification, 5, ""},
        {L"USB\\VID_0B4D&PID_1121\\7&2", InterfaceVerdict::NotACutter, 0, "MANUFACTURER:Acme;MODEL:Printer;"},
        {L"USB\\VID_0B4D&PID_1121\\7&3", InterfaceVerdict::Cutter, 0, "MANUFACTURER:Silhouette;MODEL:CAMEO;"},
        {L"USB\\VID_0B4D&PID_1121\\7&4", InterfaceVerdict::NotExamined, 0, ""},
    };
}

TEST(LogEvents, ADiscoveryPassNamesEveryInterfaceAndItsVerdict) {
    EXPECT_EQ(discoveryText({}), "discovery: no USB device interfaces, no cutter");
    EXPECT_EQ(discoveryText(mixedPass()),
              "discovery: 5 USB device interfaces, cutter found\n"
              "  USB\\VID_046D&PID_C52B\\5&2A: other vendor\n"
              "  USB\\VID_0B4D&PID_1121\\7&1: vendor 0B4D, no identification (error 5 (ERROR_ACCESS_DENIED))\n"
              "  USB\\VID_0B4D&PID_1121\\7&2: vendor 0B4D, id \"MANUFACTURER:Acme;MODEL:Printer;\", not a cutter\n"
              "  USB\\VID_0B4D&PID_1121\\7&3: vendor 0B4D, id \"MANUFACTURER:Silhouette;MODEL:CAMEO;\", cutter\n"
              "  USB\\VID_0B4D&PID_1121\\7&4: vendor 0B4D, not examined (a cutter came first)");
}

TEST(LogEvents, APassIsLoggedOnlyWhenItsOutcomeChangesOrTheLinkDid) {
    DiscoveryChanges changes;
    const DiscoveryPass nothing;
    DiscoveryPass refused = {{L"USB\\VID_0B4D&PID_1121\\7&1", InterfaceVerdict::NoIdentification, 5, ""}};
    EXPECT_EQ(changes.textIfChanged(nothing), "discovery: no USB device interfaces, no cutter");
    EXPECT_EQ(changes.textIfChanged(nothing), "") << "a second a pass: the same outcome";
    EXPECT_NE(changes.textIfChanged(refused), "");
    refused[0].error = 32;
    EXPECT_NE(changes.textIfChanged(refused), "") << "another error is another outcome";
    EXPECT_EQ(changes.textIfChanged(refused), "");
    changes.linkChanged();
    EXPECT_NE(changes.textIfChanged(refused), "") << "after a link change the next pass is logged";
}

TEST(LogEvents, JobLinesCarryTheSettingsAndSizeButNeverTheDesign) {
    CutJob job;
    job.path.points = {{87.654f, 7.891f}, {2.5f, 3.25f}};
    job.path.types = {0, 1};
    job.force = 12;
    job.speed = 4;
    job.passCount = 2;
    job.bladeOffset = true;
    job.carrierMat = false;
    job.trackEnhancing = true;
    job.model = CutterModelCameo;
    const std::string start = jobStartText(job, 1234, 508.0f, 502.763f, 12.0f);
    EXPECT_EQ(start,
              "job start: WYSIWYG, 1234 bytes; force 12, speed 4, passes 2, blade offset on, carrier mat off, "
              "track enhancing on; model 2 (CAMEO); 508 x 502.763 steps per inch; media width 12 in");
    job.printAndCut = true;
    job.markOriginX = 0.5f;
    job.markOriginY = 0.96850395f;
    job.markExtentX = 2540;
    job.markExtentY = 1556;
    const std::string marks = jobStartText(job, 99, 508.0f, 508.0f, 12.0f);
    EXPECT_EQ(marks.rfind("job start: Print and Cut, 99 bytes;", 0), 0u) << marks;
    EXPECT_NE(marks.find("; marks from 0.5, 0.96850395 in, extents 2540 x 1556 steps"), std::string::npos) << marks;
    for (const std::string& text : {start, marks}) {
        for (const char* coordinate : {"87.65", "7.891", "3.25"}) EXPECT_EQ(text.find(coordinate), std::string::npos) << text;
    }
    EXPECT_EQ(jobEndText(JobEnd::Sent, 1234, 2345), "job end: sent, 1234 of 1234 bytes written in 2.345 s");
    EXPECT_EQ(jobEndText(JobEnd::LinkLost, 1234, 800),
              "job end: link lost after 0.800 s, the write of 1234 bytes did not complete");
    EXPECT_EQ(jobEndText(JobEnd::Refused, 0, 0), "job end: refused, nothing sent");
    EXPECT_EQ(identifiedText(" CAMEO V1.10\x03", CutterModelCameo), "identified: \" CAMEO V1.10\\x03\", model 2 (CAMEO)");
    EXPECT_EQ(markSearchAnswerText("E1234", std::nullopt), "mark search answer: \"E1234\": no number, not found");
    EXPECT_EQ(markSearchAnswerText("  0,0", 0L), "mark search answer: \"  0,0\": 0, found");
    EXPECT_EQ(channelLostText(true, 109), "disconnected: the incoming channel failed: error 109 (ERROR_BROKEN_PIPE)");
    EXPECT_EQ(messageShownText(L"Unable to find registration marks.\n\nWould you like to continue to cut?"),
              "message shown: \"Unable to find registration marks.\\n\\nWould you like to continue to cut?\"");
}

TEST(LogQueue, HoldsAtMostItsCapacityAndCountsWhatItDrops) {
    LogQueue queue(16);
    EXPECT_TRUE(queue.push("0123456789"));
    EXPECT_FALSE(queue.push("0123456789")) << "whole texts only";
    EXPECT_TRUE(queue.push("abcdef"));
    EXPECT_FALSE(queue.push("x"));
    std::string batch = "stale";
    EXPECT_EQ(queue.take(batch), 2u);
    EXPECT_EQ(batch, "0123456789abcdef");
    EXPECT_TRUE(queue.empty());
    // A take empties it to its full capacity again, and counts afresh.
    EXPECT_FALSE(queue.push(std::string(17, 'z')));
    EXPECT_TRUE(queue.push(std::string(16, 'z')));
    std::string next;
    EXPECT_EQ(queue.take(next), 1u);
    EXPECT_EQ(next, std::string(16, 'z'));
}

TEST(LogQueue, TheFileIsMovedAsideBeforeItWouldPassItsLimit) {
    EXPECT_FALSE(mustRotate(0, 5000, 1000)) << "an empty file takes any batch";
    EXPECT_FALSE(mustRotate(600, 400, 1000));
    EXPECT_TRUE(mustRotate(600, 401, 1000));
    EXPECT_TRUE(mustRotate(1500, 1, 1000));
    EXPECT_FALSE(mustRotate(1500, 0, 1000));
    EXPECT_TRUE(mustRotate(UINT64_MAX, UINT64_MAX, LogFileLimit)) << "no wrap-around";
    EXPECT_FALSE(mustRotate(LogFileLimit - 100, 100, LogFileLimit));
    // A batch larger than the whole file keeps its newest whole lines.
    EXPECT_EQ(newestLinesWithin("one\r\ntwo\r\n", 10), "one\r\ntwo\r\n");
    EXPECT_EQ(newestLinesWithin("one\r\ntwo\r\n", 9), "two\r\n");
    EXPECT_EQ(newestLinesWithin("one\r\ntwo\r\n", 5), "two\r\n");
    EXPECT_EQ(newestLinesWithin("one\r\ntwo\r\n", 4), "");
}

}  // namespace
}  // namespace vantrel
