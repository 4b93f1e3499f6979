// The reader and writer threads and the send queue against pipe ends the test
// holds itself: what arrives in which messages, how a lost or closed channel
// ends a transfer, and how a quit ends a thread in the middle of one.
#include <gtest/gtest.h>

#include <atomic>

#include "cutdata/commands.h"
#include "device/win32/port_reader.h"
#include "device/win32/port_writer.h"
#include "device_pipe_end.h"
#include "device_test_window.h"

namespace vantrel::test {
namespace {

using namespace std::chrono_literals;
using win::PORT_LOST;
using win::THREAD_STARTED;
using win::WM_READER_EVENT;
using win::WM_WRITER_EVENT;
using win::WRITE_BEGIN;
using win::WRITE_DONE;

class PortThreads : public ::testing::Test {
protected:
    void startReader() {
        ASSERT_TRUE(reader_.Start(window_.hwnd(), WM_READER_EVENT, THREAD_PRIORITY_NORMAL, true));
        ASSERT_TRUE(reader_.openChannel(pipe_.name()));
    }
    void startWriter() {
        ASSERT_TRUE(writer_.Start(window_.hwnd(), WM_WRITER_EVENT, THREAD_PRIORITY_NORMAL, true));
        ASSERT_TRUE(writer_.openChannel(pipe_.name()));
    }
    bool waitForEvents(UINT message, WPARAM code, int count, std::chrono::milliseconds timeout = 5s) {
        return EventWindow::pumpUntil([&] { return window_.count(message, code) >= count; }, timeout);
    }

    EventWindow window_;
    PipeEnd pipe_;
    win::PortReader reader_;
    win::PortWriter writer_;
};

TEST_F(PortThreads, RepliesArriveWholeAcrossReadsAndEmptyRepliesCount) {
    startReader();
    pipe_.write("0");
    EventWindow::pumpFor(60ms);
    pipe_.write("\x03" "1\x03" "2");
    ASSERT_TRUE(EventWindow::pumpUntil([&] { return window_.replies().size() >= 2; }, 5s));
    EventWindow::pumpFor(60ms);
    EXPECT_EQ(window_.replies(), (std::vector<std::string>{"0", "1"}));  // "2" waits for its ETX
    pipe_.write("\x03\x03");
    ASSERT_TRUE(EventWindow::pumpUntil([&] { return window_.replies().size() >= 4; }, 5s));
    EXPECT_EQ(window_.replies(), (std::vector<std::string>{"0", "1", "2", ""}));
    EXPECT_EQ(window_.count(WM_READER_EVENT, THREAD_STARTED), 1);
    EXPECT_EQ(window_.count(WM_READER_EVENT, PORT_LOST), 0);
}

TEST_F(PortThreads, ALostChannelIsClosedAndReportedOnceAndTheReaderIdles) {
    startReader();
    EventWindow::pumpFor(60ms);
    pipe_.close();
    ASSERT_TRUE(waitForEvents(WM_READER_EVENT, PORT_LOST, 1));
    EXPECT_FALSE(reader_.isChannelOpen());
    EventWindow::pumpFor(200ms);
    EXPECT_EQ(window_.count(WM_READER_EVENT, PORT_LOST), 1);
    EXPECT_TRUE(reader_.isRunning());
}

TEST_F(PortThreads, AChannelClosedByTheMonitorEndsThePendingReadSilently) {
    startReader();
    EventWindow::pumpFor(60ms);  // the read is pending: the pipe holds nothing
    reader_.closeChannel();
    EventWindow::pumpFor(200ms);
    EXPECT_EQ(window_.count(WM_READER_EVENT, PORT_LOST), 0);
    // The same thread serves the next connection.
    PipeEnd next;
    ASSERT_TRUE(reader_.openChannel(next.name()));
    next.write("0\x03");
    ASSERT_TRUE(EventWindow::pumpUntil([&] { return window_.replies().size() == 1; }, 5s));
    EXPECT_EQ(window_.replies().front(), "0");
}

TEST_F(PortThreads, ADestroyedNotifyWindowGetsNothingAndLaterRepliesGoToTheNewOne) {
    startReader();
    window_.destroy();
    pipe_.write("lost\x03");
    EventWindow::pumpFor(150ms);
    EventWindow next;
    reader_.setNotifyWindow(next.hwnd());
    pipe_.write("kept\x03");
    ASSERT_TRUE(EventWindow::pumpUntil([&] { return !next.replies().empty(); }, 5s));
    EventWindow::pumpFor(60ms);
    EXPECT_EQ(next.replies(), std::vector<std::string>{"kept"});
}

TEST_F(PortThreads, QueuedTextGoesOnTheWireWithEtxInOneWrite) {
    startWriter();
    struct Case {
        std::string_view text;
        std::string_view wire;
    } cases[] = {{"H|", "H\x03"}, {StatusRequest, "\x1B\x05"}, {"FG|", "FG\x03"}, {"M1,2|D3,4|", "M1,2\x03" "D3,4\x03"}};
    std::string expected;
    int writes = 0;
    for (const auto& c : cases) {
        writer_.Enqueue(c.text);
        expected += c.wire;
        ++writes;
        ASSERT_TRUE(waitForEvents(WM_WRITER_EVENT, WRITE_DONE, writes));
    }
    EXPECT_EQ(pipe_.readFor(200ms), expected);
    std::vector<LPARAM> begun, done;
    for (const auto& e : window_.events()) {
        if (e.code == WRITE_BEGIN) begun.push_back(e.value);
        if (e.code == WRITE_DONE) done.push_back(e.value);
    }
    EXPECT_EQ(begun, (std::vector<LPARAM>{2, 2, 3, 10}));
    EXPECT_EQ(done, begun);
    EXPECT_EQ(writer_.slotLength(), 0u);
}

TEST_F(PortThreads, QueueingWhileTheChannelIsClosedDropsTheText) {
    ASSERT_TRUE(writer_.Start(window_.hwnd(), WM_WRITER_EVENT, THREAD_PRIORITY_NORMAL, true));
    writer_.Enqueue("H|");
    EXPECT_EQ(writer_.slotLength(), 0u);
    ASSERT_TRUE(writer_.openChannel(pipe_.name()));
    EXPECT_EQ(pipe_.readFor(200ms), "");
    EXPECT_EQ(window_.count(WM_WRITER_EVENT, WRITE_BEGIN), 0);
}

std::string largeJob(std::size_t bytes) {
    std::string job;
    for (long long i = 0; job.size() < bytes; ++i) job += "D" + std::to_string(i % 9973) + "," + std::to_string(i) + "|";
    return job;
}

// The cable goes just as the generator queues its job: the job is in the
// slot, its connection is gone, and the machine comes back a moment later.
TEST_F(PortThreads, TextQueuedForAConnectionThatEndedNeverReachesTheNextOne) {
    ASSERT_TRUE(writer_.openChannel(pipe_.name()));
    writer_.Enqueue("FN0|TB50,1|D100,100|");  // the writer is not running yet: it stays in the slot
    writer_.closeChannel();
    PipeEnd next;
    ASSERT_TRUE(writer_.openChannel(next.name()));
    ASSERT_TRUE(writer_.Start(window_.hwnd(), WM_WRITER_EVENT, THREAD_PRIORITY_NORMAL, true));
    EXPECT_EQ(next.readFor(200ms), "");
    writer_.Enqueue("H|");
    EXPECT_EQ(next.readFor(200ms), "H\x03");
    ASSERT_TRUE(waitForEvents(WM_WRITER_EVENT, WRITE_DONE, 1));
    EventWindow::pumpFor(100ms);
    EXPECT_EQ(window_.count(WM_WRITER_EVENT, WRITE_BEGIN), 1) << "the stale job was never begun";
}

TEST_F(PortThreads, AQuitEndsTheWriterInTheMiddleOfALargeWrite) {
    startWriter();
    // Nobody reads the pipe: the write stays pending once its 64 KiB are full.
    writer_.Enqueue(largeJob(4 << 20));
    ASSERT_TRUE(waitForEvents(WM_WRITER_EVENT, WRITE_BEGIN, 1));
    auto before = std::chrono::steady_clock::now();
    writer_.Stop();
    auto took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - before);
    std::printf("writer quit %lld ms after the request\n", static_cast<long long>(took.count()));
    EXPECT_FALSE(writer_.isRunning());
    EventWindow::pumpFor(50ms);
    EXPECT_EQ(window_.count(WM_WRITER_EVENT, WRITE_DONE), 0);
    EXPECT_EQ(window_.count(WM_WRITER_EVENT, PORT_LOST), 0);
}

TEST_F(PortThreads, AWriteThatFailsIsLostKeepsItsBufferAndIsNotSentAgain) {
    startWriter();
    const std::string job = largeJob(1 << 20);
    writer_.Enqueue(job);
    ASSERT_TRUE(waitForEvents(WM_WRITER_EVENT, WRITE_BEGIN, 1));
    pipe_.close();  // unplugged under the pending write
    ASSERT_TRUE(waitForEvents(WM_WRITER_EVENT, PORT_LOST, 1));
    EXPECT_FALSE(writer_.isChannelOpen());
    EXPECT_EQ(window_.count(WM_WRITER_EVENT, WRITE_DONE), 0);
    EXPECT_EQ(writer_.slotLength(), job.size());
    // A new connection gets only what is queued after it.
    PipeEnd next;
    ASSERT_TRUE(writer_.openChannel(next.name()));
    EXPECT_EQ(next.readFor(150ms), "");
    writer_.Enqueue("H|");
    EXPECT_EQ(next.readFor(200ms), "H\x03");
    EXPECT_EQ(writer_.slotLength(), 0u);
}

TEST_F(PortThreads, AChannelClosedByTheMonitorEndsAPendingWriteSilently) {
    startWriter();
    writer_.Enqueue(largeJob(1 << 20));
    ASSERT_TRUE(waitForEvents(WM_WRITER_EVENT, WRITE_BEGIN, 1));
    writer_.closeChannel();
    EventWindow::pumpFor(200ms);
    EXPECT_EQ(window_.count(WM_WRITER_EVENT, PORT_LOST), 0);
    EXPECT_EQ(window_.count(WM_WRITER_EVENT, WRITE_DONE), 0);
    EXPECT_TRUE(writer_.isRunning());
}

class CountingThread : public win::WorkerThread {
public:
    ~CountingThread() override { Stop(); }
    std::atomic<int> runs{0};
    std::atomic<bool> endByItself{false};

protected:
    DWORD Run() override {
        ++runs;
        for (;;) {
            if (endByItself) return 7;
            if (quitRequested()) return 3;
            Sleep(win::WorkerStepMs);
        }
    }
};

TEST(WorkerThread, StartsOnceStopsAtOnceAndStartsAgainAfterItsEnd) {
    CountingThread thread;
    ASSERT_TRUE(thread.Start(nullptr, 0, THREAD_PRIORITY_NORMAL, false));
    EXPECT_FALSE(thread.Start(nullptr, 0, THREAD_PRIORITY_NORMAL, false));
    // Stopped before it has had a chance to make its message queue.
    thread.Stop();
    EXPECT_FALSE(thread.isRunning());
    EXPECT_EQ(thread.runs.load(), 1);
    EXPECT_EQ(thread.result(), 3u);

    thread.endByItself = true;
    ASSERT_TRUE(thread.Start(nullptr, 0, THREAD_PRIORITY_NORMAL, true));
    ASSERT_TRUE(thread.waitForEnd(5000));
    EXPECT_TRUE(EventWindow::pumpUntil([&] { return !thread.isRunning(); }, 2s));
    EXPECT_EQ(thread.result(), 7u);
    thread.Stop();  // after its own end: nothing to wait for
    thread.endByItself = false;
    ASSERT_TRUE(thread.Start(nullptr, 0, THREAD_PRIORITY_NORMAL, false));
    EXPECT_TRUE(EventWindow::pumpUntil([&] { return thread.runs.load() == 3; }, 2s));
}

}  // namespace
}  // namespace vantrel::test
