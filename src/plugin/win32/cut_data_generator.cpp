#include "plugin/win32/cut_data_generator.h"

#include "settings/settings.h"

#include <new>

namespace vantrel::win {

CutDataGenerator::~CutDataGenerator() {
    giveUp();
    Stop();
}

bool CutDataGenerator::Start(HWND notifyWindow, UINT notifyMessage, int priority, bool waitForStart) {
    if (isRunning()) return false;
    textLength_.store(0);
    queuedAs_.store(0);
    error_.store(CutStreamError::None);
    giveUp_.store(false);
    return WorkerThread::Start(notifyWindow, notifyMessage, priority, waitForStart);
}

DWORD CutDataGenerator::Run() {
    Resolution resolution = readResolution(profile_);
    CutStreamResult stream = buildCutStream(job, resolution.dpiX, resolution.dpiY, mediaWidth);
    if (!stream.ok()) {
        error_.store(stream.error);
        notify(GENERATOR_FAILED, static_cast<LPARAM>(stream.error));
        return 0;
    }
    // The dialog hears of the text before it is queued; if the dialog is gone
    // the text is queued all the same (and dropped when the port is closed,
    // or is no longer the connection the job was started on).
    textLength_.store(stream.text.size());
    notify(GENERATOR_TEXT_READY, static_cast<LPARAM>(stream.text.size()));
    try {
        queuedAs_.store(queue_.EnqueueFor(connection, stream.text, &giveUp_));
    } catch (const std::bad_alloc&) {
        // The queue's copy did not fit beside the text: nothing was sent.
        error_.store(CutStreamError::TooLarge);
        notify(GENERATOR_FAILED, static_cast<LPARAM>(CutStreamError::TooLarge));
    }
    return 0;
}

}  // namespace vantrel::win
