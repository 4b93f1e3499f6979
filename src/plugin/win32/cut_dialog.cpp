#include "plugin/win32/cut_dialog.h"

#include <commctrl.h>


#include "cutdata/path_ops.h"
#include "cutdata/win32/gdiplus_path_bridge.h"
#include "log/win32/diagnostics_run.h"
#include "plugin/win32/cut_dialog_texts.h"
#include "plugin/win32/plugin_app.h"
#include "operations/win32/test_cut_dialog.h"
#include "resource.h"
#include "support/win32/resource_text.h"
#include "tools/win32/about_dialog.h"
#include "tools/win32/help_dialog.h"
#include "tools/win32/presets_dialog.h"
#include "ui/win32/common_controls.h"
#include "ui/win32/resource_image.h"

namespace vantrel::win {

namespace {

const wchar_t* const MultiCutRows[] = {L"Disabled", L"2 Times", L"3 Times", L"4 Times", L"5 Times",
                                       L"6 Times",  L"7 Times", L"8 Times", L"9 Times", L"10 Times"};
const wchar_t* const CutTypeRows[] = {L"WYSIWYG", L"Print and Cut", L"Knife Point"};

constexpr ui::Argb White = 0xFFFFFFFF;
constexpr ui::Argb Black = 0xFF000000;
constexpr ui::Argb Orange = 0xFFFF6400;

// The group boxes in the order of their resource, each with its header icon.
constexpr std::array<int, 5> GroupIds = {IDC_FORCE_SPEED_GROUP, IDC_MULTICUT_GROUP, IDC_CUT_TYPE_GROUP,
                                         IDC_SETTINGS_GROUP, IDC_PERFORM_CUT_GROUP};

}  // namespace

CutDialog::CutDialog(PluginApp& app, Profile& profile, const HostMarkSettings& host)
    : app_(app), profile_(profile), host_(host), monitor_(*this),
      port_(monitor_.reader(), monitor_.writer()),
      generator_(monitor_.writer(), profile) {}

CutDialog::~CutDialog() {
    // The generator first, then the writer and the reader (owned by the monitor).
    generator_.Stop();
}

void CutDialog::run(HWND owner) {
    // The template holds sliders and a progress bar; their classes must exist first.
    registerCommonControls();
    runModal(app_.resources(), TemplateId, owner);
}

bool CutDialog::onInit() {
    app_.setMainWindow(hwnd());
    createControls();

    // The dialog's own copy: the preview shows it and every job cuts it.
    if (GpPath* hostPath = app_.hostPath()) readGdiplusPath(hostPath, designPath_);

    help_ = std::make_unique<HelpDialog>(app_.resources());
    help_->create(hwnd());
    SetWindowTextW(hwnd(), loadResourceString(app_.resources(), IDS_CUT_DIALOG_TITLE).c_str());
    dressControls();

    CutSettings loaded = loadCutSettings(profile_, host_);
    applyLoadedSettings(loaded);

    preview_.setDesign(&designPath_);
    carrierMatChanged();
    rebuildRegMarks();
    updateSliderLabels(0);

    monitor_.open(hwnd());
    return true;
}

void CutDialog::createControls() {
    const DropDownList multiCut = list(IDC_MULTICUT_LIST);
    for (const wchar_t* row : MultiCutRows) multiCut.addRow(row);
    const DropDownList cutType = list(IDC_CUT_TYPE_LIST);
    for (const wchar_t* row : CutTypeRows) cutType.addRow(row);

    preview_.attach(item(IDC_PREVIEW), app_.resources());
    progress_.attach(hwnd(), IDC_PROGRESS);
    separator_.attach(hwnd(), IDC_SETTINGS_SEPARATOR);
    for (std::size_t i = 0; i < GroupIds.size(); ++i) groups_[i].attach(hwnd(), GroupIds[i]);
}

void CutDialog::dressControls() {
    // Start in the dialog's font, bold.
    HFONT dialogFont = reinterpret_cast<HFONT>(SendMessageW(hwnd(), WM_GETFONT, 0, 0));
    LOGFONTW font = {};
    if (dialogFont && GetObjectW(dialogFont, sizeof font, &font)) {
        font.lfWeight = FW_BOLD;
        startButtonFont_.reset(CreateFontIndirectW(&font));
        SendMessageW(item(IDC_START), WM_SETFONT, reinterpret_cast<WPARAM>(startButtonFont_.get()), TRUE);
    }

    const ui::Argb face = systemColour(COLOR_BTNFACE);
    if (UniqueGpImage overlay = loadImage(app_.resources(), IDPNG_PROGRESS_OVERLAY)) {
        UniqueGpBitmap tinted = tintedCopy(overlay.get(), face);
        progress_.setOverlay(tinted.releaseImage());
    }
    progress_.setCaption(ReadyCaption);
    progress_.setIcon(app_.resources(), IDPNG_START_ICON);
    progress_.setRange(0, 100);
    progress_.setPosition(0);
    progress_.setBarColour(Orange);

    slider(IDC_SPEED_SLIDER).setRange(SpeedSetting.minimum, SpeedSetting.maximum);
    slider(IDC_FORCE_SLIDER).setRange(ForceSetting.minimum, ForceSetting.maximum);
    slider(IDC_SPEED_SLIDER).setPosition(10);
    slider(IDC_FORCE_SLIDER).setPosition(10);

    for (std::size_t i = 0; i < groups_.size(); ++i) {
        groups_[i].setColours(White, Black, Orange, GetSysColor(COLOR_BTNFACE));
        groups_[i].setIconFromResource(app_.resources(),
                                       GroupIds[i] == IDC_FORCE_SPEED_GROUP ? IDPNG_PRESETS_ICON : IDPNG_HELP_ICON);
    }
}

void CutDialog::applyLoadedSettings(const CutSettings& settings) {
    setChecked(IDC_BLADE_OFFSET, settings.bladeOffset);
    list(IDC_MULTICUT_LIST).select(settings.multiCutIndex);
    list(IDC_CUT_TYPE_LIST).select(settings.cutTypeIndex);
    slider(IDC_SPEED_SLIDER).setPosition(settings.speedLevel);
    slider(IDC_FORCE_SLIDER).setPosition(settings.forceLevel);
    setChecked(IDC_TRACK_ENHANCING, settings.trackEnhancing);
    setChecked(IDC_CARRIER_MAT, settings.carrierMat);
}

CutSettings CutDialog::shownSettings() const {
    CutSettings shown;
    shown.forceLevel = sliderPosition(IDC_FORCE_SLIDER);
    shown.speedLevel = sliderPosition(IDC_SPEED_SLIDER);
    shown.multiCutIndex = listRow(IDC_MULTICUT_LIST);
    shown.cutTypeIndex = listRow(IDC_CUT_TYPE_LIST);
    shown.trackEnhancing = isChecked(IDC_TRACK_ENHANCING);
    shown.carrierMat = isChecked(IDC_CARRIER_MAT);
    shown.bladeOffset = isChecked(IDC_BLADE_OFFSET);
    return shown;
}

void CutDialog::updateSliderLabels(int sliderId) {
    wchar_t text[32];
    if (sliderId == 0 || sliderId == IDC_FORCE_SLIDER) {
        int force = sliderPosition(IDC_FORCE_SLIDER);
        swprintf(text, 32, L"Force: %i", force);
        SetDlgItemTextW(hwnd(), IDC_FORCE_LABEL, text);
        saveForceLevel(profile_, force);
    }
    if (sliderId == 0 || sliderId == IDC_SPEED_SLIDER) {
        int speed = sliderPosition(IDC_SPEED_SLIDER);
        swprintf(text, 32, L"Speed: %i", speed);
        SetDlgItemTextW(hwnd(), IDC_SPEED_LABEL, text);
        saveSpeedLevel(profile_, speed);
    }
}

void CutDialog::carrierMatChanged() {
    bool on = isChecked(IDC_CARRIER_MAT);
    saveCarrierMat(profile_, on);
    preview_.setDrawMat(on);
}

void CutDialog::rebuildRegMarks() {
    const int row = listRow(IDC_CUT_TYPE_LIST);
    const bool printAndCut = row == static_cast<int>(CutType::PrintAndCut);
    if (printAndCut) {
        marks_ = regMarksFor(designPath_, {monitor_.connected(), model_}, host_.readRegMarkType());
        marksBuilt_ = true;
        preview_.setMarks({&marks_.markBottomLeft, &marks_.markTopLeft, &marks_.markTopRight});
    }
    saveCutTypeIndex(profile_, row);
    preview_.setShowMarks(printAndCut);
}

void CutDialog::setMachineButtonsEnabledNow(bool enabled) {
    EnableWindow(item(IDC_START), enabled);
    EnableWindow(item(IDC_CALIBRATE_DPI), enabled);
    EnableWindow(item(IDC_TEST_CUT), enabled);
}

bool CutDialog::onCommand(int id, int notifyCode, HWND control) {
    switch (id) {
        case IDC_START:
            if (notifyCode == BN_CLICKED) onStart();
            return true;
        case IDC_MULTICUT_LIST:
            if (notifyCode == CBN_SELCHANGE) saveMultiCutIndex(profile_, listRow(IDC_MULTICUT_LIST));
            return true;
        case IDC_CUT_TYPE_LIST:
            if (notifyCode == CBN_SELCHANGE) rebuildRegMarks();
            return true;
        case IDC_TRACK_ENHANCING:
            if (notifyCode == BN_CLICKED) saveTrackEnhancing(profile_, isChecked(IDC_TRACK_ENHANCING));
            return true;
        case IDC_CARRIER_MAT:
            if (notifyCode == BN_CLICKED) carrierMatChanged();
            return true;
        case IDC_BLADE_OFFSET:
            if (notifyCode == BN_CLICKED) saveBladeOffset(profile_, isChecked(IDC_BLADE_OFFSET));
            return true;
        case IDC_TEST_CUT:
            if (notifyCode == BN_CLICKED) onTestCut();
            return true;
        case IDC_CALIBRATE_DPI:
            if (notifyCode == BN_CLICKED) onCalibrate();
            return true;
        case IDC_FORCE_SPEED_GROUP:
            // The icon of a group box arrives as the box's own id with no control handle.
            if (!control) onPresets();
            return true;
        case IDC_MULTICUT_GROUP:
        case IDC_CUT_TYPE_GROUP:
        case IDC_SETTINGS_GROUP:
        case IDC_PERFORM_CUT_GROUP:
            if (!control) showHelp(id);
            return true;
        default:
            return Dialog::onCommand(id, notifyCode, control);
    }
}

bool CutDialog::onTimer(UINT_PTR id) {
    if (id == TIMER_JOB) {
        followJob();
        return true;
    }
    return monitor_.handleTimer(id);
}

bool CutDialog::onMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) {
    switch (message) {
        case WM_HSCROLL: {
            HWND slider = reinterpret_cast<HWND>(lParam);
            if (slider == item(IDC_FORCE_SLIDER)) updateSliderLabels(IDC_FORCE_SLIDER);
            else if (slider == item(IDC_SPEED_SLIDER)) updateSliderLabels(IDC_SPEED_SLIDER);
            else return false;
            result = 0;
            return true;
        }
        case WM_NCLBUTTONDOWN:
            // A press on the caption's "?" button opens the About box in place
            // of the pointer-with-question-mark mode nothing here answers.
            if (wParam == HTHELP) {
                showAbout();
                result = 0;
                return true;
            }
            return false;
        case WM_GENERATOR_EVENT:
            onGeneratorEvent(wParam, lParam);
            result = 0;
            return true;
        default:
            if (monitor_.handleMessage(message, wParam, lParam)) {
                result = 0;
                return true;
            }
            return false;
    }
}

void CutDialog::onCancel() {
    if (generator_.isRunning()) {
        // Never while a job's stream is being made: the generator owns the job.
        if (generator_.textLength() == 0) return;
        // Made, and waiting for a machine that takes nothing to take the
        // write before it: closing the link below ends that wait.
        generator_.giveUp();
    }
    if (jobInProgress()) logJobEnded(JobEnd::Abandoned, jobLength_);
    KillTimer(hwnd(), TIMER_JOB);
    progress_.stopAnimation();
    monitor_.closeLink();
    generator_.Stop();
    end(IDCANCEL);
}

void CutDialog::onDestroy() {
    monitor_.forgetWindow();
    help_.reset();
    preview_.detach();
    marks_ = RegMarkLayout{};
    designPath_ = Path{};
    if (app_.mainWindow() == hwnd()) app_.setMainWindow(nullptr);
}

void CutDialog::messageBox(const wchar_t* text, UINT flags) {
    logMessageShown(text);
    MessageBoxW(hwnd(), text, app_.appName().c_str(), flags);
}

// Other buttons and icons.

void CutDialog::onTestCut() {
    if (!monitor_.connected()) return;
    runTestCut(app_.resources(), hwnd(), port_, sliderPosition(IDC_FORCE_SLIDER), sliderPosition(IDC_SPEED_SLIDER),
               isChecked(IDC_BLADE_OFFSET));
    monitor_.notificationsReturned();
}

void CutDialog::onCalibrate() {
    if (!monitor_.connected()) return;
    runCalibration(app_.resources(), hwnd(), profile_, port_, help_.get());
    monitor_.notificationsReturned();
}

void CutDialog::onPresets() {
    MaterialPreset current;
    current.multiCut = listRow(IDC_MULTICUT_LIST) + 1;
    current.speed = sliderPosition(IDC_SPEED_SLIDER);
    current.force = sliderPosition(IDC_FORCE_SLIDER);
    current.carrierMat = isChecked(IDC_CARRIER_MAT);
    current.bladeOffset = isChecked(IDC_BLADE_OFFSET);
    PresetsDialog presets(app_.resources(), profile_, current);
    std::optional<MaterialPreset> chosen = presets.run(hwnd());
    if (!chosen) return;
    slider(IDC_SPEED_SLIDER).setPosition(chosen->speed);
    slider(IDC_FORCE_SLIDER).setPosition(chosen->force);
    setChecked(IDC_CARRIER_MAT, chosen->carrierMat);
    setChecked(IDC_BLADE_OFFSET, chosen->bladeOffset);
    list(IDC_MULTICUT_LIST).select(chosen->multiCut - 1);
    updateSliderLabels(0);
    saveBladeOffset(profile_, isChecked(IDC_BLADE_OFFSET));
    carrierMatChanged();
    saveMultiCutIndex(profile_, listRow(IDC_MULTICUT_LIST));
}

void CutDialog::showHelp(int groupId) {
    if (!help_) return;
    switch (groupId) {
        case IDC_MULTICUT_GROUP: help_->showPage(IDH_MULTI_CUT_HELP, u"Multi-Cut Help", hwnd()); break;
        case IDC_CUT_TYPE_GROUP: help_->showPage(IDH_CUT_TYPE_HELP, u"Cut Type Help", hwnd()); break;
        case IDC_SETTINGS_GROUP: help_->showPage(IDH_SETTINGS_HELP, u"Settings Help", hwnd()); break;
        case IDC_PERFORM_CUT_GROUP: help_->showPage(IDH_PERFORM_CUT_HELP, u"Perform Cut Help", hwnd()); break;
        default: break;
    }
}

void CutDialog::showAbout() {
    AboutDialog about(app_.resources(), app_.appName());
    about.run(hwnd());
}

// ConnectionListener.

void CutDialog::showStatus(const StatusLine& status) { preview_.setStatus(status.text, status.argb); }

void CutDialog::clearIdentifiedMachine() { preview_.setMachine(false, CutterModelNone); }

void CutDialog::setMachineButtonsEnabled(bool enabled) { setMachineButtonsEnabledNow(enabled); }

void CutDialog::cutterIdentified(CutterModel model, std::string_view) {
    model_ = model;
    rebuildRegMarks();
}

float CutDialog::designRightEdge() {
    RectF bounds = curveAwareBounds(designPath_);
    return bounds.x + bounds.width;
}

void CutDialog::showMat(const MatSize& mat) {
    preview_.setMatSize(mat.width, mat.height);
    if (mat.clearCarrierMat && isChecked(IDC_CARRIER_MAT)) {
        setChecked(IDC_CARRIER_MAT, false);
        carrierMatChanged();
    }
}

void CutDialog::showIdentifiedMachine(CutterModel model) { preview_.setMachine(true, model); }

}  // namespace vantrel::win
