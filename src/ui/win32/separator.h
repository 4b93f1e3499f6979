#pragma once
// An etched line across a static control, with the control's text (if any)
// over it on the dialog face. Alignment and no-prefix come from the static
// styles (SS_CENTER, SS_RIGHT, SS_NOPREFIX).
#include "ui/win32/subclassed_control.h"

namespace vantrel::win {

class Separator : public SubclassedControl {
protected:
    bool onMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    void paint(HDC dc) override;
};

}  // namespace vantrel::win
