#pragma once
// The one window of a plug-in run: the live cut settings in its controls
// (mirrored in the profile at every change), the preview, the link to the
// cutter through the connection monitor, and the cut run started by Start.
#include <array>
#include <cstddef>
#include <memory>
#include <string>

#include "cutdata/cut_job.h"
#include "cutdata/path.h"
#include "cutdata/reg_marks.h"
#include "device/win32/connection_monitor.h"
#include "device/win32/machine_port.h"
#include "plugin/win32/cut_data_generator.h"
#include "settings/profile.h"
#include "settings/settings.h"
#include "tools/win32/calibration_dialog.h"
#include "job/cut_run.h"
#include "resource.h"
#include "support/win32/unique_handle.h"
#include "ui/win32/controls.h"
#include "ui/win32/dialog.h"
#include "ui/win32/preview.h"
#include "ui/win32/progress_bar.h"
#include "ui/win32/separator.h"
#include "ui/win32/skin_group_box.h"

namespace vantrel::win {

class PluginApp;
class HelpDialog;

inline constexpr UINT_PTR TIMER_JOB = 55;
inline constexpr UINT TimerJobMs = 50;

// Where the dialog's job stands. Each job ends in one of the last three:
// Finished (completely written), Lost (the link went first) or Failed (the
// design could not become a job; nothing was sent).
enum class JobState { Idle, Preparing, Sending, Finished, Lost, Failed };

class CutDialog : public Dialog, private ConnectionListener {
public:
    static constexpr int TemplateId = IDD_CUT_DIALOG;

    CutDialog(PluginApp& app, Profile& profile, const HostMarkSettings& host);
    ~CutDialog() override;

    // Runs modally, owned by `owner`; returns when the dialog has closed.
    void run(HWND owner);

    JobState jobState() const { return jobState_; }

protected:
    bool onInit() override;
    bool onCommand(int id, int notifyCode, HWND control) override;
    bool onTimer(UINT_PTR id) override;
    bool onMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;
    void onDestroy() override;
    // Escape, the close box and the end of a sent job: the closing path.
    void onCancel() override;
    // Enter does nothing: the dialog has no default button.
    void onOk() override {}

private:
    // Opening.
    void createControls();
    void dressControls();
    void applyLoadedSettings(const CutSettings& settings);

    // Settings as the controls show them.
    CutSettings shownSettings() const;
    Slider slider(int id) const { return Slider(hwnd(), id); }
    DropDownList list(int id) const { return DropDownList(hwnd(), id); }
    CheckBox checkBox(int id) const { return CheckBox(hwnd(), id); }
    int sliderPosition(int id) const { return slider(id).position(); }
    int listRow(int id) const { return list(id).selection(); }
    bool isChecked(int id) const { return checkBox(id).checked(); }
    void setChecked(int id, bool on) { checkBox(id).setChecked(on); }
    void updateSliderLabels(int sliderId);  // 0: both
    void carrierMatChanged();
    void rebuildRegMarks();
    void setMachineButtonsEnabledNow(bool enabled);

    // The cut run.
    void onStart();
    bool runRegMarkSearch();
    bool runKnifePositioning();
    // `connection`: the writer's connection the job is for.
    void startJob(unsigned long connection);
    void onGeneratorEvent(WPARAM code, LPARAM value);
    // Moves the job on from what the generator and the writer have recorded.
    void followJob();
    void showSending();
    void jobFinished();
    void jobLost();
    void jobRefused(CutStreamError error);

    // Other buttons and icons.
    void onTestCut();
    void onCalibrate();
    void onPresets();
    void showHelp(int groupId);
    void showAbout();

    // ConnectionListener.
    void showStatus(const StatusLine& status) override;
    void clearIdentifiedMachine() override;
    void setMachineButtonsEnabled(bool enabled) override;
    void linkLost() override;
    void cutterIdentified(CutterModel model, std::string_view identification) override;
    float designRightEdge() override;
    void showMat(const MatSize& mat) override;
    void showIdentifiedMachine(CutterModel model) override;
    void writeDone(std::size_t bytes) override;
    bool jobInProgress() override;

    void messageBox(const wchar_t* text, UINT flags);

    PluginApp& app_;
    Profile& profile_;
    const HostMarkSettings& host_;

    Path designPath_;
    RegMarkLayout marks_;
    bool marksBuilt_ = false;

    PathPreview preview_;
    AnimatedProgressBar progress_;
    std::array<SkinGroupBox, 5> groups_;
    Separator separator_;
    UniqueGdiObject startButtonFont_;
    std::unique_ptr<HelpDialog> help_;

    // Declared before the generator: the generator is stopped first when the
    // dialog object goes, then the writer, then the reader.
    ConnectionMonitor monitor_;
    PortThreadsLink port_;
    CutDataGenerator generator_;
    // The search of the last "Print and Cut" run; a later job of another type keeps it.
    std::optional<RegMarkSearch> lastSearch_;

    CutterModel model_ = CutterModelNone;
    JobState jobState_ = JobState::Idle;
    // Known from Sending on; the log of a job lost or abandoned names it.
    std::size_t jobLength_ = 0;
    // The writer's number for the job's buffer (PortWriter::lastWritten).
    unsigned long long jobBuffer_ = 0;
};

}  // namespace vantrel::win
