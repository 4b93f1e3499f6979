#include "device/win32/port_writer.h"

#include "cutdata/commands.h"

namespace vantrel::win {

namespace {
// How long Offer lets a writer that is not writing take the text still in
// the slot before it refuses the next. An idle writer takes it at once; this
// is only for a writer the system has not run for a while.
constexpr DWORD OfferSettleLimitMs = 100;
constexpr DWORD OfferStepMs = 5;

// The direction of a jog sequence on the wire (ESC NUL d); false for any other text.
bool jogOf(std::string_view wire, JogCode& code) {
    if (wire.size() != 3 || wire[0] != '\x1B' || wire[1] != '\0') return false;
    code = static_cast<JogCode>(static_cast<unsigned char>(wire[2]));
    return true;
}

bool isJogStart(std::string_view wire) {
    JogCode code = JogCode::Stop;
    return jogOf(wire, code) && code != JogCode::Stop;
}
}  // namespace

PortWriter::PortWriter()
    : queueLock_(CreateMutexW(nullptr, FALSE, nullptr)),
      dataLock_(CreateMutexW(nullptr, FALSE, nullptr)),
      dataReady_(CreateEventW(nullptr, FALSE, FALSE, nullptr)),
      slotTaken_(CreateEventW(nullptr, FALSE, FALSE, nullptr)) {}

PortWriter::~PortWriter() { Stop(); }

void PortWriter::Enqueue(const char* bytes, std::size_t length) { enqueue(0, bytes, length, nullptr); }

unsigned long long PortWriter::EnqueueFor(unsigned long connection, std::string_view commandText,
                                          const std::atomic<bool>* giveUp) {
    // Connections count from 1: 0 would mean any.
    if (connection == 0) return 0;
    return enqueue(connection, commandText.data(), commandText.size(), giveUp);
}

unsigned long PortWriter::openConnection(unsigned long expectedConnection) const {
    const unsigned long open = connection();
    if (open == 0 || (expectedConnection != 0 && open != expectedConnection)) return 0;
    return open;
}

unsigned long long PortWriter::place(unsigned long connection, const char* bytes, std::size_t length) {
    MutexLock dataLock(dataLock_.get());
    // A buffer that still waits for this connection is not replaced. One
    // left by a failed write, or queued for a connection that has ended
    // (which no writer will ever send), is.
    if (slotFull_.load() && slotConnection_ == connection) return 0;
    slot_.assign(bytes, length);
    toWireInPlace(slot_);
    slotConnection_ = connection;
    slotFull_.store(true);
    SetEvent(dataReady_.get());
    return ++placed_;
}

template <class Predicate>
void PortWriter::awaitTaken(unsigned long long placed, unsigned long connection, Predicate stillWaiting) {
    while (taken_.load() < placed) {
        DWORD waited = WaitForSingleObject(slotTaken_.get(), WorkerStepMs);
        if (waited == WAIT_OBJECT_0) continue;
        if (waited != WAIT_TIMEOUT) Sleep(WorkerStepMs);
        // The writer takes nothing while it is stopped or its channel is not
        // this connection; a later connection's writer drops the buffer.
        if (!isRunning() || openConnection(connection) == 0 || !stillWaiting()) return;
    }
}

unsigned long long PortWriter::enqueue(unsigned long expectedConnection, const char* bytes, std::size_t length,
                                       const std::atomic<bool>* giveUp) {
    auto wanted = [&] { return !(giveUp && giveUp->load()); };
    const unsigned long connection = openConnection(expectedConnection);
    if (connection == 0 || !wanted()) return 0;
    MutexLock queueLock(queueLock_.get());
    unsigned long long placed = 0;
    // The slot frees when the writer takes what waits in it, which may be
    // only after a pending write has ended; the link may go meanwhile.
    while ((placed = place(connection, bytes, length)) == 0) {
        WaitForSingleObject(slotTaken_.get(), WorkerStepMs);
        if (!isRunning() || openConnection(connection) == 0 || !wanted()) return 0;
    }
    // The hand-over has always taken at least one step; callers are paced by it.
    Sleep(WorkerStepMs);
    awaitTaken(placed, connection, wanted);
    return placed;
}

Handover PortWriter::Offer(std::string_view commandText) {
    const unsigned long connection = openConnection(0);
    if (connection == 0) return Handover::NoLink;
    // A worker thread in the middle of its own hand-over has the slot.
    if (WaitForSingleObject(queueLock_.get(), 0) != WAIT_OBJECT_0) return Handover::Busy;
    struct Release {
        HANDLE lock;
        ~Release() { ReleaseMutex(lock); }
    } release{queueLock_.get()};
    // The text goes in at once and the writer takes it when it is free: no
    // pause here, as this thread must answer its messages. The slot may still
    // hold the last text for a moment, while the writer wakes; behind a
    // pending write it holds it for as long as the machine takes nothing,
    // and then this text is refused.
    const ULONGLONG started = GetTickCount64();
    while (place(connection, commandText.data(), commandText.size()) == 0) {
        if (writing_.load() || GetTickCount64() - started >= OfferSettleLimitMs) return Handover::Busy;
        WaitForSingleObject(slotTaken_.get(), OfferStepMs);
        if (openConnection(connection) == 0) return Handover::NoLink;
    }
    return Handover::Placed;
}

Handover PortWriter::OfferFirst(std::string_view commandText) {
    const unsigned long connection = openConnection(0);
    if (connection == 0) return Handover::NoLink;
    std::string wire(commandText);
    toWireInPlace(wire);
    JogCode code = JogCode::Stop;
    const bool stop = jogOf(wire, code) && code == JogCode::Stop;
    // Only moments: the writer never holds the data lock through a write,
    // and no worker's hand-over (queueLock_) is waited for.
    MutexLock dataLock(dataLock_.get());
    bool withdrew = false;
    if (slotFull_.load() && slotConnection_ == connection && isJogStart(slot_)) {
        slot_.clear();
        slotFull_.store(false);
        withdrew = true;
        // Wakes a worker waiting for the slot; one waiting for its own
        // buffer to be taken looks at the count again.
        SetEvent(slotTaken_.get());
    }
    if (stop && withdrew && jogAhead_ == JogCode::Stop) return Handover::CancelledOut;
    // What waits for a connection that has ended is never written.
    if (firstConnection_ != connection) first_.clear();
    first_ += wire;
    firstConnection_ = connection;
    firstFull_.store(true);
    if (stop) jogAhead_ = JogCode::Stop;
    SetEvent(dataReady_.get());
    return Handover::Placed;
}

bool PortWriter::Poll(std::string_view request) {
    if (writePending()) return false;
    return Offer(request) == Handover::Placed;
}

std::size_t PortWriter::slotLength() const {
    MutexLock dataLock(dataLock_.get());
    return slot_.size();
}

bool PortWriter::writeSlot(MutexLock& handleLock) {
    std::string bytes;
    unsigned long long number = 0;
    bool current = false;
    {
        MutexLock dataLock(dataLock_.get());
        if (firstFull_.load()) {
            bytes = std::move(first_);
            first_.clear();
            current = firstConnection_ == connection_;
            firstFull_.store(false);
            // The event woke the writer once for both: the slot's turn is next.
            if (slotFull_.load()) SetEvent(dataReady_.get());
        } else if (slotFull_.load()) {
            bytes = std::move(slot_);
            slot_.clear();
            number = placed_;
            // Queued just as its connection ended (the cable pulled while a job
            // was being prepared, say): a later connection must not get it.
            current = slotConnection_ == connection_;
            JogCode code = JogCode::Stop;
            if (current && jogOf(bytes, code)) jogAhead_ = code;
            slotFull_.store(false);
            taken_.store(number);
            SetEvent(slotTaken_.get());
        } else {
            // The event may have been set for a buffer already taken.
            return true;
        }
        writing_.store(current);
    }
    if (!current) return true;
    const bool keepRunning = write(handleLock, std::move(bytes), number);
    writing_.store(false);
    return keepRunning;
}

bool PortWriter::write(MutexLock& handleLock, std::string bytes, unsigned long long number) {
    const std::size_t length = bytes.size();
    notify(WRITE_BEGIN, static_cast<LPARAM>(length));
    if (length == 0) {
        if (number != 0) lastWritten_.store(number);
        notify(WRITE_DONE, 0);
        return true;
    }
    if (!transfer_) transfer_ = std::make_unique<Transfer>();
    IoEnd end = IoEnd::Failed;
    DWORD written = 0;
    if (transfer_->completion && length <= MAXDWORD) {
        // The bytes live in the transfer's block, which outlives a write the
        // driver never ends.
        transfer_->bytes = std::move(bytes);
        transfer_->overlapped = {};
        transfer_->overlapped.hEvent = transfer_->completion.get();
        BOOL started = WriteFile(channel_.get(), transfer_->bytes.data(), static_cast<DWORD>(length), nullptr,
                                 &transfer_->overlapped);
        end = finishTransfer(handleLock, started, transfer_, written);
        if (transfer_) {
            bytes = std::move(transfer_->bytes);
            transfer_->bytes = std::string();
        }
    }
    if (end == IoEnd::Completed && written == length) {
        if (number != 0) lastWritten_.store(number);
        notify(WRITE_DONE, static_cast<LPARAM>(length));
        return true;
    }
    // A write from the slot that did not complete (or completed short)
    // leaves its buffer there, unless it had to be left to the driver or a
    // newer one waits there; it is never written again.
    if (number != 0) {
        MutexLock dataLock(dataLock_.get());
        if (!slotFull_.load()) slot_ = std::move(bytes);
    }
    if (end == IoEnd::Quit) return false;
    if (end != IoEnd::Closed && dropChannelAfterFailure()) notify(PORT_LOST, 0);
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
