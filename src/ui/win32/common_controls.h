#pragma once
// The common-control window classes our dialog templates name (slider,
// progress bar, list view). They exist only after comctl32 registered them
// in this process, which the host may not have done.
namespace vantrel::win {

// Registers them once; cheap to call before every dialog.
bool registerCommonControls();

}  // namespace vantrel::win
