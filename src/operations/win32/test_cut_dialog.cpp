#include "operations/win32/test_cut_dialog.h"

#include <string>

#include "operations/operation_texts.h"
#include "resource.h"
#include "ui/win32/common_controls.h"
#include "ui/win32/resource_image.h"

namespace vantrel::win {

namespace {

struct JogDirection {
    int id;
    JogCode code;
    int picture;
};
constexpr JogDirection JogDirections[] = {
    {IDC_JOG_UP, JogCode::Up, IDPNG_JOG_UP},
    {IDC_JOG_LEFT, JogCode::Left, IDPNG_JOG_LEFT},
    {IDC_JOG_DOWN, JogCode::Down, IDPNG_JOG_DOWN},
    {IDC_JOG_RIGHT, JogCode::Right, IDPNG_JOG_RIGHT},
};

}  // namespace

TestCutDialog::TestCutDialog(MachinePort& port, int force, int speed, bool bladeOffset, bool knifePointMode,
                             int silentTicksAllowed)
    : port_(port), bladeOffset_(bladeOffset), session_(force, speed, knifePointMode, silentTicksAllowed) {}

TestCutDialog::~TestCutDialog() = default;

INT_PTR TestCutDialog::run(HINSTANCE module, HWND parent) {
    registerCommonControls();
    module_ = module;
    return runModal(module, IDD_TEST_CUT, parent);
}

bool TestCutDialog::onInit() {
    ui::Argb face = systemColour(COLOR_BTNFACE);
    for (std::size_t i = 0; i < std::size(JogDirections); ++i) {
        jogButtons_[i].attach(hwnd(), JogDirections[i].id);
        UniqueGpImage image = loadImage(module_, JogDirections[i].picture);
        if (image) pictures_[i] = toDeviceBitmap(image.get(), face);
        if (pictures_[i]) jogButtons_[i].setPicture(static_cast<HBITMAP>(pictures_[i].get()));
    }
    if (session_.knifePointMode()) {
        SetWindowTextW(item(IDC_TEST_CUT_BUTTON), std::wstring(KnifePointButtonCaption).c_str());
        SetWindowTextW(hwnd(), std::wstring(KnifePointDialogTitle).c_str());
        SetWindowTextW(item(IDC_TEST_CUT_INSTRUCTIONS), std::wstring(KnifePointInstructions).c_str());
    }
    port_.notifyTo(hwnd());
    frame_.attach(hwnd(), IDC_MOVE_CARRIAGE_FRAME);
    frame_.setColours(0xFFFFFFFF, 0xFF000000, 0xFFFF6400, GetSysColor(COLOR_BTNFACE));
    arrowKeys_.start(hwnd(), [](MSG& msg) {
        return (msg.message == WM_KEYDOWN || msg.message == WM_KEYUP) && msg.wParam >= VK_LEFT && msg.wParam <= VK_DOWN;
    });
    SetTimer(hwnd(), TIMER_KEYS, ArrowKeyPeriodMs, nullptr);
    return true;
}

ArrowKeys TestCutDialog::readArrowKeys() const {
    // Keys held while another window is in front are not meant for the machine.
    if (GetForegroundWindow() != hwnd()) return {};
    auto down = [](int key) { return (GetAsyncKeyState(key) & 0x8000) != 0; };
    return {.left = down(VK_LEFT), .right = down(VK_RIGHT), .up = down(VK_UP), .down = down(VK_DOWN)};
}

void TestCutDialog::setChildrenEnabled(bool enabled) {
    for (HWND child = GetWindow(hwnd(), GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        EnableWindow(child, enabled ? TRUE : FALSE);
}

void TestCutDialog::carryOut(const TestCutStep& step) {
    if (step.enterBusy) {
        SetWindowTextW(item(IDC_TEST_CUT_BUTTON), std::wstring(TestingCaption).c_str());
        setChildrenEnabled(false);
        // With every control disabled the dialog itself takes the keys, so
        // Escape still reaches it once a silent test may be abandoned.
        SetFocus(hwnd());
    }
    if (!step.sendFirst.empty()) port_.enqueueFirst(step.sendFirst);
    // A status request is only asked while the machine takes what was sent.
    if (step.send == StatusRequest)
        port_.pollStatus();
    else if (!step.send.empty())
        port_.enqueue(step.send);
    if (step.enterBusy) SetTimer(hwnd(), TIMER_STATUS, TestStatusPeriodMs, nullptr);
    if (step.leaveBusy) {
        SetWindowTextW(item(IDC_TEST_CUT_BUTTON), std::wstring(TestButtonCaption).c_str());
        KillTimer(hwnd(), TIMER_STATUS);
        setChildrenEnabled(true);
        SetFocus(item(IDC_TEST_CUT_BUTTON));
    }
    switch (step.end) {
        case TestCutEnd::None:
            break;
        case TestCutEnd::Ok:
            end(IDOK);
            break;
        case TestCutEnd::Cancel:
            end(IDCANCEL);
            break;
    }
}

bool TestCutDialog::onCommand(int id, int notifyCode, HWND control) {
    if (id == IDC_TEST_CUT_BUTTON) {
        if (notifyCode == BN_CLICKED) carryOut(session_.testButton());
        return true;
    }
    return Dialog::onCommand(id, notifyCode, control);
}

bool TestCutDialog::onTimer(UINT_PTR id) {
    if (id == TIMER_KEYS) {
        carryOut(session_.arrowKeys(readArrowKeys()));
        return true;
    }
    if (id == TIMER_STATUS) {
        carryOut(session_.statusTick());
        return true;
    }
    return false;
}

bool TestCutDialog::onMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR&) {
    switch (message) {
        case WM_JOG_BUTTON:
            for (const auto& direction : JogDirections)
                if (static_cast<int>(wParam) == direction.id) carryOut(session_.jogButton(direction.code, lParam != 0));
            return true;
        case WM_READER_EVENT:
            if (losses_.note(message, wParam)) {
                carryOut(session_.readerLost());
            } else if (static_cast<INT_PTR>(wParam) >= 0) {
                auto text = takeReplyText(lParam);
                if (text) carryOut(session_.reply(std::string_view(text.get(), wParam)));
            }
            return true;
        case WM_WRITER_EVENT:
            if (losses_.note(message, wParam)) carryOut(session_.writerLost());
            return true;
        default:
            return false;
    }
}

void TestCutDialog::onCancel() { carryOut(session_.cancel()); }

void TestCutDialog::onDestroy() {
    handNotificationsBack(port_, hwnd(), GetWindow(hwnd(), GW_OWNER), losses_);
    KillTimer(hwnd(), TIMER_KEYS);
    KillTimer(hwnd(), TIMER_STATUS);
    arrowKeys_.stop();
    // The buttons stop showing the pictures before they go.
    for (std::size_t i = 0; i < std::size(jogButtons_); ++i) {
        jogButtons_[i].setPicture(nullptr);
        jogButtons_[i].detach();
        pictures_[i].reset();
    }
}

void runTestCut(HINSTANCE module, HWND mainDialog, MachinePort& port, int force, int speed, bool bladeOffset) {
    TestCutDialog dialog(port, force, speed, bladeOffset, false);
    dialog.run(module, mainDialog);
    port.notifyTo(mainDialog);
}

}  // namespace vantrel::win
