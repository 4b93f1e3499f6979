#include "device/win32/port_writer.h"

#include "cutdata/commands.h"

namespace vantrel::win {

PortWriter::PortWriter()
    : queueLock_(CreateMutexW(nullptr, FALSE, nullptr)),
      dataLock_(CreateMutexW(nullptr, FALSE, nullptr)),
      dataReady_(CreateEventW(nullptr, FALSE, FALSE, nullptr)),
      slotTaken_(CreateEventW(nullptr, FALSE, FALSE, nullptr)) {}

PortWriter::~PortWriter() { Stop(); }

void PortWriter::Enqueue(const char* bytes, std::size_t length) { enqueue(0, bytes, length); }

void PortWriter::EnqueueFor(unsigned long connection, std::string_view commandText) {
    // Connections count from 1: 0 would mean any.
    if (connection != 0) enqueue(connection, commandText.data(), commandText.size());
}

unsigned long PortWriter::openConnection(unsigned long expectedConnection) const {
    MutexLock handleLock(channelLock());
    if (!channel_ || (expectedConnection != 0 && connection_ != expectedConnection)) return 0;
    return connection_;
}

void PortWriter::enqueue(unsigned long expectedConnection, const char* bytes, std::size_t length) {
    const unsigned long connection = openConnection(expectedConnection);
    if (connection == 0) return;
    MutexLock queueLock(queueLock_.get());
    // The link may have gone while an earlier caller was handing over.
    if (openConnection(connection) == 0) return;
    unsigned long long placed = 0;
    {
        // Taken once the writer has ended a write in progress.
        MutexLock dataLock(dataLock_.get());
        // A buffer left by a failed write, or one whose caller gave up, is replaced.
        slot_.assign(bytes, length);
        toWireInPlace(slot_);
        slotConnection_ = connection;
        placed = ++placed_;
        SetEvent(dataReady_.get());
    }
    // The hand-over has always taken at least one step; callers are paced by it.
    Sleep(WorkerStepMs);
    awaitTaken(placed, connection);
}

void PortWriter::awaitTaken(unsigned long long placed, unsigned long connection) {
    while (taken_.load() < placed) {
        DWORD waited = WaitForSingleObject(slotTaken_.get(), WorkerStepMs);
        if (waited == WAIT_OBJECT_0) continue;
        if (waited != WAIT_TIMEOUT) Sleep(WorkerStepMs);
        // The writer takes nothing while it is stopped or its channel is not
        // this connection; a later connection's writer drops the buffer.
        if (!isRunning() || openConnection(connection) == 0) return;
    }
}

std::size_t PortWriter::slotLength() const {
    MutexLock dataLock(dataLock_.get());
    return slot_.size();
}

bool PortWriter::writeSlot(MutexLock& handleLock) {
    MutexLock dataLock(dataLock_.get());
    // The event may have been set for a buffer that a later one replaced.
    if (taken_.load() == placed_) return true;
    taken_.store(placed_);
    SetEvent(slotTaken_.get());
    if (slotConnection_ != connection_) {
        // Queued just as its connection ended (the cable pulled while a job
        // was being prepared, say): a later connection must not get it.
        slot_ = std::string();
        return true;
    }
    const std::size_t length = slot_.size();
    notify(WRITE_BEGIN, static_cast<LPARAM>(length));
    if (length == 0) {
        notify(WRITE_DONE, 0);
        return true;
    }
    if (!transfer_) transfer_ = std::make_unique<Transfer>();
    IoEnd end = IoEnd::Failed;
    DWORD written = 0;
    if (transfer_->completion && length <= MAXDWORD) {
        // The bytes move into the transfer's block, which outlives a write
        // the driver never ends.
        transfer_->bytes = std::move(slot_);
        slot_.clear();
        transfer_->overlapped = {};
        transfer_->overlapped.hEvent = transfer_->completion.get();
        BOOL started = WriteFile(channel_.get(), transfer_->bytes.data(), static_cast<DWORD>(length), nullptr,
                                 &transfer_->overlapped);
        end = finishTransfer(handleLock, started, transfer_, written);
        // A write that did not complete leaves its buffer in the slot (unless
        // it had to be left to the driver); a completed one frees it.
        if (transfer_) {
            if (end != IoEnd::Completed) slot_ = std::move(transfer_->bytes);
            transfer_->bytes = std::string();
        }
    }
    if (end == IoEnd::Quit) return false;
    bool failed = end != IoEnd::Completed;
    if (end == IoEnd::Completed) {
        // A write that completed with fewer bytes than the slot held has failed.
        if (written == length)
            notify(WRITE_DONE, static_cast<LPARAM>(length));
        else
            failed = true;
    }
    if (failed && end != IoEnd::Closed && dropChannelAfterFailure()) notify(PORT_LOST, 0);
    return true;
}

DWORD PortWriter::Run() {
    notify(THREAD_STARTED, 0);
    for (;;) {
        if (quitRequested()) return 0;
        MutexLock handleLock(channelLock());
        if (!channel_) {
            handleLock.release();
            Sleep(WorkerStepMs);
            continue;
        }
        while (channel_) {
            DWORD waited = WaitForSingleObject(dataReady_.get(), WorkerStepMs);
            if (waited == WAIT_OBJECT_0) {
                if (channel_ && !writeSlot(handleLock)) return 0;
                break;
            }
            handleLock.yield();
            if (quitRequested()) return 0;
        }
    }
}

}  // namespace vantrel::win
