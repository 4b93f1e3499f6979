#pragma once
// The worker that turns one Start into the job's command text and queues it.
// The cut run fills `job`, sets the inputs, and starts it with the dialog's
// window and WM_GENERATOR_EVENT; the thread runs the generation once and ends.
#include "cutdata/cut_job.h"
#include "cutdata/cut_stream.h"
#include "device/win32/port_writer.h"
#include "device/win32/worker_thread.h"
#include "settings/profile.h"

namespace vantrel::win {

// First parameter of WM_GENERATOR_EVENT: the text is ready and about to be
// queued (second parameter: its length in bytes) ...
inline constexpr WPARAM GENERATOR_TEXT_READY = 0;
// ... or no job could be made of the design and the settings (second
// parameter: the CutStreamError; cutStreamErrorText names it). Nothing is
// queued then, so the dialog must not wait for the job's WRITE_DONE.
inline constexpr WPARAM GENERATOR_FAILED = 1;

class CutDataGenerator : public WorkerThread {
public:
    // `queue` is the outgoing queue; `profile` is read for the resolution
    // each time the job is generated. Both outlive the generator.
    CutDataGenerator(PortWriter& queue, const Profile& profile) : queue_(queue), profile_(profile) {}
    ~CutDataGenerator() override;

    // Written on the dialog's thread before Start and left alone while the
    // thread runs.
    CutJob job;
    float mediaWidth = 0;  // inches across the carriage, from the host
    // The writer's connection the job is meant for (PortWriter::connection()
    // when Start was pressed): if the cable goes while the job is prepared,
    // the text is dropped rather than sent on the connection that follows.
    // 0, no connection, sends nothing.
    unsigned long connection = 0;

    // What the run has come to, for the dialog to read on its timer as well
    // as from the messages, which a full message queue could lose. Cleared by
    // Start.
    // The text is made (its length; 0 until then) and only its hand-over to
    // the writer is left: the job may be given up from here on.
    std::size_t textLength() const { return textLength_.load(); }
    // The number the writer gave the job's buffer (PortWriter::lastWritten),
    // 0 while it is not queued, or when it was dropped.
    unsigned long long queuedAs() const { return queuedAs_.load(); }
    // Why no job was made or queued (None when one was).
    CutStreamError error() const { return error_.load(); }
    // Ends a hand-over that waits for the writer (the dialog is closing).
    void giveUp() { giveUp_.store(true); }

    bool Start(HWND notifyWindow, UINT notifyMessage, int priority, bool waitForStart) override;

protected:
    DWORD Run() override;

private:
    PortWriter& queue_;
    const Profile& profile_;
    std::atomic<std::size_t> textLength_{0};
    std::atomic<unsigned long long> queuedAs_{0};
    std::atomic<bool> giveUp_{false};
    std::atomic<CutStreamError> error_{CutStreamError::None};
};

}  // namespace vantrel::win
