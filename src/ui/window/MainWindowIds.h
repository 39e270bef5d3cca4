#pragma once
// The main window's commands, controls, timers and private messages. The scanner's message (WM_PORTS_CHANGED) is
// declared in connection/manager/ConnectionWindow.h. The build writes these and the resource ids into a file the
// test scripts read (velto_ids.py), so a constant here is one line of the form "constexpr TYPE NAME = VALUE;".
#include <windows.h>

// Toolbar commands.
constexpr WORD CMD_OPTIONS = 5001;
constexpr WORD CMD_SAVE = 5002;
constexpr WORD CMD_LOG = 5003;
constexpr WORD CMD_CLEAR = 5004;
constexpr WORD CMD_SEARCH = 5005;
constexpr WORD CMD_PLOT = 5035;
constexpr WORD CMD_SEND = 5015; // opens and closes the send bar
// The port menu (a port button's context menu).
constexpr WORD CMD_PORT_MENU_LINE_SETTINGS = 5045;
constexpr WORD CMD_PORT_MENU_TAG = 5046;
constexpr WORD CMD_PORT_MENU_DTR = 5047;
constexpr WORD CMD_PORT_MENU_RTS = 5048;
constexpr WORD CMD_PORT_MENU_BREAK = 5049;
constexpr WORD CMD_PORT_MENU_PULSE = 5050;
constexpr WORD CMD_HEX = 5025; // checked while the hex view shows in the terminal view's place
// One per port button, in port-list order. Buttons beyond the last still show but do nothing (101 ports).
constexpr WORD CMD_PORT_FIRST = 5100;
constexpr WORD CMD_PORT_LAST = 5200;

// Child windows made in code.
constexpr UINT IDC_MAIN_BANDS = 1100;
constexpr UINT IDC_MAIN_TOOLBAR = 1101;
constexpr UINT IDC_MAIN_VIEW = 1102;
constexpr UINT IDC_MAIN_HEX_VIEW = 1262;

// Timers of the main window.
constexpr UINT_PTR TIMER_BALLOON = 1;
constexpr UINT_PTR TIMER_ACTIVITY = 3;
constexpr UINT_PTR TIMER_FILTER = 4;
constexpr UINT kBalloonMs = 1000;
constexpr UINT kActivityMs = 250;
constexpr UINT kFilterMs = 100;
// A failure the user must read stays longer than a connection's passing status.
constexpr UINT kFailureBalloonMs = 10000;

// Posted by the plot window's key watch for Ctrl+Shift+P, wherever the focus was.
constexpr UINT WM_MAIN_TOGGLE_PLOT = WM_APP + 0x48;
