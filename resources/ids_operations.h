#pragma once
// Resource and control ids of the operations area.

// Registration-mark search.
#define IDD_REG_MARK 9028
#define IDC_REG_MARK_PROGRESS 9038

// Test cut and knife-point positioning.
#define IDD_TEST_CUT 9009
#define IDC_MOVE_CARRIAGE_FRAME 9022
#define IDC_TEST_CUT_BUTTON 9023
#define IDC_JOG_UP 9024
#define IDC_JOG_LEFT 9025
#define IDC_JOG_DOWN 9026
#define IDC_JOG_RIGHT 9027
#define IDC_TEST_CUT_INSTRUCTIONS 9029
