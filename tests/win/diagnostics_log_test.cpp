// The diagnostics log's writer on a real file system: every event is either
// in the file, in order, or counted as dropped; the file and its one older
// copy stay within their limit; a folder that cannot be written costs the
// caller nothing; and the hooks write only while a run is logging.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <regex>
#include <string>
#include <vector>

#include "log/win32/diagnostics_log.h"
#include "log/win32/diagnostics_run.h"
#include "support/win_test_support.h"

namespace vantrel::test {
namespace {

// Read from the file's attributes: a handle open on the file would stand in
// the way of its rotation.
std::uint64_t fileSize(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return 0;
    return (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t begin = 0;
    for (std::size_t end; (end = text.find("\r\n", begin)) != std::string::npos; begin = end + 2)
        lines.push_back(text.substr(begin, end - begin));
    EXPECT_EQ(begin, text.size()) << "every line ends with CR LF";
    return lines;
}

const std::regex Stamped(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} (.*))");

// The texts of "event N" lines in order, and the sum of the dropped counts.
void readEvents(const std::vector<std::string>& lines, std::vector<int>& events, std::size_t& dropped) {
    const std::regex dropLine(R"((\d+) events? dropped: the log could not keep up)");
    for (const std::string& line : lines) {
        std::smatch stamped, match;
        ASSERT_TRUE(std::regex_match(line, stamped, Stamped)) << line;
        const std::string text = stamped[1];
        if (std::regex_match(text, match, dropLine))
            dropped += std::stoul(match[1]);
        else if (text.rfind("event ", 0) == 0)
            events.push_back(std::stoi(text.substr(6)));
    }
}

TEST(DiagnosticsLog, EventsArriveInOrderAndTheFilesStayWithinTheirLimit) {
    ScratchFolder folder;
    constexpr int Events = 600;
    constexpr std::uint64_t Limit = 8192;
    {
        win::DiagnosticsLog log(folder.path(), Limit, 64 * 1024);
        // In bursts, as a run logs: the file is rotated several times over.
        // Each burst waits until the writer has written some of it, so that
        // the file takes many batches; the queue holds all 600 events even
        // without the wait.
        for (int i = 0; i < Events; i += 10) {
            const std::uint64_t before = fileSize(folder.file(win::LogFileName));
            for (int event = i; event < i + 10; ++event)
                log.write("event " + std::to_string(event) + " of a run, padded to some length");
            waitFor([&] { return fileSize(folder.file(win::LogFileName)) != before; }, std::chrono::seconds(5));
        }
    }
    const std::string older = folder.read(win::OlderLogFileName), current = folder.read(win::LogFileName);
    EXPECT_GT(older.size(), Limit / 2) << "one older file is kept";
    EXPECT_LE(older.size(), Limit);
    EXPECT_LE(current.size(), Limit);
    std::vector<int> events;
    std::size_t dropped = 0;
    readEvents(linesOf(older), events, dropped);
    readEvents(linesOf(current), events, dropped);
    EXPECT_EQ(dropped, 0u) << "the queue holds them all";
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events.back(), Events - 1) << "the newest event is in the current file";
    for (std::size_t i = 1; i < events.size(); ++i) ASSERT_EQ(events[i], events[i - 1] + 1) << "no gap, no repeat";
}

TEST(DiagnosticsLog, AFullQueueDropsEventsButCountsEveryOne) {
    ScratchFolder folder;
    constexpr int Events = 2000;
    {
        // Room for a handful of events: the writer cannot keep up with a loop.
        win::DiagnosticsLog log(folder.path(), 1 << 20, 256);
        for (int i = 0; i < Events; ++i) log.write("event " + std::to_string(i));
    }
    std::vector<int> events;
    std::size_t dropped = 0;
    readEvents(linesOf(folder.read(win::LogFileName)), events, dropped);
    EXPECT_GT(dropped, 0u);
    EXPECT_EQ(events.size() + dropped, static_cast<std::size_t>(Events)) << "written or counted, never lost silently";
    for (std::size_t i = 1; i < events.size(); ++i) ASSERT_LT(events[i - 1], events[i]);
}

TEST(DiagnosticsLog, AFolderThatCannotBeWrittenCostsTheCallerNothing) {
    const std::wstring nowhere = L"Q:\\no such drive\\no such folder";
    {
        win::DiagnosticsLog log(nowhere);
        for (int i = 0; i < 100; ++i) log.write("event");
    }
    EXPECT_EQ(GetFileAttributesW((nowhere + L"\\vantrel.log").c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST(DiagnosticsLog, HooksWriteOnlyWhileARunIsLogging) {
    ScratchFolder folder;
    win::logMessageShown(L"before the run");
    {
        win::DiagnosticsRun run(runBeginsText(L"Vantrel", "3.0.0", 64, "Tue Dec  8 07:34:04 2026"), folder.path());
        win::logMessageShown(L"You are not connected to your Silhouette!");
        win::logDiscoveryPass({});
        win::logDiscoveryPass({});  // the same outcome again: not repeated
        win::logDisconnected(false, "never connected: not logged");
    }
    win::logMessageShown(L"after the run");
    std::vector<std::string> texts;
    for (const std::string& line : linesOf(folder.read(win::LogFileName))) {
        std::smatch stamped;
        ASSERT_TRUE(std::regex_match(line, stamped, Stamped)) << line;
        texts.push_back(stamped[1]);
    }
    ASSERT_EQ(texts.size(), 4u);
    EXPECT_EQ(texts[0].rfind("plug-in run begins: Vantrel ", 0), 0u) << texts[0];
    EXPECT_EQ(texts[1], "message shown: \"You are not connected to your Silhouette!\"");
    EXPECT_EQ(texts[2], "discovery: no USB device interfaces, no cutter");
    EXPECT_EQ(texts[3], "plug-in run ends");
}

}  // namespace
}  // namespace vantrel::test
