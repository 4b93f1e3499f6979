#include "operations/win32/reg_mark_dialog.h"

#include "cutdata/commands.h"
#include "device/machine_replies.h"
#include "log/win32/diagnostics_run.h"
#include "operations/operation_texts.h"
#include "resource.h"
#include "support/win32/resource_text.h"
#include "ui/win32/common_controls.h"

namespace vantrel::win {

RegMarkDialog::RegMarkDialog(MachinePort& port, std::string searchCommand)
    : port_(port), searchCommand_(std::move(searchCommand)) {}

INT_PTR RegMarkDialog::run(HINSTANCE module, HWND parent) {
    registerCommonControls();
    module_ = module;
    return runModal(module, IDD_REG_MARK, parent);
}

bool RegMarkDialog::onInit() {
    port_.notifyTo(hwnd());
    // The bar shows activity, not a percentage: full, animated, with its caption.
    progress_.attach(hwnd(), IDC_REG_MARK_PROGRESS);
    UniqueGpImage overlay = loadImage(module_, IDPNG_PROGRESS_OVERLAY);
    if (overlay) progress_.setOverlay(tintedCopy(overlay.get(), systemColour(COLOR_BTNFACE)).releaseImage());
    progress_.setIcon(module_, IDPNG_START_ICON);
    progress_.setCaption(std::wstring(RegMarkSearchingCaption));
    progress_.setRange(0, 100);
    progress_.setPosition(100);
    progress_.startAnimation();
    carryOut(search_.open());
    SetTimer(hwnd(), TIMER_STATUS, MarkSearchStatusPeriodMs, nullptr);
    return true;
}

void RegMarkDialog::carryOut(const MarkSearchStep& step) {
    if (step.stopStatusPolling) KillTimer(hwnd(), TIMER_STATUS);
    if (step.sendSearchCommand) port_.enqueue(searchCommand_);
    switch (step.end) {
        case MarkSearchEnd::None:
            break;
        case MarkSearchEnd::Found:
            end(IDOK);
            break;
        default:
            end(IDCANCEL);
            break;
    }
}

bool RegMarkDialog::onTimer(UINT_PTR id) {
    if (id != TIMER_STATUS) return false;
    // The machine's one-character answers to these are ignored.
    if (search_.pollsStatus()) port_.pollStatus();
    return true;
}

bool RegMarkDialog::onMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR&) {
    if (message != WM_READER_EVENT && message != WM_WRITER_EVENT) return false;
    // Either channel lost ends the search: without the outgoing one its
    // polls and a second try would go nowhere, and the answer never come.
    if (losses_.note(message, wParam)) {
        carryOut(search_.linkLost());
        return true;
    }
    if (message == WM_WRITER_EVENT) return false;
    if (static_cast<INT_PTR>(wParam) < 0) return true;
    auto text = takeReplyText(lParam);
    if (!text) return true;
    const std::string_view reply(text.get(), wParam);
    const int tries = search_.failCount();
    const MarkSearchStep step = search_.reply(reply);
    // What the machine said, and how it was read, whenever it was an answer.
    if (step.end != MarkSearchEnd::None || search_.failCount() != tries) logMarkSearchAnswer(reply, markSearchCode(reply));
    carryOut(step);
    return true;
}

void RegMarkDialog::onCancel() { carryOut(search_.cancel()); }

void RegMarkDialog::onDestroy() {
    handNotificationsBack(port_, hwnd(), GetWindow(hwnd(), GW_OWNER), losses_);
    KillTimer(hwnd(), TIMER_STATUS);
    searchCommand_.clear();
    searchCommand_.shrink_to_fit();
}

bool runRegistrationMarkSearch(HINSTANCE module, HWND mainDialog, MachinePort& port, std::string searchCommand) {
    RegMarkDialog dialog(port, std::move(searchCommand));
    INT_PTR result = dialog.run(module, mainDialog);
    port.notifyTo(mainDialog);
    if (result == IDOK) return true;
    // A dialog that could not even open has searched nothing: no cut, no question.
    if (result != IDCANCEL) return false;
    // The carriage goes home whatever happens next, however long the machine
    // takes nothing; a closed channel drops it.
    port.enqueueFirst("H|");
    if (dialog.userCancelled()) return false;
    logMessageShown(std::wstring(RegMarkNotFoundQuestion).c_str());
    int answer = MessageBoxW(mainDialog, std::wstring(RegMarkNotFoundQuestion).c_str(),
                             moduleBaseName(thisModule()).c_str(), MB_YESNO | MB_ICONERROR | MB_DEFBUTTON2);
    return answer == IDYES;
}

}  // namespace vantrel::win
