#pragma once
// Resource ids of the plug-in: string table, dialog templates and controls.

// String table.
#define IDS_MENU_TEXT 1
#define IDS_DESCRIPTION 2
#define IDS_CUT_DIALOG_TITLE 3
#define IDS_PROFILE_KEY 4

// Dialog templates.
#define IDD_CUT_DIALOG 9000

#include "ids_ui.h"
#include "ids_operations.h"
#include "ids_tools.h"
