// The reader and writer threads and the send queue against pipe ends the test
// holds itself: what arrives in which messages, how a lost or closed channel
// ends a transfer, and how a quit ends a thread in the middle of one.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <thread>
#include <vector>

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

// A machine that streams replies while the dialog is busy must not fill the
// thread's message queue, where a writer's or a timer's message would be lost.
TEST_F(PortThreads, RepliesWaitingForTheWindowAreBounded) {
    startReader();
    std::string flood;
    for (int i = 0; i < 3000; ++i) flood += "0\x03";
    pipe_.write(flood);
    // Not pumping: the replies pile up in the queue until the reader has
    // read the whole flood, keeping only as many as the bound allows.
    const unsigned long beyond = 3000 - win::PortReader::MaxRepliesInFlight;
    for (int i = 0; i < 400 && reader_.droppedReplies() < beyond; ++i) Sleep(25);
    ASSERT_EQ(reader_.droppedReplies(), beyond);
    EventWindow::pumpFor(200ms);
    EXPECT_EQ(window_.replies().size(), static_cast<std::size_t>(win::PortReader::MaxRepliesInFlight));
    // Once read, replies are delivered again.
    pipe_.write("1\x03");
    ASSERT_TRUE(EventWindow::pumpUntil([&] { return window_.replies().back() == "1"; }, 5s));
}

TEST_F(PortThreads, ALostChannelIsClosedAndReportedOnceAndTheReaderIdles) {
    startReader();
    // A reply cut off by the unplug: its "1" must not begin the next connection's reply.
    pipe_.write("1");
    EventWindow::pumpFor(60ms);
    pipe_.close();
    ASSERT_TRUE(waitForEvents(WM_READER_EVENT, PORT_LOST, 1));
    EXPECT_FALSE(reader_.isChannelOpen());
    EventWindow::pumpFor(200ms);
    EXPECT_EQ(window_.count(WM_READER_EVENT, PORT_LOST), 1);
    EXPECT_TRUE(reader_.isRunning());
    PipeEnd next;
    ASSERT_TRUE(reader_.openChannel(next.name()));
    next.write("0\x03");
    ASSERT_TRUE(EventWindow::pumpUntil([&] { return !window_.replies().empty(); }, 5s));
    EXPECT_EQ(window_.replies(), std::vector<std::string>{"0"});
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

// Callers on several threads queue at once while the machine drains the
// pipe slowly, so the writer is often busy: no caller may replace a buffer the
// writer has not taken, whatever order the threads get the locks in.
TEST_F(PortThreads, BuffersQueuedFromManyThreadsAreEachWrittenOnceWholeAndInOrder) {
    startWriter();
    constexpr int Callers = 6;
    constexpr int PerCaller = 8;
    auto record = [](int caller, int index) {
        std::string text = "C" + std::to_string(caller) + "N" + std::to_string(index) + ":";
        text.append(4000, static_cast<char>('a' + (caller * PerCaller + index) % 26));
        return text + "|";
    };
    std::atomic<bool> stopReading{false};
    std::string received;
    std::thread machine([&] { received = pipe_.readSlowly(512, 5ms, stopReading); });
    std::atomic<long long> shortestMs{1000000};
    std::vector<std::thread> callers;
    auto started = std::chrono::steady_clock::now();
    for (int c = 0; c < Callers; ++c)
        callers.emplace_back([&, c] {
            for (int i = 0; i < PerCaller; ++i) {
                auto before = std::chrono::steady_clock::now();
                writer_.Enqueue(record(c, i));
                long long took = std::chrono::duration_cast<std::chrono::milliseconds>(
                                     std::chrono::steady_clock::now() - before).count();
                for (long long s = shortestMs.load(); took < s && !shortestMs.compare_exchange_weak(s, took);) {}
            }
        });
    for (auto& caller : callers) caller.join();
    // Every buffer queued has been taken; wait until the last write has ended.
    int lastDone = -1;
    while (window_.count(WM_WRITER_EVENT, WRITE_DONE) != lastDone) {
        lastDone = window_.count(WM_WRITER_EVENT, WRITE_DONE);
        EventWindow::pumpUntil([&] { return window_.count(WM_WRITER_EVENT, WRITE_DONE) == Callers * PerCaller; }, 1s);
    }
    stopReading = true;
    machine.join();
    std::printf("%d buffers from %d threads in %lld ms\n", Callers * PerCaller, Callers,
                static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                           std::chrono::steady_clock::now() - started).count()));

    std::vector<int> next(Callers, 0);
    int records = 0;
    std::size_t start = 0;
    for (std::size_t end; (end = received.find('\x03', start)) != std::string::npos; start = end + 1, ++records) {
        std::string got = received.substr(start, end - start + 1);
        int caller = -1, index = -1;
        ASSERT_EQ(std::sscanf(got.c_str(), "C%dN%d:", &caller, &index), 2) << "record " << records;
        ASSERT_TRUE(caller >= 0 && caller < Callers) << got.substr(0, 12);
        EXPECT_EQ(index, next[caller]) << "caller " << caller << ": lost, repeated or out of order";
        next[caller] = index + 1;
        EXPECT_TRUE(got == toWire(record(caller, index))) << "record C" << caller << "N" << index << " not whole";
    }
    EXPECT_EQ(start, received.size()) << "bytes after the last record";
    EXPECT_EQ(records, Callers * PerCaller);
    EXPECT_EQ(window_.count(WM_WRITER_EVENT, WRITE_BEGIN), Callers * PerCaller);
    EXPECT_EQ(window_.count(WM_WRITER_EVENT, WRITE_DONE), Callers * PerCaller);
    // Sleep may end a fraction of a millisecond before the clock shows 25 ms.
    EXPECT_GE(shortestMs.load(), 24) << "an Enqueue on an open channel returned early";
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

// A machine that takes nothing holds a write pending for as long as it
// likes: the user-interface thread's hand-over never waits for it. One text
// waits behind the write; more are refused, and polls are skipped; once the
// machine reads again everything queued arrives once, in order.
TEST_F(PortThreads, BehindAWriteTheMachineDoesNotTakeOneTextWaitsAndMoreAreRefused) {
    startWriter();
    const std::string job = largeJob(1 << 20);
    writer_.Enqueue(job);  // nobody reads: pending once the pipe's 64 KiB are full
    ASSERT_TRUE(waitForEvents(WM_WRITER_EVENT, WRITE_BEGIN, 1));
    EXPECT_TRUE(writer_.writePending());
    EXPECT_FALSE(writer_.Poll(StatusRequest));
    const auto before = std::chrono::steady_clock::now();
    EXPECT_EQ(writer_.Offer("H|"), win::Handover::Placed);
    EXPECT_EQ(writer_.Offer("FG|"), win::Handover::Busy);
    EXPECT_LT(std::chrono::steady_clock::now() - before, 2s) << "the hand-over waited for the machine";
    const unsigned long long jobNumber = writer_.lastWritten() + 1;
    std::atomic<bool> stop{false};
    std::string received;
    std::thread machine([&] { received = pipe_.readSlowly(65536, 1ms, stop); });
    ASSERT_TRUE(waitForEvents(WM_WRITER_EVENT, WRITE_DONE, 2, 20s));
    EXPECT_EQ(writer_.lastWritten(), jobNumber + 1);
    stop = true;
    machine.join();
    EXPECT_TRUE(received == toWire(job) + "H\x03") << received.size() << " bytes";
}

// The arrow keys turn the carriage without a stop between. With the first
// start taken and the second still unsent behind a write the machine does
// not take, the release's stop withdraws the second and still goes, ahead of
// what waits; a stop whose start never left has nothing to stop. The way
// home is never refused either. (The fault table's jog row has the tap.)
TEST_F(PortThreads, TheJogStopAndTheWayHomeAreNeverRefusedAndAnUnsentStartCancelsOut) {
    startWriter();
    const std::string right = jogSequence(JogCode::Right), stop = jogSequence(JogCode::Stop);
    ASSERT_EQ(writer_.Offer(right), win::Handover::Placed);
    ASSERT_TRUE(waitForEvents(WM_WRITER_EVENT, WRITE_DONE, 1));  // the carriage runs right
    const std::string job = largeJob(1 << 20);
    writer_.Enqueue(job);  // nobody reads: pending once the pipe's 64 KiB are full
    ASSERT_TRUE(waitForEvents(WM_WRITER_EVENT, WRITE_BEGIN, 2));
    EXPECT_EQ(writer_.Offer(jogSequence(JogCode::Left)), win::Handover::Placed);
    EXPECT_EQ(writer_.OfferFirst(stop), win::Handover::Placed) << "right is still to be stopped";
    EXPECT_EQ(writer_.Offer(jogSequence(JogCode::Up)), win::Handover::Placed);
    EXPECT_EQ(writer_.OfferFirst(stop), win::Handover::CancelledOut);
    EXPECT_EQ(writer_.Offer(StatusRequest), win::Handover::Placed);
    EXPECT_EQ(writer_.OfferFirst("H|"), win::Handover::Placed);
    EXPECT_EQ(writer_.Offer("FG|"), win::Handover::Busy);
    EXPECT_FALSE(writer_.Poll(StatusRequest));
    std::atomic<bool> drained{false};
    std::string received;
    std::thread machine([&] { received = pipe_.readSlowly(65536, 1ms, drained); });
    // The job, then the stop and the way home in one write, then the status request.
    ASSERT_TRUE(waitForEvents(WM_WRITER_EVENT, WRITE_DONE, 4, 20s));
    drained = true;
    machine.join();
    EXPECT_TRUE(received == right + toWire(job) + stop + std::string("H\x03") + std::string(StatusRequest))
        << received.size() << " bytes";
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

// A driver that ignores cancels: the request stays pending, and a second
// handle it keeps to the channel stops a close from ending it either. Letting
// go of that handle ends the request at last, into memory the thread left to it.
template <typename Port>
class DeafDriver : public Port {
public:
    ~DeafDriver() override {
        letGo();
        this->Stop();
        letGo();
    }
    void letGo() {
        if (kept_) CloseHandle(kept_);
        kept_ = nullptr;
    }

protected:
    // Called under the channel lock.
    void cancelTransfers(HANDLE channel, OVERLAPPED*) override {
        if (!kept_)
            DuplicateHandle(GetCurrentProcess(), channel, GetCurrentProcess(), &kept_, 0, FALSE, DUPLICATE_SAME_ACCESS);
    }

private:
    HANDLE kept_ = nullptr;
};

// Stops a thread from a thread of its own, so that a Stop that hangs fails
// the test instead of hanging it.
class Stopper {
public:
    explicit Stopper(win::WorkerThread& thread) : stopper_([this, &thread] {
        thread.Stop();
        stopped_ = true;
    }) {}
    ~Stopper() { stopper_.join(); }
    bool stoppedWithin(std::chrono::milliseconds limit) {
        return EventWindow::pumpUntil([&] { return stopped_.load(); }, limit);
    }

private:
    std::atomic<bool> stopped_{false};
    std::thread stopper_;
};

constexpr auto PastTheCancelLimit = std::chrono::milliseconds(win::CancelledTransferLimitMs) + 5s;

TEST_F(PortThreads, AQuitEndsTheReaderWhileTheDriverKeepsItsCancelledRead) {
    DeafDriver<win::PortReader> reader;
    ASSERT_TRUE(reader.Start(window_.hwnd(), WM_READER_EVENT, THREAD_PRIORITY_NORMAL, true));
    ASSERT_TRUE(reader.openChannel(pipe_.name()));
    EventWindow::pumpFor(60ms);  // the read is pending: the pipe holds nothing
    {
        Stopper stopper(reader);
        EXPECT_TRUE(stopper.stoppedWithin(PastTheCancelLimit)) << "Stop waited for a read the driver never ends";
        EXPECT_EQ(reader.abandonedTransfers(), 1u);
        // The request ends now, into the block left to it.
        reader.letGo();
        pipe_.close();
    }
    EventWindow::pumpFor(100ms);
    EXPECT_EQ(window_.count(WM_READER_EVENT, PORT_LOST), 0);
}

TEST_F(PortThreads, AWriteTheDriverNeverEndsIsGivenUpAndTheNextConnectionGetsOnlyWhatFollows) {
    DeafDriver<win::PortWriter> writer;
    ASSERT_TRUE(writer.Start(window_.hwnd(), WM_WRITER_EVENT, THREAD_PRIORITY_NORMAL, true));
    ASSERT_TRUE(writer.openChannel(pipe_.name()));
    // Nobody reads the pipe: the write stays pending once its 64 KiB are full.
    writer.Enqueue(largeJob(1 << 20));
    ASSERT_TRUE(waitForEvents(WM_WRITER_EVENT, WRITE_BEGIN, 1));
    writer.closeChannel();
    ASSERT_TRUE(EventWindow::pumpUntil([&] { return writer.abandonedTransfers() == 1; }, PastTheCancelLimit));
    EXPECT_EQ(writer.slotLength(), 0u) << "the job's bytes belong to the driver now";
    PipeEnd next;
    ASSERT_TRUE(writer.openChannel(next.name()));
    writer.Enqueue("H|");
    EXPECT_EQ(next.readFor(200ms), "H\x03");
    writer.Stop();
    writer.letGo();
    EventWindow::pumpFor(50ms);
    EXPECT_EQ(window_.count(WM_WRITER_EVENT, WRITE_DONE), 1);
    EXPECT_EQ(window_.count(WM_WRITER_EVENT, PORT_LOST), 0);
}

// Holds the system's end of one thread, after its Run has returned, as
// Windows does while a driver has not ended a cancelled request of it.
std::atomic<DWORD> heldThread{0};
HANDLE heldThreadRelease = CreateEventW(nullptr, TRUE, FALSE, nullptr);
void NTAPI holdThreadEnd(PVOID, DWORD reason, PVOID) {
    if (reason == DLL_THREAD_DETACH && heldThread.load() == GetCurrentThreadId())
        WaitForSingleObject(heldThreadRelease, INFINITE);
}
__attribute__((section(".CRT$XLY"), used)) PIMAGE_TLS_CALLBACK holdThreadEndCallback = holdThreadEnd;

TEST_F(PortThreads, StopReturnsWhileTheSystemHoldsTheEndOfAThreadWhoseRunHasEnded) {
    startReader();
    EventWindow::pumpFor(60ms);
    reader_.closeChannel();
    heldThread = reader_.threadId();
    {
        // Made before the hold, which keeps the loader busy: no thread can start during it.
        Stopper stopper(reader_);
        EXPECT_TRUE(stopper.stoppedWithin(std::chrono::milliseconds(win::ThreadEndLimitMs) + 5s));
        EXPECT_FALSE(reader_.isRunning());
        SetEvent(heldThreadRelease);
    }
    heldThread = 0;
    // The object serves a new thread at once.
    ASSERT_TRUE(reader_.Start(window_.hwnd(), WM_READER_EVENT, THREAD_PRIORITY_NORMAL, true));
    PipeEnd next;
    ASSERT_TRUE(reader_.openChannel(next.name()));
    next.write("1\x03");
    ASSERT_TRUE(EventWindow::pumpUntil([&] { return window_.replies().size() == 1; }, 5s));
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
            Sleep(win::WorkerStepMs);  // paces the steps, as a real worker's work does
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
