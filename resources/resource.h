#pragma once
// Resource ids of the plug-in: string table, dialog templates and controls.

// String table.
#define IDS_MENU_TEXT 1
#define IDS_DESCRIPTION 2
#define IDS_CUT_DIALOG_TITLE 3
#define IDS_PROFILE_KEY 4

// Dialog templates.
#define IDD_CUT_DIALOG 9000

// Controls of the main cut dialog (template 9000).
#define IDC_PREVIEW 9000
#define IDC_FORCE_SPEED_GROUP 9001
#define IDC_FORCE_SLIDER 9002
#define IDC_SPEED_SLIDER 9003
#define IDC_FORCE_LABEL 9004
#define IDC_SPEED_LABEL 9005
#define IDC_MULTICUT_GROUP 8010
#define IDC_MULTICUT_LIST 1358
#define IDC_CUT_TYPE_GROUP 8012
#define IDC_CUT_TYPE_LIST 9057
#define IDC_SETTINGS_GROUP 9015
#define IDC_TRACK_ENHANCING 9011
#define IDC_CARRIER_MAT 9012
#define IDC_BLADE_OFFSET 8029
#define IDC_SETTINGS_SEPARATOR 9021
#define IDC_TEST_CUT 9020
#define IDC_CALIBRATE_DPI 9014
#define IDC_PERFORM_CUT_GROUP 9019
#define IDC_PROGRESS 9016
#define IDC_START 9017

#include "ids_ui.h"
#include "ids_operations.h"
#include "ids_tools.h"
