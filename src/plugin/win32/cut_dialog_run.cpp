// The cut run of the main dialog: Start, the search or the knife positioning
// it may need, and the job followed from preparing to its end.
#include <cstring>

#include "log/win32/diagnostics_run.h"
#include "operations/win32/reg_mark_dialog.h"
#include "operations/win32/knife_point_positioning.h"
#include "operations/win32/test_cut_dialog.h"
#include "plugin/win32/cut_dialog.h"
#include "plugin/win32/cut_dialog_texts.h"
#include "plugin/win32/plugin_app.h"

namespace vantrel::win {

void CutDialog::onStart() {
    // A channel its own thread has just closed counts as no link, though its
    // news is still on the way.
    if (!monitor_.connected() || monitor_.link().writer == 0) {
        messageBox(NotConnectedMessage, MB_OK | MB_ICONWARNING);
        return;
    }
    if (generator_.isRunning()) return;

    // The search or the knife positioning prepares the machine on this link;
    // the job is for this link only.
    const ConnectionMonitor::LinkId startedOn = monitor_.link();
    const int cutType = listRow(IDC_CUT_TYPE_LIST);
    bool go = true;
    if (cutType == static_cast<int>(CutType::PrintAndCut)) {
        go = runRegMarkSearch();
        monitor_.notificationsReturned();
    } else if (cutType == static_cast<int>(CutType::KnifePoint)) {
        go = runKnifePositioning();
        monitor_.notificationsReturned();
    }
    if (!go) return;
    // The sub-dialogs and the question ran message loops of their own, in
    // which the monitor went on: the link may have gone, or gone and come back.
    if (!monitor_.connected()) {
        messageBox(NotConnectedMessage, MB_OK | MB_ICONWARNING);
        return;
    }
    if (monitor_.link() != startedOn) {
        jobLost();
        return;
    }
    startJob(startedOn.writer);
}

bool CutDialog::runRegMarkSearch() {
    const Resolution dpi = readResolution(profile_);
    if (!marksBuilt_) rebuildRegMarks();
    std::optional<RegMarkSearch> search =
        computeRegMarkSearch(marks_, model_, isChecked(IDC_CARRIER_MAT), dpi.dpiX, dpi.dpiY);
    if (!search) {
        // A resolution that does not read or marks beyond the machine's numbers:
        // searching would send the machine looking in the wrong place.
        messageBox(L"The registration marks cannot be searched for: check the resolution in Calibrate DPI.",
                   MB_OK | MB_ICONERROR);
        return false;
    }
    lastSearch_ = search;

    return runRegistrationMarkSearch(app_.resources(), hwnd(), port_,
                                     regMarkSearchCommand(*search, sliderPosition(IDC_SPEED_SLIDER)));
}

bool CutDialog::runKnifePositioning() {
    return runKnifePointPositioning(app_.resources(), hwnd(), port_, sliderPosition(IDC_FORCE_SLIDER),
                                    sliderPosition(IDC_SPEED_SLIDER), isChecked(IDC_BLADE_OFFSET));
}

void CutDialog::startJob(unsigned long connection) {
    generator_.job = buildCutJob(shownSettings(), designPath_, model_, lastSearch_);
    generator_.mediaWidth = app_.mediaWidth();
    generator_.connection = connection;

    setMachineButtonsEnabledNow(false);
    jobState_ = JobState::Preparing;
    SetTimer(hwnd(), TIMER_JOB, TimerJobMs, nullptr);

    generator_.Start(hwnd(), WM_GENERATOR_EVENT, THREAD_PRIORITY_NORMAL, false);

    progress_.setPosition(100);
    progress_.clearIcon();
    progress_.setCaption(PreparingCaption);
    progress_.repaint();
    progress_.startAnimation();
}

void CutDialog::onGeneratorEvent(WPARAM code, LPARAM value) {
    if (code == GENERATOR_TEXT_READY) {
        jobLength_ = static_cast<std::size_t>(value);
        logJobStarted(generator_.job, jobLength_, readResolution(profile_), generator_.mediaWidth);
        // The text is made and on its way to the writer.
        if (jobState_ == JobState::Preparing) showSending();
    }
    followJob();
}

void CutDialog::followJob() {
    // Read from the generator's and the writer's own records, on the job's
    // timer as well as on their messages: this thread never waits for them,
    // and a message lost to a full queue loses nothing.
    if (jobState_ == JobState::Preparing) {
        // The stream is in the slot (or was dropped) once the generator has ended.
        if (generator_.isRunning()) return;
        if (generator_.error() != CutStreamError::None) {
            jobRefused(generator_.error());
            return;
        }
        jobBuffer_ = generator_.queuedAs();
        jobLength_ = generator_.textLength();
        // Dropped: the link it was made for has ended.
        if (jobBuffer_ == 0) {
            jobLost();
            return;
        }
        jobState_ = JobState::Sending;
        showSending();
    }
    // Buffers are written in order, and a failed write ends the link (and
    // with it this job) first: a later number written means this one was.
    if (jobState_ == JobState::Sending && monitor_.writer().lastWritten() >= jobBuffer_) jobFinished();
}

void CutDialog::showSending() {
    if (progress_.caption() == SendingCaption) return;
    progress_.setCaption(SendingCaption);
    progress_.repaint();
}

bool CutDialog::jobInProgress() { return jobState_ == JobState::Preparing || jobState_ == JobState::Sending; }

void CutDialog::writeDone(std::size_t) {
    // Only the complete write of this job's own stream finishes the job.
    followJob();
}

void CutDialog::jobFinished() {
    jobState_ = JobState::Finished;
    logJobEnded(JobEnd::Sent, jobLength_);
    progress_.stopAnimation();
    KillTimer(hwnd(), TIMER_JOB);
    progress_.setCaption(FinishedCaption);
    progress_.repaint();
    messageBox(FinishedMessage, MB_OK | MB_ICONINFORMATION);
    onCancel();
}

void CutDialog::jobLost() {
    jobState_ = JobState::Lost;
    logJobEnded(JobEnd::LinkLost, jobLength_);
    progress_.stopAnimation();
    KillTimer(hwnd(), TIMER_JOB);
    progress_.setCaption(LinkLostCaption);
    progress_.repaint();
}

void CutDialog::jobRefused(CutStreamError error) {
    // The design cannot become a job (see the generator); nothing was sent,
    // and the dialog is ready for another try.
    jobState_ = JobState::Failed;
    logJobEnded(JobEnd::Refused, 0);
    KillTimer(hwnd(), TIMER_JOB);
    progress_.stopAnimation();
    progress_.setPosition(0);
    progress_.setCaption(ReadyCaption);
    progress_.setIcon(app_.resources(), IDPNG_START_ICON);
    setMachineButtonsEnabledNow(monitor_.connected());
    const char* reason = cutStreamErrorText(error);
    messageBox(std::wstring(reason, reason + std::strlen(reason)).c_str(), MB_OK | MB_ICONERROR);
}

void CutDialog::linkLost() {
    // The link went while the job was on its way: say so instead of waiting for ever.
    if (jobInProgress()) jobLost();
}

}  // namespace vantrel::win
