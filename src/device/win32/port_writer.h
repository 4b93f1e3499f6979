#pragma once
// The outgoing channel's thread and its one-slot send queue. Whatever is
// queued is written in one overlapped write of its full length.
//
// A machine that is paused, in an error state or busy with a full buffer
// takes no bytes, and a write to it stays pending for as long as that lasts.
// So the slot is never held through a write: the writer moves a buffer out
// of it before writing, and the user-interface thread hands over with Offer,
// which never waits for a pending write. Worker threads, which may wait, use
// Enqueue. What must reach the machine however long it takes nothing (the
// jog stop, the way home) goes by OfferFirst, in a lane the writer empties
// before the slot.
#include <atomic>
#include <memory>
#include <string>
#include <string_view>

#include "cutdata/commands.h"
#include "device/win32/port_thread.h"

namespace vantrel::win {

// What became of a buffer offered to the writer.
enum class Handover {
    Placed,  // in the slot; the writer writes it after the write in progress, if any
    NoLink,  // the outgoing channel is closed (or is not the connection asked for): dropped
    Busy,    // a buffer still waits in the slot behind a pending write: refused
    // A jog stop met the start it stops still unsent in the slot: the start
    // was withdrawn, and neither goes to the machine.
    CancelledOut,
};

class PortWriter : public PortThread {
public:
    PortWriter();
    ~PortWriter() override;

    // For worker threads: copies the command text into the slot with every
    // "|" turned into ETX and wakes the writer. When the outgoing channel is
    // closed the text is dropped at once, and text queued for a connection
    // that has ended is never written to a later one. Otherwise this waits
    // until the slot is free, places the text, and returns only once the
    // writer has taken it (and no sooner than 25 ms after placing it), so
    // that no other caller can replace it first; or as soon as the
    // connection has ended, the writer has stopped, or `giveUp` is set.
    void Enqueue(const char* bytes, std::size_t length);
    void Enqueue(std::string_view commandText) { Enqueue(commandText.data(), commandText.size()); }
    // The same, but only while the channel is still `connection` (see
    // connection()): a job made for one connection is never sent on the
    // next, after the cable was pulled and put back while it was prepared.
    // Returns the buffer's number (see lastWritten), 0 when it was dropped.
    unsigned long long EnqueueFor(unsigned long connection, std::string_view commandText,
                                  const std::atomic<bool>* giveUp = nullptr);

    // For the user-interface thread: the same hand-over, but it never waits
    // for the link, nor pauses. With the slot free the text is placed (it
    // follows a write in progress, if any); a buffer still waiting in the
    // slot behind a pending write means Busy, and the text is not queued.
    Handover Offer(std::string_view commandText);
    // For the user-interface thread: a command the machine must get whatever
    // waits, the jog stop or the way home. Never refused while the channel is
    // open: it joins the first lane, which the writer writes next (after the
    // write in progress, if any), ahead of the slot. A jog start still unsent
    // in the slot is withdrawn first, as it would move the carriage again
    // after the stop or on the way home. A stop that withdrew the start it
    // was to stop, with nothing moving the carriage ahead of it, is not sent
    // either (CancelledOut).
    Handover OfferFirst(std::string_view commandText);
    // A status request: skipped (false) while a write is pending, so that a
    // machine that takes nothing is not asked again and again.
    bool Poll(std::string_view request);

    // A buffer waits in the slot or the first lane, or is being written.
    bool writePending() const { return writing_.load() || slotFull_.load() || firstFull_.load(); }
    // Buffers are numbered from 1 as they are placed in the slot and written
    // in that order; this is the number of the last one written whole (0:
    // none). It is the writer's own record of WRITE_DONE, which a full
    // message queue could lose. What goes by the first lane is not numbered.
    unsigned long long lastWritten() const { return lastWritten_.load(); }

    // What a failed write left in the slot (for inspection).
    std::size_t slotLength() const;

protected:
    DWORD Run() override;

private:
    // The open connection when it is the one expected (any, for 0); else 0.
    unsigned long openConnection(unsigned long expectedConnection) const;
    // Places the text in a free slot (under the data lock); 0 when the slot
    // still holds a buffer the writer has not taken.
    unsigned long long place(unsigned long connection, const char* bytes, std::size_t length);
    unsigned long long enqueue(unsigned long expectedConnection, const char* bytes, std::size_t length,
                               const std::atomic<bool>* giveUp);
    // Waits until the writer has taken buffer `placed`, or as soon as it
    // cannot any more: the writer has stopped, the channel is no longer
    // `connection`, or `stillWaiting` says to stop.
    template <class Predicate>
    void awaitTaken(unsigned long long placed, unsigned long connection, Predicate stillWaiting);
    // Takes the first lane, or else the slot, and writes it; false when the
    // thread must quit.
    bool writeSlot(MutexLock& handleLock);
    // The write of `bytes` (buffer number `number`, 0 for the first lane's)
    // on the open channel.
    bool write(MutexLock& handleLock, std::string bytes, unsigned long long number);

    // Held by one worker caller from its wait for a free slot until the
    // writer has taken its buffer. Windows promises no order among threads
    // waiting for a mutex, so callers that merely waited for the data lock
    // could take turns out of order and replace each other's buffers.
    UniqueHandle queueLock_;
    // Guards the slot; held only for moments, never through a write.
    UniqueHandle dataLock_;
    UniqueHandle dataReady_;
    // Auto-reset; the writer sets it when it has taken a buffer.
    UniqueHandle slotTaken_;
    std::string slot_;  // guarded by dataLock_
    // The connection the slot was queued for; guarded by dataLock_.
    unsigned long slotConnection_ = 0;
    // A placed buffer waits in the slot (written under dataLock_). Without
    // it, the slot holds nothing or what a failed write left.
    std::atomic<bool> slotFull_{false};
    // The first lane: what OfferFirst placed, written before the slot, and
    // the connection it was placed for; guarded by dataLock_.
    std::string first_;
    unsigned long firstConnection_ = 0;
    std::atomic<bool> firstFull_{false};
    // Where the jogs the writer has taken, and the stops in the first lane,
    // leave the carriage: moving one way, or Stop. The slot is not counted.
    // Guarded by dataLock_.
    JogCode jogAhead_ = JogCode::Stop;
    // A write is pending on the channel.
    std::atomic<bool> writing_{false};
    // Buffers placed so far (guarded by dataLock_), and the number of the
    // last one the writer took (read by callers without the lock).
    unsigned long long placed_ = 0;
    std::atomic<unsigned long long> taken_{0};
    std::atomic<unsigned long long> lastWritten_{0};
    // The write's bytes and OVERLAPPED, made anew after a write was given up.
    std::unique_ptr<Transfer> transfer_;
};

}  // namespace vantrel::win
