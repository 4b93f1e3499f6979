#pragma once
// Resource and control ids of the tools area.

// Dialog templates.
#define IDD_CALIBRATION 9018
#define IDD_PRESETS 9030
#define IDD_SAVE_PRESET 9031
#define IDD_HELP 9032
#define IDD_ABOUT 9033

// HTML help pages (resource type 23).
#define IDH_SETTINGS_HELP 9016
#define IDH_PERFORM_CUT_HELP 9017
#define IDH_MULTI_CUT_HELP 9018
#define IDH_CUT_TYPE_HELP 9019
#define IDH_CALIBRATION_HELP 9020

// Calibration dialog.
#define IDC_CALIB_RESOLUTION_GROUP 9036
#define IDC_CALIB_X_DPI 9034
#define IDC_CALIB_Y_DPI 9035
#define IDC_CALIB_CALCULATOR_GROUP 9046
#define IDC_CALIB_CUT_SQUARE 9040
#define IDC_CALIB_SEPARATOR 9043
#define IDC_CALIB_WIDTH 9041
#define IDC_CALIB_HEIGHT 9042
#define IDC_CALIB_CALCULATE 9044

// Presets dialog.
#define IDC_PRESETS_LIST 9047
#define IDC_PRESETS_SAVE_CURRENT 9050
#define IDC_PRESETS_INFO 9029

// Save-preset dialog.
#define IDC_SAVE_PRESET_NAME 9051
#define IDC_SAVE_PRESET_DEPTH 9052

// Help window: the placeholder the HTML view replaces.
#define IDC_HELP_VIEW 9000

// About box.
#define IDC_ABOUT_TEXT 9029
