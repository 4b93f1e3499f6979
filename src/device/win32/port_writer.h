#pragma once
// The outgoing channel's thread and its one-slot send queue. Whatever is
// queued is written in one overlapped write of its full length.
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
    // that has ended is never written to a later one; otherwise this holds the slot
    // for 25 ms so that the writer has taken the buffer before another
    // Enqueue can replace it, and waits for a write in progress to end.
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
    // Writes the slot with the data lock held; false when the thread must quit.
    bool writeSlot(MutexLock& handleLock);

    UniqueHandle dataLock_;
    UniqueHandle dataReady_;
    std::string slot_;  // guarded by dataLock_
    // The connection the slot was queued for; guarded by dataLock_.
    unsigned long slotConnection_ = 0;
    OVERLAPPED overlapped_ = {};
};

}  // namespace vantrel::win
