#pragma once
// The calibration dialog on the main dialog's port threads.
#include "device/win32/port_reader.h"
#include "device/win32/port_writer.h"
#include "plugin/profile.h"
#include "tools/win32/calibration_dialog.h"

namespace vantrel::win {

class PortCalibrationLink : public CalibrationLink {
public:
    PortCalibrationLink(PortReader& reader, PortWriter& writer) : reader_(reader), writer_(writer) {}
    void notifyTo(HWND window) override;
    void enqueue(std::string_view commandText) override { writer_.Enqueue(commandText); }
    std::string takeReply(WPARAM code, LPARAM value) override;

private:
    PortReader& reader_;
    PortWriter& writer_;
};

// What the main dialog's "Calibrate DPI" does: runs the calibration with the
// port threads' notifications, then gives them back to `mainDialog` however
// it ended. True when new resolutions were stored.
bool runCalibration(HINSTANCE module, HWND mainDialog, Profile& profile, PortReader& reader, PortWriter& writer,
                    HelpDialog* help);

}  // namespace vantrel::win
