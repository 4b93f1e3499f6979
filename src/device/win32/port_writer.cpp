#include "device/win32/port_writer.h"

#include "cutdata/commands.h"

namespace vantrel::win {

PortWriter::PortWriter()
    : dataLock_(CreateMutexW(nullptr, FALSE, nullptr)), dataReady_(CreateEventW(nullptr, FALSE, FALSE, nullptr)) {}

PortWriter::~PortWriter() { Stop(); }

void PortWriter::Enqueue(const char* bytes, std::size_t length) { enqueue(0, bytes, length); }

void PortWriter::EnqueueFor(unsigned long connection, std::string_view commandText) {
    // Connections count from 1: 0 would mean any.
    if (connection != 0) enqueue(connection, commandText.data(), commandText.size());
}

void PortWriter::enqueue(unsigned long expectedConnection, const char* bytes, std::size_t length) {
    unsigned long connection = 0;
    {
        MutexLock handleLock(channelLock());
        if (!channel_ || (expectedConnection != 0 && connection_ != expectedConnection)) return;
        connection = connection_;
    }
    MutexLock dataLock(dataLock_.get());
    // A buffer left by a failed write is replaced.
    slot_.assign(bytes, length);
    slotConnection_ = connection;
    toWireInPlace(slot_);
    SetEvent(dataReady_.get());
    Sleep(WorkerStepMs);
}

std::size_t PortWriter::slotLength() const {
    MutexLock dataLock(dataLock_.get());
    return slot_.size();
}

bool PortWriter::writeSlot(MutexLock& handleLock) {
    MutexLock dataLock(dataLock_.get());
    if (slotConnection_ != connection_) {
        // Queued just as its connection ended (the cable pulled while a job
        // was being prepared, say): a later connection must not get it.
        slot_.clear();
        slot_.shrink_to_fit();
        return true;
    }
    const std::size_t length = slot_.size();
    notify(WRITE_BEGIN, static_cast<LPARAM>(length));
    if (length == 0) {
        notify(WRITE_DONE, 0);
        return true;
    }
    UniqueHandle completion(CreateEventW(nullptr, FALSE, FALSE, nullptr));
    IoEnd end = IoEnd::Failed;
    DWORD written = 0;
    if (completion && length <= MAXDWORD) {
        overlapped_ = {};
        overlapped_.hEvent = completion.get();
        BOOL started = WriteFile(channel_, slot_.data(), static_cast<DWORD>(length), nullptr, &overlapped_);
        end = finishTransfer(handleLock, started, overlapped_, written);
    }
    if (end == IoEnd::Quit) return false;
    bool failed = end != IoEnd::Completed;
    if (end == IoEnd::Completed) {
        // A write that completed with fewer bytes than the slot held has failed.
        if (written == length)
            notify(WRITE_DONE, static_cast<LPARAM>(length));
        else
            failed = true;
        slot_.clear();
        slot_.shrink_to_fit();
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
