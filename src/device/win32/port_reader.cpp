#include "device/win32/port_reader.h"

#include <cstring>

namespace vantrel::win {

namespace {
// Reply texts posted and not yet taken back, across every reader.
std::atomic<long> repliesInFlight{0};
}  // namespace

std::unique_ptr<char[]> takeReplyText(LPARAM value) {
    if (value) --repliesInFlight;
    return std::unique_ptr<char[]>(reinterpret_cast<char*>(value));
}

PortReader::~PortReader() { Stop(); }

void PortReader::deliver(const char* bytes, DWORD length) {
    for (const std::string& reply : framer_.feed(bytes, length)) {
        // No window, no text: nothing is allocated that nobody would free.
        HWND window = notifyWindow();
        if (!window || !IsWindow(window)) continue;
        if (repliesInFlight.load() - inFlightBefore_ >= MaxRepliesInFlight) {
            ++dropped_;
            continue;
        }
        auto text = std::make_unique<char[]>(reply.size() + 1);
        std::memcpy(text.get(), reply.data(), reply.size());
        text[reply.size()] = '\0';
        // The window may go between the check and the post; the text then stays ours.
        ++repliesInFlight;
        // The window may go (or be changed) before the post; the text then stays ours.
        if (notify(static_cast<WPARAM>(reply.size()), reinterpret_cast<LPARAM>(text.get())))
            text.release();
        else
            --repliesInFlight;
    }
}

DWORD PortReader::Run() {
    // Counted from here: a text an earlier dialog never took back (its window
    // went with the message still queued) must not count against this one.
    inFlightBefore_ = repliesInFlight.load();
    notify(THREAD_STARTED, 0);
    for (;;) {
        if (quitRequested()) return 0;
        MutexLock lock(channelLock());
        if (!channel_) {
            lock.release();
            Sleep(WorkerStepMs);
            continue;
        }
        if (framedConnection_ != connection_) {
            framer_ = ReplyFramer();
            framedConnection_ = connection_;
        }
        if (!transfer_) {
            transfer_ = std::make_unique<Transfer>();
            transfer_->bytes.resize(ReadSize);
        }
        if (!transfer_->completion) {
            transfer_.reset();
            lock.release();
            Sleep(WorkerStepMs);
            continue;
        }
        transfer_->overlapped = {};
        transfer_->overlapped.hEvent = transfer_->completion.get();
        BOOL started = ReadFile(channel_.get(), transfer_->bytes.data(), ReadSize, nullptr, &transfer_->overlapped);
        DWORD got = 0;
        IoEnd end = finishTransfer(lock, started, transfer_, got);
        if (end == IoEnd::Quit) return 0;
        if (end == IoEnd::Completed) {
            deliver(transfer_->bytes.data(), got);
            // A channel that answers "nothing" at once must not spin the CPU.
            if (got == 0) {
                lock.release();
                Sleep(WorkerStepMs);
            }
        } else if (end == IoEnd::Failed && dropChannelAfterFailure())
            notify(PORT_LOST, 0);
    }
}

}  // namespace vantrel::win
