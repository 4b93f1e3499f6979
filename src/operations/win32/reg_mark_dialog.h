#pragma once
// The registration-mark search of a "Print and Cut" job: sends the search,
// shows an animated bar while the machine looks for the three printed marks,
// retries once, and tells the cut run whether to cut.
#include <windows.h>

#include <string>

#include "operations/mark_search.h"
#include "device/win32/machine_port.h"
#include "ui/win32/dialog.h"
#include "ui/win32/progress_bar.h"

namespace vantrel::win {

class RegMarkDialog : public Dialog {
public:
    // `searchCommand` is the whole search text ("!%i,0|FJ|FN1|...|TB23,%i,%i|");
    // the dialog owns it until its window is destroyed.
    RegMarkDialog(MachinePort& port, std::string searchCommand);

    // Runs the dialog modally over `parent`: IDOK when the marks were found,
    // IDCANCEL otherwise (see userCancelled). As its window goes the dialog
    // hands the port threads' notifications to `parent` and frees the replies
    // it never read (handNotificationsBack); the caller points them at itself.
    INT_PTR run(HINSTANCE module, HWND parent);

    // Set when the user closed the dialog; clear when the marks were not
    // found twice or a channel failed.
    bool userCancelled() const { return search_.userCancelled(); }
    int failCount() const { return search_.failCount(); }
    MarkSearchEnd outcome() const { return search_.end(); }

protected:
    bool onInit() override;
    bool onTimer(UINT_PTR id) override;
    bool onMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;
    void onCancel() override;
    void onOk() override {}
    void onDestroy() override;

private:
    static constexpr UINT_PTR TIMER_STATUS = 1;
    void carryOut(const MarkSearchStep& step);

    MachinePort& port_;
    std::string searchCommand_;
    MarkSearch search_;
    PortLosses losses_;
    HINSTANCE module_ = nullptr;
    AnimatedProgressBar progress_;
};

// The search step of a cut run, whole: runs the dialog over `mainDialog`,
// points the port threads back at it, queues "H|" unless the marks were
// found, and when they were not found (or a channel failed) asks
// whether to cut anyway. True when the job is to be cut.
bool runRegistrationMarkSearch(HINSTANCE module, HWND mainDialog, MachinePort& port, std::string searchCommand);
inline bool runRegistrationMarkSearch(HINSTANCE module, HWND mainDialog, PortReader& reader, PortWriter& writer,
                                      std::string searchCommand) {
    PortThreadsLink link(reader, writer);
    return runRegistrationMarkSearch(module, mainDialog, link, std::move(searchCommand));
}

}  // namespace vantrel::win
