#include "tools/win32/port_calibration_link.h"

namespace vantrel::win {

void PortCalibrationLink::notifyTo(HWND window) {
    reader_.setNotifyWindow(window);
    writer_.setNotifyWindow(window);
}

std::string PortCalibrationLink::takeReply(WPARAM, LPARAM value) {
    std::unique_ptr<char[]> text = takeReplyText(value);
    return text ? std::string(text.get()) : std::string();
}

bool runCalibration(HINSTANCE module, HWND mainDialog, Profile& profile, PortReader& reader, PortWriter& writer,
                    HelpDialog* help) {
    PortCalibrationLink link(reader, writer);
    bool applied = false;
    try {
        CalibrationDialog dialog(module, profile, link, help);
        applied = dialog.run(mainDialog);
    } catch (...) {
        link.notifyTo(mainDialog);
        throw;
    }
    link.notifyTo(mainDialog);
    return applied;
}

}  // namespace vantrel::win
