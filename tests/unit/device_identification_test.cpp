#include <gtest/gtest.h>

#include <climits>

#include "device/cutter_id.h"
#include "device/identification.h"
#include "device/machine_replies.h"

namespace vantrel {
namespace {

TEST(CutterDiscovery, OnlyAManufacturerFieldNamingAMakerInFullIsACutter) {
    struct Case {
        const char* id;
        bool cutter;
    } cases[] = {
        {"MANUFACTURER:Silhouette;MODEL:SD;", true},
        {"manufacturer:   GRAPHTEC;CMD:GL;", true},
        {"CLASS:PRINTER;;;Manufacturer:\t graphtec", true},
        {"MFG:Graphtec;MDL:CC330L;", false},
        {"MANUFACTURER:Graphtec Corp;", false},
        {"MANUFACTURER Graphtec;", false},
        {"MANUFACTURER:;MANUFACTURER:silhouette", true},
        {"manufacturerX:graphtec", true},  // only the first twelve characters are the key
        {"MANUFACTURE:graphtec", false},
        {"MANUFACTURER:Brother;MODEL:Graphtec", false},
        {"", false},
        {";;;", false},
    };
    for (const auto& c : cases) EXPECT_EQ(namesCutterMaker(c.id), c.cutter) << c.id;
}

TEST(CutterDiscovery, VendorIdTestIsExactAndCaseSensitive) {
    EXPECT_TRUE(hasCutterVendorId(L"USB\\VID_0B4D&PID_1121\\5&2B4E"));
    EXPECT_TRUE(hasCutterVendorId(L"USB\\VID_0B4D&PID_FFFF\\SIMULATED"));
    EXPECT_FALSE(hasCutterVendorId(L"USB\\VID_0b4d&PID_1121\\5"));
    EXPECT_FALSE(hasCutterVendorId(L"USB\\VID_04B8&PID_0B4D\\1"));
    EXPECT_FALSE(hasCutterVendorId(L""));
}

TEST(CutterDiscovery, DeviceIdTextStopsAtTerminatorReturnedLengthOrBuffer) {
    std::string buffer(DeviceIdBufferSize + 8, 'x');
    buffer.replace(0, 6, std::string("MFG:A\0", 6));
    EXPECT_EQ(deviceIdText(buffer.data(), 100), "MFG:A");
    EXPECT_EQ(deviceIdText(buffer.data(), 3), "MFG");
    std::string full(DeviceIdBufferSize + 8, 'y');
    EXPECT_EQ(deviceIdText(full.data(), full.size()).size(), DeviceIdBufferSize);
    EXPECT_EQ(deviceIdText(full.data(), 0), "");
}

TEST(CutterDiscovery, DeviceIdTextSkipsATwoByteLengthInFront) {
    using namespace std::string_literals;
    const std::string id = "MANUFACTURER:Silhouette;MODEL:SD;";
    const std::string shortPrefixed = "\x00"s + static_cast<char>(id.size() + 2) + id;
    EXPECT_EQ(deviceIdText(shortPrefixed.data(), shortPrefixed.size()), id);
    EXPECT_TRUE(namesCutterMaker(deviceIdText(shortPrefixed.data(), shortPrefixed.size())));
    // An id of 256 bytes or more has a high length byte of 1; one that fills
    // the buffer is cut at its end, as an unprefixed one is.
    std::string longId = "MANUFACTURER:Graphtec;" + std::string(400, 'x');
    std::string longPrefixed = "\x01"s + static_cast<char>((longId.size() + 2) & 0xFF) + longId + '\0';
    EXPECT_EQ(deviceIdText(longPrefixed.data(), longPrefixed.size()), longId);
    std::string fullPrefixed = "\x02\x00"s + std::string(DeviceIdBufferSize, 'y');
    EXPECT_EQ(deviceIdText(fullPrefixed.data(), fullPrefixed.size()), std::string(DeviceIdBufferSize - 2, 'y'));
    // Without a prefix nothing is skipped; a prefix alone is an empty text.
    EXPECT_EQ(deviceIdText(id.data(), id.size()), id);
    EXPECT_EQ(deviceIdText("\x00\x02", 2), "");
    EXPECT_EQ(deviceIdText("\x00", 1), "");
}

TEST(CutterDiscovery, OnlyAPipePathNamesTheSimulator) {
    EXPECT_TRUE(isPipePath(L"\\\\.\\pipe\\vantrel-sim"));
    EXPECT_TRUE(isPipePath(L"\\\\.\\PIPE\\x"));
    for (const wchar_t* other : {L"", L"1", L"vantrel-sim", L"C:\\temp\\sim", L"\\\\.\\pipe\\", L"\\\\?\\pipe\\sim",
                                 L"\\\\.\\pipes\\sim", L" \\\\.\\pipe\\sim", L"\\\\server\\pipe\\sim"})
        EXPECT_FALSE(isPipePath(other)) << other;
}

TEST(CutterDiscovery, ChannelPathsEndInDotAndTwoDigits) {
    EXPECT_EQ(channelPath(L"\\\\.\\pipe\\sim", OutgoingChannel), L"\\\\.\\pipe\\sim\\.00");
    EXPECT_EQ(channelPath(L"\\\\?\\usb#vid_0b4d", IncomingChannel), L"\\\\?\\usb#vid_0b4d\\.01");
}

TEST(CutterIdentification, ModelComesFromTheLeadingWord) {
    struct Case {
        const char* id;
        CutterModel model;
    } cases[] = {
        {"CAMEO 2.30", CutterModelCameo}, {"cameo", CutterModelCameo},   {"Portrait 1.00", CutterModelPortrait},
        {"PORTRAIT", CutterModelPortrait}, {"PORTRAI", CutterModelSilhouette}, {"CC330L-20", CutterModelSilhouette},
        {"XYZ", CutterModelSilhouette},         {"CAME", CutterModelSilhouette},    {"SILHOUETTE SD", CutterModelSilhouette},
    };
    for (const auto& c : cases) EXPECT_EQ(modelFromIdentification(c.id), c.model) << c.id;
}

TEST(CutterIdentification, ReplyIsTrimmedAtBothEnds) {
    EXPECT_EQ(trimReply("  CAMEO V1.10 \r\n"), "CAMEO V1.10");
    EXPECT_EQ(trimReply("\t \n"), "");
    EXPECT_EQ(trimReply("SD"), "SD");
}

TEST(CutterIdentification, MatFollowsTheDesignAndTheModel) {
    struct Case {
        CutterModel model;
        float rightEdge;
        MatSize mat;
    } cases[] = {
        {CutterModelSilhouette, 10.0f, {11.0f, 8.5f, false}},  {CutterModelSilhouette, 11.0f, {11.0f, 8.5f, false}},
        {CutterModelSilhouette, 11.5f, {12.0f, 8.5f, false}},  {CutterModelSilhouette, 12.0f, {12.0f, 8.5f, false}},
        {CutterModelSilhouette, 13.0f, {13.25f, 8.5f, true}},  {CutterModelCameo, 10.0f, {12.0f, 12.0f, false}},
        {CutterModelCameo, 13.0f, {13.25f, 12.0f, true}}, {CutterModelPortrait, 11.5f, {12.0f, 8.5f, false}},
    };
    for (const auto& c : cases) EXPECT_EQ(matSizeFor(c.model, c.rightEdge), c.mat) << c.model << " " << c.rightEdge;
}

TEST(DeviceStatus, StatusLinesAndReplies) {
    EXPECT_EQ(connectingStatus(), (StatusLine{L"Connecting...", 0xFFC0C000}));
    EXPECT_EQ(notConnectedStatus(), (StatusLine{L"Not Connected", 0xFFFF0000}));
    EXPECT_EQ(connectedStatus("CAMEO V1.10"), (StatusLine{L"Connected [CAMEO V1.10]", 0xFF000000}));
    EXPECT_EQ(connectedStatus("\xE9").text, L"Connected [\u00E9]");
    // The monitor and the test cut read exactly one character; calibration
    // only the first, so a longer reply is busy to it when it starts with "1".
    EXPECT_TRUE(isBusyReply("1"));
    for (const char* idle : {"0", "2", " ", "11", ""}) EXPECT_FALSE(isBusyReply(idle)) << idle;
    for (const char* idle : {"0", "2", " "}) EXPECT_TRUE(isIdleReply(idle)) << idle;
    for (const char* other : {"1", "11", "", "00"}) EXPECT_FALSE(isIdleReply(other)) << other;
    for (const char* busy : {"1", "11", "1x"}) EXPECT_TRUE(beginsBusy(busy)) << busy;
    for (const char* finished : {"", "0", "01", " 1"}) EXPECT_FALSE(beginsBusy(finished)) << finished;
}

TEST(DeviceStatus, MarkSearchCodeIsTheLeadingInteger) {
    struct Case {
        const char* reply;
        std::optional<long> code;
    } cases[] = {{"    0,    0", 0},         {"  1,2,3", 1}, {"-3 ab", -3}, {"+7", 7}, {"none", std::nullopt},
                 {"", std::nullopt},        {"   ", std::nullopt}, {"99999999999999999999999", LONG_MAX}};
    for (const auto& c : cases) EXPECT_EQ(markSearchCode(c.reply), c.code) << c.reply;
}

}  // namespace
}  // namespace vantrel
