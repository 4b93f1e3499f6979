#pragma once
// Resolution calibration: cuts a 6-inch square at the resolutions typed in,
// proposes corrected ones from its measured size and stores them on Apply.
#include <string>
#include <string_view>

#include "plugin/profile.h"
#include "ui/win32/dialog.h"
#include "ui/win32/separator.h"
#include "ui/win32/skin_group_box.h"

namespace vantrel::win {

class HelpDialog;

// The part of the main dialog's link to the cutter the calibration uses: the
// reader's and the writer's notify window, the writer's send queue, and the
// reader's reply texts, which the receiver of a reply owns.
class CalibrationLink {
public:
    virtual ~CalibrationLink() = default;
    // Makes `window` the notify window of both port threads.
    virtual void notifyTo(HWND window) = 0;
    // Hands command text to the send queue, which turns every "|" into ETX.
    virtual void enqueue(std::string_view commandText) = 0;
    // The text of a reply notification, taken over and freed by the link.
    virtual std::string takeReply(WPARAM code, LPARAM value) = 0;
};

class CalibrationDialog : public Dialog {
public:
    static constexpr int TemplateId = 9018;
    static constexpr UINT ReaderEventMessage = 3028;
    static constexpr WPARAM ThreadStarted = static_cast<WPARAM>(-1);
    static constexpr WPARAM PortLost = static_cast<WPARAM>(-2);
    static constexpr UINT_PTR StatusTimer = 1;
    static constexpr UINT StatusPeriodMs = 255;

    // `help` is the main dialog's help window; null when it has none.
    CalibrationDialog(HINSTANCE module, Profile& profile, CalibrationLink& link, HelpDialog* help)
        : module_(module), profile_(profile), link_(link), help_(help) {}
    // True when the resolutions were stored with Apply. The caller points the
    // port threads back at itself afterwards, however it ended.
    bool run(HWND owner) { return runModal(module_, TemplateId, owner) == IDOK; }

protected:
    bool onInit() override;
    bool onCommand(int id, int notifyCode, HWND control) override;
    bool onTimer(UINT_PTR id) override;
    bool onMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;
    void onOk() override;
    void onDestroy() override;

private:
    std::u16string fieldText(int id) const;
    void cutSquare();
    void machineFinished();
    void calculate();
    void dressControls();
    void enableChildren(bool enable);
    void invalidInput();

    HINSTANCE module_;
    Profile& profile_;
    CalibrationLink& link_;
    HelpDialog* help_;
    SkinGroupBox resolutionGroup_;
    SkinGroupBox calculatorGroup_;
    Separator separator_;
    bool cutting_ = false;
};

}  // namespace vantrel::win
