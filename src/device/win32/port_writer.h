#pragma once
// The outgoing channel's thread and its one-slot send queue. Whatever is
// queued is written in one overlapped write of its full length.
#include <atomic>
#include <memory>
#include <string>
#include <string_view>

#include "device/win32/port_thread.h"

namespace vantrel::win {

class PortWriter : public PortThread {
public:
    PortWriter();
    ~PortWriter() override;

    // Copies the command text into the slot with every "|" turned into ETX
    // and wakes the writer. Any thread may call it. When the outgoing channel
    // is closed the text is dropped at once, and text queued for a connection
    // that has ended is never written to a later one. Otherwise this waits for
    // a write in progress to end, places the text, and returns only once the
    // writer has taken it (and no sooner than 25 ms after placing it), so
    // that no other caller can replace it first.
    void Enqueue(const char* bytes, std::size_t length);
    void Enqueue(std::string_view commandText) { Enqueue(commandText.data(), commandText.size()); }
    // The same, but only while the channel is still `connection` (see
    // connection()): a job made for one connection is never sent on the
    // next, after the cable was pulled and put back while it was prepared.
    void EnqueueFor(unsigned long connection, std::string_view commandText);

    // What a failed write left in the slot (for inspection).
    std::size_t slotLength() const;

protected:
    DWORD Run() override;

private:
    // 0 for "whichever connection is open".
    void enqueue(unsigned long expectedConnection, const char* bytes, std::size_t length);
    // The open connection when it is the one expected (any, for 0); else 0.
    unsigned long openConnection(unsigned long expectedConnection) const;
    // Returns once the writer has taken the buffer placed as number `placed`,
    // or as soon as it cannot any more: the writer has stopped or the channel
    // is no longer `connection`.
    void awaitTaken(unsigned long long placed, unsigned long connection);
    // Takes the slot and writes it with the data lock held; false when the
    // thread must quit.
    bool writeSlot(MutexLock& handleLock);

    // Held by one caller from placing its buffer until the writer has taken
    // it. Windows promises no order among threads waiting for a mutex, so a
    // caller that merely waited for the data lock could get it before the
    // writer and replace a buffer nobody had written.
    UniqueHandle queueLock_;
    UniqueHandle dataLock_;
    UniqueHandle dataReady_;
    // Auto-reset; the writer sets it when it has taken a buffer.
    UniqueHandle slotTaken_;
    std::string slot_;  // guarded by dataLock_
    // The connection the slot was queued for; guarded by dataLock_.
    unsigned long slotConnection_ = 0;
    // Buffers placed so far (guarded by dataLock_), and the number of the
    // last one the writer took (read by callers without the lock).
    unsigned long long placed_ = 0;
    std::atomic<unsigned long long> taken_{0};
    // The write's bytes and OVERLAPPED, made anew after a write was given up.
    std::unique_ptr<Transfer> transfer_;
};

}  // namespace vantrel::win
